// The exports of zlk.h: argument checks and the buffer rules here, the work in
// the classes beside this file.
#include "zlk.h"

#include "HtmlRowScanner.h"
#include "IniFile.h"
#include "MailSettings.h"
#include "MimeMessage.h"
#include "NotificationStore.h"
#include "SmtpClient.h"
#include "ZipArchiver.h"
#include "ZipStream.h"
#include "ZlkSupport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

using namespace zlk;

namespace {

// One writer at a time for zlk.ini within this process; the file is replaced
// by rename, so readers never see it half written.
std::mutex iniMutex;

int32_t fail(char* errorBuffer, const std::string& reason)
{
    writeText(errorBuffer, ZLK_ERROR_BUFFER_SIZE, reason);
    setLastError(reason);
    return 0;
}

// Mails content to recipient through the server of zlk.ini.
int32_t send(std::string_view recipient, MimeMessage::Content& content)
{
    std::string error;
    if (!MimeMessage::parseAddresses(recipient, content.recipients, error))
        return fail(nullptr, error);

    MailSettings settings;
    {
        std::lock_guard<std::mutex> lock(iniMutex);
        IniFile ini;
        if (!ini.load(iniFilePath(), error) ||
            !settings.load(ini, std::getenv("ZLK_SMTP_URL"), error))
            return fail(nullptr, error);
    }
    std::vector<std::string> from;
    if (!MimeMessage::parseAddresses(settings.fromAddress, from, error) || from.size() != 1)
        return fail(nullptr, "[Mail] FromAddress=" + settings.fromAddress +
                                 " is not one valid e-mail address");
    content.fromAddress = from.front();
    MimeMessage message;
    if (!message.prepare(content, error))
        return fail(nullptr, error);
    settings.fromAddress = content.fromAddress;
    if (!SmtpClient(settings).send(content.recipients, message, error))
        return fail(nullptr, error);
    setLastError({});
    return 1;
}

} // namespace

extern "C" {

int16_t ZLKIsHTMLEmpty(const char* fileName)
{
    return HtmlRowScanner::hasReportRows(std::string(argument(fileName))) ? 0 : 1;
}

int32_t ZLKZipFile(const char* sourceFile, const char* archiveFile, char* errorBuffer)
{
    std::string error;
    if (!ZipArchiver::zipFile(std::string(argument(sourceFile)), std::string(argument(archiveFile)),
                              error))
        return fail(errorBuffer, error);
    writeText(errorBuffer, ZLK_ERROR_BUFFER_SIZE, "");
    setLastError({});
    return 1;
}

int32_t ZLKReadFile(const char* fileName, char* dataBuffer, int32_t byteCount, char* errorBuffer)
{
    const std::string name(argument(fileName));
    if (name.empty())
        return fail(errorBuffer, "no file name given");
    if (byteCount < 0)
        return fail(errorBuffer, "cannot read " + name + ": the byte count " +
                                     std::to_string(byteCount) + " is negative");
    if (!dataBuffer)
        return fail(errorBuffer, "cannot read " + name + ": no data buffer");
    // Non-blocking open and a regular file only: a FIFO or a device would
    // wait for a writer or never end.
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(errorBuffer, "cannot open " + name + ": " + errnoText(errno));
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(errorBuffer, "cannot read " + name + ": not a regular file");
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        const int openErrno = errno;
        ::close(fd);
        return fail(errorBuffer, "cannot open " + name + ": " + errnoText(openErrno));
    }
    const size_t n = std::fread(dataBuffer, 1, size_t(byteCount), file);
    const bool failed = std::ferror(file);
    const int readErrno = errno;
    std::fclose(file);
    if (failed)
        return fail(errorBuffer, "cannot read " + name + ": " + errnoText(readErrno));
    dataBuffer[n] = '\0';
    writeText(errorBuffer, ZLK_ERROR_BUFFER_SIZE, "");
    setLastError({});
    return int32_t(n);
}

int32_t ZLKSendEmail(const char* senderName, const char* recipient, const char*, const char*,
                     const char* subject, const char* body, const char* attachmentFile, const char*)
{
    MimeMessage::Content content;
    content.senderName = argument(senderName);
    content.subject = argument(subject);
    content.body = argument(body);
    content.attachmentPath = trimmed(argument(attachmentFile));
    return send(argument(recipient), content);
}

int32_t zlk_send_zipped(const char* senderName, const char* recipient, const char* subject,
                        const char* archiveName, const char* entryName, int64_t entryTime,
                        int64_t (*read)(void* context, char* buffer, int64_t size), void* context)
{
    if (!read || trimmed(argument(archiveName)).empty())
        return fail(nullptr, "no archive name or reader given");
    // The faster output: an archive sent as it is made is never checked
    // against an abort size (the caller has checked its bound).
    ZipStream zip(
        std::string(argument(entryName)), std::time_t(entryTime),
        [read, context](unsigned char* data, size_t size) {
            return ssize_t(read(context, reinterpret_cast<char*>(data), int64_t(size)));
        },
        ParallelDeflate::Method::Faster);
    MimeMessage::Content content;
    content.senderName = argument(senderName);
    content.subject = argument(subject);
    content.attachmentPath = trimmed(argument(archiveName));
    content.attachmentReader = [&zip](char* buffer, size_t size, std::string& error) -> long {
        const size_t n = zip.read(buffer, size);
        if (zip.failed()) {
            error = zip.error();
            return -1;
        }
        return long(n);
    };
    return send(argument(recipient), content);
}

int64_t zlk_zip_size_bound(int64_t size, const char* entryName)
{
    return int64_t(ZipStream::sizeBound(uint64_t(std::max<int64_t>(size, 0)),
                                        std::string(argument(entryName))));
}

int32_t ZLKGetNotificationString(const char* section, const char* key, const char* defaultValue,
                                 char* buffer, int32_t bufferSize)
{
    if (!buffer || bufferSize <= 0)
        return 0;
    std::string value;
    std::string error;
    if (!NotificationStore::value(argument(section), argument(key), value, error))
        value = argument(defaultValue);
    setLastError(error);
    // The value and one NUL; the rest of the buffer stays as the caller left it.
    return int32_t(writeText(buffer, size_t(bufferSize), value));
}

int32_t ZLKSetNotificationString(const char* section, const char* key, const char* value)
{
    const std::string_view sectionName = argument(section);
    const std::string_view keyName = argument(key);
    const std::string_view text = argument(value);
    std::string error;
    // The caller ends every save with an all-empty call: it commits the save.
    const bool done = (sectionName.empty() && keyName.empty() && text.empty())
                          ? NotificationStore::commit(error)
                          : NotificationStore::write(sectionName, keyName, text, error);
    if (!done)
        return fail(nullptr, error);
    setLastError({});
    return 1;
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
    setSystemFolder(folder);
}

const char* zlk_last_error(void)
{
    return lastError();
}

} // extern "C"
