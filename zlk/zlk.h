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
 * byteCount + 1 bytes; the NUL after the data is written when it fits).
 * Returns the number of bytes placed; 0 on failure with the reason in errorBuffer. */
int32_t ZLKReadFile(const char* fileName, char* dataBuffer, int32_t byteCount, char* errorBuffer);

/* Submits one message over SMTP. The body goes as text/plain, or text/html when
 * it starts with an HTML tag; attachmentFile, when not empty, is attached in
 * base64. Returns non-zero when the server accepted the message; on failure,
 * zlk_last_error() tells why. The third, fourth and eighth texts are reserved. */
int32_t ZLKSendEmail(const char* senderName, const char* recipient, const char* reserved3,
                     const char* reserved4, const char* subject, const char* body,
                     const char* attachmentFile, const char* reserved8);

/* Reads section/key of the notification store into buffer (bufferSize bytes),
 * or defaultValue when there is none. Returns the length written. */
int32_t ZLKGetNotificationString(const char* section, const char* key, const char* defaultValue,
                                 char* buffer, int32_t bufferSize);

/* Stores value under section/key (the file is replaced atomically).
 * Returns non-zero on success. */
int32_t ZLKSetNotificationString(const char* section, const char* key, const char* value);

int32_t ZLKBitwiseOR(int32_t value, int32_t mask);
int32_t ZLKBitwiseAND(int32_t value, int32_t mask);

/* Linux additions. The folder that holds zlk.ini (the installation's SYSTEM
 * folder); until set, the current directory. */
void zlk_set_system_folder(const char* folder);
/* The reason of the last failed ZLKSendEmail/ZLKSetNotificationString of this
 * thread, or "" after a success. */
const char* zlk_last_error(void);

#ifdef __cplusplus
}
#endif

#endif /* ZLK_H */
