#pragma once

#include "HtmlTablePlan.h"
#include "ReportPageSink.h"
#include "ReportStreamWriter.h"

#include <QList>
#include <QString>
#include <array>

class QIODevice;
class ReportLayout;

// The HTML back end: one self-contained UTF-8 page with its style sheet
// inline, and the styles a page needs to read right (borders, weights, sizes,
// alignment) on the elements themselves for mail clients that drop the sheet.
// Each printed page becomes a table (see HtmlTablePlan) holding the page
// header and the rows of that page; every detail band is one
// <tbody class="report-row">, and that marker appears nowhere else (the mail
// library finds empty reports by it). Every text is escaped. Written as it
// goes, in blocks.
class HtmlPageSink : public ReportPageSink
{
public:
    HtmlPageSink(QIODevice* device, const ReportLayout& layout);

    bool beginDocument(int pageCount) override;
    bool beginPage(int page) override;
    bool drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom) override;
    bool endPage() override;
    bool endDocument() override;

    bool canDrawStandIns() const override { return true; }
    void beginStandIn() override { m_standInStart = m_out.position(); }
    void endStandIn() override
    {
        m_standIns.append({m_standInStart, m_out.position() - m_standInStart, 0});
    }
    QList<StandIn> takeStandIns() override;
    QByteArray drawnAlone(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom,
                          const StandIn& standIn) override;

    static QString escaped(QStringView text);
    // Appends text to out, escaped, as UTF-8.
    static void appendEscaped(QByteArray& out, QStringView text);
    // Writes text escaped as UTF-8 at out, which has room for 18 bytes a code
    // unit; returns the end of what it wrote.
    static char* writeEscaped(char* out, QStringView text);

private:
    // The fixed markup of one table row of a band: its <tr> and each cell's
    // opening <td ...>, which depend only on the table plan.
    struct RowTags
    {
        QByteArray open;
        QList<QByteArray> cells;
    };

    void writeStyleSheet();
    const QList<RowTags>& rowTags(ReportBand::Kind kind);
    // The markup of a band (its part [sliceTop, sliceBottom)) into m_html;
    // false when the band has no table rows.
    bool bandMarkup(const LaidOutBand& band, int sliceTop, int sliceBottom);
    bool flush(bool force);

    const ReportLayout& m_layout;
    HtmlTablePlan m_plan;
    ReportStreamWriter m_out;
    // Row tags per band kind, made on first use.
    std::array<QList<RowTags>, ReportBand::KindCount> m_rowTags;
    std::array<bool, ReportBand::KindCount> m_haveRowTags{};
    // Reused for every band, so that its capacity stays.
    QByteArray m_html;
    // The start of every page's table, after its page's own <div>.
    QByteArray m_pageTable;
    qint64 m_standInStart = 0;
    QList<StandIn> m_standIns;
};
