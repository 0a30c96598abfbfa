#ifndef ZLKSUPPORT_H
#define ZLKSUPPORT_H

#include <cstddef>
#include <string>
#include <string_view>

// What every export shares: the system folder, the last error of the thread,
// and the buffer rule (text from the start, one NUL, never past the end).
namespace zlk {

void setSystemFolder(const char* folder);
std::string systemFolder();
std::string iniFilePath();

void setLastError(std::string text);
const char* lastError();

// Copies text to buffer and ends it with one NUL, cutting the text at a UTF-8
// character boundary when it does not fit. Returns the bytes copied (no NUL).
size_t writeText(char* buffer, size_t bufferSize, std::string_view text);

// strerror() for errno, safe to call from several threads.
std::string errnoText(int error);

// Writes all size bytes to fd (again after an interruption); false with errno
// set when that fails.
bool writeAll(int fd, const void* data, size_t size);

// The text of a C string argument; a null pointer counts as empty.
inline std::string_view argument(const char* text)
{
    return text ? std::string_view(text) : std::string_view();
}

std::string_view trimmed(std::string_view text);

} // namespace zlk

#endif // ZLKSUPPORT_H
