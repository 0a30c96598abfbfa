#include "ZipStream.h"

#include <algorithm>
#include <cstring>

namespace zlk {

namespace {

constexpr uint32_t LocalHeader = 0x04034b50;
constexpr uint32_t DataDescriptor = 0x08074b50;
constexpr uint32_t CentralHeader = 0x02014b50;
constexpr uint32_t EndOfCentral = 0x06054b50;
constexpr uint16_t Version = 20;        // 2.0: deflate
constexpr uint16_t MadeOnUnix = 3 << 8; // with a Unix mode in the attributes
constexpr uint16_t SizesAfterData = 0x0008;
constexpr uint16_t Utf8Name = 0x0800;
constexpr uint16_t Deflated = 8;
constexpr uint32_t RegularFile = 0100644u << 16;
constexpr uint64_t Limit = 0xFFFFFFFFu; // sizes and offsets without zip64

void put16(std::vector<unsigned char>& out, uint16_t value)
{
    out.push_back(value & 0xFF);
    out.push_back(value >> 8);
}

void put32(std::vector<unsigned char>& out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

} // namespace

ZipStream::ZipStream(const std::string& entryName, std::time_t modified, ParallelDeflate::Read read,
                     ParallelDeflate::Method method)
    : m_name(entryName), m_deflate(std::move(read), method)
{
    m_flags = SizesAfterData;
    if (std::any_of(m_name.begin(), m_name.end(), [](char c) { return c & 0x80; }))
        m_flags |= Utf8Name;
    // MS-DOS time, local, two-second steps, from 1980.
    std::tm local{};
    localtime_r(&modified, &local);
    if (local.tm_year < 80)
        local = std::tm{0, 0, 0, 1, 0, 80, 0, 0, 0, 0, nullptr};
    m_time = uint16_t(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    m_date = uint16_t((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
}

uint64_t ZipStream::sizeBound(uint64_t size, const std::string& entryName)
{
    // Deflate grows a piece by at most a few bytes in a thousand, and the
    // byte-boundary flush and block headers by a few dozen bytes a piece.
    const uint64_t pieces = size / (1024 * 1024) + 1;
    return size + size / 1024 + 64 * pieces + 30 + 16 + 46 + 22 + 2 * entryName.size();
}

// The local header (central false, CRC and sizes zero: they follow the data)
// or the central directory's entry.
void ZipStream::appendHeader(uint32_t signature, bool central)
{
    const ParallelDeflate::Result& r = m_deflate.result();
    put32(m_pending, signature);
    if (central)
        put16(m_pending, MadeOnUnix | Version);
    put16(m_pending, Version);
    put16(m_pending, m_flags);
    put16(m_pending, Deflated);
    put16(m_pending, m_time);
    put16(m_pending, m_date);
    put32(m_pending, central ? r.crc : 0);
    put32(m_pending, central ? uint32_t(r.compressedSize) : 0);
    put32(m_pending, central ? uint32_t(r.size) : 0);
    put16(m_pending, uint16_t(m_name.size()));
    put16(m_pending, 0); // extra field
    if (central) {
        put16(m_pending, 0); // comment
        put16(m_pending, 0); // disk
        put16(m_pending, 0); // internal attributes
        put32(m_pending, RegularFile);
        put32(m_pending, 0); // the local header's offset
    }
    m_pending.insert(m_pending.end(), m_name.begin(), m_name.end());
}

bool ZipStream::fill()
{
    m_written += m_pending.size();
    m_pending.clear();
    m_offset = 0;
    switch (m_stage) {
    case Stage::Header:
        if (m_name.empty() || m_name.size() > 0xFFFF) {
            m_error = "the file name cannot go into a zip archive";
            return false;
        }
        appendHeader(LocalHeader, false);
        m_stage = Stage::Data;
        return true;
    case Stage::Data:
        if (m_deflate.next(m_pending))
            return true;
        if (!m_deflate.error().empty()) {
            m_error = m_deflate.error();
            return false;
        }
        {
            const ParallelDeflate::Result& r = m_deflate.result();
            const uint64_t centralAt = m_written + 16;
            if (r.size >= Limit || r.compressedSize >= Limit || centralAt >= Limit) {
                m_error = "the file is too large for a zip archive made while it is sent";
                return false;
            }
            put32(m_pending, DataDescriptor);
            put32(m_pending, r.crc);
            put32(m_pending, uint32_t(r.compressedSize));
            put32(m_pending, uint32_t(r.size));
            appendHeader(CentralHeader, true);
            const uint32_t centralSize = uint32_t(m_pending.size() - 16);
            put32(m_pending, EndOfCentral);
            put16(m_pending, 0); // this disk
            put16(m_pending, 0); // the central directory's disk
            put16(m_pending, 1); // entries on this disk
            put16(m_pending, 1); // entries
            put32(m_pending, centralSize);
            put32(m_pending, uint32_t(centralAt));
            put16(m_pending, 0); // comment
        }
        m_stage = Stage::Done;
        return true;
    case Stage::Done:
        break;
    }
    return false;
}

size_t ZipStream::read(char* buffer, size_t size)
{
    while (m_offset == m_pending.size()) {
        if (failed() || !fill())
            return 0;
    }
    const size_t n = std::min(size, m_pending.size() - m_offset);
    std::memcpy(buffer, m_pending.data() + m_offset, n);
    m_offset += n;
    return n;
}

} // namespace zlk
