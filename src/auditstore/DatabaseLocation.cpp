#include "DatabaseLocation.h"

#include "AuditDatabase.h"
#include "PostgresBackend.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <QUrlQuery>

namespace DatabaseLocation {

QString configuredConnection(const QString& iniFile)
{
    // Read by hand: QSettings would split a URI at its commas.
    QFile file(iniFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    bool inSection = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line.compare(QLatin1String("[Database]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inSection && equals > 0 &&
            line.left(equals).trimmed().compare(QLatin1String("Connection"),
                                                Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1).trimmed();
    }
    return QString();
}

std::optional<QString> connectionString(const QString& systemFolder, QString* problem)
{
    const QDir system(systemFolder);
    QString source = QString::fromLatin1(EnvironmentVariable);
    QString value = qEnvironmentVariable(EnvironmentVariable).trimmed();
    if (value.isEmpty()) {
        source = system.filePath(QLatin1String(FileName));
        value = configuredConnection(source);
    }
    // A value in quotes, as ini files and shells often have it, names what is inside.
    for (const QLatin1Char quote : {QLatin1Char('"'), QLatin1Char('\'')})
        if (value.size() >= 2 && value.startsWith(quote) && value.endsWith(quote))
            value = value.mid(1, value.size() - 2).trimmed();
    if (value.isEmpty())
        return AuditDatabase::connectionStringFor(system.filePath(QLatin1String(DefaultFile)));
    if (!PostgresBackend::isUri(value))
        return AuditDatabase::connectionStringFor(system.filePath(value));
    const QUrl url(value, QUrl::StrictMode);
    const QUrlQuery query(url);
    if (!url.isValid()) {
        if (problem)
            *problem = QStringLiteral("The database connection in %1 is not a valid URI.")
                           .arg(source);
        return std::nullopt;
    }
    // Never repeated in a message or log: the text holds a secret.
    if (!url.password().isEmpty() || query.hasQueryItem(QStringLiteral("password"))) {
        if (problem)
            *problem = QStringLiteral("The database connection in %1 holds a password; keep it "
                                      "in ~/.pgpass or the file PGPASSFILE names instead.")
                           .arg(source);
        return std::nullopt;
    }
    return value;
}

} // namespace DatabaseLocation
