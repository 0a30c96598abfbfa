#include "SqlScript.h"

#include <QFile>

SqlScript SqlScript::read(const QString& resource)
{
    SqlScript script;
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return script;
    QString text;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const qsizetype comment = line.indexOf(QLatin1String("--"));
        text += (comment < 0 ? line : line.left(comment)) + QLatin1Char('\n');
    }
    for (const QString& part : text.split(QLatin1Char(';'))) {
        const QString statement = part.trimmed();
        if (statement.isEmpty())
            continue;
        if (statement.startsWith(QLatin1String("CREATE INDEX"), Qt::CaseInsensitive))
            script.indexes.append(statement + QLatin1Char(';'));
        else
            script.tables.append(statement + QLatin1Char(';'));
    }
    return script;
}
