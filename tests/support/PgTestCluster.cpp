#include "PgTestCluster.h"

#include "PostgresBackend.h"
#include "SqlScript.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

static void initSchemaResource()
{
    Q_INIT_RESOURCE(schema);
}

namespace {

const QString Template = QStringLiteral("audit_template");

QString script()
{
    return QStringLiteral(AUDITLOG_SOURCE_DIR "/scripts/pg-cluster.sh");
}

class Cluster
{
public:
    Cluster()
    {
        if (!m_folder.isValid()) {
            m_error = QStringLiteral("no temporary folder for the cluster");
            return;
        }
        QProcess start;
        // The server ends with this process, even one that crashes.
        start.start(QStringLiteral("bash"),
                    {script(), QStringLiteral("start"), m_folder.path(),
                     QString::number(QCoreApplication::applicationPid())});
        if (!start.waitForFinished(120000) || start.exitCode() != 0) {
            m_error = QStringLiteral("pg-cluster.sh start failed: ") +
                      QString::fromLocal8Bit(start.readAllStandardError());
            return;
        }
        m_uri = QString::fromUtf8(start.readAllStandardOutput()).trimmed();
        m_error = makeTemplate();
    }
    ~Cluster()
    {
        if (!m_uri.isEmpty())
            QProcess::execute(QStringLiteral("bash"),
                              {script(), QStringLiteral("stop"), m_folder.path()});
    }

    QString uri(const QString& database) const
    {
        QString uri = m_uri;
        return uri.replace(QStringLiteral(":///postgres?"),
                           QStringLiteral(":///") + database + QLatin1Char('?'));
    }
    QString error() const { return m_error; }

    // Runs statements on a database of the cluster; the first failure's text.
    QString run(const QString& database, const QStringList& statements) const
    {
        const QString name = QStringLiteral("pgtest-") + QUuid::createUuid().toString();
        QString failure;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            PostgresBackend::configure(db, uri(database));
            if (!db.open()) {
                failure = db.lastError().text();
            } else {
                QSqlQuery query(db);
                for (const QString& statement : statements) {
                    if (!query.exec(statement)) {
                        failure = statement.left(60) + QStringLiteral(": ") +
                                  query.lastError().text();
                        break;
                    }
                }
            }
        }
        QSqlDatabase::removeDatabase(name);
        return failure;
    }

private:
    // The template: the schema file's statements.
    QString makeTemplate()
    {
        initSchemaResource();
        const SqlScript schema =
            SqlScript::read(QStringLiteral(":/sql/audit_schema_postgresql.sql"));
        if (schema.isEmpty())
            return QStringLiteral("the PostgreSQL schema resource is missing");
        QString failure = run(QStringLiteral("postgres"),
                              {QStringLiteral("CREATE DATABASE ") + Template});
        return failure.isEmpty() ? run(Template, schema.tables + schema.indexes) : failure;
    }

    QTemporaryDir m_folder{QDir::tempPath() + QStringLiteral("/auditlog-pg-XXXXXX")};
    QString m_uri;
    QString m_error;
};

Cluster& cluster()
{
    static Cluster instance;
    return instance;
}

} // namespace

bool PgTestCluster::enabled()
{
    return qEnvironmentVariable("AUDITLOG_TEST_BACKEND") == QLatin1String("postgresql");
}

QString PgTestCluster::createDatabase(QString* error)
{
    static int made = 0;
    Cluster& server = cluster();
    QString failure = server.error();
    const QString name = QStringLiteral("audit_test_%1").arg(++made);
    if (failure.isEmpty())
        failure = server.run(QStringLiteral("postgres"),
                             {QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(name, Template)});
    if (!failure.isEmpty()) {
        if (error)
            *error = failure;
        return QString();
    }
    return server.uri(name);
}

QString PgTestCluster::uriOf(const QString& database, QString* error)
{
    if (error)
        *error = cluster().error();
    return cluster().error().isEmpty() ? cluster().uri(database) : QString();
}
