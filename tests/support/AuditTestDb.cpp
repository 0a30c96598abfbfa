#include "AuditTestDb.h"

#include "AuditDatabase.h"
#include "DatabaseLocation.h"
#include "PgTestCluster.h"
#include "PostgresBackend.h"
#include "PostgresDialect.h"
#include "SqlDate.h"
#include "SqlScript.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

static void initSchemaResource()
{
    Q_INIT_RESOURCE(schema);
}

namespace {

QString where(const QString& sqliteWhere)
{
    return sqliteWhere.isEmpty() ? QString() : QStringLiteral(" WHERE ") + sqliteWhere;
}

// A test's SQLite text as the server reads it (bracketed names, When, User).
QString forServer(const QString& sqlite)
{
    return PostgresDialect::fromJet(sqlite).value_or(sqlite);
}

QSqlDatabase openConnection(const QString& name, const QString& location)
{
    const bool server = PostgresBackend::isUri(location);
    QSqlDatabase db =
        QSqlDatabase::addDatabase(server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), name);
    if (server) {
        PostgresBackend::configure(db, location);
    } else {
        db.setDatabaseName(location);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    }
    db.open();
    return db;
}

} // namespace

AuditTestDb::AuditTestDb()
{
    m_root = m_folder.path() + QLatin1Char('/');
    QDir(m_folder.path()).mkpath(QStringLiteral("SYSTEM"));
    m_connectionName = QStringLiteral("testdb-") + QUuid::createUuid().toString();
    m_path = m_root + QStringLiteral("SYSTEM/Audit.mdb");
    if (PgTestCluster::enabled()) {
        // The installation names its server database, for the program run
        // in-process and as a child process alike.
        m_path = PgTestCluster::createDatabase(&m_error);
        if (m_path.isEmpty()) {
            qWarning("no PostgreSQL test database: %s", qPrintable(m_error));
            return;
        }
        QFile ini(m_root + QStringLiteral("SYSTEM/") + QLatin1String(DatabaseLocation::FileName));
        if (!ini.open(QIODevice::WriteOnly) ||
            ini.write("[Database]\nConnection=" + m_path.toUtf8() + "\n") < 0) {
            m_error = ini.errorString();
            return;
        }
    }
    QSqlDatabase connection = openConnection(m_connectionName, m_path);
    if (!connection.isOpen())
        m_error = connection.lastError().text();
    else
        m_valid = isServer() || create();
}

AuditTestDb::~AuditTestDb()
{
    QSqlDatabase::database(m_connectionName, false).close();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool AuditTestDb::isServer() const
{
    return PostgresBackend::isUri(m_path);
}

// The schema file's statements in one transaction, with no syncing: test
// files need not survive a crash.
bool AuditTestDb::create()
{
    initSchemaResource();
    const SqlScript schema = SqlScript::read(QStringLiteral(":/sql/audit_schema.sql"));
    if (schema.isEmpty()) {
        m_error = QStringLiteral("the schema resource is missing");
        return false;
    }
    const QStringList statements = QStringList{"PRAGMA journal_mode=WAL", "PRAGMA synchronous=OFF",
                                               "BEGIN"} + schema.tables + schema.indexes +
                                   QStringList{"COMMIT"};
    return std::all_of(statements.begin(), statements.end(),
                       [this](const QString& statement) { return exec(statement); });
}

QSqlDatabase AuditTestDb::db() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

AuditEntry AuditTestDb::entry(int level, const QDateTime& when, const QString& description)
{
    AuditEntry e;
    e.Level = level;
    e.Error = level == 0 ? 0 : 1000 + level;
    e.Description = description.isEmpty()
                        ? QStringLiteral("Level %1 event at %2").arg(level).arg(IsoDateTime(when))
                        : description;
    e.Application = QStringLiteral("Translator");
    e.When = IsoDateTime(when);
    e.User = QStringLiteral("operator");
    e.Details = QStringLiteral("First line of details\nSecond line");
    e.Path = QStringLiteral("/srv/edi/inbound/850.x12");
    return e;
}

qint64 AuditTestDb::add(const AuditEntry& e)
{
    QSqlQuery query(db());
    query.prepare(isServer() ? QStringLiteral("INSERT INTO audit (level, error, description, "
                                              "application, \"when\", \"user\", details, path, "
                                              "unattended, response, tasklist) VALUES (?, ?, ?, ?, "
                                              "?, ?, ?, ?, ?, ?, ?) RETURNING autoindex")
                             : QStringLiteral("INSERT INTO Audit (Level, Error, Description, "
                                              "Application, [When], User, Details, Path, "
                                              "Unattended, Response, TaskList) VALUES (?, ?, ?, "
                                              "?, ?, ?, ?, ?, ?, ?, ?)"));
    query.addBindValue(e.Level);
    query.addBindValue(e.Error);
    // A null QString would be bound as NULL; the text columns are NOT NULL.
    for (const QString& text : {e.Description, e.Application, e.When, e.User, e.Details, e.Path})
        query.addBindValue(text.isNull() ? QString(QLatin1String("")) : text);
    query.addBindValue(e.Unattended ? 1 : 0);
    query.addBindValue(e.Response.isNull() ? QString(QLatin1String("")) : e.Response);
    query.addBindValue(e.TaskList.isNull() ? QString(QLatin1String("")) : e.TaskList);
    if (!query.exec()) {
        m_error = query.lastError().text();
        return 0;
    }
    if (isServer())
        return query.next() ? query.value(0).toLongLong() : 0;
    return query.lastInsertId().toLongLong();
}

bool AuditTestDb::add(const QList<AuditEntry>& entries)
{
    QSqlDatabase connection = db();
    if (!connection.transaction())
        return false;
    for (const AuditEntry& e : entries) {
        if (add(e) == 0) {
            connection.rollback();
            return false;
        }
    }
    return connection.commit();
}

int AuditTestDb::count(const QString& sqliteWhere) const
{
    QSqlQuery query(db());
    if (!query.exec(text(QStringLiteral("SELECT COUNT(*) FROM Audit") + where(sqliteWhere))) ||
        !query.next())
        return -1;
    return query.value(0).toInt();
}

QList<qint64> AuditTestDb::keys(const QString& sqliteWhere) const
{
    QList<qint64> result;
    for (const AuditEntry& e : entries(sqliteWhere))
        result.append(e.AutoIndex);
    return result;
}

QList<AuditEntry> AuditTestDb::entries(const QString& sqliteWhere) const
{
    QList<AuditEntry> result;
    QSqlQuery query(db());
    query.exec(text(QStringLiteral("SELECT * FROM Audit") + where(sqliteWhere) +
                    QStringLiteral(" ORDER BY AutoIndex")));
    while (query.next())
        result.append(AuditEntry::fromRecord(query.record()));
    return result;
}

bool AuditTestDb::exec(const QString& sqlite)
{
    QSqlQuery query(db());
    if (query.exec(text(sqlite)))
        return true;
    m_error = query.lastError().text();
    return false;
}

QVariantList AuditTestDb::values(const QString& file, const QString& sqlite)
{
    QVariantList result;
    const QString name = QStringLiteral("values-") + QUuid::createUuid().toString();
    {
        QSqlDatabase connection = openConnection(name, file);
        if (connection.isOpen()) {
            QSqlQuery query(PostgresBackend::isUri(file) ? forServer(sqlite) : sqlite, connection);
            while (query.next())
                result.append(query.value(0));
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QSet<qint64> AuditTestDb::keySet(const QString& file, const QString& sqliteWhere)
{
    QSet<qint64> keys;
    for (const QVariant& v : values(file, QStringLiteral("SELECT AutoIndex FROM Audit") +
                                              where(sqliteWhere)))
        keys.insert(v.toLongLong());
    return keys;
}

bool AuditTestDb::openShared()
{
    return AuditDatabase::instance().open(AuditDatabase::connectionStringFor(m_path));
}

QString AuditTestDb::text(const QString& sqlite) const
{
    return isServer() ? forServer(sqlite) : sqlite;
}
