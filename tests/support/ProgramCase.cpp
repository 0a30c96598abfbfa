#include "ProgramCase.h"

#include <QDir>
#include <QtTest>

ProgramCase::ProgramCase()
{
    m_root = m_folder.filePath(QStringLiteral("root"));
    QDir().mkpath(m_root + QStringLiteral("/SYSTEM"));
    QDir().mkpath(path(QStringLiteral("config")));
}

void ProgramCase::setRoot(const QString& root)
{
    m_root = root.endsWith('/') ? root.chopped(1) : root;
    QDir().mkpath(m_root + QStringLiteral("/SYSTEM"));
}

QString ProgramCase::expand(QString text) const
{
    return text.replace(QStringLiteral("%ROOT"), m_root)
        .replace(QStringLiteral("%DIR"), m_folder.path());
}

bool ProgramCase::makeDemo(int rows) const
{
    return ProgramRun::makeDemo({database(), QString::number(rows), "--seed", "11"}) == 0;
}

bool ProgramCase::writeSettings(const QByteArray& lines) const
{
    return ProgramRun::writeSettings(path(QStringLiteral("config")), lines);
}

ProgramRun ProgramCase::run(QStringList arguments, const QStringList& environment,
                            const QStringList& wrapper) const
{
    QStringList changes = environment;
    if (arguments.removeAll(QStringLiteral("%NODISPLAY")) > 0)
        changes << "-QT_QPA_PLATFORM"
                << "-DISPLAY"
                << "-WAYLAND_DISPLAY";
    for (QString& argument : arguments)
        argument = expand(argument);
    return ProgramRun::of(wrapper + QStringList{AUDITLOG_EXE} + arguments,
                          ProgramRun::environment(path(QStringLiteral("config")), changes),
                          m_folder.path());
}

void ProgramCase::addColumns()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("settings");
}

QTestData& ProgramCase::newRow(const char* name, const QStringList& arguments, int status,
                               const QString& line, const QByteArray& settings)
{
    return QTest::newRow(name) << arguments << status << line << settings;
}

ProgramRun ProgramCase::runRow(const QStringList& environment) const
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, line);
    QFETCH(QByteArray, settings);
    ProgramRun result;
    [&] {
        QVERIFY(settings.isEmpty() || writeSettings(settings));
        result = run(arguments, environment);
        QCOMPARE(result.status, status);
        QCOMPARE(result.errLines.size(), line.isEmpty() ? 0 : 1);
        if (line.isEmpty())
            return;
        const QString said = result.errLines.at(0), wanted = expand(line);
        QVERIFY2(wanted.startsWith('*') ? said.contains(wanted.mid(1)) : said.startsWith(wanted),
                 qPrintable(said));
        QVERIFY2(std::none_of(said.cbegin(), said.cend(), [](QChar c) { return c < ' '; }),
                 qPrintable(said));
    }();
    return result;
}
