#ifndef PARALLELDEFLATE_H
#define PARALLELDEFLATE_H

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zlk {

// Deflates a byte stream on several threads into one raw deflate stream, as a
// zip entry holds it: the input is cut into pieces of 1 MiB, each compressed
// on its own with the 32 KiB before it as its dictionary and ended on a byte
// boundary, so that the pieces joined are one stream. The output comes piece
// by piece, in order, while the pieces after it are still being compressed;
// memory stays a few pieces per thread whatever the length of the input.
class ParallelDeflate
{
public:
    struct Result
    {
        uint64_t size = 0;           // bytes read
        uint64_t compressedSize = 0; // bytes written
        uint32_t crc = 0;            // CRC-32 of the bytes read
    };

    // Smaller: zlib's level 3, on report text as fast as its fastest level
    // and a quarter smaller. Faster: ISA-L's level 1, four times as fast with
    // output the size of zlib's fastest level.
    enum class Method
    {
        Smaller,
        Faster
    };

    // Places the next bytes of the input at data (at most size): their count,
    // 0 at the end of the input, -1 on a failure (with errno set).
    using Read = std::function<ssize_t(unsigned char* data, size_t size)>;

    ParallelDeflate(Read read, Method method);
    ~ParallelDeflate(); // waits for the pieces still being compressed
    ParallelDeflate(const ParallelDeflate&) = delete;
    ParallelDeflate& operator=(const ParallelDeflate&) = delete;

    // The next part of the stream, into out. False at the end of the stream
    // or on a failure, which error() then tells.
    bool next(std::vector<unsigned char>& out);
    const std::string& error() const { return m_error; }
    // The whole stream's figures once next() has returned false without error.
    const Result& result() const { return m_result; }

    // Deflates the file open as in, to its end, into the file open as out.
    // False with error filled on failure.
    static bool compress(int in, int out, Method method, Result& result, std::string& error);

private:
    struct Job;
    bool startJobs();
    bool fail(const std::string& text);

    Read m_read;
    Method m_method;
    size_t m_threads;
    std::deque<std::unique_ptr<Job>> m_jobs;
    std::vector<std::unique_ptr<Job>> m_spare; // jobs whose pieces were handed out
    std::vector<unsigned char> m_ahead;  // the piece after the last one started
    std::vector<unsigned char> m_window; // the last 32 KiB handed to a piece
    bool m_started = false;
    bool m_inputEnded = false;
    bool m_ended = false;
    Result m_result;
    std::string m_error;
};

} // namespace zlk

#endif // PARALLELDEFLATE_H
