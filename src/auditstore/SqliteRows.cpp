#include "SqliteRows.h"

#include <sqlite3.h>

AuditError SqliteRows::errorOf(sqlite3* db)
{
    return {sqlite3_errcode(db), QString::fromUtf8(sqlite3_errmsg(db))};
}

SqliteRows::SqliteRows(sqlite3_stmt* statement) : m_statement(statement) {}

SqliteRows::~SqliteRows()
{
    sqlite3_finalize(m_statement);
}

bool SqliteRows::start(const qint64* values, int count)
{
    m_error = {};
    sqlite3_reset(m_statement);
    const int marks = sqlite3_bind_parameter_count(m_statement);
    for (int n = 0; n < marks; ++n) {
        if (n < count)
            sqlite3_bind_int64(m_statement, n + 1, values[n]);
        else
            sqlite3_bind_null(m_statement, n + 1);
    }
    return true;
}

bool SqliteRows::next()
{
    const int step = sqlite3_step(m_statement);
    if (step == SQLITE_ROW)
        return true;
    if (step != SQLITE_DONE)
        m_error = errorOf(sqlite3_db_handle(m_statement));
    return false;
}

void SqliteRows::reset()
{
    sqlite3_reset(m_statement);
}

int SqliteRows::columnCount() const
{
    return sqlite3_column_count(m_statement);
}

QString SqliteRows::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_statement, column));
}

qint64 SqliteRows::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

QByteArrayView SqliteRows::text(int column) const
{
    const auto* text =
        reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return QByteArrayView(text, text ? sqlite3_column_bytes(m_statement, column) : 0);
}

QVariant SqliteRows::value(int column) const
{
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_statement, column));
    case SQLITE_TEXT: {
        // Stored as UTF-8: Qt's decoder is several times faster than SQLite's own
        // conversion to UTF-16.
        const auto* text =
            reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(m_statement, column)));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return QVariant(QByteArray(data, sqlite3_column_bytes(m_statement, column)));
    }
    default:
        return QVariant();
    }
}

AuditRows::Raw SqliteRows::raw(int column) const
{
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_NULL:
        return {Raw::Null, {}, 0};
    case SQLITE_INTEGER:
        return {Raw::Integer, {}, sqlite3_column_int64(m_statement, column)};
    case SQLITE_TEXT:
        return {Raw::Text, text(column), 0};
    default:
        return {};
    }
}
