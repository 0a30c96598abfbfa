/*
 * zlk: the product's companion library.
 *
 * A C interface with the eight exports the audit-log programs call. Text
 * arguments are NUL-terminated byte strings (UTF-8 here). A buffer argument is
 * filled with blanks by the caller beforehand; the library writes its text from
 * the buffer's start and ends it with one NUL (never past the buffer's size).
 *
 * Files: mail server settings ([Mail] section) and the notification strings live
 * in zlk.ini in the SYSTEM folder (see zlk_set_system_folder). ZLK_SMTP_URL in
 * the environment (for example smtp://127.0.0.1:2525) overrides the mail server.
 *
 * The [Mail] section of zlk.ini (keys compare without regard to case):
 *
 *   Server            host name or address of the SMTP server (required unless
 *                     ZLK_SMTP_URL is set); the port goes in Port
 *   Port              default 25 for none, 587 for starttls, 465 for tls
 *   Security          none (default) | starttls (required, not opportunistic) |
 *                     tls (implicit TLS, "SMTPS")
 *   User, Password    log in with these when User is not empty
 *   FromAddress       envelope sender and address of From
 *                     (default auditlog@<host name>)
 *   ConnectTimeout    seconds to wait for the connection, default 15
 *   Timeout           seconds for the whole submission, default 120
 *   VerifyCertificate yes (default) | no: check the server's TLS certificate
 *
 * ZLK_SMTP_URL replaces Server, Port and Security: smtp://host:port is plain
 * SMTP, smtps://host:port implicit TLS. The other keys still apply.
 *
 * Values in zlk.ini: the text after "=", blanks around it removed; a value
 * between double quotes keeps its blanks (the store writes it so when needed).
 * Line breaks cannot be stored: ZLKSetNotificationString rejects them.
 */
#ifndef ZLK_H
#define ZLK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Size of the error buffers callers pass. */
#define ZLK_ERROR_BUFFER_SIZE 1000
/* Size of the notification-string buffer callers pass. */
#define ZLK_NOTIFICATION_BUFFER_SIZE 1024

/* Non-zero when the HTML report file holds no report rows (or cannot be read). */
int16_t ZLKIsHTMLEmpty(const char* fileName);

/* Compresses sourceFile into a new .zip archiveFile. 0 on failure, with the
 * reason in errorBuffer (ZLK_ERROR_BUFFER_SIZE bytes); non-zero on success. */
int32_t ZLKZipFile(const char* sourceFile, const char* archiveFile, char* errorBuffer);

/* Reads up to byteCount bytes of fileName into dataBuffer (which holds at least
 * byteCount + 1 bytes; the NUL after the data is written when it fits). Only a
 * regular file is read; anything else (a FIFO, a device) fails at once.
 * Returns the number of bytes placed; 0 on failure with the reason in errorBuffer.
 * After a success errorBuffer holds "" (so an empty file gives 0 and ""). */
int32_t ZLKReadFile(const char* fileName, char* dataBuffer, int32_t byteCount, char* errorBuffer);

/* Submits one message over SMTP. The body goes as text/plain, or text/html when
 * it starts with an HTML tag; attachmentFile, when not empty, is attached in
 * base64. senderName is the display name of From. recipient may list several
 * addresses separated by "," or ";". Returns non-zero when the server accepted
 * the message; on failure, zlk_last_error() tells why (no recipient, connection
 * refused, authentication failed, recipient rejected, timed out...). The third,
 * fourth and eighth texts are reserved. */
int32_t ZLKSendEmail(const char* senderName, const char* recipient, const char* reserved3,
                     const char* reserved4, const char* subject, const char* body,
                     const char* attachmentFile, const char* reserved8);

/* Reads section/key of the notification store into buffer (bufferSize bytes),
 * or defaultValue when there is none. A value written in this process and not
 * yet committed reads as written. Writes the value and one NUL and leaves
 * the rest of the buffer alone; a value that does not fit is cut at a UTF-8
 * character boundary. Returns the length written (without the NUL). */
int32_t ZLKGetNotificationString(const char* section, const char* key, const char* defaultValue,
                                 char* buffer, int32_t bufferSize);

/* Holds value under section/key for the next commit. Returns non-zero on
 * success; 0 for a value with a line break or an unusable section or key name,
 * with the reason in zlk_last_error().
 * The call with all three texts empty, which ends every save, is the commit:
 * under an exclusive lock on zlk.ini.lock it applies every held write to
 * zlk.ini as the file is then and replaces the file once, atomically, so a
 * reader sees the whole old save or the whole new one; other sections, keys and
 * comments stay as they are. It returns 0, with the reason, when the file could
 * not be written; the held writes are dropped either way. Writes that are never
 * committed never reach the file. */
int32_t ZLKSetNotificationString(const char* section, const char* key, const char* value);

int32_t ZLKBitwiseOR(int32_t value, int32_t mask);
int32_t ZLKBitwiseAND(int32_t value, int32_t mask);

/* Linux additions. The folder that holds zlk.ini (the installation's SYSTEM
 * folder); until set, the current directory. */
void zlk_set_system_folder(const char* folder);
/* Mails, with an empty body, a .zip archive named archiveName (its base name
 * shows) that holds one file, entryName, modified at entryTime (seconds since
 * 1970). The archive is made while the message is sent, from the bytes
 * read(context, buffer, size) places in order: their count, 0 at the end, -1
 * on a failure. A failure, or an archive that reaches 4 GiB, ends the
 * transfer before the message is complete, so that the server delivers
 * nothing. Otherwise as ZLKSendEmail; zlk_last_error() tells why it failed. */
int32_t zlk_send_zipped(const char* senderName, const char* recipient, const char* subject,
                        const char* archiveName, const char* entryName, int64_t entryTime,
                        int64_t (*read)(void* context, char* buffer, int64_t size), void* context);
/* The largest archive zlk_send_zipped can make of a file of size bytes. */
int64_t zlk_zip_size_bound(int64_t size, const char* entryName);
/* The reason of the last failed call of this thread (ZLKSendEmail,
 * ZLKSetNotificationString, ZLKZipFile, ZLKReadFile), or "" after a success. */
const char* zlk_last_error(void);

#ifdef __cplusplus
}
#endif

#endif /* ZLK_H */
