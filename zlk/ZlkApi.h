#ifndef ZLKAPI_H
#define ZLKAPI_H

#include <QDateTime>
#include <QString>
#include <functional>

// The program's only door to the zlk library. Each call fills the C buffers
// with blanks, calls the export and cleans the result the way every caller
// needs it: blanks trimmed from both ends and one trailing NUL dropped. Texts
// cross the C boundary as UTF-8.
namespace Zlk {

// The folder that holds zlk.ini (the installation's SYSTEM folder).
void setSystemFolder(const QString& folder);

// True when the HTML report file holds no report rows or cannot be read.
bool isHtmlEmpty(const QString& file);

// Compresses source into a new archive. On failure, error holds the library's
// text exactly as written (up to its NUL, not trimmed).
bool zipFile(const QString& source, const QString& archive, QString& error);

// Reads up to byteCount bytes of file into data. Returns the number of bytes
// read; 0 on failure with the reason in error (error is "" on success).
int readFile(const QString& file, int byteCount, QString& data, QString& error);

// Mails body (text/plain, or text/html when it starts with "<") and, when
// attachment is not empty, that file. True when the server accepted it.
bool sendEmail(const QString& senderName, const QString& recipient, const QString& subject,
               const QString& body, const QString& attachment, QString* error = nullptr);

// Mails, with an empty body, an archive named archiveName holding one file,
// entryName, made while it is sent from the bytes read gives in order (their
// count, 0 at the end, -1 on a failure). A failure ends the transfer before the
// message is complete. True when the server accepted it.
bool sendZipped(const QString& senderName, const QString& recipient, const QString& subject,
                const QString& archiveName, const QString& entryName, const QDateTime& entryTime,
                const std::function<qint64(char* data, qint64 size)>& read,
                QString* error = nullptr);
// The largest archive sendZipped can make of a file of size bytes.
qint64 zipSizeBound(qint64 size, const QString& entryName);

// The notification store in zlk.ini. A missing value reads as defaultValue;
// leading blanks of a stored value are lost, trailing ones kept.
QString getNotificationString(const QString& section, const QString& key,
                              const QString& defaultValue);
bool setNotificationString(const QString& section, const QString& key, const QString& value);

int bitwiseOr(int value, int mask);
int bitwiseAnd(int value, int mask);

// Why the last sendEmail or setNotificationString of this thread failed.
QString lastError();

} // namespace Zlk

#endif // ZLKAPI_H
