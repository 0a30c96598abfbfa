#pragma once

#include "PdfDeflater.h"
#include "PdfFontFace.h"
#include "PdfObjectWriter.h"
#include "ReportPageSink.h"

#include <QFont>
#include <QHash>
#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class QGlyphRun;
class QIODevice;
class QRawFont;
class ReportLayout;

// The PDF back end: writes the file itself, page by page as the pages come,
// with the geometry of the painter back end (twips from the paper's top-left
// corner, 15-twip rules, text on the layout face's baseline). Each character
// is drawn from the layout face, or from the first fallback face that has it;
// a line that needs shaping (right-to-left scripts, combining marks, scripts
// whose letters join) is shaped by Qt and carries its text beside the
// glyphs. The faces are embedded as subsets once the last page is written.
class PdfPageSink : public ReportPageSink
{
public:
    PdfPageSink(QIODevice* device, const ReportLayout& layout);
    ~PdfPageSink() override;

    bool beginDocument(int pageCount) override;
    bool beginPage(int page) override;
    bool drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom) override;
    bool endPage() override;
    bool endDocument() override;

private:
    // The faces that draw a layout font, in the order they are tried, and
    // what each character resolves to (looked up once).
    struct Chain
    {
        QString family; // of the layout font
        bool bold = false;
        QFont font; // all the faces, for lines Qt shapes
        std::vector<int> faces;
        double ascentEm = 0; // of the layout face
        // Per character: face index + 1 above bit 16 and glyph below,
        // Shaped for characters drawn through Qt, 0 until looked up.
        std::vector<quint32> bmp;
        QHash<char32_t, quint32> astral;
        // Advances of the characters below U+0100 that the layout face has
        // drawn with one-byte codes, -1 for the others.
        std::array<double, 256> byteEm;
    };
    static constexpr quint32 Shaped = 0x80000000u;
    struct Glyph
    {
        int face;
        quint16 glyph;
        char32_t text;
    };

    Chain& chain(const ReportFont& font);
    quint32 resolve(Chain& chain, char32_t c);
    int faceOf(const QRawFont& font);
    // Draws one line of text with its box's left edge, width and alignment,
    // the baseline at y (points from the page's bottom).
    void drawLine(Chain& chain, const ReportElement& e, QStringView line, double left, double width,
                  double y);
    void emboldenFallbacks(double x, double y, double size);
    void drawShaped(Chain& chain, const ReportElement& e, QStringView line, double left,
                    double width, double y);
    void drawRun(const QGlyphRun& run, double size, double x, double y);
    void setFont(int font, double size);
    // Starts a line of text at (x, y).
    void moveTo(double x, double y);
    // The bytes of a code in a literal string.
    void putCode(const PdfFontFace::Code& code);
    // The oldest page content deflated, as its object.
    void writeContent();
    bool failed();

    const ReportLayout& m_layout;
    PdfObjectWriter m_out;
    double m_width;
    double m_height;
    int m_left;
    int m_catalog = 0;
    int m_pageTree = 0;
    int m_resources = 0;
    int m_info = 0;
    QList<int> m_pages;
    // The page being drawn: its rules, and its text in one text object
    // whose lines each move from the one before (m_lineX, m_lineY in
    // thousandths of a point).
    std::string m_rules;
    std::string m_content;
    qint64 m_lineX = 0;
    qint64 m_lineY = 0;
    PdfDeflater m_deflater;
    std::deque<int> m_deflated; // object numbers of the contents in the deflater
    int m_font = -1;            // the content's font and size now
    double m_size = 0;
    std::vector<std::unique_ptr<PdfFontFace>> m_faces;
    QHash<QString, int> m_faceIndex;
    std::vector<std::unique_ptr<Chain>> m_chains;
    QHash<QString, Chain*> m_chainsByName;
    QHash<const ReportFont*, Chain*> m_chainsByFont;
    std::vector<Glyph> m_glyphs;
};
