#include "MimeMessage.h"

#include "HtmlText.h"
#include "ZlkSupport.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <idn2.h>
#include <random>
#include <sys/stat.h>

namespace zlk {

namespace {

constexpr size_t MaxLine = 76;                       // characters of an encoded line, without CRLF
constexpr size_t MaxHeaderLine = 78;                 // characters of a header line, without CRLF
constexpr size_t LineBytes = MaxLine / 4 * 3;        // bytes of a whole base64 line
constexpr size_t AttachmentChunk = LineBytes * 1024; // whole lines per read

const char Base64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

std::string lower(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return result;
}

std::string randomHex(int bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::random_device device;
    std::string text;
    for (int i = 0; i < bytes; ++i) {
        const unsigned value = device() & 0xFF;
        text += digits[value >> 4];
        text += digits[value & 15];
    }
    return text;
}

// Line breaks and tabs in a header would start a new header or fold badly.
std::string singleLine(std::string_view text)
{
    std::string result(text);
    std::replace_if(
        result.begin(), result.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; },
        ' ');
    return result;
}

std::string quoted(std::string_view text)
{
    std::string result = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            result += '\\';
        result += c;
    }
    return result + '"';
}

// A file name parameter: quoted when ASCII, RFC 2231 UTF-8 otherwise.
std::string fileNameParameter(const char* parameter, std::string_view name)
{
    if (isAscii(name))
        return std::string(parameter) + '=' + quoted(name);
    static const char digits[] = "0123456789ABCDEF";
    std::string result = std::string(parameter) + "*=UTF-8''";
    for (unsigned char c : name) {
        if (std::isalnum(c) || std::strchr("!#$&+-.^_`|~", c))
            result += char(c);
        else {
            result += '%';
            result += digits[c >> 4];
            result += digits[c & 15];
        }
    }
    return result;
}

std::string baseName(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string domainOf(std::string_view address)
{
    const size_t at = address.rfind('@');
    return at == std::string_view::npos ? std::string("localhost")
                                        : std::string(address.substr(at + 1));
}

// Folds an ASCII header text at blanks so that no line, counting the used
// characters before it, is longer than MaxHeaderLine; empty when a word is
// too long for that.
std::string foldedAscii(const std::string& line, size_t used)
{
    std::string result;
    size_t column = used;
    size_t start = 0;
    while (start < line.size()) {
        // The next word with the blanks before it.
        size_t end = line.find_first_not_of(' ', start);
        end = end == std::string::npos ? line.size() : line.find(' ', end);
        if (end == std::string::npos)
            end = line.size();
        const size_t length = end - start;
        if (column + length > MaxHeaderLine && start > 0 && line[start] == ' ') {
            result += "\r\n";
            column = 0;
        }
        if (column + length > MaxHeaderLine)
            return {};
        result.append(line, start, length);
        column += length;
        start = end;
    }
    return result;
}

bool isPlainAddress(std::string_view address)
{
    const size_t at = address.rfind('@');
    if (address.empty() || at == 0 || at == std::string_view::npos || at + 1 == address.size())
        return false;
    return std::none_of(address.begin(), address.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == '<' || c == '>' || c == ',' ||
               c == ';' || c == '"' || c == 0x7F;
    });
}

} // namespace

MimeMessage::~MimeMessage()
{
    if (m_attachmentFile)
        std::fclose(m_attachmentFile);
}

bool MimeMessage::parseAddresses(std::string_view text, std::vector<std::string>& addresses,
                                 std::string& error)
{
    addresses.clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(",;", start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view address = trimmed(text.substr(start, end - start));
        const size_t open = address.rfind('<');
        if (open != std::string_view::npos && address.back() == '>')
            address = trimmed(address.substr(open + 1, address.size() - open - 2));
        if (!address.empty()) {
            if (!isPlainAddress(address)) {
                error = "'" + std::string(address) + "' is not a valid e-mail address";
                return false;
            }
            addresses.emplace_back(address);
        }
        start = end + 1;
    }
    if (addresses.empty()) {
        error = "no recipient address given";
        return false;
    }
    return true;
}

std::string MimeMessage::headerText(std::string_view text, size_t used)
{
    const std::string line = singleLine(text);
    // Plain ASCII goes as it is, folded at blanks, unless it could be taken
    // for an encoded word or has a word too long to fold.
    if (isAscii(line) && line.find("=?") == std::string::npos) {
        std::string folded = foldedAscii(line, used);
        if (!folded.empty() || line.empty())
            return folded;
    }
    // RFC 2047 encoded words of whole UTF-8 characters, one per folded line.
    std::string result;
    size_t start = 0;
    while (start < line.size()) {
        size_t end = std::min(line.size(), start + 39);
        while (end < line.size() && end > start + 1 &&
               (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
            --end;
        if (!result.empty())
            result += "\r\n ";
        result += "=?UTF-8?B?" + base64(std::string_view(line).substr(start, end - start)) + "?=";
        start = end;
    }
    return result;
}

std::string MimeMessage::displayName(std::string_view name)
{
    const std::string line = singleLine(name);
    if (line.empty())
        return {};
    if (isAscii(line) && line.find("=?") == std::string::npos)
        return quoted(line);
    return headerText(line, 6);
}

bool MimeMessage::asciiAddress(std::string_view address, std::string& ascii, std::string& error)
{
    const size_t at = address.rfind('@');
    const std::string domain(
        address.substr(at == std::string_view::npos ? address.size() : at + 1));
    if (isAscii(domain)) {
        ascii = address;
        return true;
    }
    char* converted = nullptr;
    int rc = idn2_to_ascii_8z(domain.c_str(), &converted, IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL);
    if (rc != IDN2_OK)
        rc = idn2_to_ascii_8z(domain.c_str(), &converted, IDN2_NFC_INPUT | IDN2_TRANSITIONAL);
    if (rc != IDN2_OK) {
        error = "'" + std::string(address) +
                "' has a domain that cannot be written in ASCII: " + idn2_strerror(rc);
        return false;
    }
    ascii = std::string(address.substr(0, at + 1)) + converted;
    idn2_free(converted);
    return true;
}

std::string MimeMessage::quotedPrintable(std::string_view text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size() + text.size() / 8);
    size_t lineLength = 0;
    auto append = [&](std::string_view token) {
        if (lineLength + token.size() > MaxLine - 1) { // room for the soft break "="
            result += "=\r\n";
            lineLength = 0;
        }
        result += token;
        lineLength += token.size();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n') { // CRLF, LF or CR: one hard line break
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            result += "\r\n";
            lineLength = 0;
            continue;
        }
        const bool lineEnd = i + 1 == text.size() || text[i + 1] == '\r' || text[i + 1] == '\n';
        const bool literal =
            (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !lineEnd);
        if (literal) {
            const char token[] = {char(c), '\0'};
            append(token);
        } else {
            const char token[] = {'=', digits[c >> 4], digits[c & 15], '\0'};
            append(token);
        }
    }
    return result;
}

namespace {

void appendBase64(std::string& out, std::string_view data)
{
    const size_t at = out.size();
    out.resize(at + (data.size() + 2) / 3 * 4);
    char* to = out.data() + at;
    const auto* from = reinterpret_cast<const unsigned char*>(data.data());
    size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        const unsigned v = unsigned(from[i]) << 16 | unsigned(from[i + 1]) << 8 | from[i + 2];
        *to++ = Base64Digits[v >> 18 & 63];
        *to++ = Base64Digits[v >> 12 & 63];
        *to++ = Base64Digits[v >> 6 & 63];
        *to++ = Base64Digits[v & 63];
    }
    if (i < data.size()) {
        const bool two = i + 1 < data.size();
        const unsigned v = unsigned(from[i]) << 16 | (two ? unsigned(from[i + 1]) << 8 : 0u);
        *to++ = Base64Digits[v >> 18 & 63];
        *to++ = Base64Digits[v >> 12 & 63];
        *to++ = two ? Base64Digits[v >> 6 & 63] : '=';
        *to++ = '=';
    }
}

} // namespace

std::string MimeMessage::base64(std::string_view data)
{
    std::string result;
    appendBase64(result, data);
    return result;
}

std::string MimeMessage::contentTypeFor(std::string_view fileName)
{
    const size_t dot = fileName.rfind('.');
    const std::string extension =
        dot == std::string_view::npos ? std::string() : lower(fileName.substr(dot + 1));
    if (extension == "zip")
        return "application/zip";
    if (extension == "txt" || extension == "log")
        return "text/plain; charset=utf-8";
    if (extension == "html" || extension == "htm")
        return "text/html; charset=utf-8";
    if (extension == "pdf")
        return "application/pdf";
    if (extension == "csv")
        return "text/csv; charset=utf-8";
    return "application/octet-stream";
}

std::string MimeMessage::dateText(std::time_t time)
{
    // English names whatever the locale, as RFC 5322 wants them.
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    localtime_r(&time, &local);
    const long offset = local.tm_gmtoff / 60;
    const long hours = (offset < 0 ? -offset : offset) / 60;
    const long minutes = (offset < 0 ? -offset : offset) % 60;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  days[local.tm_wday], local.tm_mday, months[local.tm_mon], local.tm_year + 1900,
                  local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', hours,
                  minutes);
    return text;
}

bool MimeMessage::prepare(const Content& content, std::string& error)
{
    m_attachmentPath = content.attachmentPath;
    m_attachment = content.attachmentReader;
    if (!m_attachment && !content.attachmentPath.empty()) {
        m_attachmentFile = std::fopen(content.attachmentPath.c_str(), "rbe");
        struct stat info;
        if (!m_attachmentFile || ::fstat(fileno(m_attachmentFile), &info) != 0 ||
            !S_ISREG(info.st_mode)) {
            error = "cannot read the attachment " + content.attachmentPath + ": " +
                    (m_attachmentFile ? std::string("not a regular file") : errnoText(errno));
            return false;
        }
        m_attachment = [this](char* buffer, size_t size, std::string& failure) -> long {
            const size_t n = std::fread(buffer, 1, size, m_attachmentFile);
            if (n == 0 && std::ferror(m_attachmentFile)) {
                failure =
                    "cannot read the attachment " + m_attachmentPath + ": " + errnoText(errno);
                return -1;
            }
            return long(n);
        };
    }

    // Headers carry domains in their ASCII form: the server may not take
    // UTF-8 in headers, and the ASCII form means the same everywhere.
    std::string to;
    size_t column = 4;
    for (const std::string& recipient : content.recipients) {
        std::string ascii;
        if (!asciiAddress(recipient, ascii, error))
            return false;
        if (!to.empty()) {
            to += ',';
            ++column;
            if (column + 1 + ascii.size() > MaxHeaderLine) {
                to += "\r\n";
                column = 0;
            }
        }
        to += ' ' + ascii;
        column += 1 + ascii.size();
    }
    std::string from;
    if (!asciiAddress(content.fromAddress, from, error))
        return false;
    const std::string name = displayName(content.senderName);
    std::string head = "Date: " + dateText(std::time(nullptr)) + "\r\n";
    head += "Message-ID: <" + randomHex(12) + '@' + domainOf(from) + ">\r\n";
    head += "From: " + (name.empty() ? from : name + " <" + from + '>') + "\r\n";
    head += "To:" + to + "\r\n";
    head += "Subject: " + headerText(content.subject, 9) + "\r\n";
    head += "MIME-Version: 1.0\r\n";

    const std::string_view leading = content.body;
    const size_t first = leading.find_first_not_of(" \t\r\n");
    const bool html = first != std::string_view::npos && leading[first] == '<';
    auto textPart = [](const char* type, std::string_view text) {
        return std::string("Content-Type: ") + type +
               "; charset=utf-8\r\n"
               "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
               quotedPrintable(text) + (text.empty() || text.back() == '\n' ? "" : "=\r\n");
    };
    // HTML goes with its text beside it, for clients that show text only.
    std::string bodyPart;
    if (html) {
        const std::string alternative = "=_zlk_alt_" + randomHex(12);
        bodyPart =
            "Content-Type: multipart/alternative;\r\n boundary=\"" + alternative + "\"\r\n\r\n";
        bodyPart +=
            "--" + alternative + "\r\n" + textPart("text/plain", HtmlText::plainText(content.body));
        bodyPart += "\r\n--" + alternative + "\r\n" + textPart("text/html", content.body);
        bodyPart += "\r\n--" + alternative + "--\r\n";
    } else {
        bodyPart = textPart("text/plain", content.body);
    }
    if (!m_attachment) {
        // SMTP ends the last line of a message with CRLF; a soft line break
        // (added by textPart) keeps it out of a body that ends without one.
        m_pending = head + bodyPart;
        return true;
    }

    const std::string boundary = "=_zlk_" + randomHex(12);
    head += "Content-Type: multipart/mixed;\r\n boundary=\"" + boundary + "\"\r\n\r\n";
    head += "This is a message in MIME format.\r\n";
    if (!content.body.empty())
        head += "--" + boundary + "\r\n" + bodyPart +
                (html ? "" : "\r\n"); // the CRLF belongs to the boundary
    const std::string fileName = baseName(content.attachmentPath);
    head += "--" + boundary + "\r\n";
    head += "Content-Type: " + contentTypeFor(fileName) + "; " +
            fileNameParameter("name", fileName) + "\r\n";
    head += "Content-Transfer-Encoding: base64\r\n";
    head +=
        "Content-Disposition: attachment; " + fileNameParameter("filename", fileName) + "\r\n\r\n";
    m_pending = head;
    m_tail = "--" + boundary + "--\r\n";
    return true;
}

bool MimeMessage::fill()
{
    m_pending.clear();
    m_pendingOffset = 0;
    if (!m_attachment) {
        m_pending.swap(m_tail);
        return !m_pending.empty();
    }
    // A whole chunk unless the attachment ends: base64 lines stay whole.
    std::string chunk(AttachmentChunk, '\0');
    size_t n = 0;
    bool ended = false;
    while (n < chunk.size() && !ended) {
        const long got = m_attachment(chunk.data() + n, chunk.size() - n, m_readError);
        if (got < 0 || failed()) {
            if (m_readError.empty())
                m_readError = "cannot read the attachment " + m_attachmentPath;
            return false;
        }
        ended = got == 0;
        n += size_t(got);
    }
    const std::string_view data(chunk.data(), n);
    m_pending.reserve((n + LineBytes - 1) / LineBytes * (MaxLine + 2) + m_tail.size());
    for (size_t i = 0; i < n; i += LineBytes) {
        appendBase64(m_pending, data.substr(i, LineBytes));
        m_pending += "\r\n";
    }
    if (ended) {
        m_attachment = nullptr;
        m_pending += m_tail;
        m_tail.clear();
    }
    return true;
}

size_t MimeMessage::read(char* buffer, size_t size)
{
    while (m_pendingOffset == m_pending.size()) {
        if (failed() || !fill())
            return 0;
    }
    const size_t n = std::min(size, m_pending.size() - m_pendingOffset);
    std::memcpy(buffer, m_pending.data() + m_pendingOffset, n);
    m_pendingOffset += n;
    return n;
}

} // namespace zlk
