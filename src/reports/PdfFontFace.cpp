#include "PdfFontFace.h"

#include "PdfObjectWriter.h"
#include "TrueTypeSubsetter.h"

#include <QPainterPath>

namespace {

using TT = TrueTypeSubsetter;

void appendHex(QByteArray& out, quint32 value, int digits)
{
    static const char Hex[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out.append(Hex[(value >> shift) & 15]);
}

// A code point as the UTF-16 hex of a character map.
void appendUtf16(QByteArray& out, char32_t c)
{
    if (c < 0x10000) {
        appendHex(out, c, 4);
        return;
    }
    appendHex(out, QChar::highSurrogate(c), 4);
    appendHex(out, QChar::lowSurrogate(c), 4);
}

} // namespace

PdfFontFace::PdfFontFace(const QRawFont& font, PdfObjectWriter& out) : m_font(font), m_out(out)
{
    const QByteArray head = m_font.fontTable("head");
    const QByteArray hhea = m_font.fontTable("hhea");
    const QByteArray hmtx = m_font.fontTable("hmtx");
    m_trueType = !m_font.fontTable("loca").isEmpty();
    m_unitsPerEm = std::max<int>(16, TT::u16(head, 18));
    m_ascent = TT::s16(hhea, 4);
    m_descent = TT::s16(hhea, 6);
    const QByteArray os2 = m_font.fontTable("OS/2");
    m_bold = os2.size() >= 6 ? TT::u16(os2, 4) >= 600 : (TT::u16(head, 44) & 1) != 0;
    m_underline = TT::s16(m_font.fontTable("post"), 10);
    if (m_underline <= 0)
        m_underline = m_unitsPerEm / 20;
    const int glyphs = TT::u16(m_font.fontTable("maxp"), 4);
    const int metrics = std::clamp<int>(TT::u16(hhea, 34), 1, std::max(1, glyphs));
    m_advances.resize(size_t(std::max(glyphs, 1)));
    for (int g = 0; g < int(m_advances.size()); ++g)
        m_advances[size_t(g)] = TT::u16(hmtx, 4 * std::min(g, metrics - 1));
    m_used.resize(m_advances.size());
    m_text.resize(m_advances.size());
    if (!m_trueType)
        m_outlineCodes.assign(m_advances.size(), -1);
}

quint16 PdfFontFace::glyph(char32_t c) const
{
    QChar units[2];
    int count = 1;
    if (c >= 0x10000) {
        units[0] = QChar(QChar::highSurrogate(c));
        units[1] = QChar(QChar::lowSurrogate(c));
        count = 2;
    } else {
        units[0] = QChar(char16_t(c));
    }
    quint32 glyphs[2] = {0, 0};
    int found = 2;
    if (!m_font.glyphIndexesForChars(units, count, glyphs, &found) || found < 1)
        return 0;
    return glyphs[0] < m_advances.size() ? quint16(glyphs[0]) : 0;
}

PdfFontFace::Code PdfFontFace::use(quint16 glyph, char32_t text)
{
    if (glyph >= m_used.size())
        glyph = 0;
    if (!m_used[glyph]) {
        m_used[glyph] = true;
        m_text[glyph] = text;
    } else if (!m_text[glyph]) {
        m_text[glyph] = text;
    }
    if (m_trueType && text > 0 && text < 0x100 && glyph) {
        if (!m_byteFont) {
            m_byteFont = m_out.reserve();
            m_fonts.append(m_byteFont);
            m_byteGlyphs.assign(256, 0);
        }
        m_byteGlyphs[text] = glyph;
        return {m_byteFont, quint16(text), false};
    }
    if (m_trueType) {
        if (!m_wideFont) {
            m_wideFont = m_out.reserve();
            m_fonts.append(m_wideFont);
        }
        return {m_wideFont, glyph, true};
    }
    int& code = m_outlineCodes[glyph];
    if (code < 0) {
        code = int(m_outlineGlyphs.size());
        m_outlineGlyphs.push_back(glyph);
        if (code % 256 == 0)
            m_fonts.append(m_out.reserve());
    }
    return {m_fonts.at(code / 256), quint16(code % 256), false};
}

// Glyphs drawn for a shaped text stand for the characters the face maps to
// them (a joining form for its presentation form), the first one found.
void PdfFontFace::textFromCharacterMap()
{
    bool missing = false;
    for (size_t g = 0; g < m_used.size() && !missing; ++g)
        missing = m_used[g] && !m_text[g];
    if (!missing)
        return;
    std::vector<char32_t> characters;
    QString units;
    for (char32_t c = 0x20; c < 0x30000; ++c) {
        if (QChar::isSurrogate(c))
            continue;
        characters.push_back(c);
        units.append(QChar::fromUcs4(c));
    }
    std::vector<quint32> glyphs(size_t(units.size()));
    int found = int(glyphs.size());
    if (!m_font.glyphIndexesForChars(units.constData(), int(units.size()), glyphs.data(), &found))
        return;
    for (int i = 0; i < std::min(found, int(characters.size())); ++i) {
        const quint32 g = glyphs[size_t(i)];
        if (g > 0 && g < m_used.size() && m_used[g] && !m_text[g])
            m_text[g] = characters[size_t(i)];
    }
}

void PdfFontFace::write()
{
    textFromCharacterMap();
    if (m_trueType)
        writeTrueType();
    else
        writeOutlines();
}

QByteArray PdfFontFace::baseName() const
{
    QByteArray name;
    for (QChar c : m_font.familyName() + QLatin1Char('-') + m_font.styleName()) {
        if ((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
            (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-'))
            name.append(char(c.unicode()));
    }
    // A subset is named by six capitals of its own.
    size_t hash = qHash(name);
    for (size_t g = 0; g < m_used.size(); ++g) {
        if (m_used[g])
            hash = hash * 31 + g;
    }
    QByteArray tag;
    for (int i = 0; i < 6; ++i, hash /= 26)
        tag.append(char('A' + hash % 26));
    return tag + '+' + name;
}

QByteArray PdfFontFace::toUnicode(const std::vector<quint16>& glyphs, bool wide) const
{
    QByteArray cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo <</Registry (Adobe) /Ordering (UCS) /Supplement 0>> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n";
    cmap.append(wide ? "<0000> <FFFF>\n" : "<00> <FF>\n");
    cmap.append("endcodespacerange\n");
    QByteArray block;
    int inBlock = 0;
    auto endBlock = [&] {
        if (inBlock == 0)
            return;
        PdfObjectWriter::appendInt(cmap, inBlock);
        cmap.append(" beginbfchar\n");
        cmap.append(block);
        cmap.append("endbfchar\n");
        block.resize(0);
        inBlock = 0;
    };
    for (size_t code = 0; code < glyphs.size(); ++code) {
        // One-byte codes of a TrueType face are their characters.
        const char32_t text =
            m_trueType && !wide ? (glyphs[code] ? char32_t(code) : 0) : m_text[glyphs[code]];
        if (!text)
            continue;
        block.append('<');
        appendHex(block, quint32(code), wide ? 4 : 2);
        block.append("> <");
        appendUtf16(block, text);
        block.append(">\n");
        if (++inBlock == 100)
            endBlock();
    }
    endBlock();
    cmap.append("endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n");
    return cmap;
}

void PdfFontFace::writeTrueType()
{
    const QByteArray name = baseName();
    const QByteArray program = TrueTypeSubsetter::subset(m_font, m_used);
    const int cidFont = m_out.reserve();
    const int descriptor = m_out.reserve();
    const int file = m_out.reserve();
    std::vector<quint16> glyphs(m_used.size()); // codes are the glyph numbers
    for (size_t g = 0; g < glyphs.size(); ++g)
        glyphs[g] = quint16(g);
    if (m_wideFont)
        writeComposite(m_wideFont, name, cidFont, "/Identity-H", glyphs, true);
    if (m_byteFont) {
        // The one-byte codes as a character map of the font's own.
        QByteArray map = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                         "/CIDSystemInfo <</Registry (Adobe) /Ordering (Identity) /Supplement 0>> "
                         "def\n/CMapName /" +
                         name.mid(7) +
                         "-Bytes def\n/CMapType 1 def\n"
                         "1 begincodespacerange\n<00> <FF>\nendcodespacerange\n";
        QByteArray entries;
        int count = 0;
        for (int code = 0; code < 256; ++code) {
            if (!m_byteGlyphs[size_t(code)])
                continue;
            entries.append('<');
            appendHex(entries, quint32(code), 2);
            entries.append("> ");
            PdfObjectWriter::appendInt(entries, m_byteGlyphs[size_t(code)]);
            entries.append('\n');
            ++count;
        }
        PdfObjectWriter::appendInt(map, count);
        map.append(" begincidchar\n" + entries +
                   "endcidchar\nendcmap\n"
                   "CMapName currentdict /CMap defineresource pop\nend\nend\n");
        const int encoding = m_out.reserve();
        m_out.stream(encoding,
                     "/Type /CMap /CMapName /" + name.mid(7) +
                         "-Bytes /CIDSystemInfo <</Registry (Adobe) /Ordering (Identity) "
                         "/Supplement 0>> ",
                     map);
        QByteArray ref = " ";
        PdfObjectWriter::appendRef(ref, encoding);
        writeComposite(m_byteFont, name, cidFont, ref, m_byteGlyphs, false);
    }

    // Widths of the glyphs drawn, in runs of consecutive glyph numbers.
    QByteArray body = "<</Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
                      " /CIDSystemInfo <</Registry (Adobe) /Ordering (Identity) /Supplement 0>>"
                      " /CIDToGIDMap /Identity /FontDescriptor ";
    PdfObjectWriter::appendRef(body, descriptor);
    body.append(" /W [");
    for (size_t g = 0; g < m_used.size(); ++g) {
        if (!m_used[g] || (g > 0 && m_used[g - 1]))
            continue;
        PdfObjectWriter::appendInt(body, qint64(g));
        body.append(" [");
        for (size_t r = g; r < m_used.size() && m_used[r]; ++r) {
            PdfObjectWriter::appendNumber(body, scaled(m_advances[r]));
            body.append(' ');
        }
        body.append("]\n");
    }
    body.append("]>>");
    m_out.object(cidFont, body);

    const QByteArray head = m_font.fontTable("head");
    body = "<</Type /FontDescriptor /FontName /" + name + " /Flags 4 /FontBBox [";
    for (int at : {36, 38, 40, 42}) {
        PdfObjectWriter::appendNumber(body, scaled(TT::s16(head, at)));
        body.append(' ');
    }
    body.append("] /ItalicAngle 0 /Ascent ");
    PdfObjectWriter::appendNumber(body, scaled(m_ascent));
    body.append(" /Descent ");
    PdfObjectWriter::appendNumber(body, scaled(m_descent));
    body.append(" /CapHeight ");
    PdfObjectWriter::appendNumber(body, scaled(m_ascent));
    body.append(" /StemV 80 /FontFile2 ");
    PdfObjectWriter::appendRef(body, file);
    body.append(">>");
    m_out.object(descriptor, body);

    QByteArray length = "/Length1 ";
    PdfObjectWriter::appendInt(length, program.size());
    m_out.stream(file, length, program);
}

// A composite font over the face's glyphs: its codes (one or two bytes) are
// glyphs[code], through the encoding given.
void PdfFontFace::writeComposite(int font, const QByteArray& name, int cidFont,
                                 const QByteArray& encoding, const std::vector<quint16>& glyphs,
                                 bool wide)
{
    const int cmap = m_out.reserve();
    QByteArray body = "<</Type /Font /Subtype /Type0 /BaseFont /" + name + " /Encoding " +
                      encoding + " /DescendantFonts [";
    PdfObjectWriter::appendRef(body, cidFont);
    body.append("] /ToUnicode ");
    PdfObjectWriter::appendRef(body, cmap);
    body.append(">>");
    m_out.object(font, body);
    m_out.stream(cmap, {}, toUnicode(glyphs, wide));
}

// Fonts of up to 256 glyphs each whose glyphs are their outlines, in font
// units, filled.
void PdfFontFace::writeOutlines()
{
    QRawFont font = m_font;
    font.setPixelSize(m_unitsPerEm);
    for (qsizetype f = 0; f < m_fonts.size(); ++f) {
        const size_t first = size_t(f) * 256;
        const size_t last = std::min(first + 256, m_outlineGlyphs.size());
        const std::vector<quint16> glyphs(m_outlineGlyphs.begin() + qsizetype(first),
                                          m_outlineGlyphs.begin() + qsizetype(last));
        QByteArray procs = "<<";
        QByteArray widths = "[";
        QByteArray names = "[0";
        for (size_t code = 0; code < glyphs.size(); ++code) {
            const quint16 g = glyphs[code];
            QByteArray draw;
            PdfObjectWriter::appendInt(draw, m_advances[g]);
            draw.append(" 0 d0\n");
            const QPainterPath path = font.pathForGlyph(g);
            for (int i = 0; i < path.elementCount(); ++i) {
                const QPainterPath::Element e = path.elementAt(i);
                const int points = e.type == QPainterPath::CurveToElement ? 3 : 1;
                for (int p = 0; p < points; ++p) {
                    const QPainterPath::Element at = path.elementAt(i + p);
                    PdfObjectWriter::appendNumber(draw, at.x);
                    draw.append(' ');
                    PdfObjectWriter::appendNumber(draw, -at.y);
                    draw.append(' ');
                }
                draw.append(e.type == QPainterPath::MoveToElement   ? "m\n"
                            : e.type == QPainterPath::LineToElement ? "l\n"
                                                                    : "c\n");
                i += points - 1;
            }
            draw.append("f\n");
            const int proc = m_out.reserve();
            m_out.stream(proc, {}, draw);
            QByteArray glyphName = "/g";
            PdfObjectWriter::appendInt(glyphName, qint64(code));
            procs.append(glyphName + ' ');
            PdfObjectWriter::appendRef(procs, proc);
            procs.append('\n');
            names.append(glyphName);
            PdfObjectWriter::appendInt(widths, m_advances[g]);
            widths.append(' ');
        }
        const int cmap = m_out.reserve();
        m_out.stream(cmap, {}, toUnicode(glyphs, false));
        QByteArray body = "<</Type /Font /Subtype /Type3 /FontBBox [0 0 0 0] /FontMatrix [";
        const double unit = 1.0 / m_unitsPerEm;
        body.append(QByteArray::number(unit, 'g', 8) + " 0 0 " + QByteArray::number(unit, 'g', 8) +
                    " 0 0] /FirstChar 0 /LastChar ");
        PdfObjectWriter::appendInt(body, qint64(glyphs.size()) - 1);
        body.append(" /Widths " + widths + "] /Encoding <</Type /Encoding /Differences " + names +
                    "]>> /CharProcs " + procs + ">> /Resources <<>> /ToUnicode ");
        PdfObjectWriter::appendRef(body, cmap);
        body.append(">>");
        m_out.object(m_fonts.at(f), body);
        m_out.flush();
    }
}
