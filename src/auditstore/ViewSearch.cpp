#include "ViewSearch.h"

#include "AuditDatabase.h"
#include "AuditEntry.h"
#include "AuditView.h"

#include <QSet>
#include <algorithm>
#include <array>
#include <charconv>

namespace {

// "yyyy-MM-dd" or "yyyy-MM-dd?HH:mm:ss..." in plain digits: the shape every
// entry has. Anything else is read the slow way by AuditEntry.
bool readDigits(QByteArrayView text, qsizetype at, int count, int* value)
{
    int number = 0;
    for (int n = 0; n < count; ++n) {
        const char c = text[at + n];
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (c - '0');
    }
    *value = number;
    return true;
}

bool quickWhen(QByteArrayView text, QDate* date, QTime* time)
{
    const qsizetype size = text.size();
    int y, mo, d, h = 0, mi = 0, s = 0;
    if ((size != 10 && size < 19) || text[4] != '-' || text[7] != '-' ||
        !readDigits(text, 0, 4, &y) || !readDigits(text, 5, 2, &mo) || !readDigits(text, 8, 2, &d))
        return false;
    if (size >= 19 && (text[13] != ':' || text[16] != ':' || !readDigits(text, 11, 2, &h) ||
                       !readDigits(text, 14, 2, &mi) || !readDigits(text, 17, 2, &s)))
        return false;
    *date = QDate(y, mo, d);
    *time = QTime(h, mi, s);
    return true;
}

} // namespace

ViewSearch::ViewSearch(AuditView& view, const FindRequest& request, int activeRow,
                       const QLocale& locale)
    : m_view(view), m_matcher(request.text, request.matchCase, request.wholeCell),
      m_cellText(locale)
{
    // The whole result: the grid lists only the rows whose keys are read so far.
    const int rows = m_view.recordCount();
    if (m_matcher.isEmpty() || rows == 0) {
        m_state = State::NotFound;
        return;
    }
    for (int level = 0; level < 4; ++level)
        m_levelHits[static_cast<size_t>(level)] = m_matcher.matches(GridCellText::levelText(level));
    m_datesPossible = canBeInDates();
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

bool ViewSearch::canBeInDates() const
{
    // Every character the locale writes in a date and a time: all months and
    // weekdays of a year, every hour, every digit.
    QSet<QChar> shown;
    auto add = [this, &shown](const QString& text) {
        for (const QChar c : text)
            shown.insert(m_matcher.matchCase() ? c : c.toCaseFolded());
    };
    const QDate first(2000, 1, 1);
    for (QDate day = first; day.year() == 2000; day = day.addDays(1))
        add(m_cellText.dateText(day));
    for (int hour = 0; hour < 24; ++hour)
        add(m_cellText.timeText(QTime(hour, 0)));
    add(QStringLiteral("0123456789 "));
    for (const QChar c : m_matcher.text())
        if (!shown.contains(m_matcher.matchCase() ? c : c.toCaseFolded()))
            return false;
    return true;
}

bool ViewSearch::numberMatches(qint64 number) const
{
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, number).ptr;
    return m_matcher.matchesStored(QByteArrayView(text, end - text));
}

bool ViewSearch::whenMatches(QByteArrayView stored)
{
    QDate date;
    QTime time;
    if (!quickWhen(stored, &date, &time)) {
        const QString text = QString::fromUtf8(stored);
        return m_matcher.matches(m_cellText.whenText(text));
    }
    if (!date.isValid() || !time.isValid())
        return m_matcher.matches(QString::fromUtf8(stored)); // shown as stored
    if (!m_datesPossible)
        return false;
    auto day = m_dates.find(date.toJulianDay());
    if (day == m_dates.end())
        day = m_dates.insert(date.toJulianDay(), shownPart(m_cellText.dateText(date)));
    auto second = m_times.find(time.msecsSinceStartOfDay() / 1000);
    if (second == m_times.end())
        second = m_times.insert(time.msecsSinceStartOfDay() / 1000,
                                shownPart(m_cellText.timeText(time)));
    // A search text without blanks is in the date or in the time, never across
    // the blank between them, and a whole cell is never one of them alone.
    if (!m_matcher.hasBlank() && day->solid && second->solid)
        return !m_matcher.wholeCell() && (day->hit || second->hit);
    return m_matcher.matches(QString(day->text + QLatin1Char(' ') + second->text));
}

ViewSearch::ShownPart ViewSearch::shownPart(const QString& text) const
{
    return {text, m_matcher.matches(text), !text.trimmed().isEmpty()};
}

int ViewSearch::hitColumn(const EntryCells& entry)
{
    if (entry.autoIndex == 0)
        return -1; // shown empty
    for (int column = 0; column < GridCellText::ColumnCount; ++column) {
        bool hit = false;
        switch (column) {
        case GridCellText::AutoIndexColumn:
            hit = numberMatches(entry.autoIndex);
            break;
        case GridCellText::LevelColumn:
            hit = entry.level >= 0 && entry.level < 4
                      ? m_levelHits[static_cast<size_t>(entry.level)]
                      : numberMatches(entry.level);
            break;
        case GridCellText::ErrorColumn:
            hit = numberMatches(entry.error);
            break;
        case GridCellText::WhenColumn:
            hit = whenMatches(entry.text[GridCellText::WhenColumn]);
            break;
        default:
            hit = m_matcher.matchesStored(entry.text[static_cast<size_t>(column)]);
        }
        if (hit)
            return column;
    }
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
        const bool ok = m_reader->read(keys.data(), count, [&](int position, const EntryCells& e) {
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
