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
// top-left corner. Text is drawn line by line where the layout broke it, on
// the layout face's baseline whatever fallback face draws a character, so a
// value in another script sits level with its caption. A PDF gets the
// program's name as its creator.
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
    // The face of a layout font with the fallback faces behind it, and the
    // ascent of the layout face alone.
    struct Face
    {
        QFont font;
        qreal ascent = 0;
    };
    const Face& face(const ReportFont& font);
    qreal x(int twips) const { return m_origin.x() + twips * m_scaleX; }
    qreal y(int twips) const { return m_origin.y() + twips * m_scaleY; }

    QPagedPaintDevice* m_device;
    int m_left;
    QPainter m_painter;
    qreal m_scaleX = 1;
    qreal m_scaleY = 1;
    QPointF m_origin;
    QHash<QString, Face> m_faces;
};
