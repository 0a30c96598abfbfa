#include "EntrySliceReader.h"

#include "AuditDatabase.h"
#include "JetDialect.h"
#include "SqliteHandle.h"

#include <QHash>
#include <algorithm>
#include <sqlite3.h>

namespace {

AuditError errorOf(sqlite3* db)
{
    return {sqlite3_errcode(db), QString::fromUtf8(sqlite3_errmsg(db))};
}

QByteArrayView bytesAt(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return QByteArrayView(text, text ? sqlite3_column_bytes(statement, column) : 0);
}

} // namespace

EntrySliceReader::EntrySliceReader(const QSqlDatabase& db)
{
    const QString select = QStringLiteral("SELECT [AutoIndex], [Level], [Error], [Description], "
                                          "[Application], [When], [User], [Details], [Path] "
                                          "FROM Audit WHERE [AutoIndex] ");
    QStringList marks;
    for (int n = 0; n < SliceSize; ++n)
        marks.append(QStringLiteral("?"));
    m_keyList = prepare(db, select + QStringLiteral("IN (") + marks.join(QLatin1Char(',')) +
                                QLatin1Char(')'));
    if (m_keyList)
        m_keyRange = prepare(db, select + QStringLiteral("BETWEEN ? AND ?"));
}

sqlite3_stmt* EntrySliceReader::prepare(const QSqlDatabase& db, const QString& jet)
{
    qCDebug(lcAuditSql).noquote() << "jet:   " << jet;
    const auto sqlite = JetDialect::toSqlite(jet, &m_error);
    if (!sqlite)
        return nullptr;
    qCDebug(lcAuditSql).noquote() << "sqlite:" << *sqlite;
    sqlite3* handle = SqliteHandleOf(db);
    if (!handle) {
        m_error = {ErrorDatabaseNotFound, QStringLiteral("The audit database is not open.")};
        return nullptr;
    }
    const QByteArray text = sqlite->toUtf8();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, text.constData(), static_cast<int>(text.size()), &statement,
                           nullptr) != SQLITE_OK) {
        m_error = errorOf(handle);
        sqlite3_finalize(statement);
        qCDebug(lcAuditSql).noquote() << "failed:" << m_error.description;
        return nullptr;
    }
    return statement;
}

EntrySliceReader::~EntrySliceReader()
{
    sqlite3_finalize(m_keyList);
    sqlite3_finalize(m_keyRange);
}

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
    sqlite3_stmt* statement = m_keyList;
    if (count > 0 && *highest - *lowest < 2 * qint64(count)) {
        statement = m_keyRange;
        sqlite3_reset(statement);
        sqlite3_bind_int64(statement, 1, *lowest);
        sqlite3_bind_int64(statement, 2, *highest);
    } else {
        sqlite3_reset(statement);
        for (int n = 0; n < SliceSize; ++n) {
            if (n < count)
                sqlite3_bind_int64(statement, n + 1, keys[n]);
            else
                sqlite3_bind_null(statement, n + 1); // matches nothing
        }
    }
    EntryCells entry;
    for (;;) {
        const int step = sqlite3_step(statement);
        if (step == SQLITE_DONE)
            break;
        if (step != SQLITE_ROW) {
            m_error = errorOf(sqlite3_db_handle(statement));
            sqlite3_reset(statement);
            return false;
        }
        entry.autoIndex = sqlite3_column_int64(statement, 0);
        const int position = positions.value(entry.autoIndex, -1);
        if (position < 0)
            continue;
        entry.level = sqlite3_column_int(statement, 1);
        entry.error = sqlite3_column_int(statement, 2);
        // The statement's columns 3 to 8 are the grid's columns 3 to 8.
        for (int column = GridCellText::DescriptionColumn; column < GridCellText::ColumnCount;
             ++column)
            entry.text[static_cast<size_t>(column)] = bytesAt(statement, column);
        found(position, entry);
    }
    // Leave no read transaction open between slices: other programs may write.
    sqlite3_reset(statement);
    return true;
}
