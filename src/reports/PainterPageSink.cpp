#include "PainterPageSink.h"

#include "ReportLayout.h"
#include "ReportRenderer.h"

#include <QPagedPaintDevice>
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

QFont PainterPageSink::font(const ReportFont& f)
{
    const QString key = f.family + QLatin1Char('/') + QString::number(f.pointSize) +
                        (f.bold ? QLatin1String("b") : QLatin1String(""));
    auto it = m_fonts.constFind(key);
    if (it != m_fonts.constEnd())
        return *it;
    QFont font(f.family);
    font.setPointSizeF(f.pointSize);
    font.setBold(f.bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    m_fonts.insert(key, font);
    return font;
}

bool PainterPageSink::drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom)
{
    for (const LaidOutElement& item : band.elements) {
        const ReportElement& e = *item.element;
        const int left = m_left + e.left;
        switch (e.kind) {
        case ReportElementKind::HorizontalLine:
            if (item.top >= sliceTop && item.top < sliceBottom)
                m_painter.drawLine(QPointF(x(left), y(originY + item.top)),
                                   QPointF(x(left + e.width), y(originY + item.top)));
            break;
        case ReportElementKind::VerticalLine: {
            const int from = std::max(item.top, sliceTop);
            const int to = std::min(item.bottom(), sliceBottom);
            if (to > from)
                m_painter.drawLine(QPointF(x(left), y(originY + from)),
                                   QPointF(x(left), y(originY + to)));
            break;
        }
        case ReportElementKind::Label:
        case ReportElementKind::Field: {
            int flags = Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
            if (e.alignment == ReportAlignment::Right)
                flags |= Qt::AlignRight;
            else if (e.alignment == ReportAlignment::Center)
                flags |= Qt::AlignHCenter;
            else
                flags |= Qt::AlignLeft;
            m_painter.setFont(font(e.font));
            for (int i = 0; i < item.lines.size(); ++i) {
                const int top = item.lineTop(i);
                if (top < sliceTop || top >= sliceBottom || item.lines.at(i).isEmpty())
                    continue;
                const QRectF box(x(left + item.inset), y(originY + top),
                                 (e.width - 2 * item.inset) * m_scaleX,
                                 item.lineHeight * m_scaleY);
                m_painter.drawText(box, flags, item.lines.at(i));
            }
            break;
        }
        }
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
