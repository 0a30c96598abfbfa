#pragma once

#include "AuditError.h"
#include "LaidOutBand.h"

#include <QByteArray>

#include <algorithm>

// A back end of the page layout: it receives the pages band by band, in page
// order and from top to bottom, and draws them on its medium. Every call
// returns false on a failure, which error() then describes.
class ReportPageSink
{
public:
    virtual ~ReportPageSink() = default;

    virtual bool beginDocument(int pageCount) = 0;
    virtual bool beginPage(int page) = 0;
    // Draws the part [sliceTop, sliceBottom) of a band (band coordinates)
    // whose top-left corner is at the left margin and originY on the page
    // (twips from the paper's top). A band taller than the rest of the page
    // arrives in slices, one per page.
    virtual bool drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom) = 0;
    virtual bool endPage() = 0;
    virtual bool endDocument() = 0;

    // Stand-ins. A back end that writes a byte stream can take a band whose
    // texts wait for the page count drawn with a stand-in count, and give the
    // bytes that replace it once the count is known (the output is copied
    // with the replacements in one pass).
    struct StandIn
    {
        qint64 offset = 0; // where its bytes went in the output
        qint64 length = 0;
        int rows = 0; // text lines it took, where the back end counts them
    };
    virtual bool canDrawStandIns() const { return false; }
    // The bands drawn between these calls are one stand-in.
    virtual void beginStandIn() {}
    virtual void endStandIn() {}
    // The stand-ins of the pages ended so far, in order; handed over once.
    virtual QList<StandIn> takeStandIns() { return {}; }
    // The bytes that replace a stand-in: the band drawn alone as it would have
    // been drawn in its place.
    virtual QByteArray drawnAlone(const LaidOutBand& band, int originY, int sliceTop,
                                  int sliceBottom, const StandIn& standIn)
    {
        Q_UNUSED(band);
        Q_UNUSED(originY);
        Q_UNUSED(sliceTop);
        Q_UNUSED(sliceBottom);
        Q_UNUSED(standIn);
        return {};
    }

    AuditError error() const { return m_error; }

    // A rule in twips from the paper's top-left corner.
    struct Rule
    {
        int x1, y1, x2, y2;
    };
    // The rule a line element draws in the slice [sliceTop, sliceBottom) of a
    // band placed at left and originY; false for any other element and for a
    // rule outside the slice.
    static bool ruleIn(const LaidOutElement& item, int left, int originY, int sliceTop,
                       int sliceBottom, Rule* rule)
    {
        const ReportElement& e = *item.element;
        if (e.kind == ReportElementKind::HorizontalLine) {
            *rule = {left, originY + item.top, left + e.width, originY + item.top};
            return item.top >= sliceTop && item.top < sliceBottom;
        }
        if (e.kind == ReportElementKind::VerticalLine) {
            const int from = std::max(item.top, sliceTop);
            const int to = std::min(item.bottom(), sliceBottom);
            *rule = {left, originY + from, left, originY + to};
            return to > from;
        }
        return false;
    }
    // Calls draw(text, top) for each text line of an element that shows in
    // the slice [sliceTop, sliceBottom) of its band (top in band twips).
    template <typename Draw>
    static void linesIn(const LaidOutElement& item, int sliceTop, int sliceBottom, Draw draw)
    {
        for (int i = 0; i < item.lines.size(); ++i) {
            const int top = item.lineTop(i);
            const QString& line = item.lines.at(i);
            if (top >= sliceTop && top < sliceBottom && !line.isEmpty())
                draw(line, top);
        }
    }

protected:
    bool fail(int number, const QString& description)
    {
        m_error = {number, description};
        return false;
    }

private:
    AuditError m_error;
};
