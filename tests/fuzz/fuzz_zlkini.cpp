// zlk.ini through the library's calls. Input: the file's text, then section,
// key and value, separated by \x01. A value that is stored reads back
// identical, every other key reads as before, and a short buffer receives a
// prefix of the value cut between characters.
#include "FuzzCheck.h"
#include "zlk.h"

#include <QTemporaryDir>

#include <string>
#include <utility>
#include <vector>

namespace {

std::string readBack(const std::string& section, const std::string& key, int32_t size)
{
    std::vector<char> buffer(size_t(size) + 1, '\x7f');
    const int32_t length =
        ZLKGetNotificationString(section.c_str(), key.c_str(), "\x02", buffer.data(), size);
    FUZZ_CHECK(length >= 0 && length < size && buffer[size_t(length)] == '\0' &&
                   buffer[size_t(size)] == '\x7f',
               QStringLiteral("buffer of %1 overrun or not terminated").arg(size));
    return std::string(buffer.data(), size_t(length));
}

// The section and key names of the file's "key=value" lines.
std::vector<std::pair<std::string, std::string>> keysOf(const QByteArray& ini)
{
    std::vector<std::pair<std::string, std::string>> keys;
    std::string section;
    for (QByteArray line : ini.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[') && line.contains(']')) {
            section = line.mid(1, line.lastIndexOf(']') - 1).trimmed().toStdString();
        } else if (const qsizetype equals = line.indexOf('='); equals > 0) {
            const QByteArray key = line.left(equals).trimmed();
            if (!key.isEmpty() && !key.contains('\0') && !section.empty() &&
                section.find('\0') == std::string::npos)
                keys.emplace_back(section, key.toStdString());
        }
    }
    return keys;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4000)
        return -1;
    const QList<QByteArray> parts =
        fuzzBytes(data, size).split('\x01');
    if (parts.size() != 4 || parts[1].contains('\0') || parts[2].contains('\0') ||
        parts[3].contains('\0'))
        return -1;
    const std::string section = parts[1].toStdString();
    const std::string key = parts[2].toStdString();
    const std::string value = parts[3].toStdString();

    static QTemporaryDir folder;
    zlk_set_system_folder(folder.path().toUtf8().constData());
    writeFuzzFile(folder.filePath(QStringLiteral("zlk.ini")), parts[0]);

    const auto others = keysOf(parts[0]);
    std::vector<std::string> before;
    for (const auto& [s, k] : others)
        before.push_back(readBack(s, k, 8192));

    if (!ZLKSetNotificationString(section.c_str(), key.c_str(), value.c_str())) {
        FUZZ_CHECK(*zlk_last_error() != '\0', QStringLiteral("refused without a reason"));
        return 0;
    }
    if (section.empty() && key.empty() && value.empty())
        return 0;
    const auto q = [](const std::string& text) { return QString::fromStdString(text); };
    const std::string stored = readBack(section, key, 8192);
    FUZZ_CHECK(stored == value, QStringLiteral("[%1] %2 = [%3] read back as [%4]")
                                    .arg(q(section), q(key), q(value), q(stored)));

    // Names compare without regard to ASCII letter case.
    const auto same = [](std::string a, std::string b) {
        for (std::string* t : {&a, &b})
            for (char& c : *t)
                c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        return a == b;
    };
    for (size_t i = 0; i < others.size(); ++i) {
        const auto& [s, k] = others[i];
        FUZZ_CHECK((same(s, section) && same(k, key)) || readBack(s, k, 8192) == before[i],
                   QStringLiteral("[%1] %2 changed by setting [%3] %4")
                       .arg(q(s), q(k), q(section), q(key)));
    }

    // A short buffer: a prefix of the value, not split inside a character.
    const int32_t small = int32_t(value.size() % 7) + 1;
    const std::string cut = readBack(section, key, small);
    FUZZ_CHECK(value.compare(0, cut.size(), cut) == 0, QStringLiteral("not a prefix"));
    const QByteArray utf8 = QByteArray::fromStdString(value);
    if (QString::fromUtf8(utf8).toUtf8() == utf8) {
        const QByteArray c = QByteArray::fromStdString(cut);
        FUZZ_CHECK(QString::fromUtf8(c).toUtf8() == c,
                   QStringLiteral("cut inside a character at %1").arg(small));
    }
    return 0;
}
