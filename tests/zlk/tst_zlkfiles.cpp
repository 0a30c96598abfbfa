#include "ProgramRun.h"
#include "ZipStream.h"
#include "ZlkApi.h"
#include "zlk.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

ProgramRun unzip(const QStringList& arguments)
{
    return ProgramRun::of(QStringList{"unzip"} + arguments,
                          QProcessEnvironment::systemEnvironment(), QDir::tempPath());
}

QStringList entriesOf(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

ino_t inodeOf(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

// A stored value through the C export, blanks and all, with the NUL after it.
QByteArray rawValue(const char* section, const char* key)
{
    QByteArray buffer(ZLK_NOTIFICATION_BUFFER_SIZE, ' ');
    const int32_t length = ZLKGetNotificationString(section, key, "<default>", buffer.data(),
                                                    ZLK_NOTIFICATION_BUFFER_SIZE);
    return buffer.at(length) == '\0' ? buffer.left(length) : "<no NUL after the value>";
}

const QString Section = QStringLiteral("Audit Email");

// One value of the rules' section held and committed, as a save of its own.
bool save(const char* key, const char* value)
{
    return ZLKSetNotificationString("Audit Email", key, value) &&
           ZLKSetNotificationString("", "", "");
}

} // namespace

class tst_ZlkFiles : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        Zlk::setSystemFolder(m_dir->path());
    }

    void cleanup() { ZLKSetNotificationString("", "", ""); } // no held write leaks on
    void zipRoundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QByteArray binary(1 << 20, '\0');
        for (qsizetype i = 0; i < binary.size(); ++i)
            binary[i] = char((i * 7919) >> 5);
        QTest::newRow("text report") << "AuditDetailRpt.txt" << QByteArray("row\n").repeated(50000);
        QTest::newRow("empty file") << "AuditRpt.txt" << QByteArray();
        QTest::newRow("binary, blank and UTF-8 in name") << "Prüf Bericht.bin" << binary;
        // Deflated in 1 MiB pieces on several threads: matches across the pieces'
        // edges, a short last piece, and pieces that end the file exactly.
        QByteArray lines;
        for (int i = 0; lines.size() < 3400000; ++i)
            lines += "entry " + QByteArray::number(i % 977) + " of the audit report\n";
        QTest::newRow("several pieces") << "AuditDetailRpt.txt" << lines;
        QTest::newRow("whole pieces") << "AuditRpt.txt" << lines.left(4 << 20).leftJustified(4 << 20, 'x');
    }

    // Each archive twice: made by ZLKZipFile, and made while it is read (as it
    // goes out by mail), which must stay within its announced bound.
    void zipRoundTrip()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out")));
        const QString source = dir.filePath(name);
        const QString archive = dir.filePath(QStringLiteral("out/report.zip"));
        const QString streamed = dir.filePath(QStringLiteral("streamed.zip"));
        QVERIFY(ProgramRun::writeFile(source, content));
        QVERIFY(ProgramRun::writeFile(archive, "left over from an earlier run, not a zip"));

        QString error = QStringLiteral("stale");
        QVERIFY2(Zlk::zipFile(source, archive, error), qPrintable(error));
        QCOMPARE(error, QString());
        QCOMPARE(entriesOf(dir.filePath(QStringLiteral("out"))), QStringList{"report.zip"});

        qsizetype at = 0;
        zlk::ZipStream zip(
            name.toStdString(), std::time(nullptr),
            [&](unsigned char* data, size_t size) {
                const qsizetype n =
                    std::min<qsizetype>(qsizetype(size) / 3 + 1, content.size() - at);
                std::memcpy(data, content.constData() + at, size_t(n));
                at += n;
                return ssize_t(n);
            },
            zlk::ParallelDeflate::Method::Faster);
        QByteArray zipped;
        char buffer[70000];
        for (size_t n; (n = zip.read(buffer, sizeof buffer)) > 0;)
            zipped.append(buffer, qsizetype(n));
        QVERIFY2(!zip.failed(), zip.error().c_str());
        QVERIFY(quint64(zipped.size()) <=
                zlk::ZipStream::sizeBound(quint64(content.size()), name.toStdString()));
        QVERIFY(ProgramRun::writeFile(streamed, zipped));
        // The descriptor after the data (which unzip does not read) says what
        // the central directory says: CRC and both sizes.
        const qsizetype central = zipped.lastIndexOf("PK\x01\x02");
        QVERIFY(central >= 16 && zipped.mid(central - 16, 4) == "PK\x07\x08");
        QCOMPARE(zipped.mid(central - 12, 12).toHex(), zipped.mid(central + 16, 12).toHex());

        for (const QString& made : {archive, streamed}) {
            QCOMPARE(unzip({"-t", made}).status, 0);
            QCOMPARE(QString::fromUtf8(unzip({"-Z1", made}).out).trimmed(), name);
            const ProgramRun extracted = unzip({"-p", made, name});
            QCOMPARE(extracted.status, 0);
            QVERIFY(extracted.out == content);
            QVERIFY(unzip({"-v", made}).out.contains(" Defl:"));
        }
    }

    void zipFailures_data()
    {
        QTest::addColumn<QString>("source"); // in the test folder
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("reason");
        auto row = [](const char* name, const QString& source, const QString& archive,
                      const QString& reason) {
            QTest::newRow(name) << source << archive << reason;
        };
        row("missing source", "missing.txt", "out.zip", "No such file or directory");
        row("source is a folder", "folder", "out.zip", "not a regular file");
        row("archive folder missing", "report.txt", "nowhere/out.zip", "out.zip");
        row("archive is the source", "report.txt", "report.txt", "own source");
        row("no source name", "", "out.zip", "no source file");
        row("long path, message longer than the buffer", QString(1500, 'x') + "é.txt", "out.zip",
            "xxxxxxxx");
    }

    void zipFailures()
    {
        QFETCH(QString, source);
        QFETCH(QString, archive);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(ProgramRun::writeFile(dir.filePath(QStringLiteral("report.txt")), "report\n"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        const QStringList before = entriesOf(dir.path());

        // One NUL inside the buffer after valid UTF-8; nothing written beyond it.
        QByteArray buffer(ZLK_ERROR_BUFFER_SIZE + 100, ' ');
        const QByteArray sourceName = source.isEmpty() ? "" : dir.filePath(source).toUtf8();
        const QByteArray archiveName = dir.filePath(archive).toUtf8();
        QCOMPARE(ZLKZipFile(sourceName.constData(), archiveName.constData(), buffer.data()), 0);
        const qsizetype nul = buffer.indexOf('\0');
        QVERIFY(nul > 0 && nul < ZLK_ERROR_BUFFER_SIZE);
        QCOMPARE(buffer.mid(ZLK_ERROR_BUFFER_SIZE), QByteArray(100, ' '));
        const QString error = QString::fromUtf8(buffer.left(nul));
        QCOMPARE(error.toUtf8(), buffer.left(nul));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(entriesOf(dir.path()), before); // no archive, no temporary file
        QCOMPARE(ProgramRun::readFile(dir.filePath(QStringLiteral("report.txt"))),
                 QByteArray("report\n"));
    }

    void readFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("byteCount");
        QTest::addColumn<int>("expected");
        QTest::newRow("fewer than the file") << QByteArray("0123456789") << 4 << 4;
        QTest::newRow("more than the file") << QByteArray("0123456789") << 15 << 10;
        QTest::newRow("binary with NULs") << QByteArray("a\0b\0c", 5) << 5 << 5;
        QTest::newRow("empty file") << QByteArray() << 10 << 0;
    }

    void readFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, byteCount);
        QFETCH(int, expected);
        const QString path = m_dir->filePath(QStringLiteral("read.bin"));
        QVERIFY(ProgramRun::writeFile(path, content));

        QByteArray data(byteCount + 10, ' ');
        QByteArray error(ZLK_ERROR_BUFFER_SIZE, ' ');
        QCOMPARE(ZLKReadFile(path.toUtf8().constData(), data.data(), byteCount, error.data()),
                 expected);
        QCOMPARE(data.left(expected), content.left(expected));
        QCOMPARE(data.at(expected), '\0');
        QCOMPARE(data.mid(expected + 1), QByteArray(byteCount + 9 - expected, ' '));
        QCOMPARE(error.at(0), '\0');
    }

    void isHtmlEmpty_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: the file is not created
        QTest::addColumn<bool>("empty");
        const QByteArray head = "<html><body><table><tr class=\"report-header\"><th>When</th></tr>";
        const QByteArray row = "<tr class=\"report-row\"><td>x</td></tr>";
        const QByteArray tail = "</table></body></html>\n";
        // Real reports with and without rows: tst_rendertext, htmlRowMarkers.
        QTest::newRow("missing file") << QByteArray() << true;
        QTest::newRow("other quotes") << head + "<tr class='report-row'></tr>" + tail << true;
        // The scanner reads 64 KiB blocks: a marker across the first boundary.
        QTest::newRow("marker across a block boundary")
            << head + QByteArray(65536 - head.size() - 7, ' ') + row + tail << false;
    }

    void isHtmlEmpty()
    {
        QFETCH(QByteArray, content);
        const QString path = m_dir->filePath(QStringLiteral("report.html"));
        QFile::remove(path);
        if (!content.isEmpty())
            QVERIFY(ProgramRun::writeFile(path, content));
        QTEST(Zlk::isHtmlEmpty(path), "empty");
    }

    void storeRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("stored");
        auto row = [](const char* name, const QByteArray& value, const QByteArray& stored = {}) {
            QTest::newRow(name) << value << (stored.isNull() ? value : stored);
        };
        row("blanks around", "  ops@example.com  ");
        row("quoted", "\"quoted\"");
        row("comment sign", "; not a comment");
        row("UTF-8", "Prüfbericht – Fehler ✓");
        // 1023 bytes fit a 1024-byte buffer; an "ü" that does not fit whole is left out.
        row("fills the buffer", QByteArray(1023, 'a'));
        row("UTF-8 across the end", QByteArray(1022, 'a') + "ütail", QByteArray(1022, 'a'));
        row("empty, not the default", "");
    }

    // Absent keys read as the default; a write is held, then committed.
    void storeRoundTrip()
    {
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, stored);
        QCOMPARE(rawValue("Audit Email", "Email Subject-3"), "<default>");
        QVERIFY(!QFile::exists(iniPath())); // reading creates nothing
        QVERIFY(ZLKSetNotificationString("Audit Email", "Email Subject-3", value.constData()));
        QCOMPARE(rawValue("Audit Email", "Email Subject-3"), stored); // held, read back
        QCOMPARE(rawValue("Audit Email", "Email Subject-4"), "<default>");
        QVERIFY(!QFile::exists(iniPath()));
        QVERIFY(ZLKSetNotificationString("", "", ""));
        QCOMPARE(rawValue("Audit Email", "Email Subject-3"), stored); // from the file
        QCOMPARE(rawValue("audit email", "EMAIL SUBJECT-3"), stored); // names ignore case
    }

    void storeKeepsOtherContent()
    {
        const QByteArray before =
            "; mail server\n[Mail]\nServer = mail.example.com\n\n"
            "[Audit Email]\n# kept\nReport Level-1=12\n\n[Other]\nKey=Value\n";
        QVERIFY(ProgramRun::writeFile(iniPath(), before));
        QVERIFY(Zlk::setNotificationString(Section, "Report Level-1", "13"));
        QVERIFY(Zlk::setNotificationString(Section, "Error Number-1", "100;200"));
        QVERIFY(Zlk::setNotificationString("New Section", "A", "1"));
        QCOMPARE(ProgramRun::readFile(iniPath()), before);
        QVERIFY(Zlk::setNotificationString("", "", ""));
        QCOMPARE(
            ProgramRun::readFile(iniPath()),
            QByteArray(before).replace("Level-1=12\n", "Level-1=13\nError Number-1=100;200\n") +
                "\n[New Section]\nA=1\n");
        QCOMPARE(Zlk::getNotificationString("Mail", "Server", ""), "mail.example.com");
    }

    void storeRejectsBadInput_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        auto row = [](const char* name, const QByteArray& section, const QByteArray& key,
                      const QByteArray& value) { QTest::newRow(name) << section << key << value; };
        row("line feed in value", "Audit Email", "K", "a\nb");
        row("= in key", "Audit Email", "a=b", "v");
        row("empty key", "Audit Email", "", "v");
        row("bracket in section", "a]b", "K", "v");
    }

    void storeRejectsBadInput()
    {
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        const QByteArray before = "[Audit Email]\nK=old\n";
        QVERIFY(ProgramRun::writeFile(iniPath(), before));
        QCOMPARE(ZLKSetNotificationString(section.constData(), key.constData(), value.constData()),
                 0);
        QVERIFY(QByteArray(zlk_last_error()).size() > 10);
        QCOMPARE(ProgramRun::readFile(iniPath()), before);
        QCOMPARE(entriesOf(m_dir->path()), QStringList{"zlk.ini"});
    }

    void storeReplacesFileAtomically()
    {
        QVERIFY(save("txtAttach", "1000"));
        QVERIFY(::chmod(QFile::encodeName(iniPath()).constData(), 0640) == 0);
        const ino_t first = inodeOf(iniPath());

        // Written anew and renamed over the old file, keeping its permissions.
        QVERIFY(save("txtAttach", "2000"));
        const ino_t second = inodeOf(iniPath());
        QVERIFY(second != first);
        QCOMPARE(QFile::permissions(iniPath()), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ReadUser | QFile::WriteUser |
                                                    QFile::ReadGroup);
        QCOMPARE(entriesOf(m_dir->path()), (QStringList{"zlk.ini", "zlk.ini.lock"}));
        // A commit of unchanged values, and one with nothing held, leave the file alone.
        QVERIFY(save("txtAttach", "2000"));
        QVERIFY(Zlk::setNotificationString("", "", ""));
        QCOMPARE(inodeOf(iniPath()), second);
        // A commit that cannot write says why and drops what it held.
        QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0500) == 0);
        QVERIFY(Zlk::setNotificationString(Section, "txtAttach", "3000"));
        const bool committed = Zlk::setNotificationString("", "", "");
        QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0700) == 0);
        if (::geteuid() != 0) {
            QVERIFY(!committed);
            QVERIFY2(Zlk::lastError().contains("zlk.ini"), qPrintable(Zlk::lastError()));
            QCOMPARE(Zlk::getNotificationString(Section, "txtAttach", ""), "2000");
        }
    }

    // A reader process polls zlk.ini while this process commits whole saves of
    // 350 keys and a forked writer commits another section at the same time: the
    // reader only ever sees one save complete, and no writer loses the other's keys.
    void storeCommitUnderReaderAndWriter()
    {
        const int saves = 20;
        QProcess reader;
        static const char* const script = R"py(
import os, re, sys
path, stop = sys.argv[1], sys.argv[2]
seen, bad = set(), 0
print("ready", flush=True)
while not os.path.exists(stop):
    try:
        text = open(path).read()
    except FileNotFoundError:
        continue
    rules = re.search(r"\[Audit Email\]\n((?:.*\n)*?)(?:\n|\Z)", text)
    if not rules:
        continue
    values = set(re.findall(r"^[^=\n]+-\d+=(.*)$", rules.group(1), re.M))
    if len(values) != 1 or len(rules.group(1).splitlines()) != 350:
        bad += 1
    seen |= values
print(len(seen), bad)
)py";
        reader.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(script),
                                                 iniPath(), m_dir->filePath("stop")});
        QVERIFY(reader.waitForStarted() && reader.waitForReadyRead(30000));
        QCOMPARE(reader.readLine().trimmed(), QByteArray("ready"));

        const pid_t writer = ::fork();
        if (writer == 0) {
            for (int i = 0; i < saves; ++i) {
                ZLKSetNotificationString("Other", ("Key-" + std::to_string(i)).c_str(), "x");
                ZLKSetNotificationString("", "", "");
            }
            ::_exit(0);
        }
        QVERIFY(writer > 0);
        for (int save = 1; save <= saves; ++save) {
            const QString value = QStringLiteral("save %1").arg(save);
            for (int slot = 1; slot <= 25; ++slot)
                for (int field = 1; field <= 14; ++field)
                    QVERIFY(Zlk::setNotificationString(
                        Section, QStringLiteral("F%1-%2").arg(field).arg(slot), value));
            QVERIFY(Zlk::setNotificationString("", "", ""));
        }
        int status = 0;
        QCOMPARE(::waitpid(writer, &status, 0), writer);
        QVERIFY(ProgramRun::writeFile(m_dir->filePath("stop"), ""));
        QVERIFY(reader.waitForFinished(60000));
        const QList<QByteArray> result = reader.readAllStandardOutput().trimmed().split(' ');
        QCOMPARE(result.value(1), QByteArray("0")); // no torn or mixed read
        QVERIFY2(result.value(0).toInt() >= 1, reader.readAllStandardError().constData());
        qInfo("the reader saw %d of %d saves, each whole", result.value(0).toInt(), saves);
        QCOMPARE(Zlk::getNotificationString(Section, "F14-25", ""),
                 QStringLiteral("save %1").arg(saves));
        for (int i = 0; i < saves; ++i)
            QCOMPARE(Zlk::getNotificationString("Other", QStringLiteral("Key-%1").arg(i), ""), "x");
    }

    // A FIFO planted as zlk.ini neither hangs a reader nor is replaced by a save.
    void storeRefusesSpecialFile()
    {
        QVERIFY(::mkfifo(QFile::encodeName(iniPath()).constData(), 0644) == 0);
        QCOMPARE(Zlk::getNotificationString(Section, "txtZip", "100000"), "100000");
        QVERIFY(Zlk::setNotificationString(Section, "txtZip", "5"));
        QVERIFY(!Zlk::setNotificationString("", "", ""));
        QVERIFY2(Zlk::lastError().contains("not a regular file"), qPrintable(Zlk::lastError()));
        QVERIFY(QFileInfo(iniPath()).isFile() == false && QFileInfo::exists(iniPath()));
    }

    // zlk.ini as a link planted to a file elsewhere: the save writes the file the
    // link points at, the link stays a link, and the file keeps its mode and owner.
    void storeKeepsLinkOwnerAndMode_data()
    {
        QTest::addColumn<QString>("link");      // what zlk.ini points at ("" : no link)
        QTest::addColumn<bool>("exists");       // the target exists before the save
        QTest::addColumn<bool>("otherOwner");   // the target belongs to another user (root only)
        QTest::addColumn<bool>("savedByOther"); // a user who may write it but not own it saves
        QTest::newRow("absolute link") << "ABS/real.ini" << true << false << false;
        QTest::newRow("relative link chain") << "hop.ini" << true << false << false;
        QTest::newRow("dangling link") << "ABS/new.ini" << false << false << false;
        QTest::newRow("file of another user") << "" << true << true << false;
        QTest::newRow("link, saved by a group member") << "ABS/real.ini" << true << false << true;
    }

    void storeKeepsLinkOwnerAndMode()
    {
        QFETCH(QString, link);
        QFETCH(bool, exists);
        QFETCH(bool, otherOwner);
        QFETCH(bool, savedByOther);
        if ((otherOwner || savedByOther) && ::geteuid() != 0)
            QSKIP("changing owners needs root");
        QTemporaryDir elsewhere;
        QVERIFY(::chmod(QFile::encodeName(elsewhere.path()).constData(), 0777) == 0);
        link.replace("ABS", elsewhere.path());
        const QString real = link.isEmpty()      ? iniPath()
                             : link == "hop.ini" ? elsewhere.filePath("real.ini")
                                                 : link;
        if (link == "hop.ini") // zlk.ini -> hop.ini -> real.ini elsewhere
            QVERIFY(QFile::link(real, m_dir->filePath("hop.ini")));
        if (exists) {
            QVERIFY(ProgramRun::writeFile(real, "; kept\n[Audit Email]\ntxtZip=1\n"));
            QVERIFY(::chmod(QFile::encodeName(real).constData(), savedByOther ? 0666 : 0640) == 0);
            if (otherOwner)
                QVERIFY(::chown(QFile::encodeName(real).constData(), 65534, 65534) == 0);
        }
        if (!link.isEmpty())
            QVERIFY(QFile::link(link, iniPath()));
        const ino_t inode = inodeOf(real);

        if (savedByOther) {
            QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755) == 0);
            const pid_t child = ::fork();
            if (child == 0)
                ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && save("txtZip", "2")
                            ? 0
                            : 1);
            int status = -1;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QCOMPARE(status, 0);
        } else {
            QVERIFY(save("txtZip", "2"));
        }

        QCOMPARE(QFileInfo(iniPath()).isSymLink(), !link.isEmpty());
        QCOMPARE(ProgramRun::readFile(real), exists
                                                 ? QByteArray("; kept\n[Audit Email]\ntxtZip=2\n")
                                                 : QByteArray("[Audit Email]\ntxtZip=2\n"));
        struct stat info;
        QVERIFY(::stat(QFile::encodeName(real).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 07777, exists ? (savedByOther ? 0666u : 0640u) : 0644u);
        QCOMPARE(info.st_uid, otherOwner ? 65534u : ::geteuid());
        if (savedByOther) // the owner could not be handed on, so the file was rewritten in place
            QCOMPARE(inodeOf(real), inode);
    }

private:
    QString iniPath() const { return m_dir->filePath(QStringLiteral("zlk.ini")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(tst_ZlkFiles)
#include "tst_zlkfiles.moc"
