#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

class QRawFont;

// A TrueType font program cut down to the glyphs a document draws: every
// glyph keeps its number (a PDF's text names glyphs by number), the outlines
// of the others are emptied, composite glyphs keep their parts, and the
// tables a PDF reader needs (outlines, their index, metrics, hinting) are
// rebuilt into one file with fresh checksums.
class TrueTypeSubsetter
{
public:
    // The program of font with the glyphs marked in used (and glyph 0);
    // empty when the font has no TrueType outlines.
    static QByteArray subset(const QRawFont& font, std::vector<bool> used);

    // Big-endian numbers inside a font table; 0 past its end.
    static quint16 u16(QByteArrayView data, qsizetype at);
    static qint16 s16(QByteArrayView data, qsizetype at) { return qint16(u16(data, at)); }
    static quint32 u32(QByteArrayView data, qsizetype at);
};
