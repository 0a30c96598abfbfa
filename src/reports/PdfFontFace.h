#pragma once

#include <QByteArray>
#include <QList>
#include <QRawFont>
#include <vector>

class PdfObjectWriter;

// One font face as a PDF embeds it: the glyphs drawn so far, what text each
// stands for (so that the text can be copied and searched), and at the end
// the fonts themselves. A TrueType face becomes a subset of its program
// under two composite fonts: one whose one-byte codes are the characters
// U+0000 to U+00FF (most of a report's text, a byte a character), one whose
// two-byte codes are the glyph numbers. A face without TrueType outlines
// becomes fonts of 256 glyphs each drawn from its outlines.
class PdfFontFace
{
public:
    // How a glyph is written in a text string: the object number of the PDF
    // font that holds it and its code there, of two bytes or one.
    struct Code
    {
        int font;
        quint16 value;
        bool wide;
    };

    PdfFontFace(const QRawFont& font, PdfObjectWriter& out);

    const QRawFont& rawFont() const { return m_font; }
    // The face's glyph for c, 0 when it has none.
    quint16 glyph(char32_t c) const;
    // Widths and heights in font units.
    int unitsPerEm() const { return m_unitsPerEm; }
    int ascent() const { return m_ascent; }
    // Whether the face is a bold one, and how thick its underline is: a
    // face that is not stands in for bold drawn twice, that far apart.
    bool isBold() const { return m_bold; }
    int underline() const { return m_underline; }
    int advance(quint16 glyph) const
    {
        return m_advances.empty() ? 0 : m_advances[std::min<size_t>(glyph, m_advances.size() - 1)];
    }
    // Marks glyph as drawn, standing for text (nothing: drawn as part of a
    // text whose meaning is given otherwise); the first text given stays.
    Code use(quint16 glyph, char32_t text = 0);
    // The font of one-byte codes, 0 until a character used it.
    int byteFont() const { return m_byteFont; }
    // The fonts' objects, once every page is written.
    void write();
    // The PDF fonts used, by object number.
    const QList<int>& fonts() const { return m_fonts; }

private:
    void textFromCharacterMap();
    void writeTrueType();
    void writeOutlines();
    QByteArray toUnicode(const std::vector<quint16>& glyphs, bool wide) const;
    void writeComposite(int font, const QByteArray& name, int cidFont, const QByteArray& encoding,
                        const std::vector<quint16>& glyphs, bool wide);
    QByteArray baseName() const;
    double scaled(int units) const { return units * 1000.0 / m_unitsPerEm; }

    QRawFont m_font;
    bool m_trueType = false;
    int m_unitsPerEm = 1000;
    int m_ascent = 0;
    int m_descent = 0;
    bool m_bold = false;
    int m_underline = 0;
    std::vector<int> m_advances;
    std::vector<bool> m_used;
    std::vector<char32_t> m_text;
    // Faces drawn from outlines: glyph by code (256 a font), code by glyph.
    std::vector<quint16> m_outlineGlyphs;
    std::vector<int> m_outlineCodes;
    QList<int> m_fonts;
    // The fonts of a TrueType face (0 until used), the one-byte font's glyphs
    // by code.
    int m_wideFont = 0;
    int m_byteFont = 0;
    std::vector<quint16> m_byteGlyphs;
    PdfObjectWriter& m_out;
};
