#include "PainterPageSink.h"

#include "ArialMetrics.h"
#include "ReportLayout.h"
#include "ReportRenderer.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QPen>

namespace {

// Rules are 15 twips wide: one pixel on a 96 dpi screen.
constexpr int RuleTwips = 15;

} // namespace

PainterPageSink::PainterPageSink(QPagedPaintDevice* device, const ReportLayout& layout)
    : m_device(device), m_left(layout.leftMargin())
{
}

bool PainterPageSink::beginDocument(int)
{
    if (auto* pdf = dynamic_cast<QPdfWriter*>(m_device)) {
        const QString version = QCoreApplication::applicationVersion();
        pdf->setCreator(QCoreApplication::applicationName() +
                        (version.isEmpty() ? QString() : QLatin1Char(' ') + version));
    }
    if (!m_device || !m_painter.begin(m_device))
        return fail(ReportErrorNumber::PrinterError,
                    QStringLiteral("Cannot start drawing on the printer or PDF file."));
    const int dpiX = m_device->logicalDpiX();
    const int dpiY = m_device->logicalDpiY();
    m_scaleX = dpiX / 1440.0;
    m_scaleY = dpiY / 1440.0;
    // The painter starts at the corner of the printable area; twips count
    // from the corner of the paper.
    const QRect paintRect = m_device->pageLayout().paintRectPixels(dpiX);
    m_origin = QPointF(-paintRect.left(), -paintRect.top());
    QPen pen(Qt::black, RuleTwips * m_scaleX);
    pen.setCapStyle(Qt::SquareCap);
    m_painter.setPen(pen);
    return true;
}

bool PainterPageSink::beginPage(int page)
{
    if (page > 1 && !m_device->newPage())
        return fail(ReportErrorNumber::PrinterError,
                    QStringLiteral("Cannot start page %1.").arg(page));
    return true;
}

const PainterPageSink::Face& PainterPageSink::face(const ReportFont& f)
{
    const QString key = f.family + QLatin1Char('/') + QString::number(f.pointSize) +
                        (f.bold ? QLatin1String("b") : QLatin1String(""));
    auto it = m_faces.constFind(key);
    if (it != m_faces.constEnd())
        return *it;
    QFont primary = ArialMetrics::layoutFace(f);
    primary.setPointSizeF(f.pointSize);
    QFont font = primary;
    font.setFamilies(ArialMetrics::drawingFamilies(primary));
    return *m_faces.insert(key, {font, QFontMetricsF(primary, m_device).ascent()});
}

bool PainterPageSink::drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom)
{
    for (const LaidOutElement& item : band.elements) {
        const ReportElement& e = *item.element;
        const int left = m_left + e.left;
        Rule r;
        if (ruleIn(item, left, originY, sliceTop, sliceBottom, &r))
            m_painter.drawLine(QPointF(x(r.x1), y(r.y1)), QPointF(x(r.x2), y(r.y2)));
        if (e.kind != ReportElementKind::Label && e.kind != ReportElementKind::Field)
            continue;
        const Face& f = face(e.font);
        m_painter.setFont(f.font);
        const QFontMetricsF metrics(f.font, m_device);
        const qreal boxLeft = x(left + item.inset);
        const qreal boxWidth = (e.width - 2 * item.inset) * m_scaleX;
        linesIn(item, sliceTop, sliceBottom, [&](const QString& line, int top) {
            qreal spare = 0;
            if (e.alignment != ReportAlignment::Left)
                spare = boxWidth - metrics.horizontalAdvance(line);
            if (e.alignment == ReportAlignment::Center)
                spare /= 2;
            m_painter.drawText(QPointF(boxLeft + spare, y(originY + top) + f.ascent), line);
        });
    }
    return true;
}

bool PainterPageSink::endPage()
{
    return true;
}

bool PainterPageSink::endDocument()
{
    if (!m_painter.end())
        return fail(ReportErrorNumber::PrinterError,
                    QStringLiteral("Cannot finish the printer or PDF output."));
    return true;
}
