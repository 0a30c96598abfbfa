#ifndef INIFILE_H
#define INIFILE_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zlk {

// An INI file ("[Section]" headers, "key=value" lines, ";" or "#" comments)
// edited in place: changing one value rewrites that line only, so other
// sections, keys, comments and their order stay as they were. Section and key
// names compare without regard to ASCII case.
//
// Values are stored raw after "="; blanks around them are not part of the
// value, so a value that begins or ends with a blank or tab, or begins with a
// double quote, is written between double quotes, which reading removes again.
// Values may hold any character except CR and LF (rejected).
class IniFile
{
public:
    // Reads path; a missing file is an empty store. False with error otherwise.
    bool load(const std::string& path, std::string& error);

    // Writes to a temporary file beside path, flushes it to disk and renames
    // it over path, so readers see the old file or the new one, never a mix.
    // Through a symbolic link the link's target is replaced and the link
    // stays. The file keeps its mode, owner and group; when the saver cannot
    // give the new file the old owner (not root, not the owner), the file is
    // rewritten in place instead.
    bool save(const std::string& path, std::string& error) const;

    // path with every symbolic link along the chain at its end followed, even
    // to a target that does not exist yet.
    static std::string resolvedPath(const std::string& path);

    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Returns false when the stored value was already equal to value.
    bool setValue(std::string_view section, std::string_view key, std::string_view value);

    // "" when the name can be stored, else why not.
    static std::string checkSection(std::string_view section);
    static std::string checkKey(std::string_view key);
    static std::string checkValue(std::string_view value);

private:
    struct Position
    {
        size_t sectionLine = npos; // the header line of the section
        size_t sectionEnd = npos;  // one past the last non-blank line of the section
        size_t keyLine = npos;
    };
    static constexpr size_t npos = std::string::npos;

    static bool rewriteInPlace(const std::string& target, const std::string& content,
                               std::string& error);
    Position find(std::string_view section, std::string_view key) const;
    std::string lineText(size_t index) const; // without CR and byte-order mark
    std::string makeLine(std::string_view text) const;

    std::vector<std::string> m_lines; // as read, CR kept
    bool m_crlf = false;
};

} // namespace zlk

#endif // INIFILE_H
