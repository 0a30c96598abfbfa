#include "PdfPageSink.h"

#include "ArialMetrics.h"
#include "ComplexText.h"
#include "PdfFontFace.h"
#include "ReportLayout.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

namespace {

// Rules are 15 twips wide: one pixel on a 96 dpi screen.
constexpr double RuleWidth = 15 / 20.0;

double points(int twips)
{
    return twips / 20.0;
}

// A byte of a literal string at out, escaped where it must be; the end.
char* putByte(char* out, char byte)
{
    switch (byte) {
    case '(':
    case ')':
    case '\\':
        *out++ = '\\';
        break;
    case '\r': // a line end in a string would be read as a newline
        *out++ = '\\';
        byte = 'r';
        break;
    case '\n':
        *out++ = '\\';
        byte = 'n';
        break;
    default:
        break;
    }
    *out++ = byte;
    return out;
}

// Where a line advance points wide starts in a box of an element.
double aligned(const ReportElement& e, double left, double width, double advance)
{
    if (e.alignment == ReportAlignment::Right)
        return left + width - advance;
    if (e.alignment == ReportAlignment::Center)
        return left + (width - advance) / 2;
    return left;
}

QString programName()
{
    const QString version = QCoreApplication::applicationVersion();
    return QCoreApplication::applicationName() +
           (version.isEmpty() ? QString() : QLatin1Char(' ') + version);
}

} // namespace

PdfPageSink::PdfPageSink(QIODevice* device, const ReportLayout& layout)
    : m_layout(layout), m_out(device), m_width(points(layout.paperSize().width())),
      m_height(points(layout.paperSize().height())), m_left(layout.leftMargin())
{
}

PdfPageSink::~PdfPageSink() = default;

bool PdfPageSink::failed()
{
    const AuditError error = m_out.error();
    return fail(error.number, error.description);
}

bool PdfPageSink::beginDocument(int pageCount)
{
    m_pages.reserve(pageCount);
    m_catalog = m_out.reserve();
    m_pageTree = m_out.reserve();
    m_resources = m_out.reserve();
    m_info = m_out.reserve();
    return m_out.begin() || failed();
}

bool PdfPageSink::beginPage(int)
{
    // Rules with square ends, as the painter draws them, then the text.
    m_rules.clear();
    PdfObjectWriter::appendNumber(m_rules, RuleWidth);
    m_rules.append(" w 2 J\n");
    m_content = "BT\n";
    m_content.reserve(16 * 1024);
    m_font = -1;
    m_lineX = m_lineY = 0;
    return true;
}

PdfPageSink::Chain& PdfPageSink::chain(const ReportFont& f)
{
    // By the font's address first: the layout's elements stay put while it
    // is drawn.
    Chain* known = m_chainsByFont.value(&f);
    if (known && known->family == f.family && known->bold == f.bold)
        return *known;
    const QString name = f.family + (f.bold ? QLatin1String("/b") : QLatin1String("/"));
    Chain* c = m_chainsByName.value(name);
    if (!c) {
        const QFont primary = ArialMetrics::layoutFace(f);
        const QStringList families = ArialMetrics::drawingFamilies(primary);
        m_chains.push_back(std::make_unique<Chain>());
        c = m_chains.back().get();
        c->family = f.family;
        c->bold = f.bold;
        c->font = primary;
        c->font.setFamilies(families);
        for (const QString& family : families) {
            QFont face = primary;
            face.setFamily(family);
            c->faces.push_back(faceOf(QRawFont::fromFont(face)));
        }
        const PdfFontFace& layoutFace = *m_faces[size_t(c->faces.front())];
        c->ascentEm = double(layoutFace.ascent()) / layoutFace.unitsPerEm();
        c->bmp.assign(0x10000, 0);
        c->byteEm.fill(-1);
        m_chainsByName.insert(name, c);
    }
    m_chainsByFont.insert(&f, c);
    return *c;
}

int PdfPageSink::faceOf(const QRawFont& font)
{
    const QString key = font.familyName() + QLatin1Char('/') + font.styleName();
    const auto it = m_faceIndex.constFind(key);
    if (it != m_faceIndex.constEnd())
        return *it;
    m_faces.push_back(std::make_unique<PdfFontFace>(font, m_out));
    return *m_faceIndex.insert(key, int(m_faces.size() - 1));
}

quint32 PdfPageSink::resolve(Chain& chain, char32_t c)
{
    quint32& known = c < 0x10000 ? chain.bmp[c] : chain.astral[c];
    if (known)
        return known;
    known = Shaped; // also where no face of the chain has it: Qt finds one
    if (!ComplexText::needsShaping(c)) {
        for (int face : chain.faces) {
            if (const quint16 glyph = m_faces[size_t(face)]->glyph(c)) {
                known = (quint32(face + 1) << 16) | glyph;
                break;
            }
        }
    }
    return known;
}

void PdfPageSink::moveTo(double x, double y)
{
    // In thousandths of a point, as written: the moves add up exactly.
    const qint64 toX = std::llround(x * 1000);
    const qint64 toY = std::llround(y * 1000);
    PdfObjectWriter::appendNumber(m_content, double(toX - m_lineX) / 1000);
    m_content.push_back(' ');
    PdfObjectWriter::appendNumber(m_content, double(toY - m_lineY) / 1000);
    m_content.append(" Td ");
    m_lineX = toX;
    m_lineY = toY;
}

void PdfPageSink::setFont(int font, double size)
{
    if (font == m_font && size == m_size)
        return;
    m_font = font;
    m_size = size;
    m_content.append("/F");
    PdfObjectWriter::appendInt(m_content, font);
    m_content.push_back(' ');
    PdfObjectWriter::appendNumber(m_content, size);
    m_content.append(" Tf ");
}

void PdfPageSink::drawLine(Chain& chain, const ReportElement& e, QStringView line, double left,
                           double width, double y)
{
    const double size = e.font.pointSize;
    // Most lines are characters the layout face has drawn before with
    // one-byte codes: one string, written as it is.
    double advance = 0; // in ems
    bool bytes = true;
    for (QChar c : line) {
        if (c.unicode() >= 0x100 || chain.byteEm[c.unicode()] < 0) {
            bytes = false;
            break;
        }
        advance += chain.byteEm[c.unicode()];
    }
    if (bytes) {
        setFont(m_faces[size_t(chain.faces.front())]->byteFont(), size);
        moveTo(aligned(e, left, width, advance * size), y);
        m_content.push_back('(');
        const size_t at = m_content.size();
        m_content.resize(at + 2 * size_t(line.size()));
        char* out = m_content.data() + at;
        for (QChar c : line)
            out = putByte(out, char(c.unicode()));
        m_content.resize(size_t(out - m_content.data()));
        m_content.append(") Tj\n");
        return;
    }

    m_glyphs.clear();
    advance = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        char32_t c = line[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < line.size() && line[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), line[++i].unicode());
        const quint32 found = resolve(chain, c);
        if (found == Shaped) {
            drawShaped(chain, e, line, left, width, y);
            return;
        }
        const int face = int(found >> 16) - 1;
        const quint16 glyph = quint16(found & 0xFFFF);
        const PdfFontFace& f = *m_faces[size_t(face)];
        advance += double(f.advance(glyph)) / f.unitsPerEm();
        m_glyphs.push_back({face, glyph, c});
    }
    const double x = aligned(e, left, width, advance * size);

    bool placed = false;
    bool open = false;
    for (const Glyph& g : m_glyphs) {
        PdfFontFace& face = *m_faces[size_t(g.face)];
        const PdfFontFace::Code code = face.use(g.glyph, g.text);
        if (!code.wide && g.face == chain.faces.front() && code.font == face.byteFont())
            chain.byteEm[g.text] = double(face.advance(g.glyph)) / face.unitsPerEm();
        if (code.font != m_font || size != m_size) {
            if (open)
                m_content.append(") Tj ");
            open = false;
            setFont(code.font, size);
        }
        if (!placed) {
            moveTo(x, y);
            placed = true;
        }
        if (!open) {
            m_content.push_back('(');
            open = true;
        }
        putCode(code);
    }
    if (open)
        m_content.append(") Tj\n");
    if (chain.bold)
        emboldenFallbacks(x, y, size);
}

// Glyphs of a face that is not bold drawn again half its underline's
// thickness to the right, as bold; in a span without text, so that the text
// reads once.
void PdfPageSink::emboldenFallbacks(double x, double y, double size)
{
    bool any = false;
    for (const Glyph& g : m_glyphs) {
        PdfFontFace& face = *m_faces[size_t(g.face)];
        if (!face.isBold()) {
            if (!any)
                m_content.append("/Span <</ActualText <>>> BDC\n");
            any = true;
            const PdfFontFace::Code code = face.use(g.glyph, g.text);
            setFont(code.font, size);
            moveTo(x + 0.5 * size * face.underline() / face.unitsPerEm(), y);
            m_content.push_back('(');
            putCode(code);
            m_content.append(") Tj\n");
        }
        x += size * face.advance(g.glyph) / face.unitsPerEm();
    }
    if (any)
        m_content.append("EMC\n");
}

void PdfPageSink::putCode(const PdfFontFace::Code& code)
{
    char bytes[4];
    char* end = bytes;
    if (code.wide)
        end = putByte(end, char(code.value >> 8));
    end = putByte(end, char(code.value & 0xFF));
    m_content.append(bytes, size_t(end - bytes));
}

// Glyphs placed where Qt put them: joined, reordered and combined as it
// shapes the line.
void PdfPageSink::drawShaped(Chain& chain, const ReportElement& e, QStringView line, double left,
                             double width, double y)
{
    QFont font = chain.font;
    font.setPointSizeF(e.font.pointSize);
    QTextLayout layout(line.toString(), font);
    QTextOption option;
    option.setUseDesignMetrics(true);
    option.setTextDirection(Qt::LayoutDirectionAuto);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    textLine.setLineWidth(1e6);
    layout.endLayout();
    const QList<QGlyphRun> runs = textLine.glyphRuns();
    if (runs.isEmpty())
        return;
    const double scale = e.font.pointSize / runs.first().rawFont().pixelSize();
    const double x = aligned(e, left, width, textLine.naturalTextWidth() * scale);

    // Glyphs in the order of their characters' faces, as a painter draws
    // them, so that a mark from another face follows its letter.
    auto faceIndex = [&](qsizetype at) {
        const char32_t c = QStringView(line).mid(at).toUcs4().value(0);
        for (size_t k = 0; k < chain.faces.size(); ++k) {
            if (m_faces[chain.faces[k]]->glyph(c))
                return int(k);
        }
        return -1;
    };
    for (qsizetype from = 0; from < line.size();) {
        const int face = faceIndex(from);
        qsizetype to = from + 1;
        while (to < line.size() && (line[to].isLowSurrogate() || faceIndex(to) == face))
            ++to;
        for (const QGlyphRun& run : textLine.glyphRuns(int(from), int(to - from)))
            drawRun(run, e.font.pointSize, x, y + textLine.ascent() * scale);
        from = to;
    }
    // The next line moves from the origin again.
    m_content.append("1 0 0 1 0 0 Tm\n");
    m_lineX = m_lineY = 0;
}

// The glyphs of a run at their positions from (x, y), the top of the line
// Qt laid out (y grows downwards there).
void PdfPageSink::drawRun(const QGlyphRun& run, double size, double x, double y)
{
    PdfFontFace& face = *m_faces[size_t(faceOf(run.rawFont()))];
    const double scale = size / run.rawFont().pixelSize();
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        const PdfFontFace::Code code = face.use(quint16(glyphs[i]));
        setFont(code.font, size);
        m_content.append("1 0 0 1 ");
        PdfObjectWriter::appendNumber(m_content, x + positions[i].x() * scale);
        m_content.push_back(' ');
        PdfObjectWriter::appendNumber(m_content, y - positions[i].y() * scale);
        m_content.append(" Tm (");
        putCode(code);
        m_content.append(") Tj ");
    }
}

bool PdfPageSink::drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom)
{
    auto line = [this](double x1, double y1, double x2, double y2) {
        PdfObjectWriter::appendNumber(m_rules, x1);
        m_rules.push_back(' ');
        PdfObjectWriter::appendNumber(m_rules, m_height - y1);
        m_rules.append(" m ");
        PdfObjectWriter::appendNumber(m_rules, x2);
        m_rules.push_back(' ');
        PdfObjectWriter::appendNumber(m_rules, m_height - y2);
        m_rules.append(" l S\n");
    };
    for (const LaidOutElement& item : band.elements) {
        const ReportElement& e = *item.element;
        const int left = m_left + e.left;
        Rule r;
        if (ruleIn(item, left, originY, sliceTop, sliceBottom, &r))
            line(points(r.x1), points(r.y1), points(r.x2), points(r.y2));
        if (e.kind != ReportElementKind::Label && e.kind != ReportElementKind::Field)
            continue;
        Chain& c = chain(e.font);
        const double boxLeft = points(left + item.inset);
        const double boxWidth = points(e.width - 2 * item.inset);
        const double ascent = c.ascentEm * e.font.pointSize;
        linesIn(item, sliceTop, sliceBottom, [&](const QString& text, int top) {
            drawLine(c, e, text, boxLeft, boxWidth, m_height - points(originY + top) - ascent);
        });
    }
    return true;
}

bool PdfPageSink::endPage()
{
    const int content = m_out.reserve();
    const int page = m_out.reserve();
    // A few pages' contents are deflated at a time, beside the drawing.
    m_rules.append(m_content);
    m_rules.append("ET\n");
    m_deflater.submit(std::move(m_rules));
    m_deflated.push_back(content);
    while (m_deflater.pending() > 8)
        writeContent();
    QByteArray body = "<</Type /Page /Parent ";
    PdfObjectWriter::appendRef(body, m_pageTree);
    body.append(" /MediaBox [0 0 ");
    PdfObjectWriter::appendNumber(body, m_width);
    body.append(' ');
    PdfObjectWriter::appendNumber(body, m_height);
    body.append("] /Resources ");
    PdfObjectWriter::appendRef(body, m_resources);
    body.append(" /Contents ");
    PdfObjectWriter::appendRef(body, content);
    body.append(">>");
    m_out.object(page, body);
    m_pages.append(page);
    return m_out.flush() || failed();
}

void PdfPageSink::writeContent()
{
    m_out.packedStream(m_deflated.front(), {}, m_deflater.take());
    m_deflated.pop_front();
}

bool PdfPageSink::endDocument()
{
    while (m_deflater.pending() > 0)
        writeContent();
    QByteArray fonts;
    for (const auto& face : m_faces) {
        if (face->fonts().isEmpty())
            continue;
        face->write();
        for (int font : face->fonts()) {
            fonts.append("/F");
            PdfObjectWriter::appendInt(fonts, font);
            fonts.append(' ');
            PdfObjectWriter::appendRef(fonts, font);
            fonts.append('\n');
        }
        if (!m_out.flush())
            return failed();
    }
    m_out.object(m_resources, "<</Font <<" + fonts + ">> /ProcSet [/PDF /Text]>>");

    QByteArray body = "<</Type /Pages /Count ";
    PdfObjectWriter::appendInt(body, m_pages.size());
    body.append(" /Kids [");
    for (int page : std::as_const(m_pages)) {
        PdfObjectWriter::appendRef(body, page);
        body.append(' ');
    }
    body.append("]>>");
    m_out.object(m_pageTree, body);

    body = "<</Type /Catalog /Pages ";
    PdfObjectWriter::appendRef(body, m_pageTree);
    body.append(">>");
    m_out.object(m_catalog, body);

    body = "<</Creator ";
    PdfObjectWriter::appendText(body, programName());
    body.append(" /Producer ");
    PdfObjectWriter::appendText(body, programName());
    if (!m_layout.title().isEmpty()) {
        body.append(" /Title ");
        PdfObjectWriter::appendText(body, m_layout.title());
    }
    body.append(
        " /CreationDate (D:" +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() +
        "Z)>>");
    m_out.object(m_info, body);
    return m_out.finish(m_catalog, m_info) || failed();
}
