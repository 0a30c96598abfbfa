#include "ReportTextMetrics.h"

#include <algorithm>

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QChar(0x00A0);
}

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

// A copy with every control character but the line breaks turned into a blank.
QString printable(QStringView text)
{
    QString copy = text.toString();
    for (QChar& c : copy) {
        if (c.unicode() < 0x20 && !isLineBreak(c))
            c = QLatin1Char(' ');
        else if (c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return copy;
}

bool needsCleaning(QStringView text)
{
    for (QChar c : text) {
        if ((c.unicode() < 0x20 && !isLineBreak(c)) || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

// Every code unit below U+0300: one column each on a fixed grid.
bool allNarrow(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x0300; });
}

// The code point at i, and how many code units it takes.
char32_t codePointAt(QStringView text, qsizetype i, int* units)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        *units = 2;
        return QChar::surrogateToUcs4(c, text[i + 1]);
    }
    *units = 1;
    return c.unicode();
}

QString trimmedRight(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && isBlank(text[end - 1]))
        --end;
    return text.first(end).toString();
}

} // namespace

const qreal* ReportTextMetrics::asciiAdvances(const ReportFont& font) const
{
    for (const AsciiAdvances& known : m_asciiAdvances) {
        if (known.font == font)
            return known.advance.data();
    }
    AsciiAdvances added;
    added.font = font;
    for (char32_t c = 0; c < 128; ++c)
        added.advance[c] = advance(c, font);
    m_asciiAdvances.append(added);
    return m_asciiAdvances.constLast().advance.data();
}

qreal ReportTextMetrics::width(QStringView text, const ReportFont& font) const
{
    const qreal* ascii = asciiAdvances(font);
    qreal total = 0;
    int units = 1;
    for (qsizetype i = 0; i < text.size(); i += units) {
        const char32_t c = codePointAt(text, i, &units);
        total += c < 128 ? ascii[c] : advance(c, font);
    }
    return total;
}

QStringList ReportTextMetrics::wrap(const QString& text, qreal maxWidth, const ReportFont& font,
                                    int maxLines, bool* cut) const
{
    QStringList lines;
    wrap(text, maxWidth, font, maxLines, lines, cut);
    return lines;
}

void ReportTextMetrics::wrap(const QString& original, qreal maxWidth, const ReportFont& font,
                             int maxLines, QStringList& lines, bool* cut) const
{
    lines.clear();
    bool ignored = false;
    bool& broken = cut ? *cut : ignored;
    broken = false;
    QStringView text = original;
    // Most texts are one clean line, and most of those fit.
    bool clean = true;
    // Whether a control character other than a line break may be there.
    bool otherControl = true;
    qreal used = 0;
    bool measured = false;
    if (fixedAdvance() > 0) {
        // Equally wide characters: one pass without branches.
        const char16_t* units = text.utf16();
        char16_t control = 0;
        char16_t other = 0;
        char16_t wide = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = units[i];
            control |= (c < 0x20) | (c == 0x7F);
            other |= (c < 0x20 && c != u'\n' && c != u'\r') | (c == 0x7F);
            wide |= c >= 0x0300;
        }
        if (!wide) {
            clean = !control;
            otherControl = other;
            used = text.size() * fixedAdvance();
            measured = true;
        }
    }
    if (!measured) {
        int units = 1;
        const qreal* ascii = asciiAdvances(font);
        for (qsizetype i = 0; i < text.size(); i += units) {
            const char32_t c = codePointAt(text, i, &units);
            if (c < 0x20 || c == 0x7F) {
                clean = false;
                break;
            }
            used += c < 128 ? ascii[c] : advance(c, font);
        }
    }
    if (clean && used <= maxWidth) {
        lines.append(text.isEmpty() || !isBlank(text.back()) ? original : trimmedRight(text));
        return;
    }
    if (clean) {
        wrapParagraph(text, maxWidth, font, maxLines, lines, broken);
        return;
    }

    QString cleaned;
    if (otherControl && needsCleaning(text)) {
        cleaned = printable(text);
        text = cleaned;
    }
    qsizetype pos = 0;
    const qsizetype n = text.size();
    for (;;) {
        qsizetype end = pos;
        while (end < n && !isLineBreak(text[end]))
            ++end;
        if (!wrapParagraph(text.sliced(pos, end - pos), maxWidth, font, maxLines, lines, broken)) {
            broken = true;
            break;
        }
        if (end >= n)
            break;
        pos = end + 1;
        if (text[end] == QLatin1Char('\r') && pos < n && text[pos] == QLatin1Char('\n'))
            ++pos;
    }
    if (lines.isEmpty())
        lines.append(QString());
}

// Appends the lines of one paragraph; false once maxLines lines are there.
bool ReportTextMetrics::wrapParagraph(QStringView paragraph, qreal maxWidth, const ReportFont& font,
                                      int maxLines, QStringList& lines, bool& cut) const
{
    auto full = [&] { return maxLines > 0 && lines.size() >= maxLines; };
    if (paragraph.isEmpty()) {
        lines.append(QString());
        return !full();
    }
    const qsizetype n = paragraph.size();
    qsizetype i = 0;
    // Where every character is equally wide the break is found by counting.
    const qreal fixed = allNarrow(paragraph) ? fixedAdvance() : 0;
    const qsizetype fitting = fixed > 0 ? std::max<qsizetype>(1, qsizetype(maxWidth / fixed)) : 0;
    while (fixed > 0 && i < n) {
        if (n - i <= fitting) {
            lines.append(trimmedRight(paragraph.sliced(i)));
            return !full();
        }
        const qsizetype j = i + fitting; // the first character that does not fit
        qsizetype end = j;
        if (!isBlank(paragraph[j])) {
            qsizetype blank = j - 1;
            while (blank > i && !isBlank(paragraph[blank]))
                --blank;
            if (blank > i)
                end = blank;
        }
        lines.append(trimmedRight(paragraph.sliced(i, end - i)));
        cut = true;
        if (full())
            return false;
        i = end;
        while (i < n && isBlank(paragraph[i]))
            ++i;
    }
    const qreal* ascii = asciiAdvances(font);
    while (i < n) {
        qreal used = 0;
        qsizetype j = i;
        qsizetype lastBlank = -1;
        int units = 1;
        // Code point by code point: a pair or a combining mark stays with
        // the character before it.
        while (j < n) {
            const char32_t c = codePointAt(paragraph, j, &units);
            const bool blank = c == u' ' || c == 0xA0;
            const qreal a = c < 128 ? ascii[c] : advance(c, font);
            if (used + a > maxWidth && j > i && !blank)
                break;
            if (blank)
                lastBlank = j;
            used += a;
            j += units;
        }
        if (j >= n) {
            lines.append(trimmedRight(paragraph.sliced(i)));
            return !full();
        }
        qsizetype end;
        if (lastBlank > i) {
            end = lastBlank;
        } else {
            end = j;
        }
        lines.append(trimmedRight(paragraph.sliced(i, end - i)));
        cut = true;
        if (full())
            return false;
        i = end;
        while (i < n && isBlank(paragraph[i]))
            ++i;
    }
    return !full();
}
