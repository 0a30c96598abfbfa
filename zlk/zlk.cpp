#include "zlk.h"

#include <cstring>
#include <string>

// First cut: bit operations and the system folder; the rest follows.
namespace {
std::string g_systemFolder = ".";
thread_local std::string t_lastError;

void writeText(char* buffer, size_t size, const char* text)
{
    if (!buffer || size == 0)
        return;
    size_t n = std::min(std::strlen(text), size - 1);
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
}
} // namespace

extern "C" {

int16_t ZLKIsHTMLEmpty(const char*)
{
    return 1;
}

int32_t ZLKZipFile(const char*, const char*, char* errorBuffer)
{
    writeText(errorBuffer, ZLK_ERROR_BUFFER_SIZE, "not implemented");
    return 0;
}

int32_t ZLKReadFile(const char*, char*, int32_t, char* errorBuffer)
{
    writeText(errorBuffer, ZLK_ERROR_BUFFER_SIZE, "not implemented");
    return 0;
}

int32_t ZLKSendEmail(const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*)
{
    t_lastError = "not implemented";
    return 0;
}

int32_t ZLKGetNotificationString(const char*, const char*, const char* defaultValue, char* buffer,
                                 int32_t bufferSize)
{
    writeText(buffer, bufferSize > 0 ? size_t(bufferSize) : 0, defaultValue ? defaultValue : "");
    return 0;
}

int32_t ZLKSetNotificationString(const char*, const char*, const char*)
{
    t_lastError = "not implemented";
    return 0;
}

int32_t ZLKBitwiseOR(int32_t value, int32_t mask)
{
    return value | mask;
}
int32_t ZLKBitwiseAND(int32_t value, int32_t mask)
{
    return value & mask;
}

void zlk_set_system_folder(const char* folder)
{
    g_systemFolder = folder ? folder : ".";
}
const char* zlk_last_error(void)
{
    return t_lastError.c_str();
}
}
