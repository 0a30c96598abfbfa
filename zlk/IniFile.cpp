#include "IniFile.h"

#include "ZlkSupport.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zlk {

namespace {

bool equalNames(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string encodeValue(std::string_view value)
{
    if (!value.empty() && (isBlank(value.front()) || isBlank(value.back()) || value[0] == '"'))
        return '"' + std::string(value) + '"';
    return std::string(value);
}

std::string decodeValue(std::string_view raw)
{
    std::string_view value = trimmed(raw);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// The section name of a header line, or nothing when the line is no header.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trimmed(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const size_t close = line.rfind(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trimmed(line.substr(1, close - 1));
}

} // namespace

bool IniFile::load(const std::string& path, std::string& error)
{
    m_lines.clear();
    m_crlf = false;
    // Not blocking, and only a regular file: a FIFO or device planted under
    // the name must not hang or feed the store.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        error = "cannot read " + path + ": " + errnoText(errno);
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = "cannot read " + path + ": it is not a regular file";
        return false;
    }
    std::string content;
    char chunk[16384];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = "cannot read " + path + ": " + errnoText(errno);
            ::close(fd);
            return false;
        }
        content.append(chunk, size_t(n));
    }
    ::close(fd);

    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        m_lines.emplace_back(content, start, end - start);
        start = end + 1;
    }
    m_crlf = !m_lines.empty() && !m_lines.front().empty() && m_lines.front().back() == '\r';
    return true;
}

std::string IniFile::resolvedPath(const std::string& path)
{
    // Follow the chain by hand: realpath() fails on a link whose target does
    // not exist yet, and the save must then create the target, not replace
    // the link.
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), target, sizeof target - 1);
        if (n < 0)
            return current;
        target[n] = '\0';
        if (target[0] == '/') {
            current = target;
        } else {
            const size_t slash = current.rfind('/');
            current = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) +
                      target;
        }
    }
    return current; // a loop: the open below fails with ELOOP and says so
}

bool IniFile::save(const std::string& path, std::string& error) const
{
    // A symbolic link stays a link: the file it points at is replaced.
    const std::string target = resolvedPath(path);

    std::string content;
    for (const std::string& line : m_lines)
        content += line + '\n';

    struct stat info;
    const bool exists = ::stat(target.c_str(), &info) == 0;
    const mode_t mode = exists ? (info.st_mode & 07777) : 0644;

    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot write " + target + ": " + errnoText(errno);
        return false;
    }
    // The new file gets the old one's owner and group. Only the owner or root
    // can give a file away; anyone else who may write the file rewrites it in
    // place instead, under the writers' lock, so its owner stays.
    if (exists && (info.st_uid != ::geteuid() || info.st_gid != ::getegid()) &&
        ::fchown(fd, info.st_uid, info.st_gid) != 0) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return rewriteInPlace(target, content, error);
    }
    const bool written =
        ::fchmod(fd, mode) == 0 && writeAll(fd, content.data(), content.size()) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) {
        error = "cannot write " + target + ": " + errnoText(written ? errno : writeErrno);
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        error = "cannot replace " + target + ": " + errnoText(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    // The folder is not synced: after a crash the old file is as valid as the new one.
    return true;
}

bool IniFile::rewriteInPlace(const std::string& target, const std::string& content,
                             std::string& error)
{
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        error = "cannot write " + target + ": " + errnoText(errno);
        return false;
    }
    const bool written = writeAll(fd, content.data(), content.size()) &&
                         ::ftruncate(fd, off_t(content.size())) == 0 && ::fsync(fd) == 0;
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) {
        error = "cannot write " + target + ": " + errnoText(written ? errno : writeErrno);
        return false;
    }
    return true;
}

std::string IniFile::lineText(size_t index) const
{
    std::string_view line = m_lines[index];
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (index == 0 && line.substr(0, 3) == "\xEF\xBB\xBF")
        line.remove_prefix(3);
    return std::string(line);
}

std::string IniFile::makeLine(std::string_view text) const
{
    return m_crlf ? std::string(text) + '\r' : std::string(text);
}

IniFile::Position IniFile::find(std::string_view section, std::string_view key) const
{
    Position position;
    bool inside = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const std::string line = lineText(i);
        if (const auto name = sectionName(line)) {
            if (inside) // only the first section of that name counts
                break;
            inside = equalNames(*name, section);
            if (inside) {
                position.sectionLine = i;
                position.sectionEnd = i + 1;
            }
            continue;
        }
        if (!inside)
            continue;
        const std::string_view text = trimmed(line);
        if (text.empty())
            continue;
        position.sectionEnd = i + 1;
        if (text.front() == ';' || text.front() == '#')
            continue;
        const size_t equals = text.find('=');
        if (equals != std::string_view::npos && position.keyLine == npos &&
            equalNames(trimmed(text.substr(0, equals)), key))
            position.keyLine = i;
    }
    return position;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const
{
    const Position position = find(section, key);
    if (position.keyLine == npos)
        return std::nullopt;
    const std::string line = lineText(position.keyLine);
    return decodeValue(std::string_view(line).substr(line.find('=') + 1));
}

bool IniFile::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    const Position position = find(section, key);
    if (position.keyLine != npos) {
        const std::string line = lineText(position.keyLine);
        const size_t equals = line.find('=');
        if (decodeValue(std::string_view(line).substr(equals + 1)) == value)
            return false;
        // Keep the key as it is spelled in the file.
        m_lines[position.keyLine] =
            makeLine(std::string(trimmed(std::string_view(line).substr(0, equals))) + '=' +
                     encodeValue(value));
        return true;
    }
    const std::string entry = makeLine(std::string(key) + '=' + encodeValue(value));
    if (position.sectionLine != npos) {
        m_lines.insert(m_lines.begin() + std::ptrdiff_t(position.sectionEnd), entry);
        return true;
    }
    if (!m_lines.empty() && !trimmed(lineText(m_lines.size() - 1)).empty())
        m_lines.push_back(makeLine(""));
    m_lines.push_back(makeLine('[' + std::string(section) + ']'));
    m_lines.push_back(entry);
    return true;
}

std::string IniFile::checkSection(std::string_view section)
{
    if (section.empty())
        return "the section name is empty";
    if (section.find_first_of("[]\r\n") != std::string_view::npos)
        return "the section name '" + std::string(section) + "' holds a bracket or a line break";
    if (trimmed(section).size() != section.size())
        return "the section name '" + std::string(section) + "' begins or ends with a blank";
    return {};
}

std::string IniFile::checkKey(std::string_view key)
{
    if (key.empty())
        return "the key name is empty";
    if (key.find_first_of("=\r\n") != std::string_view::npos)
        return "the key name '" + std::string(key) + "' holds '=' or a line break";
    if (trimmed(key).size() != key.size())
        return "the key name '" + std::string(key) + "' begins or ends with a blank";
    if (key.front() == '[' || key.front() == ';' || key.front() == '#')
        return "the key name '" + std::string(key) + "' begins with '" + key.front() + "'";
    return {};
}

std::string IniFile::checkValue(std::string_view value)
{
    if (value.find_first_of("\r\n") != std::string_view::npos)
        return "the value holds a line break, which the store cannot keep";
    return {};
}

} // namespace zlk
