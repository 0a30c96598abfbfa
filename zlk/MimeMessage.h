#ifndef MIMEMESSAGE_H
#define MIMEMESSAGE_H

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zlk {

// One mail message in MIME form, produced piece by piece for the SMTP upload.
// The body goes as text/plain or, when it starts with "<", as text/html with
// its plain text beside it (multipart/alternative), in UTF-8 and
// quoted-printable (so long lines survive); an attachment makes the
// message multipart/mixed and is read (from its file or its reader) and
// base64-encoded while the message is sent, so its size does not matter to
// memory.
class MimeMessage
{
public:
    struct Content
    {
        std::string senderName; // display name of From
        std::string fromAddress;
        std::vector<std::string> recipients;
        std::string subject;
        std::string body;
        std::string attachmentPath; // empty: no attachment, unless a reader is set
        // An attachment made while it is sent, named by attachmentPath's base
        // name: the count of bytes placed (0 at the end), or -1 with error set.
        std::function<long(char* buffer, size_t size, std::string& error)> attachmentReader;
    };

    MimeMessage() = default;
    ~MimeMessage();
    MimeMessage(const MimeMessage&) = delete;
    MimeMessage& operator=(const MimeMessage&) = delete;

    // Builds the headers and opens the attachment. False with a reason when
    // the attachment cannot be read.
    bool prepare(const Content& content, std::string& error);

    // Copies the next bytes of the message to buffer; 0 at the end. After a
    // read error on the attachment it returns 0 and failed() is true.
    size_t read(char* buffer, size_t size);
    bool failed() const { return !m_readError.empty(); }
    const std::string& readError() const { return m_readError; }

    // Splits a recipient text at "," and ";" into bare addresses
    // ("Name <a@b>" gives a@b). False with a reason for an empty or bad one.
    static bool parseAddresses(std::string_view text, std::vector<std::string>& addresses,
                               std::string& error);

    // A header text after used characters of its line: ASCII folded at
    // blanks within 78 characters, anything else as encoded words.
    static std::string headerText(std::string_view text, size_t used);
    // The address with its domain in ASCII (IDNA, "xn--..."); false with a
    // reason when the domain has no such form.
    static bool asciiAddress(std::string_view address, std::string& ascii, std::string& error);
    static std::string displayName(std::string_view name);
    static std::string quotedPrintable(std::string_view text);
    static std::string base64(std::string_view data);
    static std::string contentTypeFor(std::string_view fileName);
    static std::string dateText(std::time_t time);

private:
    bool fill();

    std::string m_pending; // bytes ready to go out
    size_t m_pendingOffset = 0;
    std::FILE* m_attachmentFile = nullptr;
    std::function<long(char*, size_t, std::string&)> m_attachment; // until its end
    std::string m_attachmentPath;
    std::string m_tail; // after the attachment
    std::string m_readError;
};

} // namespace zlk

#endif // MIMEMESSAGE_H
