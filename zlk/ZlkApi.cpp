#include "ZlkApi.h"

#include "zlk.h"

#include <QByteArray>

namespace Zlk {

namespace {

// Blanks only, as the callers' trim does; a NUL is not a blank.
QByteArray trimBlanks(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == ' ')
        ++begin;
    while (end > begin && text.at(end - 1) == ' ')
        --end;
    return text.mid(begin, end - begin);
}

// What the callers do with a buffer after a call: trim it and drop one NUL.
QString cleaned(const QByteArray& buffer)
{
    QByteArray text = trimBlanks(buffer);
    if (text.endsWith('\0'))
        text.chop(1);
    return QString::fromUtf8(text);
}

QByteArray blanks(qsizetype size)
{
    return QByteArray(size, ' ');
}

} // namespace

void setSystemFolder(const QString& folder)
{
    zlk_set_system_folder(folder.toUtf8().constData());
}

bool isHtmlEmpty(const QString& file)
{
    return ZLKIsHTMLEmpty(file.toUtf8().constData()) != 0;
}

bool zipFile(const QString& source, const QString& archive, QString& error)
{
    QByteArray buffer = blanks(ZLK_ERROR_BUFFER_SIZE);
    const int32_t result =
        ZLKZipFile(source.toUtf8().constData(), archive.toUtf8().constData(), buffer.data());
    // Shown as the library wrote it: up to the NUL, not trimmed.
    const qsizetype end = buffer.indexOf('\0');
    error = QString::fromUtf8(buffer.left(end < 0 ? buffer.size() : end));
    return result != 0;
}

int readFile(const QString& file, int byteCount, QString& data, QString& error)
{
    QByteArray buffer = blanks(qMax(0, byteCount) + 10);
    QByteArray errorBuffer = blanks(ZLK_ERROR_BUFFER_SIZE);
    const int32_t result =
        ZLKReadFile(file.toUtf8().constData(), buffer.data(), byteCount, errorBuffer.data());
    data = result > 0 ? cleaned(buffer) : QString();
    error = cleaned(errorBuffer);
    return result;
}

bool sendEmail(const QString& senderName, const QString& recipient, const QString& subject,
               const QString& body, const QString& attachment, QString* error)
{
    const int32_t result =
        ZLKSendEmail(senderName.toUtf8().constData(), recipient.toUtf8().constData(), "", "",
                     subject.toUtf8().constData(), body.toUtf8().constData(),
                     attachment.toUtf8().constData(), "");
    if (error)
        *error = lastError();
    return result != 0;
}

bool sendZipped(const QString& senderName, const QString& recipient, const QString& subject,
                const QString& archiveName, const QString& entryName, const QDateTime& entryTime,
                const std::function<qint64(char* data, qint64 size)>& read, QString* error)
{
    // The C call takes its reader's state as a plain pointer.
    std::function<qint64(char*, qint64)> reading = read;
    const auto reader = [](void* context, char* buffer, int64_t size) -> int64_t {
        return (*static_cast<std::function<qint64(char*, qint64)>*>(context))(buffer, size);
    };
    const int32_t result =
        zlk_send_zipped(senderName.toUtf8().constData(), recipient.toUtf8().constData(),
                        subject.toUtf8().constData(), archiveName.toUtf8().constData(),
                        entryName.toUtf8().constData(), entryTime.toSecsSinceEpoch(), reader,
                        &reading);
    if (error)
        *error = lastError();
    return result != 0;
}

qint64 zipSizeBound(qint64 size, const QString& entryName)
{
    return zlk_zip_size_bound(size, entryName.toUtf8().constData());
}

QString getNotificationString(const QString& section, const QString& key,
                              const QString& defaultValue)
{
    QByteArray buffer = blanks(ZLK_NOTIFICATION_BUFFER_SIZE);
    ZLKGetNotificationString(section.toUtf8().constData(), key.toUtf8().constData(),
                             defaultValue.toUtf8().constData(), buffer.data(),
                             ZLK_NOTIFICATION_BUFFER_SIZE);
    return cleaned(buffer);
}

bool setNotificationString(const QString& section, const QString& key, const QString& value)
{
    return ZLKSetNotificationString(section.toUtf8().constData(), key.toUtf8().constData(),
                                    value.toUtf8().constData()) != 0;
}

int bitwiseOr(int value, int mask)
{
    return ZLKBitwiseOR(value, mask);
}

int bitwiseAnd(int value, int mask)
{
    return ZLKBitwiseAND(value, mask);
}

QString lastError()
{
    return QString::fromUtf8(zlk_last_error());
}

} // namespace Zlk
