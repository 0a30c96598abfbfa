#include "AuditTestDb.h"

#include "AuditDatabase.h"
#include "SqlDate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

static void initSchemaResource()
{
    Q_INIT_RESOURCE(schema);
}

namespace {

// The schema file split into its statements (comments dropped).
QStringList schemaStatements(QString* error)
{
    initSchemaResource();
    QFile file(QStringLiteral(":/sql/audit_schema.sql"));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("the schema resource is missing");
        return {};
    }
    QString text;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const qsizetype comment = line.indexOf(QLatin1String("--"));
        text += (comment < 0 ? line : line.left(comment)) + QLatin1Char('\n');
    }
    QStringList statements;
    for (const QString& part : text.split(QLatin1Char(';')))
        if (!part.trimmed().isEmpty())
            statements.append(part.trimmed());
    return statements;
}

QString where(const QString& sqliteWhere)
{
    return sqliteWhere.isEmpty() ? QString() : QStringLiteral(" WHERE ") + sqliteWhere;
}

} // namespace

AuditTestDb::AuditTestDb()
{
    m_root = m_folder.path() + QLatin1Char('/');
    QDir(m_folder.path()).mkpath(QStringLiteral("SYSTEM"));
    m_path = m_root + QStringLiteral("SYSTEM/Audit.mdb");
    init();
}

AuditTestDb::AuditTestDb(const QString& path) : m_path(path)
{
    init();
}

AuditTestDb::~AuditTestDb()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool AuditTestDb::create(const QString& path, QString* error)
{
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("%1 exists already").arg(path);
        return false;
    }
    const QStringList statements = schemaStatements(error);
    if (statements.isEmpty())
        return false;
    const QString name = QStringLiteral("create-") + QUuid::createUuid().toString();
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        // One transaction and no syncing: test files need not survive a crash.
        for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=OFF", "BEGIN"}) {
            if (ok)
                ok = query.exec(QLatin1String(pragma));
        }
        for (const QString& statement : statements) {
            if (!ok)
                break;
            ok = query.exec(statement);
        }
        if (ok)
            ok = query.exec(QStringLiteral("COMMIT"));
        if (!ok && error)
            *error = db.lastError().isValid() && !db.isOpen() ? db.lastError().text()
                                                              : query.lastError().text();
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

void AuditTestDb::init()
{
    if (!create(m_path, &m_error))
        return;
    m_connectionName = QStringLiteral("testdb-") + QUuid::createUuid().toString();
    QSqlDatabase connection =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    connection.setDatabaseName(m_path);
    connection.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!connection.open()) {
        m_error = connection.lastError().text();
        return;
    }
    QSqlQuery(connection).exec(QStringLiteral("PRAGMA synchronous=OFF"));
    m_valid = true;
}

QSqlDatabase AuditTestDb::db() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

QString AuditTestDb::connectionString() const
{
    return AuditDatabase::connectionStringFor(m_path);
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
    query.prepare(QStringLiteral(
        "INSERT INTO Audit (Level, Error, Description, Application, [When], User, Details, "
        "Path, Unattended, Response, TaskList) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    // A null QString would be bound as NULL; the text columns are NOT NULL.
    const auto text = [](const QString& value) {
        return value.isNull() ? QString(QLatin1String("")) : value;
    };
    query.addBindValue(e.Level);
    query.addBindValue(e.Error);
    query.addBindValue(text(e.Description));
    query.addBindValue(text(e.Application));
    query.addBindValue(text(e.When));
    query.addBindValue(text(e.User));
    query.addBindValue(text(e.Details));
    query.addBindValue(text(e.Path));
    query.addBindValue(e.Unattended ? 1 : 0);
    query.addBindValue(text(e.Response));
    query.addBindValue(text(e.TaskList));
    if (!query.exec()) {
        m_error = query.lastError().text();
        return 0;
    }
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

bool AuditTestDb::addWeight(int error, const QString& application, int weight)
{
    QSqlQuery query(db());
    query.prepare(
        QStringLiteral("INSERT INTO weight (error, application, weight) VALUES (?, ?, ?)"));
    query.addBindValue(error);
    query.addBindValue(application);
    query.addBindValue(weight);
    return query.exec();
}

int AuditTestDb::count(const QString& sqliteWhere) const
{
    QSqlQuery query(db());
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM Audit") + where(sqliteWhere)) ||
        !query.next())
        return -1;
    return query.value(0).toInt();
}

QList<qint64> AuditTestDb::keys(const QString& sqliteWhere) const
{
    QList<qint64> result;
    QSqlQuery query(db());
    query.exec(QStringLiteral("SELECT AutoIndex FROM Audit") + where(sqliteWhere) +
               QStringLiteral(" ORDER BY AutoIndex"));
    while (query.next())
        result.append(query.value(0).toLongLong());
    return result;
}

QList<AuditEntry> AuditTestDb::entries(const QString& sqliteWhere) const
{
    QList<AuditEntry> result;
    QSqlQuery query(db());
    query.exec(QStringLiteral("SELECT * FROM Audit") + where(sqliteWhere) +
               QStringLiteral(" ORDER BY AutoIndex"));
    while (query.next())
        result.append(AuditEntry::fromRecord(query.record()));
    return result;
}

bool AuditTestDb::exec(const QString& sqlite)
{
    QSqlQuery query(db());
    if (query.exec(sqlite))
        return true;
    m_error = query.lastError().text();
    return false;
}

bool AuditTestDb::openShared()
{
    return AuditDatabase::instance().open(connectionString());
}
