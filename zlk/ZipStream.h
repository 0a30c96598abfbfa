#ifndef ZIPSTREAM_H
#define ZIPSTREAM_H

#include "ParallelDeflate.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace zlk {

// A .zip archive of one file, made while it is read: the file's bytes come
// from a reader, are deflated on several threads and leave framed as a zip
// entry whose CRC and sizes follow its data (a data descriptor), so that no
// byte of the archive has to wait for the end of the file. For files and
// archives below 4 GiB (no zip64).
class ZipStream
{
public:
    ZipStream(const std::string& entryName, std::time_t modified, ParallelDeflate::Read read,
              ParallelDeflate::Method method);

    // Copies the next bytes of the archive to buffer: their count, 0 at the
    // end of the archive or after a failure (failed() then says so).
    size_t read(char* buffer, size_t size);
    bool failed() const { return !m_error.empty(); }
    const std::string& error() const { return m_error; }

    // The largest archive a file of size bytes can give under entryName.
    static uint64_t sizeBound(uint64_t size, const std::string& entryName);

private:
    bool fill();
    void appendHeader(uint32_t signature, bool central);

    std::string m_name;
    uint16_t m_flags = 0;
    uint16_t m_time = 0;
    uint16_t m_date = 0;
    ParallelDeflate m_deflate;
    std::vector<unsigned char> m_pending;
    size_t m_offset = 0;
    uint64_t m_written = 0; // archive bytes before m_pending
    enum class Stage
    {
        Header,
        Data,
        Done
    } m_stage = Stage::Header;
    std::string m_error;
};

} // namespace zlk

#endif // ZIPSTREAM_H
