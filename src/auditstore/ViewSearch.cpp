#include "ViewSearch.h"

#include "AuditDatabase.h"
#include "AuditView.h"

#include <algorithm>
#include <array>

ViewSearch::ViewSearch(AuditView& view, const FindRequest& request, int activeRow,
                       const QLocale& locale)
    : m_view(view), m_request(request), m_cellText(locale)
{
    m_request.text = searchText(request.text);
    // The whole result: the grid lists only the rows whose keys are read so far.
    const int rows = m_view.recordCount();
    if (m_request.text.isEmpty() || rows == 0) {
        m_state = State::NotFound;
        return;
    }
    const bool hasActive = activeRow >= 0 && activeRow < rows;
    m_first = hasActive ? (activeRow + 1) % rows : 0;
    m_toSearch = hasActive ? rows - 1 : rows;
    m_reader = std::make_unique<EntrySliceReader>(AuditDatabase::instance().connection());
    if (!m_reader->isValid()) {
        m_error = m_reader->error();
        m_state = State::Failed;
    } else if (m_toSearch == 0) {
        m_state = State::NotFound;
    }
}

ViewSearch::~ViewSearch() = default;

bool ViewSearch::cellMatches(const QString& cell, const QString& text, bool matchCase,
                             bool wholeCell)
{
    const QStringView trimmed = QStringView(cell).trimmed();
    const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    return wholeCell ? trimmed.compare(text, cs) == 0 : trimmed.contains(text, cs);
}

int ViewSearch::hitColumn(const AuditEntry& entry) const
{
    for (int column = 0; column < GridCellText::ColumnCount; ++column)
        if (cellMatches(m_cellText.text(entry, column), m_request.text, m_request.matchCase,
                        m_request.wholeCell))
            return column;
    return -1;
}

ViewSearch::State ViewSearch::next(int rows)
{
    if (m_state != State::Searching)
        return m_state;
    const int total = m_view.loadedCount();
    if (total == 0)
        return m_state = State::NotFound;
    const int end = qMin(m_toSearch, m_searched + rows);
    std::array<qint64, EntrySliceReader::SliceSize> keys;
    while (m_searched < end) {
        // A slice of consecutive rows that does not wrap round the end.
        const int firstRow = (m_first + m_searched) % total;
        const int count =
            std::min({end - m_searched, total - firstRow, int(EntrySliceReader::SliceSize)});
        for (int n = 0; n < count; ++n)
            keys[static_cast<size_t>(n)] = m_view.keyAt(firstRow + n);
        int hitAt = count;
        int hitColumnAt = -1;
        const bool ok = m_reader->read(keys.data(), count, [&](int position, const AuditEntry& e) {
            if (position < 0 || position >= hitAt)
                return;
            const int column = hitColumn(e);
            if (column >= 0) {
                hitAt = position;
                hitColumnAt = column;
            }
        });
        if (!ok) {
            m_error = m_reader->error();
            return m_state = State::Failed;
        }
        if (hitColumnAt >= 0) {
            m_searched += hitAt + 1;
            m_foundRow = firstRow + hitAt;
            m_foundColumn = hitColumnAt;
            return m_state = State::Found;
        }
        m_searched += count;
    }
    if (m_searched >= m_toSearch)
        m_state = State::NotFound;
    return m_state;
}

ViewSearch::State ViewSearch::run()
{
    while (next() == State::Searching) {
    }
    return m_state;
}
