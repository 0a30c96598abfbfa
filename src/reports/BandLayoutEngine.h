#pragma once

#include "LaidOutBand.h"

#include <QList>
#include <QString>

class ReportTextMetrics;

// Lays out one band for given texts: breaks each text into lines, lets
// can-grow elements grow, and moves everything below a grown element down by
// as much as it grew (a line that spans a grown element stretches with it).
class BandLayoutEngine
{
public:
    BandLayoutEngine(const ReportBand& band, const ReportTextMetrics& metrics);

    const ReportBand& band() const { return *m_band; }

    // texts holds one text per element of the band, in the band's order
    // (ignored for lines).
    void layout(const QList<QString>& texts, LaidOutBand* out) const;

    // The largest position in (from, limit] at which the band can be cut
    // between two pages without cutting a line of text in half; from when
    // nothing above limit can go.
    static int breakPoint(const LaidOutBand& band, int from, int limit);
    // Whether a line of text starts in [from, to).
    static bool hasTextIn(const LaidOutBand& band, int from, int to);

private:
    void wrapText(const ReportElement& e, const QString& text, LaidOutElement* item) const;

    // The last text each element was laid out for, and how: a value that
    // repeats from row to row (an application, a user, a level) is broken
    // into lines once.
    struct LastText
    {
        QString text;
        QStringList lines;
        int lineHeight = 0;
        int inset = 0;
        bool valid = false;
    };

    const ReportBand* m_band;
    const ReportTextMetrics* m_metrics;
    QList<int> m_byTop; // element indexes sorted by design top
    QList<int> m_lineHeights;
    mutable QList<LastText> m_last;
};
