#include "AppState.h"
#include "CommandLine.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QtTest>

// The command-line grammar: keywords and their order, values, counters,
// number ranges, quotes, separate arguments and argument files.
class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void resetsHtmlAndSummary();
    void keywordValue_data();
    void keywordValue();
    void fromArguments_data();
    void fromArguments();
    void argumentFile_data();
    void argumentFile();
    void argumentFileIsCutAt1000Characters();
    void argumentFileMissing();
};

namespace {

// The options and flags that differ from a run without keywords, in a fixed
// order, e.g. "Destination=3 Address=/tmp/x Status Unattended".
QString describe(const RunOptions& o)
{
    const RunOptions d;
    QStringList parts;
    auto number = [&](const char* name, qint64 value, qint64 normal) {
        if (value != normal)
            parts << QStringLiteral("%1=%2").arg(QLatin1String(name)).arg(value);
    };
    auto text = [&](const char* name, const QString& value, const QString& normal) {
        if (value != normal)
            parts << QStringLiteral("%1=%2").arg(QLatin1String(name), value);
    };
    auto flag = [&](const char* name, bool value, bool normal) {
        if (value != normal)
            parts << (value ? QLatin1String(name) : QLatin1String("No") + QLatin1String(name));
    };
    number("Destination", o.Destination, d.Destination);
    text("Address", o.Address, d.Address);
    flag("Status", o.Status, d.Status);
    flag("Warning", o.Warning, d.Warning);
    flag("Error", o.Error, d.Error);
    flag("Fatal", o.Fatal, d.Fatal);
    number("AgeMode", o.AgeMode, d.AgeMode);
    number("Days", o.Days, d.Days);
    text("SpanStart", o.SpanStart, d.SpanStart);
    text("SpanEnd", o.SpanEnd, d.SpanEnd);
    flag("Delete", o.Delete, d.Delete);
    text("Subject", o.Subject, d.Subject);
    number("AttachAtSize", o.AttachAtSize, d.AttachAtSize);
    number("ZipAtSize", o.ZipAtSize, d.ZipAtSize);
    number("AbortAttachAtSize", o.AbortAttachAtSize, d.AbortAttachAtSize);
    text("SortBy1", o.SortBy1, d.SortBy1);
    text("SortBy2", o.SortBy2, d.SortBy2);
    text("SortBy3", o.SortBy3, d.SortBy3);
    text("Query", o.Query, d.Query);
    flag("Summary", o.Summary, d.Summary);
    flag("Detail", o.Detail, d.Detail);
    flag("Debug", DebugMode, false);
    flag("Unattended", UnattendedMode, false);
    flag("Html", HtmlOutput, false);
    text("InstallRoot", InstallRoot, QString());
    return parts.join(QLatin1Char(' '));
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

void tst_CommandLine::parse_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("result");

    // Lines of the kind schedulers write.
    QTest::newRow("empty") << "" << true << "";
    QTest::newRow("file report") << "/STATUS /ERROR /FILE C:\\out.txt /UNATTENDED" << true
                                 << "Destination=3 Address=C:\\out.txt Status Error Unattended";
    QTest::newRow("summary mail") << "/SUMMARY /NODETAIL /EMAIL ops@example.com" << true
                                  << "Destination=2 Address=ops@example.com Summary NoDetail";
    QTest::newRow("delete alone") << "/DELETE" << true << "Delete";
    QTest::newRow("print") << "/PRINT /FATAL" << true << "Destination=0 Fatal";
    QTest::newRow("over") << "/STATUS /ERROR /OVER 30 /EMAIL a@b /DELETE /UNATTENDED" << true
                          << "Destination=2 Address=a@b Status Error AgeMode=1 Days=30 Delete "
                             "Unattended";
    QTest::newRow("under") << "/WARNING /UNDER 7" << true << "Warning AgeMode=2 Days=7";
    QTest::newRow("sorts") << "/SORTBY1 Level /SORTBY2 Application /SORTBY3 When" << true
                           << "SortBy1=Level SortBy2=Application SortBy3=When";
    QTest::newRow("thresholds") << "/ATTACH_OVER 5 /ZIP_OVER 6 /ABORT_ATTACH_OVER 7" << true
                                << "AttachAtSize=5 ZipAtSize=6 AbortAttachAtSize=7";
    QTest::newRow("html subject") << "/HTML /SUBJECT Nightly errors /EMAIL a@b" << true
                                  << "Destination=2 Address=a@b Subject=Nightly errors Html";
    QTest::newRow("query in quotes")
        << "/QUERY \"Application = 'Translator'\"" << true << "Query=Application = 'Translator'";
    QTest::newRow("debug") << "/DEBUG" << true << "Debug InstallRoot=/opt/dorvu/Velmora/";
    QTest::newRow("system quoted") << "/SYSTEM \"/opt/Program Files/Velmora\"" << true
                                   << "InstallRoot=/opt/Program Files/Velmora";
    QTest::newRow("system after debug")
        << "/DEBUG /SYSTEM /srv" << false << "Debug InstallRoot=/opt/dorvu/Velmora/";
    QTest::newRow("system after debug quoted")
        << "/DEBUG /SYSTEM \"/srv\"" << true << "Debug InstallRoot=/srv";

    // Keywords: case, prefixes, the text before the first "/".
    QTest::newRow("lower case") << "/status /Warning" << true << "Status Warning";
    QTest::newRow("prefix counts")
        << "/STATUSX /ERRORS /FILEX y" << true << "Destination=3 Address=y Status Error";
    QTest::newRow("leading text ignored") << "x /STATUS" << true << "Status";
    QTest::newRow("unknown keyword") << "/STATUS /BOGUS" << false << "Status";
    QTest::newRow("empty last token") << "/STATUS /" << false << "Status";
    QTest::newRow("empty middle token") << "/STATUS // /ERROR" << false << "Status";
    QTest::newRow("sortby without digit") << "/SORTBY When" << false << "";

    // Values: missing, blank, quoted, with "/".
    QTest::newRow("file without value") << "/FILE" << false << "";
    QTest::newRow("file blank value") << "/FILE    /STATUS" << false << "";
    QTest::newRow("system missing after a value") << "/SUBJECT hi /SYSTEM" << false << "Subject=hi";
    QTest::newRow("quoted path") << "/FILE \"/tmp/out dir/report.txt\"" << true
                                 << "Destination=3 Address=/tmp/out dir/report.txt";
    QTest::newRow("unquoted path splits") << "/FILE /tmp/out.txt" << false << "";
    QTest::newRow("slash in quoted subject")
        << "/SUBJECT \"Daily / weekly\"" << true << "Subject=Daily / weekly";
    QTest::newRow("empty quotes") << "/SUBJECT \"\"" << false << "";

    // Destinations share one counter.
    QTest::newRow("print then file") << "/PRINT /FILE x" << false << "Destination=0";
    QTest::newRow("email twice") << "/EMAIL a@b /EMAIL c@d" << false << "Destination=2 Address=a@b";

    // Ages share another; SPAN_END only second.
    QTest::newRow("span") << "/SPAN_START 1\\1\\2003 /SPAN_END 1\\31\\2003" << true
                          << "AgeMode=3 SpanStart=1/1/2003 SpanEnd=1/31/2003";
    QTest::newRow("span reversed") << "/SPAN_END 1\\31\\2003 /SPAN_START 1\\1\\2003" << false << "";
    QTest::newRow("span with time")
        << "/SPAN_START 1\\1\\2003_08:00" << true << "AgeMode=3 SpanStart=1/1/2003 08:00";
    QTest::newRow("span quoted slashes")
        << "/SPAN_START \"1/1/2003\" /SPAN_END \"1/31/2003\"" << true
        << "AgeMode=3 SpanStart=1/1/2003 SpanEnd=1/31/2003";
    QTest::newRow("over then under") << "/OVER 3 /UNDER 4" << false << "AgeMode=1 Days=3";
    QTest::newRow("over then span start")
        << "/OVER 3 /SPAN_START 1\\1\\2003" << false << "AgeMode=1 Days=3";
    QTest::newRow("over then span end")
        << "/OVER 3 /SPAN_END 1\\1\\2003" << true << "AgeMode=3 Days=3 SpanEnd=1/1/2003";
    QTest::newRow("third age keyword")
        << "/SPAN_START 1\\1\\2003 /SPAN_END 1\\2\\2003 /SPAN_END 1\\3\\2003" << false
        << "AgeMode=3 SpanStart=1/1/2003 SpanEnd=1/2/2003";

    // Numbers: whole and within 16 or 32 bits.
    QTest::newRow("days max") << "/OVER 32767" << true << "AgeMode=1 Days=32767";
    QTest::newRow("days min") << "/UNDER -32768" << true << "AgeMode=2 Days=-32768";
    QTest::newRow("days too big") << "/OVER 32768" << false << "";
    QTest::newRow("days too small") << "/UNDER -32769" << false << "";
    QTest::newRow("days decimal") << "/OVER 7.5" << false << "";
    QTest::newRow("days text") << "/OVER abc" << false << "";
    QTest::newRow("days missing") << "/OVER" << false << "";
    QTest::newRow("bytes max") << "/ATTACH_OVER 2147483647" << true << "AttachAtSize=2147483647";
    QTest::newRow("bytes too big") << "/ZIP_OVER 2147483648" << false << "";
    QTest::newRow("bytes exponent") << "/ABORT_ATTACH_OVER 1e6" << false << "";

    // UNATTENDED counts from its own position.
    QTest::newRow("bad token before unattended") << "/BOGUS /UNATTENDED" << false << "";
    QTest::newRow("bad token after unattended") << "/UNATTENDED /BOGUS" << false << "Unattended";
}

void tst_CommandLine::parse()
{
    QFETCH(QString, line);
    QFETCH(bool, valid);
    QFETCH(QString, result);

    TestEnvironment env;
    RunOptions options;
    QCOMPARE(ParseCommandLine(line, options), valid);
    QCOMPARE(describe(options), result);
}

void tst_CommandLine::resetsHtmlAndSummary()
{
    TestEnvironment env;
    RunOptions options;
    options.Summary = true;
    HtmlOutput = true;
    QVERIFY(ParseCommandLine(QStringLiteral("/STATUS"), options));
    QVERIFY(!options.Summary);
    QVERIFY(!HtmlOutput);
}

void tst_CommandLine::keywordValue_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("value");

    QTest::newRow("value") << "FILE x" << true << "x";
    QTest::newRow("blanks around") << "FILE   x y  " << true << "x y";
    QTest::newRow("no blank") << "FILE" << false << "";
    QTest::newRow("blanks only") << "FILE    " << false << "";
    QTest::newRow("quoted") << "SUBJECT \"a b\"" << true << "a b";
    QTest::newRow("empty quotes") << "SUBJECT \"\"" << false << "";
    QTest::newRow("one quote") << "SUBJECT \"" << true << "\"";
    QTest::newRow("open quote kept") << "SUBJECT \"a b" << true << "\"a b";
    QTest::newRow("inner quotes kept") << "QUERY x = \"y\"" << true << "x = \"y\"";
}

void tst_CommandLine::keywordValue()
{
    QFETCH(QString, token);
    QFETCH(bool, found);
    QFETCH(QString, value);

    QString result = QStringLiteral("unchanged");
    QCOMPARE(GetKeywordValue(token, result), found);
    QCOMPARE(result, value);
}

void tst_CommandLine::fromArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("result");

    const QString fileReport =
        QStringLiteral("Destination=3 Address=/tmp/out.txt Status Unattended");
    QTest::newRow("separate") << QStringList{"/STATUS", "/FILE", "/tmp/out.txt", "/UNATTENDED"}
                              << "/STATUS /FILE \"/tmp/out.txt\" /UNATTENDED" << fileReport;
    QTest::newRow("one argument") << QStringList{"/STATUS /FILE \"/tmp/out.txt\" /UNATTENDED"}
                                  << "/STATUS /FILE \"/tmp/out.txt\" /UNATTENDED" << fileReport;
    QTest::newRow("keyword ends an argument")
        << QStringList{"/STATUS /FILE", "/tmp/out.txt", "/UNATTENDED"}
        << "/STATUS /FILE \"/tmp/out.txt\" /UNATTENDED" << fileReport;
    QTest::newRow("already quoted") << QStringList{"/FILE", "\"/tmp/a b\""} << "/FILE \"/tmp/a b\""
                                    << "Destination=3 Address=/tmp/a b";
    QTest::newRow("value without slash")
        << QStringList{"/SUBJECT", "Daily report", "/EMAIL", "ops@example.com"}
        << "/SUBJECT Daily report /EMAIL ops@example.com"
        << "Destination=2 Address=ops@example.com Subject=Daily report";
    QTest::newRow("dates") << QStringList{"/SPAN_START", "1/1/2026", "/SPAN_END", "1/31/2026"}
                           << "/SPAN_START \"1/1/2026\" /SPAN_END \"1/31/2026\""
                           << "AgeMode=3 SpanStart=1/1/2026 SpanEnd=1/31/2026";
    QTest::newRow("keyword after keyword") << QStringList{"/STATUS", "/ERROR"} << "/STATUS /ERROR"
                                           << "Status Error";
    QTest::newRow("value given in the argument")
        << QStringList{"/FILE x", "/STATUS"} << "/FILE x /STATUS"
        << "Destination=3 Address=x Status";
    QTest::newRow("system root") << QStringList{"/SYSTEM", "/opt/velmora", "/HTML"}
                                 << "/SYSTEM \"/opt/velmora\" /HTML"
                                 << "Html InstallRoot=/opt/velmora";
    QTest::newRow("none") << QStringList{} << ""
                          << "";
}

void tst_CommandLine::fromArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, line);
    QFETCH(QString, result);

    TestEnvironment env;
    QCOMPARE(CommandLineFromArguments(arguments), line);
    RunOptions options;
    QVERIFY(ParseCommandLine(line, options));
    QCOMPARE(describe(options), result);
}

void tst_CommandLine::argumentFile_data()
{
    QTest::addColumn<QString>("line"); // %1 and %2 stand for the two files
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("result");

    QTest::newRow("read") << "/@FILE \"%1\"" << QByteArray("/STATUS /ERROR") << QByteArray() << true
                          << "Status Error";
    QTest::newRow("lines") << "/@FILE \"%1\"" << QByteArray("/STATUS\n/FILE \"/tmp/o.txt\"\n")
                           << QByteArray() << true << "Destination=3 Address=/tmp/o.txt Status";
    QTest::newRow("rest of line dropped")
        << "/WARNING /@FILE \"%1\" /FATAL" << QByteArray("junk /STATUS") << QByteArray() << true
        << "Status Warning";
    QTest::newRow("nested") << "/@FILE \"%1\"" << QByteArray("/STATUS /@FILE \"%2\" /WARNING")
                            << QByteArray("/ERROR") << true << "Status Error";
    QTest::newRow("empty file") << "/STATUS /@FILE \"%1\"" << QByteArray() << QByteArray() << false
                                << "Status";
    QTest::newRow("bad keyword in file")
        << "/@FILE \"%1\"" << QByteArray("/STATUS /BOGUS") << QByteArray() << false << "Status";
    QTest::newRow("counters go on") << "/PRINT /@FILE \"%1\"" << QByteArray("/FILE x")
                                    << QByteArray() << false << "Destination=0";
    QTest::newRow("no file name") << "/@FILE" << QByteArray("/STATUS") << QByteArray() << false
                                  << "";
}

void tst_CommandLine::argumentFile()
{
    QFETCH(QString, line);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(bool, valid);
    QFETCH(QString, result);

    TestEnvironment env;
    const QString firstFile = env.filePath(QStringLiteral("args 1.txt"));
    const QString secondFile = env.filePath(QStringLiteral("args2.txt"));
    QVERIFY(writeFile(firstFile,
                      QString::fromUtf8(first).replace(QLatin1String("%2"), secondFile).toUtf8()));
    if (!second.isEmpty())
        QVERIFY(writeFile(secondFile, second));

    RunOptions options;
    QCOMPARE(ParseCommandLine(QString(line).replace(QLatin1String("%1"), firstFile), options),
             valid);
    QCOMPARE(describe(options), result);
    // A file that was read is used up; one that was not is left alone.
    const bool used = line.contains(QLatin1String("%1")) && !first.isEmpty();
    QCOMPARE(QFile::exists(firstFile), !used);
    if (!second.isEmpty())
        QVERIFY(!QFile::exists(secondFile));
}

void tst_CommandLine::argumentFileIsCutAt1000Characters()
{
    TestEnvironment env;
    const QString file = env.filePath(QStringLiteral("long.txt"));
    // "/STATUS" ends at 7 characters, "/FATAL" starts at 1000: it is not read.
    QByteArray text = "/STATUS" + QByteArray(993, ' ') + "/FATAL /ERROR";
    QVERIFY(writeFile(file, text));
    RunOptions options;
    QVERIFY(ParseCommandLine(QStringLiteral("/@FILE \"%1\"").arg(file), options));
    QCOMPARE(describe(options), QStringLiteral("Status"));

    text = "/STATUS" + QByteArray(980, ' ') + "/FATAL /ERROR";
    QVERIFY(writeFile(file, text));
    options = RunOptions();
    QVERIFY(ParseCommandLine(QStringLiteral("/@FILE \"%1\"").arg(file), options));
    QCOMPARE(describe(options), QStringLiteral("Status Error Fatal"));
}

void tst_CommandLine::argumentFileMissing()
{
    TestEnvironment env;
    RunOptions options;
    const QString missing = env.filePath(QStringLiteral("none.txt"));
    QVERIFY(!ParseCommandLine(QStringLiteral("/@FILE \"%1\" /STATUS").arg(missing), options));
    QVERIFY(!options.Status);
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
