#include "EntrySliceReader.h"

#include "AuditDatabase.h"
#include "JetDialect.h"
#include "SqliteHandle.h"

#include <QHash>
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
    QStringList marks;
    for (int n = 0; n < SliceSize; ++n)
        marks.append(QStringLiteral("?"));
    const QString jet = QStringLiteral("SELECT [AutoIndex], [Level], [Error], [Description], "
                                       "[Application], [When], [User], [Details], [Path] "
                                       "FROM Audit WHERE [AutoIndex] IN (") +
                        marks.join(QLatin1Char(',')) + QLatin1Char(')');
    qCDebug(lcAuditSql).noquote() << "jet:   " << jet;
    const auto sqlite = JetDialect::toSqlite(jet, &m_error);
    sqlite3* handle = SqliteHandleOf(db);
    if (!sqlite)
        return;
    qCDebug(lcAuditSql).noquote() << "sqlite:" << *sqlite;
    if (!handle) {
        m_error = {ErrorDatabaseNotFound, QStringLiteral("The audit database is not open.")};
        return;
    }
    const QByteArray text = sqlite->toUtf8();
    if (sqlite3_prepare_v2(handle, text.constData(), static_cast<int>(text.size()), &m_statement,
                           nullptr) != SQLITE_OK) {
        m_error = errorOf(handle);
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        qCDebug(lcAuditSql).noquote() << "failed:" << m_error.description;
    }
}

EntrySliceReader::~EntrySliceReader()
{
    sqlite3_finalize(m_statement);
}

bool EntrySliceReader::read(const qint64* keys, int count, const Found& found)
{
    if (!m_statement)
        return false;
    count = qMin(count, SliceSize);
    QHash<qint64, int> positions;
    positions.reserve(count);
    sqlite3_reset(m_statement);
    for (int n = 0; n < SliceSize; ++n) {
        if (n < count) {
            sqlite3_bind_int64(m_statement, n + 1, keys[n]);
            positions.insert(keys[n], n);
        } else {
            sqlite3_bind_null(m_statement, n + 1); // matches nothing
        }
    }
    EntryCells entry;
    for (;;) {
        const int step = sqlite3_step(m_statement);
        if (step == SQLITE_DONE)
            break;
        if (step != SQLITE_ROW) {
            m_error = errorOf(sqlite3_db_handle(m_statement));
            sqlite3_reset(m_statement);
            return false;
        }
        entry.autoIndex = sqlite3_column_int64(m_statement, 0);
        entry.level = sqlite3_column_int(m_statement, 1);
        entry.error = sqlite3_column_int(m_statement, 2);
        // The statement's columns 3 to 8 are the grid's columns 3 to 8.
        for (int column = GridCellText::DescriptionColumn; column < GridCellText::ColumnCount;
             ++column)
            entry.text[static_cast<size_t>(column)] = bytesAt(m_statement, column);
        found(positions.value(entry.autoIndex, -1), entry);
    }
    // Leave no read transaction open between slices: other programs may write.
    sqlite3_reset(m_statement);
    return true;
}
