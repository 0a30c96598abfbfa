#pragma once

#include "AuditError.h"
#include "BandLayoutEngine.h"
#include "ReportValueFormatter.h"

#include <QList>
#include <QString>

class ReportLayout;
class ReportPageSink;
class ReportRowSource;
class ReportTextMetrics;

// Flows the rows of a source through a layout onto pages: report header on
// the first page, page header on every page, one detail band per row, report
// footer after the last row, page footer at the bottom of every page. A detail
// band that does not fit in the rest of a page is moved whole to the next page
// when it must be kept together and split at a line of text otherwise; a band
// taller than a whole page is split either way.
//
// It keeps nothing of a row once the row is placed, so a report is rendered in
// two passes over the rows: the first counts the pages, the second draws them
// with the page count known ("Page %p of %P").
class ReportPaginator
{
public:
    ReportPaginator(const ReportLayout& layout, const ReportTextMetrics& metrics);

    // One pass over the rows. Without a sink it only counts the pages;
    // pageCount is the total that %P prints. Every ReportProgress::RowsPerStep
    // rows it tells the layout's progress, and stops with the error number
    // ReportErrorNumber::Cancelled once the progress is cancelled.
    bool run(ReportRowSource& source, ReportPageSink* sink, int pageCount);

    int pages() const { return m_page; }
    // Rows placed by the last pass.
    qint64 rows() const { return m_rows; }
    AuditError error() const { return m_error; }

private:
    bool startPage();
    bool finishPage();
    bool place(const LaidOutBand& band, bool keepTogether);
    bool draw(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom);
    bool placeFixedBand(const BandLayoutEngine& engine, int y);
    void fixedTexts(const ReportBand& band, QList<QString>* texts) const;
    void rowTexts(ReportRowSource& source, QList<QString>* texts) const;
    QString substitute(const QString& text) const;
    bool shapesBand(const ReportElement& e) const;
    bool sinkFailed();

    const ReportLayout& m_layout;
    const ReportTextMetrics& m_metrics;
    ReportValueFormatter m_formatter;
    BandLayoutEngine m_reportHeader;
    BandLayoutEngine m_pageHeader;
    BandLayoutEngine m_detail;
    BandLayoutEngine m_pageFooter;
    BandLayoutEngine m_reportFooter;
    QString m_date;
    QString m_time;

    ReportPageSink* m_sink = nullptr;
    bool m_measureOnly = false;
    int m_pageCount = 0;
    int m_page = 0;
    qint64 m_rows = 0;
    int m_y = 0;
    int m_bodyTop = 0;
    int m_bodyBottom = 0;
    AuditError m_error;
};
