#pragma once

#include "AuditError.h"
#include "BandLayoutEngine.h"
#include "LaidOutPageStore.h"
#include "OutputPatches.h"
#include "ReportValueFormatter.h"

#include <QList>
#include <QString>
#include <array>
#include <memory>

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
// The rows are read once. When a band prints the page count ("Page %p of
// %P"), either the back end draws it with a stand-in count and the paginator
// later gives the bytes that replace it (setStandIns), or the pages are kept
// as laid out (LaidOutPageStore, on disk beyond a few megabytes) until the
// last row is placed and then handed to the back end with the count filled
// in; nothing of a row but its laid-out texts is kept.
class ReportPaginator : public OutputPatches
{
public:
    ReportPaginator(const ReportLayout& layout, const ReportTextMetrics& metrics);
    ~ReportPaginator() override;

    // With stand-ins, a sink that can draw them (a byte stream) gets every
    // page as it is laid out: bands that print the page count are drawn with
    // a stand-in count, and after run() the paginator gives the replacements
    // (OutputPatches) for the copy of the output. A selection without rows
    // that must reach the sink not at all still does: pages() is then 0 and
    // the output is to be dropped.
    void setStandIns(bool allowed) { m_standInsAllowed = allowed; }

    bool nextPatch(qint64* offset, qint64* length, QByteArray* bytes) override;
    AuditError patchError() const override { return m_error; }
    bool rewindPatches() override;

    // Lays the rows out onto pages and draws them on the sink, reading the
    // rows once. Every ReportProgress::RowsPerStep rows it tells the layout's
    // progress, and stops with the error number ReportErrorNumber::Cancelled
    // once the progress is cancelled (also while the kept pages are drawn).
    // With nothingWithoutRows a selection without rows reaches the sink not at all.
    bool run(ReportRowSource& source, ReportPageSink& sink, bool nothingWithoutRows = false);

    int pages() const { return m_page; }
    // Rows placed by the last run.
    qint64 rows() const { return m_rows; }
    AuditError error() const { return m_error; }

private:
    bool startPage();
    bool finishPage();
    bool place(const LaidOutBand& band, bool keepTogether);
    bool draw(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom);
    bool placeFixedBand(const BandLayoutEngine& engine, int y);
    bool playBack(LaidOutPageStore& store, ReportPageSink& sink);
    // A deferred band laid out again with the page count filled in.
    void layOutDeferred(LaidOutPageStore::Record& record, LaidOutBand* band);
    bool keepStandIns();
    const BandLayoutEngine& engine(ReportBand::Kind kind) const;
    void fixedTexts(const ReportBand& band, QList<QString>* texts) const;
    void rowTexts(ReportRowSource& source, QList<QString>* texts) const;
    // The detail band's field texts of the row, by element (labels left empty).
    void fieldTexts(const ReportRowSource& row, const ReportValueFormatter& formatter,
                    QList<QString>* texts) const;
    QString substitute(const QString& text) const;
    bool sinkFailed();
    bool storeFailed(const LaidOutPageStore& store);

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

    // Where the pages go while the rows are read: the sink itself, or the
    // store when a band prints the page count.
    ReportPageSink* m_sink = nullptr;
    LaidOutPageStore* m_store = nullptr;
    // Stand-ins: drawn on the sink, their texts kept in m_standInStore.
    bool m_standInsAllowed = false;
    bool m_drawStandIns = false;
    std::unique_ptr<LaidOutPageStore> m_standInStore;
    QList<LaidOutPageStore::Record> m_pageStandIns; // of the page being laid out
    // Bands whose labels print the page count: kept as texts, laid out again
    // once the count is known.
    std::array<bool, ReportBand::KindCount> m_countsPages{};
    // The texts of the band being placed.
    const QList<QString>* m_texts = nullptr;
    int m_pageCount = 0;
    int m_page = 0;
    qint64 m_rows = 0;
    int m_y = 0;
    int m_bodyTop = 0;
    int m_bodyBottom = 0;
    AuditError m_error;
};
