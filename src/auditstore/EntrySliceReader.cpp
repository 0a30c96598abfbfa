#include "EntrySliceReader.h"

#include "AuditDatabase.h"

#include <QHash>
#include <algorithm>

EntrySliceReader::EntrySliceReader(const QSqlDatabase& db)
{
    const QString select = QStringLiteral("SELECT [AutoIndex], [Level], [Error], [Description], "
                                          "[Application], [When], [User], [Details], [Path] "
                                          "FROM Audit WHERE [AutoIndex] ");
    QStringList marks;
    for (int n = 0; n < SliceSize; ++n)
        marks.append(QStringLiteral("?"));
    m_keyList = AuditDatabase::rows(db, select + QStringLiteral("IN (") +
                                            marks.join(QLatin1Char(',')) + QLatin1Char(')'),
                                    &m_error);
    if (m_keyList)
        m_keyRange = AuditDatabase::rows(db, select + QStringLiteral("BETWEEN ? AND ?"), &m_error);
}

EntrySliceReader::~EntrySliceReader() = default;

bool EntrySliceReader::read(const qint64* keys, int count, const Found& found)
{
    if (!isValid())
        return false;
    count = qMin(count, SliceSize);
    QHash<qint64, int> positions;
    positions.reserve(count);
    for (int n = 0; n < count; ++n)
        positions.insert(keys[n], n);
    const auto [lowest, highest] = std::minmax_element(keys, keys + count);
    // Keys close together (the viewer's default order, newest first) are read
    // as one run of the table, which costs less than looking each one up;
    // the rows between them that the view leaves out are skipped.
    AuditRows* rows = m_keyList.get();
    bool started = false;
    if (count > 0 && *highest - *lowest < 2 * qint64(count)) {
        rows = m_keyRange.get();
        const qint64 range[] = {*lowest, *highest};
        started = rows->start(range, 2);
    } else {
        started = rows->start(keys, count); // the marks after count are Null: they match nothing
    }
    EntryCells entry;
    while (started && rows->next()) {
        entry.autoIndex = rows->integer(0);
        const int position = positions.value(entry.autoIndex, -1);
        if (position < 0)
            continue;
        entry.level = static_cast<int>(rows->integer(1));
        entry.error = static_cast<int>(rows->integer(2));
        // The statement's columns 3 to 8 are the grid's columns 3 to 8.
        for (int column = GridCellText::DescriptionColumn; column < GridCellText::ColumnCount;
             ++column)
            entry.text[static_cast<size_t>(column)] = rows->text(column);
        found(position, entry);
    }
    // Leave no read transaction open between slices: other programs may write.
    const bool ok = !rows->error().isError();
    if (!ok)
        m_error = rows->error();
    rows->reset();
    return ok;
}
