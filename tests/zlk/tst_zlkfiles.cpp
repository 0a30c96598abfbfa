// Archive, file reading, the HTML row test and the bit operations of zlk,
// through the C exports (buffer rules) and the Zlk:: wrapper.
#include "ZlkApi.h"
#include "zlk.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator generator(size);
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

// Runs unzip with arguments; returns its exit code (-1 when it did not run).
int unzip(const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    process.start(QStringLiteral("unzip"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitCode();
}

QStringList folderEntries(const QString& path)
{
    return QDir(path).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class tst_ZlkFiles : public QObject
{
    Q_OBJECT
private slots:
    void zipRoundTrip_data();
    void zipRoundTrip();
    void zipReplacesExistingArchive();
    void zipFailures_data();
    void zipFailures();
    void errorBufferStaysInBounds();
    void readFileByteCounts_data();
    void readFileByteCounts();
    void readFileWrapperCleansBuffer_data();
    void readFileWrapperCleansBuffer();
    void readFileFailures();
    void isHtmlEmpty_data();
    void isHtmlEmpty();
    void bitwise_data();
    void bitwise();

private:
    QTemporaryDir m_dir;
};

void tst_ZlkFiles::zipRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text report") << "AuditDetailRpt.txt"
                                 << QByteArray("Audit Detail Report\nline\n").repeated(5000);
    QTest::newRow("empty file") << "AuditRpt.txt" << QByteArray();
    QTest::newRow("binary, 1 MiB") << "data.bin" << randomBytes(1 << 20);
    QTest::newRow("blank and UTF-8 in name") << "Prüf Bericht.html" << QByteArray("<p>x</p>");
}

void tst_ZlkFiles::zipRoundTrip()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString source = dir.filePath(name);
    const QString archive = dir.filePath(QStringLiteral("out/report.zip"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out")));
    writeFile(source, content);

    QString error = QStringLiteral("stale");
    QVERIFY2(Zlk::zipFile(source, archive, error), qPrintable(error));
    QCOMPARE(error, QString());

    QByteArray listing;
    QCOMPARE(unzip({QStringLiteral("-t"), archive}), 0);
    QCOMPARE(unzip({QStringLiteral("-Z1"), archive}, &listing), 0);
    QCOMPARE(QString::fromUtf8(listing).trimmed(), name); // one entry, the base name
    QByteArray extracted;
    QCOMPARE(unzip({QStringLiteral("-p"), archive, name}, &extracted), 0);
    QCOMPARE(extracted, content);
    // Nothing left over beside the archive.
    QCOMPARE(folderEntries(dir.filePath(QStringLiteral("out"))), QStringList{"report.zip"});
}

void tst_ZlkFiles::zipReplacesExistingArchive()
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("AuditRpt.txt"));
    const QString archive = dir.filePath(QStringLiteral("AuditRpt.zip"));
    writeFile(source, "new report\n");
    writeFile(archive, "left over from an earlier run, not a zip");

    QString error;
    QVERIFY2(Zlk::zipFile(source, archive, error), qPrintable(error));
    QByteArray extracted;
    QCOMPARE(unzip({QStringLiteral("-p"), archive, QStringLiteral("AuditRpt.txt")}, &extracted), 0);
    QCOMPARE(extracted, QByteArray("new report\n"));
}

void tst_ZlkFiles::zipFailures_data()
{
    QTest::addColumn<QString>("source");  // relative to the test folder unless absolute
    QTest::addColumn<QString>("archive"); // the same
    QTest::addColumn<QString>("reason");  // part of the error text

    QTest::newRow("missing source") << "missing.txt"
                                    << "out.zip"
                                    << "No such file or directory";
    QTest::newRow("source is a folder") << "folder"
                                        << "out.zip"
                                        << "not a regular file";
    QTest::newRow("archive folder missing") << "report.txt"
                                            << "nowhere/out.zip"
                                            << "out.zip";
    QTest::newRow("archive below a file") << "report.txt"
                                          << "report.txt/out.zip"
                                          << "out.zip";
    // /proc takes no new files, not even from root.
    QTest::newRow("unwritable folder") << "report.txt"
                                       << "/proc/zlk-test.zip"
                                       << "zlk-test.zip";
    QTest::newRow("archive is the source") << "report.txt"
                                           << "report.txt"
                                           << "own source";
    QTest::newRow("no source name") << ""
                                    << "out.zip"
                                    << "no source file";
}

void tst_ZlkFiles::zipFailures()
{
    QFETCH(QString, source);
    QFETCH(QString, archive);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("report.txt")), "report\n");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const QStringList before = folderEntries(dir.path());
    auto inDir = [&](const QString& name) {
        return name.isEmpty() || name.startsWith('/') ? name : dir.filePath(name);
    };

    QString error;
    QVERIFY(!Zlk::zipFile(inDir(source), inDir(archive), error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(folderEntries(dir.path()), before); // no archive, no temporary file
    QVERIFY(!QFile::exists(QStringLiteral("/proc/zlk-test.zip")));
    QByteArray content;
    QFile kept(dir.filePath(QStringLiteral("report.txt")));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("report\n"));
}

void tst_ZlkFiles::errorBufferStaysInBounds()
{
    // A long path makes a message longer than the buffer: it is cut, ends with
    // one NUL inside the buffer, and the bytes after the buffer are untouched.
    const QByteArray source = QDir::tempPath().toUtf8() + "/" + QByteArray(1500, 'x') + "é.txt";
    QByteArray buffer(ZLK_ERROR_BUFFER_SIZE + 100, ' ');
    QCOMPARE(ZLKZipFile(source.constData(), "/tmp/never.zip", buffer.data()), 0);
    const qsizetype nul = buffer.indexOf('\0');
    QVERIFY(nul > 0 && nul < ZLK_ERROR_BUFFER_SIZE);
    QCOMPARE(buffer.mid(ZLK_ERROR_BUFFER_SIZE), QByteArray(100, ' '));
    QVERIFY(QString::fromUtf8(buffer.left(nul)).toUtf8() == buffer.left(nul)); // valid UTF-8
}

void tst_ZlkFiles::readFileByteCounts_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("byteCount");
    QTest::addColumn<int>("expected");

    QTest::newRow("exactly the file") << QByteArray("0123456789") << 10 << 10;
    QTest::newRow("fewer than the file") << QByteArray("0123456789") << 4 << 4;
    QTest::newRow("more than the file") << QByteArray("0123456789") << 15 << 10;
    QTest::newRow("binary with NULs") << QByteArray("a\0b\0c", 5) << 5 << 5;
    QTest::newRow("large") << randomBytes(300000) << 300000 << 300000;
    QTest::newRow("zero bytes asked") << QByteArray("abc") << 0 << 0;
    QTest::newRow("empty file") << QByteArray() << 10 << 0;
}

void tst_ZlkFiles::readFileByteCounts()
{
    QFETCH(QByteArray, content);
    QFETCH(int, byteCount);
    QFETCH(int, expected);
    const QString path = m_dir.filePath(QStringLiteral("read.bin"));
    writeFile(path, content);

    QByteArray data(byteCount + 10, ' ');
    QByteArray error(ZLK_ERROR_BUFFER_SIZE, ' ');
    QCOMPARE(ZLKReadFile(path.toUtf8().constData(), data.data(), byteCount, error.data()),
             expected);
    QCOMPARE(data.left(expected), content.left(expected));
    QCOMPARE(data.at(expected), '\0');
    QCOMPARE(data.mid(expected + 1), QByteArray(byteCount + 9 - expected, ' '));
    QCOMPARE(error.at(0), '\0'); // no reason: nothing failed
}

void tst_ZlkFiles::readFileWrapperCleansBuffer_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QByteArray("report\n") << "report\n";
    QTest::newRow("trailing blanks kept") << QByteArray("x  ") << "x  ";
    QTest::newRow("leading blanks trimmed") << QByteArray("  x") << "x";
    QTest::newRow("UTF-8") << QByteArray("Grüße ✓") << QString::fromUtf8("Grüße ✓");
}

void tst_ZlkFiles::readFileWrapperCleansBuffer()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(QStringLiteral("wrapped.txt"));
    writeFile(path, content);
    QString data, error;
    QCOMPARE(Zlk::readFile(path, int(content.size()), data, error), int(content.size()));
    QCOMPARE(data, expected);
    QCOMPARE(error, QString());
}

void tst_ZlkFiles::readFileFailures()
{
    QString data, error;
    const QString missing = m_dir.filePath(QStringLiteral("missing.txt"));
    QCOMPARE(Zlk::readFile(missing, 10, data, error), 0);
    QVERIFY2(error.contains(missing) && error.contains("No such file"), qPrintable(error));
    QVERIFY(error.size() > 2); // the caller shows texts longer than 2 characters

    QCOMPARE(Zlk::readFile(m_dir.path(), 10, data, error), 0); // a folder
    QVERIFY2(!error.isEmpty(), "no reason for reading a folder");

    writeFile(m_dir.filePath(QStringLiteral("some.txt")), "abc");
    QCOMPARE(Zlk::readFile(m_dir.filePath(QStringLiteral("some.txt")), -1, data, error), 0);
    QVERIFY(!error.isEmpty());
}

void tst_ZlkFiles::isHtmlEmpty_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: the file is not created
    QTest::addColumn<bool>("empty");

    const QByteArray head = "<html><body><table><tr class=\"report-header\"><th>When</th></tr>";
    const QByteArray row = "<tr class=\"report-row\"><td>x</td></tr>";
    const QByteArray tail = "</table></body></html>\n";
    QTest::newRow("rows") << head + row + row + tail << false;
    QTest::newRow("header only") << head + tail << true;
    QTest::newRow("missing file") << QByteArray() << true;
    QTest::newRow("other quotes do not count")
        << head + "<tr class='report-row'><td>x</td></tr>" + tail << true;
    // The scanner reads 64 KiB blocks: a marker across the first boundary,
    // and one far into a large file.
    QByteArray straddling = head + QByteArray(65536 - head.size() - 7, ' ') + row + tail;
    QTest::newRow("marker across a block boundary") << straddling << false;
    QTest::newRow("marker at the end of 3 MiB")
        << head + QByteArray(3 << 20, ' ') + row + tail << false;
}

void tst_ZlkFiles::isHtmlEmpty()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, empty);
    const QString path = m_dir.filePath(QStringLiteral("report.html"));
    QFile::remove(path);
    if (!content.isEmpty())
        writeFile(path, content);
    QCOMPARE(Zlk::isHtmlEmpty(path), empty);
}

void tst_ZlkFiles::bitwise_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("orResult");
    QTest::addColumn<int>("andResult");
    QTest::newRow("level bit set") << 12 << 4 << 12 << 4;
    QTest::newRow("level bit clear") << 12 << 1 << 13 << 0;
    QTest::newRow("all occurrences bit") << 3 << 16 << 19 << 0;
    QTest::newRow("negative") << -1 << 8 << -1 << 8;
}

void tst_ZlkFiles::bitwise()
{
    QFETCH(int, value);
    QFETCH(int, mask);
    QFETCH(int, orResult);
    QFETCH(int, andResult);
    QCOMPARE(Zlk::bitwiseOr(value, mask), orResult);
    QCOMPARE(Zlk::bitwiseAnd(value, mask), andResult);
}

QTEST_GUILESS_MAIN(tst_ZlkFiles)
#include "tst_zlkfiles.moc"
