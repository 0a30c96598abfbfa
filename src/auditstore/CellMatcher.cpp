#include "CellMatcher.h"

#include "GridCellText.h"

#include <algorithm>
#include <cstring>

namespace {

bool isAscii(QByteArrayView bytes)
{
    // Eight bytes at a time: a cell is checked for every search.
    const char* at = bytes.data();
    const char* end = at + bytes.size();
    for (; end - at >= 8; at += 8) {
        quint64 word;
        std::memcpy(&word, at, 8);
        if (word & 0x8080808080808080ULL)
            return false;
    }
    for (; at < end; ++at)
        if (static_cast<unsigned char>(*at) >= 0x80)
            return false;
    return true;
}

// The ASCII characters QString::trimmed() removes.
bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

char folded(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

} // namespace

CellMatcher::CellMatcher(const QString& text, bool matchCase, bool wholeCell)
    : m_text(text.trimmed()), m_matchCase(matchCase), m_wholeCell(wholeCell),
      m_hasBlank(std::any_of(m_text.cbegin(), m_text.cend(), [](QChar c) { return c.isSpace(); }))
{
    bool ascii = true;
    for (const QChar c : std::as_const(m_text))
        ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        m_ascii = m_text.toLatin1();
        if (!matchCase)
            for (char& c : m_ascii)
                c = folded(c);
    }
}

bool CellMatcher::matches(QStringView shown) const
{
    if (m_text.isEmpty())
        return false;
    const QStringView trimmed = shown.trimmed();
    const Qt::CaseSensitivity cs = m_matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    return m_wholeCell ? trimmed.compare(m_text, cs) == 0 : trimmed.contains(m_text, cs);
}

bool CellMatcher::matchesStored(QByteArrayView utf8) const
{
    if (m_text.isEmpty())
        return false;
    if (!m_ascii.isNull() && isAscii(utf8)) {
        // A line break shown as a blank matters only where a blank is looked
        // for: a search text without one matches the stored bytes as it
        // matches the line shown (a whole cell with a break inside is equal
        // to it neither way; breaks at the ends are trimmed both ways).
        if (!m_hasBlank)
            return matchesAscii(utf8);
        const bool lineBreak = std::memchr(utf8.data(), '\n', static_cast<size_t>(utf8.size())) ||
                               std::memchr(utf8.data(), '\r', static_cast<size_t>(utf8.size()));
        if (!lineBreak)
            return matchesAscii(utf8);
    }
    return matches(GridCellText::oneLine(QString::fromUtf8(utf8)));
}

bool CellMatcher::matchesAscii(QByteArrayView bytes) const
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    const qsizetype n = m_ascii.size();
    const char* cell = bytes.data() + begin;
    const qsizetype length = end - begin;
    if (m_wholeCell && length != n)
        return false;
    if (length < n)
        return false;
    const char* text = m_ascii.constData();
    if (m_matchCase)
        return m_wholeCell ? std::memcmp(cell, text, static_cast<size_t>(n)) == 0
                           : QByteArrayView(cell, length).contains(QByteArrayView(text, n));
    for (qsizetype at = 0; at + n <= length; ++at) {
        if (folded(cell[at]) != text[0])
            continue;
        qsizetype k = 1;
        while (k < n && folded(cell[at + k]) == text[k])
            ++k;
        if (k == n)
            return true;
        if (m_wholeCell)
            return false;
    }
    return false;
}
