#pragma once

#include "AuditError.h"
#include "CellMatcher.h"
#include "EntrySliceReader.h"
#include "GridCellText.h"

#include <QHash>
#include <QString>
#include <array>
#include <memory>

class AuditView;

// What Find looks for: a text (blanks round it do not count), whether letter
// case must match, and whether the whole cell must equal it.
struct FindRequest
{
    QString text;
    bool matchCase = false;
    bool wholeCell = false;
};

// Finds the first row of the viewer's view whose grid text contains (or is)
// the search text, looking from the row after the active row to the last row,
// then from the first row round to the row before the active row; the active
// row itself is never searched. It reads the rows straight from the database,
// a slice at a time in the grid's order (the view's keys), and compares the
// texts the grid shows, so a million rows pass without filling the grid's
// cache. next() searches one slice; a window calls it until the search ends,
// painting and offering Cancel in between.
class ViewSearch
{
public:
    enum class State
    {
        Searching,
        Found,
        NotFound,
        Failed
    };

    ViewSearch(AuditView& view, const FindRequest& request, int activeRow,
               const QLocale& locale = QLocale());
    ~ViewSearch();

    // Searches up to rows more rows and returns where the search stands.
    State next(int rows = 20 * EntrySliceReader::SliceSize);
    // Searches to the end.
    State run();

    State state() const { return m_state; }
    // The row and grid column of the hit.
    int foundRow() const { return m_foundRow; }
    int foundColumn() const { return m_foundColumn; }
    int searchedRows() const { return m_searched; }
    int rowsToSearch() const { return m_toSearch; }
    AuditError error() const { return m_error; }

    // The search text as compared: trimmed (and nothing found for a blank one).
    static QString searchText(const QString& typed) { return typed.trimmed(); }

private:
    // The first grid column of an entry that is a hit, or -1.
    int hitColumn(const EntryCells& entry);
    bool numberMatches(qint64 number) const;
    bool whenMatches(QByteArrayView stored);
    // Whether the search text can occur in a When shown as a date at all.
    bool canBeInDates() const;

    AuditView& m_view;
    CellMatcher m_matcher;
    GridCellText m_cellText;
    std::array<bool, 4> m_levelHits{};
    bool m_datesPossible = false;
    // Shown dates by day and times by second, and whether each is a hit on
    // its own: a million entries share them.
    struct ShownPart
    {
        QString text;
        bool hit = false;
        bool solid = false; // not blank
    };
    ShownPart shownPart(const QString& text) const;
    QHash<qint64, ShownPart> m_dates;
    QHash<int, ShownPart> m_times;
    std::unique_ptr<EntrySliceReader> m_reader;
    State m_state = State::Searching;
    int m_first = 0; // the row after the active one
    int m_toSearch = 0;
    int m_searched = 0;
    int m_foundRow = -1;
    int m_foundColumn = -1;
    AuditError m_error;
};
