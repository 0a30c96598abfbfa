#include "ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QProcess>

ProgramRun ProgramRun::of(QStringList command, const QProcessEnvironment& environment,
                          const QString& folder)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(command.takeFirst(), command);
    ProgramRun result;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
    else
        process.kill();
    result.out = process.readAllStandardOutput();
    result.errLines =
        QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    return result;
}

QProcessEnvironment ProgramRun::environment(const QString& configHome, const QStringList& changes)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", configHome);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LC_ALL", "en_US.UTF-8");
    env.insert("QT_LOGGING_RULES", "audit.sql=false");
    env.remove("XDG_RUNTIME_DIR");
    env.remove("ZLK_SMTP_URL");
    for (const QString& change : changes) {
        if (change.startsWith('-'))
            env.remove(change.mid(1));
        else
            env.insert(change.section('=', 0, 0), change.section('=', 1));
    }
    return env;
}

int ProgramRun::makeDemo(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(MAKEDEMO_EXE), arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

QByteArray ProgramRun::readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ProgramRun::writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool ProgramRun::writeSettings(const QString& configHome, const QByteArray& lines)
{
    const QString folder = configHome + QStringLiteral("/Velmora");
    return QDir().mkpath(folder) &&
           writeFile(folder + QStringLiteral("/Audit Log Viewer.conf"), "[General]\n" + lines);
}

QSet<qint64> ProgramRun::reportedKeys(const QString& reportFile)
{
    static const QRegularExpression shown(QStringLiteral("AutoIndex:\\s+([\\d,.]+)"));
    static const QRegularExpression separators(QStringLiteral("[,.]"));
    QSet<qint64> keys;
    for (const auto& m : shown.globalMatch(QString::fromUtf8(readFile(reportFile))))
        keys.insert(m.captured(1).remove(separators).toLongLong());
    return keys;
}
