#include "ZlkSupport.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace zlk {

namespace {
std::mutex folderMutex;
std::string folderPath = ".";
thread_local std::string lastErrorText;
} // namespace

void setSystemFolder(const char* folder)
{
    std::lock_guard<std::mutex> lock(folderMutex);
    folderPath = (folder && *folder) ? folder : ".";
}

std::string systemFolder()
{
    std::lock_guard<std::mutex> lock(folderMutex);
    return folderPath;
}

std::string iniFilePath()
{
    std::string path = systemFolder();
    if (path.back() != '/')
        path += '/';
    return path + "zlk.ini";
}

void setLastError(std::string text)
{
    lastErrorText = std::move(text);
}

const char* lastError()
{
    return lastErrorText.c_str();
}

size_t writeText(char* buffer, size_t bufferSize, std::string_view text)
{
    if (!buffer || bufferSize == 0)
        return 0;
    size_t length = text.size();
    if (length > bufferSize - 1) {
        length = bufferSize - 1;
        // Step back over UTF-8 continuation bytes so no character is cut in two.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return length;
}

bool writeAll(int fd, const void* data, size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO; // nothing written and no reason given
            return false;
        }
        done += size_t(n);
    }
    return true;
}

std::string errnoText(int error)
{
    char text[256] = {};
    // GNU strerror_r may return a static string instead of filling text.
    const char* result = strerror_r(error, text, sizeof text);
    return result ? result : "unknown error";
}

std::string_view trimmed(std::string_view text)
{
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    const size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

} // namespace zlk
