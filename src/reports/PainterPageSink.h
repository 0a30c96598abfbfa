#pragma once

#include "ReportPageSink.h"

#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPointF>

class QPagedPaintDevice;
class ReportLayout;

// The QPainter back end: draws the pages on a paged paint device (a PDF
// writer, a printer), twips mapped exactly to device units from the paper's
// top-left corner. Text is drawn line by line where the layout broke it.
class PainterPageSink : public ReportPageSink
{
public:
    PainterPageSink(QPagedPaintDevice* device, const ReportLayout& layout);

    bool beginDocument(int pageCount) override;
    bool beginPage(int page) override;
    bool drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom) override;
    bool endPage() override;
    bool endDocument() override;

private:
    QFont font(const ReportFont& font);
    qreal x(int twips) const { return m_origin.x() + twips * m_scaleX; }
    qreal y(int twips) const { return m_origin.y() + twips * m_scaleY; }

    QPagedPaintDevice* m_device;
    int m_left;
    QPainter m_painter;
    qreal m_scaleX = 1;
    qreal m_scaleY = 1;
    QPointF m_origin;
    QHash<QString, QFont> m_fonts;
};
