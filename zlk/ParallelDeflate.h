#ifndef PARALLELDEFLATE_H
#define PARALLELDEFLATE_H

#include <cstdint>
#include <string>

namespace zlk {

// Deflates a file on several threads into one raw deflate stream, as a zip
// entry holds it: the file is cut into pieces of 1 MiB, each compressed on its
// own with the 32 KiB before it as its dictionary and ended on a byte
// boundary, so that the pieces joined are one stream. Memory stays a few
// pieces per thread whatever the size of the file.
class ParallelDeflate
{
public:
    struct Result
    {
        uint64_t size = 0;           // bytes read
        uint64_t compressedSize = 0; // bytes written
        uint32_t crc = 0;            // CRC-32 of the bytes read
    };

    // Reads the file open as in to its end and writes the stream to the file
    // open as out, at deflate level level. False with error filled on failure.
    static bool compress(int in, int out, int level, Result& result, std::string& error);
};

} // namespace zlk

#endif // PARALLELDEFLATE_H
