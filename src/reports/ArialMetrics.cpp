#include "ArialMetrics.h"

#include <QFontInfo>

#include <algorithm>
#include <cmath>

namespace {

// Advance widths of Arial in font units (2048 to the em), as in its
// metric-compatible twin Liberation Sans, which stands in for Arial here.
// U+0020..U+007E, then U+00A0..U+00FF.
const quint16 RegularAdvance[] = {
    569,  569,  727,  1139, 1139, 1821, 1366, 391,  682,  682,  797,  1196, 569,  682,  569,  569,
    1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 569,  569,  1196, 1196, 1196, 1139,
    2079, 1366, 1366, 1479, 1479, 1366, 1251, 1593, 1479, 569,  1024, 1366, 1139, 1706, 1479, 1593,
    1366, 1593, 1479, 1366, 1251, 1479, 1366, 1933, 1366, 1366, 1251, 569,  569,  569,  961,  1139,
    682,  1139, 1139, 1024, 1139, 1139, 569,  1139, 1139, 455,  455,  1024, 455,  1706, 1139, 1139,
    1139, 1139, 682,  1024, 569,  1139, 1024, 1479, 1024, 1024, 1024, 684,  532,  684,  1196, 569,
    682,  1139, 1139, 1139, 1139, 532,  1139, 682,  1509, 758,  1139, 1196, 682,  1509, 1131, 819,
    1124, 682,  682,  682,  1180, 1100, 569,  682,  682,  748,  1139, 1708, 1708, 1708, 1251, 1366,
    1366, 1366, 1366, 1366, 1366, 2048, 1479, 1366, 1366, 1366, 1366, 569,  569,  569,  569,  1479,
    1479, 1593, 1593, 1593, 1593, 1593, 1196, 1593, 1479, 1479, 1479, 1479, 1366, 1366, 1251, 1139,
    1139, 1139, 1139, 1139, 1139, 1821, 1024, 1139, 1139, 1139, 1139, 569,  569,  569,  569,  1139,
    1139, 1139, 1139, 1139, 1139, 1139, 1124, 1251, 1139, 1139, 1139, 1139, 1024, 1139, 1024,
};

// U+0020..U+007E, then U+00A0..U+00FF.
const quint16 BoldAdvance[] = {
    569,  682,  971,  1139, 1139, 1821, 1479, 487,  682,  682,  797,  1196, 569,  682,  569,  569,
    1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 682,  682,  1196, 1196, 1196, 1251,
    1997, 1479, 1479, 1479, 1479, 1366, 1251, 1593, 1479, 569,  1139, 1479, 1251, 1706, 1479, 1593,
    1366, 1593, 1479, 1366, 1251, 1479, 1366, 1933, 1366, 1366, 1251, 682,  569,  682,  1196, 1139,
    682,  1139, 1251, 1139, 1251, 1139, 682,  1251, 1251, 569,  569,  1139, 569,  1821, 1251, 1251,
    1251, 1251, 797,  1139, 682,  1251, 1139, 1593, 1139, 1139, 1024, 797,  573,  797,  1196, 569,
    682,  1139, 1139, 1139, 1139, 573,  1139, 682,  1509, 758,  1139, 1196, 682,  1509, 1131, 819,
    1124, 682,  682,  682,  1180, 1139, 569,  682,  682,  748,  1139, 1708, 1708, 1708, 1251, 1479,
    1479, 1479, 1479, 1479, 1479, 2048, 1479, 1366, 1366, 1366, 1366, 569,  569,  569,  569,  1479,
    1479, 1593, 1593, 1593, 1593, 1593, 1196, 1593, 1479, 1479, 1479, 1479, 1366, 1366, 1251, 1139,
    1139, 1139, 1139, 1139, 1139, 1821, 1139, 1139, 1139, 1139, 1139, 569,  569,  569,  569,  1251,
    1251, 1251, 1251, 1251, 1251, 1251, 1124, 1251, 1251, 1251, 1251, 1251, 1139, 1251, 1139,
};

constexpr qreal UnitsPerEm = 2048;
// Ascent, descent and line gap: 1854 + 434 + 67 units.
constexpr qreal LineSpacingEm = (1854 + 434 + 67) / UnitsPerEm;

// Line spacing (ascent, descent and gap) of the faces that stand in for
// Arial, in units of 2048 to the em, by the code points each one draws.
struct FallbackFace
{
    char32_t first;
    char32_t last;
    int spacing;
};
constexpr int CjkSpacing = 2680;    // Droid Sans Fallback
constexpr int SymbolSpacing = 2596; // Symbola
constexpr int ArabicSpacing = 2384; // DejaVu Sans, the system's choice
constexpr FallbackFace FallbackFaces[] = {
    {0x0600, 0x08FF, ArabicSpacing}, {0x2190, 0x2BFF, SymbolSpacing},
    {0x2E80, 0xA4CF, CjkSpacing},    {0xAC00, 0xD7A3, CjkSpacing},
    {0xF900, 0xFAFF, CjkSpacing},    {0xFB50, 0xFDFF, ArabicSpacing},
    {0xFE30, 0xFE4F, CjkSpacing},    {0xFE70, 0xFEFF, ArabicSpacing},
    {0xFF00, 0xFFEF, CjkSpacing},    {0x1F000, 0x1FAFF, SymbolSpacing},
    {0x20000, 0x3FFFD, CjkSpacing},
};

int units(char32_t u, bool bold)
{
    const quint16* table = bold ? BoldAdvance : RegularAdvance;
    if (u >= 0x20 && u < 0x7F)
        return table[u - 0x20];
    if (u >= 0xA0 && u <= 0xFF)
        return table[0x7F - 0x20 + (u - 0xA0)];
    switch (u) {
    case 0x2013: // en dash
    case 0x20AC: // euro sign
        return 1139;
    case 0x2014: // em dash
    case 0x2026: // ellipsis
        return 2048;
    case 0x2018:
    case 0x2019:
        return bold ? 569 : 455;
    case 0x201C:
    case 0x201D:
        return bold ? 1024 : 682;
    case 0x2022:
        return 717;
    default:
        break;
    }
    if (u >= 0x0300 && u <= 0x036F)
        return 0; // combining marks
    if (u >= 0x2E80)
        return 2048; // ideographs, emoji and the like are a full em wide
    return 1139;     // anything else: the width of a digit
}

} // namespace

int ArialMetrics::lineHeight(const ReportFont& font) const
{
    return int(std::ceil(font.pointSize * 20 * LineSpacingEm));
}

int ArialMetrics::lineHeight(const ReportFont& font, QStringView text) const
{
    int spacing = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x0600)
            continue;
        char32_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            u = QChar::surrogateToUcs4(c, text[++i]);
        for (const FallbackFace& face : FallbackFaces) {
            if (u >= face.first && u <= face.last)
                spacing = std::max(spacing, face.spacing);
        }
    }
    if (spacing == 0)
        return lineHeight(font);
    return std::max(lineHeight(font), int(std::ceil(font.pointSize * 20 * spacing / UnitsPerEm)));
}

QStringList ArialMetrics::fallbackFamilies()
{
    return {QStringLiteral("Droid Sans Fallback"), QStringLiteral("Symbola")};
}

QFont ArialMetrics::layoutFace(const ReportFont& f)
{
    QFont face(f.family);
    face.setBold(f.bold);
    face.setHintingPreference(QFont::PreferNoHinting);
    return face;
}

QStringList ArialMetrics::drawingFamilies(const QFont& layoutFace)
{
    return QStringList{QFontInfo(layoutFace).family()} + fallbackFamilies();
}

qreal ArialMetrics::advance(char32_t c, const ReportFont& font) const
{
    return units(c, font.bold) * font.pointSize * 20 / UnitsPerEm;
}
