#pragma once

#include "ReportPageSink.h"
#include "ReportStreamWriter.h"

#include <QBuffer>
#include <QHash>
#include <QList>
#include <QString>
#include <algorithm>
#include <memory>
#include <vector>

class QIODevice;
class ReportLayout;

// The plain-text back end: each page is a grid of characters (see
// CharacterGridMetrics) that reads like the printed page. Lines are drawn
// with "-" and "|", "+" where they meet; pages after the first begin with a
// form feed. The layout must be on the character grid
// (CharacterGridMetrics::snapLayout). Text is placed by display width: a
// wide character fills two cells, a combining mark joins the cell of the
// character before it, so every row of a table is equally wide on screen.
// Written as UTF-8, page by page, so only one page is ever held.
class TextPageSink : public ReportPageSink
{
public:
    TextPageSink(QIODevice* device, const ReportLayout& gridLayout);

    bool beginDocument(int pageCount) override;
    bool beginPage(int page) override;
    bool drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom) override;
    bool endPage() override;
    bool endDocument() override;

    bool canDrawStandIns() const override { return true; }
    void beginStandIn() override { m_inStandIn = true; }
    void endStandIn() override { m_inStandIn = false; }
    QList<StandIn> takeStandIns() override;
    // The lines the band takes, drawn on a blank page: as many lines as the
    // stand-in took.
    QByteArray drawnAlone(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom,
                          const StandIn& standIn) override;

private:
    TextPageSink(QIODevice* device, int leftColumns, int width);
    // The cells of a row, its first columns about to be written.
    char16_t* row(int index, int columns)
    {
        if (index < 0 || index >= m_rowCount || !m_blank[index])
            return fillRow(index, columns);
        int& reach = m_reach[index];
        reach = std::max(reach, std::min(columns, m_width));
        return m_cells.data() + qsizetype(index) * m_width;
    }
    char16_t* fillRow(int index, int columns);
    void addRows(int index);
    void putLine(int rowIndex, int column, char16_t c);
    // Writes a cell of a page that holds wide characters.
    void setCell(char16_t* cells, int column, char16_t c);
    void putText(int rowIndex, int column, int width, ReportAlignment alignment,
                 const QString& text);
    // Writes rows [0, count) of the page, each without its trailing blanks;
    // rowStarts (when given) receives where each row and the end went.
    void writeRows(int count, qint64* rowStarts);
    int rowLength(int rowIndex) const;
    bool flush(bool force);

    ReportStreamWriter m_out;
    int m_leftColumns;
    int m_width; // columns of a row: the paper's, or more for a wider layout
    // The page: rows of m_width cells, as many rows as used so far.
    QList<char16_t> m_cells;
    int m_rowCount = 0;
    // Whether each row's cells are set (blank where nothing is written), and
    // how far its writing reaches (the end of the row as written out).
    std::vector<char> m_blank;
    std::vector<int> m_reach;
    QList<char16_t> m_blanks; // a row of blanks to copy from
    // Code units that follow a cell's first one (the second half of a
    // surrogate pair, combining marks), by cell index.
    QHash<qsizetype, QString> m_extra;
    // Whether this page holds anything but one code unit a column.
    bool m_hasWide = false;
    int m_page = 0;
    // The rows [first, end) that the stand-ins of this page take.
    struct StandInRows
    {
        int first;
        int end;
    };
    QList<StandInRows> m_standInRows;
    QList<StandIn> m_standIns;
    bool m_inStandIn = false;
    // Draws the stand-ins' replacements.
    std::unique_ptr<QBuffer> m_aloneBuffer;
    std::unique_ptr<TextPageSink> m_alone;
};
