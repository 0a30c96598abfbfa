#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "AuditView.h"
#include "CommandLine.h"
#include "CommandLinePrinter.h"
#include "NumericText.h"
#include "ProgramRun.h"
#include "Settings.h"
#include "SqlDate.h"
#include "SqlTextCheck.h"
#include "Startup.h"
#include "TestEnvironment.h"
#include "frmView.h"

#include <QFile>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

// Start-up in this process: the command-line grammar, separate arguments and
// argument files, the one numeric grammar, Booleans, hand-edited settings read
// whole, and what a start prepares. Runs of the real program are in
// tst_outsideruns.
class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("result");
        auto row = [](const char* name, const QString& line, bool valid, const QString& result) {
            QTest::newRow(name) << line << valid << result;
        };
        row("empty", "", true, "");
        row("file report", "/STATUS /ERROR /FILE C:\\out.txt /UNATTENDED", true,
            "Destination=3 Address=C:\\out.txt Status Error Unattended");
        row("summary mail", "/SUMMARY /NODETAIL /EMAIL ops@example.com", true,
            "Destination=2 Address=ops@example.com Summary NoDetail");
        row("over", "/STATUS /OVER 30 /PRINT /DELETE", true,
            "Destination=0 Status AgeMode=1 Days=30 Delete");
        row("sorts, thresholds", "/SORTBY1 Level /SORTBY3 When /ATTACH_OVER 5 /ABORT_ATTACH_OVER 7",
            true, "AttachAtSize=5 AbortAttachAtSize=7 SortBy1=Level SortBy3=When");
        row("html subject", "/HTML /SUBJECT Nightly errors /FATAL", true,
            "Fatal Subject=Nightly errors Html");
        row("debug", "/DEBUG", true, "Debug InstallRoot=/opt/dorvu/Velmora/");
        row("system quoted", "/SYSTEM \"/opt/Program Files/Velmora\"", true,
            "InstallRoot=/opt/Program Files/Velmora");
        row("system missing after a value", "/SUBJECT hi /SYSTEM", false, "Subject=hi");

        row("prefix counts, case", "/statusX /FileX y", true, "Destination=3 Address=y Status");
        row("leading text ignored", "x /STATUS", true, "Status");
        row("unknown keyword", "/STATUS /BOGUS", false, "Status");
        row("empty last token", "/STATUS /", false, "Status");

        row("file blank value", "/FILE    /STATUS", false, "");
        row("quoted path", "/FILE \"/tmp/out dir/r.txt\"", true,
            "Destination=3 Address=/tmp/out dir/r.txt");
        row("unquoted path splits", "/FILE /tmp/out.txt", false, "");
        row("slash in quoted subject", "/SUBJECT \"Daily / weekly\"", true,
            "Subject=Daily / weekly");
        row("empty quotes", "/SUBJECT \"\"", false, "");
        row("open quote", "/SUBJECT \"a b", false, "");
        row("inner quotes kept", "/QUERY x = \"y\"", true, "Query=x = \"y\"");

        row("print then file", "/PRINT /FILE x", false, "Destination=0");
        row("span", "/SPAN_START 1\\1\\2003 /SPAN_END 1\\31\\2003", true,
            "AgeMode=3 SpanStart=1/1/2003 SpanEnd=1/31/2003");
        row("span reversed", "/SPAN_END 1\\31\\2003 /SPAN_START 1\\1\\2003", false, "");
        row("span with time", "/SPAN_START 1\\1\\2003_08:00", true,
            "AgeMode=3 SpanStart=1/1/2003 08:00");
        row("over then span end", "/OVER 3 /SPAN_END 1\\1\\2003", true,
            "AgeMode=3 Days=3 SpanEnd=1/1/2003");
        row("third age keyword", "/SPAN_START 1\\1\\2003 /SPAN_END 1\\2\\2003 /SPAN_END 1\\3\\2003",
            false, "AgeMode=3 SpanStart=1/1/2003 SpanEnd=1/2/2003");

        row("days max", "/OVER 32767", true, "AgeMode=1 Days=32767");
        row("days too big", "/OVER 32768", false, "");
        row("bytes max", "/ATTACH_OVER 2147483647", true, "AttachAtSize=2147483647");
        row("bytes too big", "/ZIP_OVER 2147483648", false, "");
        row("bytes exponent", "/ABORT_ATTACH_OVER 1e6", false, "");

        row("bad token after unattended", "/UNATTENDED /BOGUS", false, "Unattended");
    }

    void parse()
    {
        QFETCH(QString, line);

        TestEnvironment env;
        RunOptions options;
        // Left from an earlier parse: every parse starts by clearing both.
        options.Summary = true;
        HtmlOutput = true;
        QTEST(ParseCommandLine(line, options), "valid");
        QTEST(describe(parsedNow(true, options)), "result");
    }

    void fromArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("valid");
        const QString fileReport = QStringLiteral("/STATUS /FILE \"/tmp/out.txt\" /UNATTENDED");
        QTest::newRow("separate") << QStringList{"/STATUS", "/FILE", "/tmp/out.txt", "/UNATTENDED"}
                                  << fileReport << true;
        QTest::newRow("one argument") << QStringList{fileReport} << fileReport << true;
        QTest::newRow("keyword ends an argument")
            << QStringList{"/STATUS /FILE", "/tmp/out.txt", "/UNATTENDED"} << fileReport << true;
        QTest::newRow("value without slash") << QStringList{"/SUBJECT", "Daily report", "/HTML"}
                                             << "/SUBJECT Daily report /HTML" << true;
        QTest::newRow("value given in the argument")
            << QStringList{"/FILE x", "/STATUS"} << "/FILE x /STATUS" << true;
        // A keyword alone is never the value of the keyword before it.
        QTest::newRow("file value missing, lower case")
            << QStringList{"/FILE", " /unattended"} << "/FILE  /unattended" << false;
        QTest::newRow("keyword-like file name")
            << QStringList{"/FILE", "/UNATTENDEDX"} << "/FILE \"/UNATTENDEDX\"" << true;
        QTest::newRow("odd quote in a value")
            << QStringList{"/SUBJECT", "Bob\"s report", "/EMAIL", "a@b", "/UNATTENDED"}
            << "/SUBJECT Bob\"s report /EMAIL a@b /UNATTENDED" << false;
        // Quotes that balance only across arguments would hide the keyword between them.
        QTest::newRow("quote spanning arguments")
            << QStringList{"/SUBJECT", "Bob\"s", "/UNATTENDED", "x\"y"}
            << "/SUBJECT Bob\"s /UNATTENDED x\"y" << false;
    }

    void fromArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, line);
        bool quotesClosed = false;
        QCOMPARE(CommandLineFromArguments(arguments, &quotesClosed), line);
        TestEnvironment env;
        RunOptions options;
        QTEST(quotesClosed && ParseCommandLine(line, options), "valid");
    }

    void argumentFile_data()
    {
        QTest::addColumn<QString>("line"); // %1 and %2 stand for the two files
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("kind"); // what %1 names: "" the first file itself
        auto row = [](const char* name, const QString& line, const QByteArray& first,
                      const QByteArray& second, bool valid, const QString& result,
                      const char* kind = "") {
            QTest::newRow(name) << line << first << second << valid << result << kind;
        };
        row("lines", "/@FILE \"%1\"", "/STATUS\n/FILE \"/tmp/o.txt\"\n", "", true,
            "Destination=3 Address=/tmp/o.txt Status");
        row("rest of line dropped", "/WARNING /@FILE \"%1\" /FATAL", "junk /STATUS", "", true,
            "Status Warning");
        row("nested", "/@FILE \"%1\"", "/STATUS /@FILE \"%2\" /WARNING", "/ERROR", true,
            "Status Error");
        row("empty file", "/STATUS /@FILE \"%1\"", "", "", false, "Status");
        row("missing file", "/STATUS /@FILE \"%1.none\"", "/ERROR", "", false, "Status");
        row("bad keyword in file", "/@FILE \"%1\"", "/STATUS /BOGUS", "", false, "Status");
        row("counters go on", "/PRINT /@FILE \"%1\"", "/FILE x", "", false, "Destination=0");
        // Only the first 1000 characters are read.
        row("/FATAL at 1000", "/@FILE \"%1\"", "/STATUS" + QByteArray(993, ' ') + "/FATAL", "",
            true, "Status");
        row("/FATAL before 1000", "/@FILE \"%1\"", "/STATUS" + QByteArray(987, ' ') + "/FATAL", "",
            true, "Status Fatal");
        // Used up only when it is the user's own regular file.
        row("another user's file", "/@FILE \"%1\"", "/STATUS", "", true, "Status", "other owner");
        row("link to a file", "/@FILE \"%1\"", "/STATUS", "", true, "Status", "link");
        // Read at once, without waiting for a writer.
        row("FIFO", "/STATUS /@FILE \"%1\"", "/ERROR", "", false, "Status", "fifo");
    }

    void argumentFile()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(bool, valid);

        TestEnvironment env;
        QFile firstFile(env.filePath(QStringLiteral("args 1.txt")));
        QFile secondFile(env.filePath(QStringLiteral("args2.txt")));
        QVERIFY(ProgramRun::writeFile(secondFile.fileName(), second) &&
                ProgramRun::writeFile(firstFile.fileName(), QByteArray(first).replace(
                                                                "%2", secondFile.fileName().toUtf8())));

        QFETCH(QString, kind);
        QString named = firstFile.fileName();
        if (kind == "other owner")
            QVERIFY(::chown(QFile::encodeName(named).constData(), 65534, 65534) == 0);
        if (kind == "link" || kind == "fifo")
            named = env.filePath(kind);
        if (kind == "link")
            QVERIFY(QFile::link(firstFile.fileName(), named));
        if (kind == "fifo")
            QVERIFY(::mkfifo(QFile::encodeName(named).constData(), 0600) == 0);

        RunOptions options;
        QCOMPARE(ParseCommandLine(QString(line).replace("%1", named), options), valid);
        QTEST(describe(parsedNow(true, options)), "result");
        if (valid)
            UseUpArgumentFiles();
        // A file that was read is used up once its line is accepted.
        QCOMPARE(firstFile.exists(), !valid || !line.contains("\"%1\"") || !kind.isEmpty());
        QCOMPARE(secondFile.exists(), !valid || second.isEmpty());
        QVERIFY(QFileInfo::exists(named) || named == firstFile.fileName());
    }
    void sqlTexts_data()
    {
        QTest::addColumn<QString>("sortBy1");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("problem"); // "" : accepted
        auto row = [](const char* name, const char* sort, const char* query, const char* problem) {
            QTest::newRow(name) << sort << query << problem;
        };
        row("defaults", "When", "", "");
        row("any case, blank sort", "autoindex", "User = 'x;y' AND ([Path] LIKE '(%')", "");
        row("doubled quote", "", "Description = 'it''s -- fine'", "");
        row("sort limits the rows", "AutoIndex] LIMIT 1 --", "",
            "'AutoIndex] LIMIT 1 --' is not a column of Audit");
        row("sort with blanks", " When", "", "' When' is not a column of Audit");
        row("query leaves its parentheses", "", "1=1) OR (1=0",
            "the query is not one condition: a \")\" closes more than was opened");
        row("comment", "", "1=1 /* x */",
            "the query is not one condition: a comment would hide the rest of the statement");
        row("second statement", "", "1=1; DELETE FROM Audit",
            "the query is not one condition: \";\" would end the statement");
        row("open parenthesis", "", "(1=1",
            "the query is not one condition: a \"(\" is not closed");
        row("open quote", "", "User = 'x",
            "the query is not one condition: a quote or [name] is not closed");
    }

    // Sort names and the query must stay in their place in the statements.
    void sqlTexts()
    {
        QFETCH(QString, sortBy1);
        QFETCH(QString, query);
        RunOptions options;
        options.SortBy1 = sortBy1;
        options.SortBy2.clear();
        options.Query = query;
        QTEST(SqlTextCheck::runOptionsProblem(options), "problem");
    }

    void numbers_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("number"); // NaN: not numeric
        QTest::addColumn<double>("leading");
        const double no = qQNaN();
        QTest::newRow("plain") << "en_US" << " 7 " << 7.0 << 7.0;
        QTest::newRow("decimal, exponent") << "en_US" << "7.5e1" << 75.0 << 75.0;
        QTest::newRow("group separator anywhere") << "en_US" << "1,5" << 15.0 << 1.0;
        QTest::newRow("decimal comma") << "de_DE" << "7,5" << 7.5 << 7.0;
        QTest::newRow("point groups beside decimal comma") << "de_DE" << "7.5" << 75.0 << 7.5;
        QTest::newRow("hexadecimal") << "en_US" << "&H1F" << 31.0 << 31.0;
        QTest::newRow("octal") << "en_US" << "&17" << 15.0 << 15.0;
        QTest::newRow("parentheses") << "en_US" << "(5)" << -5.0 << 0.0;
        QTest::newRow("trailing sign") << "en_US" << "5-" << -5.0 << 5.0;
        QTest::newRow("number then letter") << "en_US" << "7a" << no << 7.0;
        QTest::newRow("exponent without digits") << "en_US" << "1e" << no << 1.0;
        QTest::newRow("two signs") << "en_US" << "-5-" << no << -5.0;
        QTest::newRow("empty") << "en_US" << "" << no << 0.0;
        QTest::newRow("hex too long") << "en_US" << "&H123456789" << no << 4886718345.0;
    }

    void numbers()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(double, number);
        const QLocale l(locale);
        const auto value = NumericText::toNumber(text, l);
        QCOMPARE(NumericText::isNumeric(text, l), value.has_value());
        QCOMPARE(value.has_value(), !qIsNaN(number));
        if (value)
            QCOMPARE(*value, number);
        QTEST(NumericText::leadingNumber(text), "leading");
    }

    void settings_data()
    {
        QTest::addColumn<QByteArray>("line"); // as written in the file, "" : absent
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("boolean");
        QTest::addColumn<bool>("exactlyTrue");
        QTest::newRow("absent") << QByteArray() << "True" << true << true;
        QTest::newRow("True") << QByteArray("Key=True") << "True" << true << true;
        QTest::newRow("lower case") << QByteArray("Key=false") << "false" << false << false;
        QTest::newRow("one") << QByteArray("Key=1") << "1" << true << false;
        QTest::newRow("zero") << QByteArray("Key=0") << "0" << false << false;
        QTest::newRow("a word keeps the default") << QByteArray("Key=yes") << "yes" << true << false;
        QTest::newRow("comma read whole")
            << QByteArray("Key=1,000") << "1,000" << true << false;
    }

    // The value is read as written; the Boolean reading accepts what the
    // product's other programs write, the exact test only "True".
    void settings()
    {
        QFETCH(QByteArray, line);
        TestEnvironment env;
        env.setSetting(QStringLiteral("Other"), QStringLiteral("x"));
        QVERIFY(ProgramRun::writeFile(SettingsFileName(), "[General]\nOther=x\n" + line + "\n"));
        const QString key = QStringLiteral("Key");
        QTEST(GetSettingValue(key, QStringLiteral("True")), "text");
        QTEST(GetSettingBool(key, QStringLiteral("True")), "boolean");
        QTEST(GetSettingIsTrue(key, QStringLiteral("True")), "exactlyTrue");
    }

    void cleanup()
    {
        AuditView::instance().clear();
        AuditDatabase::instance().close();
    }

    // "/opt/velmora/bin" itself is in defaultsAndThresholds.
    void installRoot_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("root");
        QTest::newRow("trailing slash") << "/opt/velmora/bin/" << "/opt/velmora/";
        QTest::newRow("below the root") << "/bin" << "/";
        QTest::newRow("the root") << "/" << "../";
        QTest::newRow("relative, no parent") << "bin" << "../";
        QTest::newRow("empty") << "" << "../";
    }

    void installRoot()
    {
        QFETCH(QString, folder);
        QTEST(InstallRootFromFolder(folder), "root");
    }

    void defaultsAndThresholds_data()
    {
        // ReportAttachAtSize, ReportZipAtSize, AbortAttachAtSize
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QList<int>>("sizes");
        QTest::newRow("absent") << QStringList{"", "", ""} << QList<int>{1000, 100000, 500000};
        // Numeric texts as everywhere, halves to even; values no 32-bit number
        // can hold leave the defaults.
        QTest::newRow("numeric texts")
            << QStringList{"1,500", "2.5", "&H400"} << QList<int>{1500, 2, 1024};
        QTest::newRow("not numbers")
            << QStringList{"abc", "7a", "99999999999"} << QList<int>{1000, 100000, 500000};
    }

    void defaultsAndThresholds()
    {
        QFETCH(QStringList, settings);
        QFETCH(QList<int>, sizes);

        TestEnvironment env;
        env.setSetting(SettingKey::ReportAttachAtSize, settings.at(0));
        env.setSetting(SettingKey::ReportZipAtSize, settings.at(1));
        env.setSetting(SettingKey::AbortAttachAtSize, settings.at(2));
        UnattendedMode = true; // left from an earlier run: start-up clears it
        QVERIFY(PrepareRun({}, QStringLiteral("/opt/velmora/bin")));
        QCOMPARE(QList<int>({Options.AttachAtSize, Options.ZipAtSize, Options.AbortAttachAtSize}),
                 sizes);
        QVERIFY(!UnattendedMode);
        QCOMPARE(Options.Destination, int16_t(-1));
        QCOMPARE(InstallRoot, QStringLiteral("/opt/velmora/"));
        // Today's date, as a text the date rules read back as today.
        const auto span = ReadLocaleDateTime(Options.SpanStart);
        QVERIFY(span && span->date() == QDate::currentDate());
        QCOMPARE(Options.SpanEnd, Options.SpanStart);

        // A size on the command line wins over the setting.
        QVERIFY(PrepareRun({"/ZIP_OVER", "7"}, QStringLiteral("/opt/velmora/bin")));
        QCOMPARE(Options.ZipAtSize, 7);
        QCOMPARE(Options.AttachAtSize, sizes.at(0));
    }

    // A start with /SYSTEM sets the paths and the connection and runs the
    // automatic purge; then an unattended run without a report ends, an
    // interactive one shows the viewer requeried after the purge.
    void startFromSystem_data()
    {
        QTest::addColumn<bool>("unattended");
        QTest::newRow("unattended, root without its trailing /") << true;
        QTest::newRow("interactive") << false;
    }

    void startFromSystem()
    {
        QFETCH(bool, unattended);
        TestEnvironment env;
        AuditTestDb db;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QVERIFY(db.add({AuditTestDb::entry(0, now.addDays(-60)), AuditTestDb::entry(1, now),
                        AuditTestDb::entry(2, now.addDays(-2))}));
        const QString root = unattended ? db.root().chopped(1) : db.root();
        const QStringList arguments = {"/SYSTEM", root, "/UNATTENDED"};
        QVERIFY(PrepareRun(arguments.mid(0, unattended ? 3 : 2), QStringLiteral("/nowhere/bin")));
        QCOMPARE(StartupCommandLine(), QStringLiteral("/SYSTEM \"%1\"").arg(root) +
                                           QString(unattended ? " /UNATTENDED" : ""));
        AuditView::instance().clear();
        QCOMPARE(StartRun(), unattended ? 0 : -1);
        QCOMPARE(InstallRoot, db.root() + QStringLiteral("SYSTEM/"));
        QCOMPARE(DatabasePath, db.path());
        QCOMPARE(HelpFile, db.root() + QStringLiteral("HELP/QXAM32.HLP"));
        QCOMPARE(db.count(), 2);
        QVERIFY(env.messages().isEmpty());
        frmView* viewer = frmView::existingInstance();
        if (unattended) {
            // Nobody sees the view: its query is built, not run.
            QVERIFY(!AuditView::instance().isOpen() && !viewer);
            QVERIFY(AuditView::instance().recordSource().startsWith("SELECT Audit.* FROM Audit"));
            QVERIFY(!env.ended());
            return;
        }
        QVERIFY(viewer && viewer->isVisible());
        QCOMPARE(AuditView::instance().recordCount(), 2);
        viewer->close();
        QCOMPARE(env.endStatuses(), QList<int>{0});
        delete viewer;
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
