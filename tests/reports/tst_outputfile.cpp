#include "OutputFile.h"
#include "OutputPatches.h"
#include "PrivateTempFolder.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Writing a finished report into the named file, and the files that must
// never be written over. (Runs of the program with FIFOs, device nodes and
// links are in tst_outsideruns; a failed render over an older file in
// tst_renderpdf.)
class ListedPatches : public OutputPatches
{
public:
    QList<std::tuple<qint64, qint64, QByteArray>> list;
    bool nextPatch(qint64* offset, qint64* length, QByteArray* bytes) override
    {
        if (list.isEmpty())
            return false;
        std::tie(*offset, *length, *bytes) = list.takeFirst();
        return true;
    }
    AuditError patchError() const override { return {}; }
};

class tst_OutputFile : public QObject
{
    Q_OBJECT

private slots:
    // A run ended by a signal leaves no folder (and no report in it) behind,
    // and still ends as that signal ends it. Each run is a child process that
    // makes its folder under the test's own TMPDIR (first of the tests: this
    // process has made no folder that a child would inherit).
    void folderGoneOnSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("terminate") << SIGTERM;
        QTest::newRow("interrupt") << SIGINT;
        QTest::newRow("hang-up") << SIGHUP;
    }

    void folderGoneOnSignal()
    {
        QFETCH(int, signal);
        QTemporaryDir tmp;
        const pid_t child = ::fork();
        if (child == 0) {
            for (const int s : {SIGTERM, SIGINT, SIGHUP})
                ::signal(s, SIG_DFL); // as the program starts, not as QtTest sets them
            qputenv("TMPDIR", QFile::encodeName(tmp.path()));
            PrivateTempFolder::createFile(PrivateTempFolder::path() + "/AuditRpt.txt");
            ::raise(signal);
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == signal);
        QCOMPARE(QDir(tmp.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), {});
    }

    void failures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("error");
        QTest::newRow("pipe nobody reads any more") << "closed pipe" << "Broken pipe";
        QTest::newRow("folder") << "folder" << "Is a directory";
        QTest::newRow("missing folder") << "missing" << "Cannot create";
        QTest::newRow("the source itself") << "source" << "it is the report being made";
    }

    void failures()
    {
        QFETCH(QString, kind);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QString target = dir.path() + (kind == "missing" ? "/none/out.txt" : "");
        int ends[2] = {-1, -1};
        if (kind == "closed pipe") {
            QVERIFY(::pipe(ends) == 0);
            ::close(ends[0]);
            target = QStringLiteral("/proc/self/fd/%1").arg(ends[1]);
        }
        QBuffer buffer;
        buffer.setData(QByteArray(100000, 'r'));
        QFile file(dir.filePath("render"));
        QIODevice& source = kind == "source" ? static_cast<QIODevice&>(file) : buffer;
        QVERIFY(source.open(QIODevice::ReadWrite) && source.write(QByteArray(100000, 'r')) &&
                source.seek(0));
        if (kind == "source")
            target = QStringLiteral("/proc/self/fd/%1").arg(file.handle());
        AuditError failure;
        QVERIFY(!OutputFile::copyInto(source, target, failure, nullptr, true, true));
        QVERIFY2(failure.description.contains(error), qPrintable(failure.description));
        if (kind == "source")
            QCOMPARE(file.size(), 100000); // left as it was
        if (ends[1] >= 0)
            ::close(ends[1]);
    }

    // Patches at the start, across the copy's 1 MiB reads, at the end, longer
    // and shorter than what they replace, into a longer older file. Patches
    // that keep their length are laid over large reads, until one does not.
    void patchedCopy_data()
    {
        using Patches = QList<std::tuple<qint64, qint64, QByteArray>>;
        const qint64 mib = 1024 * 1024;
        const qint64 size = 12 * mib;
        Patches everyPage;
        for (qint64 at = 100; at + 8 < size; at += 4000)
            everyPage.append({at, 8, "Page  42"});
        Patches sameThenChanged = {{0, 4, "LINE"}, {5000, 3, "abc"}, {mib - 2, 4, "edge"}};
        sameThenChanged += Patches{{mib + 7, 2, "longer"}, {mib + 9, 0, ""}, {2 * mib, 5, "same!"}};
        QTest::addColumn<bool>("fromFile"); // and released as it is read
        QTest::addColumn<Patches>("patches");
        QTest::addColumn<bool>("fails");
        const Patches changed = {{0, 4, "LINE"},          {mib - 2, 5, "across"},
                                 {2 * mib, 0, "inserted"}, {2 * mib + 10, 300, "x"},
                                 {size - 3, 3, "end"}};
        const Patches adjacent = {{0, 2, "ab"}, {2, 2, "cd"}, {mib - 1, 2, "ef"}, {size - 2, 2, "gh"}};
        const Patches outOfOrder = {{5000, 4, "abcd"}, {4000, 4, "efgh"}};
        for (const bool fromFile : {true, false}) {
            const char* from = fromFile ? "from a file" : "from memory";
            QTest::addRow("changed lengths, %s", from) << fromFile << changed << false;
            QTest::addRow("same lengths on every page, %s", from) << fromFile << everyPage << false;
            QTest::addRow("adjacent, same lengths, %s", from) << fromFile << adjacent << false;
            QTest::addRow("same, then changed, %s", from) << fromFile << sameThenChanged << false;
            QTest::addRow("out of order, %s", from) << fromFile << outOfOrder << true;
        }
    }

    // A released source gives its copied pages back (where the file system
    // has holes); the copy is whole all the same.


    void patchedCopy()
    {
        using Patches = QList<std::tuple<qint64, qint64, QByteArray>>;
        QFETCH(bool, fromFile);
        QFETCH(Patches, patches);
        QFETCH(bool, fails);
        const qint64 mib = 1024 * 1024;
        QByteArray text;
        for (int i = 0; text.size() < 12 * mib; ++i)
            text += "line " + QByteArray::number(i) + " of ??\n";
        text.truncate(12 * mib);
        ListedPatches listed;
        listed.list = patches;
        QByteArray expected = text;
        for (auto it = patches.crbegin(); it != patches.crend(); ++it)
            expected.replace(std::get<0>(*it), std::get<1>(*it), std::get<2>(*it));
        QTemporaryDir dir;
        QFile file(dir.filePath("source"));
        QBuffer buffer(&text);
        QIODevice& source = fromFile ? static_cast<QIODevice&>(file) : buffer;
        QVERIFY(source.open(QIODevice::ReadWrite));
        if (fromFile)
            QCOMPARE(file.write(text), text.size());
        QFile target(dir.filePath("target"));
        QVERIFY(target.open(QIODevice::WriteOnly) && target.write(QByteArray(13 * mib, 'o')));
        target.close();
        AuditError error;
        QCOMPARE(OutputFile::copyInto(source, target.fileName(), error, &listed, false, true),
                 !fails);
        if (fails)
            return;
        QVERIFY(target.open(QIODevice::ReadOnly));
        QVERIFY(target.readAll() == expected);
        if (fromFile && ::fallocate(file.handle(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
                                    text.size() - 1, 1) == 0) {
            QVERIFY(file.seek(0));
            QVERIFY(file.read(4 * mib) == QByteArray(4 * mib, '\0'));
        }
    }

    void privateFolder()
    {
        struct stat info = {};
        const QString folder = PrivateTempFolder::path();
        QVERIFY(::lstat(QFile::encodeName(folder).constData(), &info) == 0);
        QVERIFY(S_ISDIR(info.st_mode));
        QCOMPARE(info.st_mode & 07777, mode_t(0700));
        QCOMPARE(info.st_uid, ::geteuid());
        // Removed under a long run (a cleaner of old temporary files): made again.
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(QFileInfo(PrivateTempFolder::path()).isDir());
    }

    void databaseFiles_data()
    {
        QTest::addColumn<QString>("target"); // relative to the test folder
        QTest::addColumn<bool>("database");
        QTest::newRow("itself") << "SYSTEM/Audit.mdb" << true;
        QTest::newRow("through a linked folder") << "link/Audit.mdb" << true;
        QTest::newRow("dot segments") << "SYSTEM/../SYSTEM/./Audit.mdb" << true;
        QTest::newRow("-wal") << "SYSTEM/Audit.mdb-wal" << true;
        QTest::newRow("-shm") << "SYSTEM/Audit.mdb-shm" << true;
        QTest::newRow("-journal") << "SYSTEM/Audit.mdb-journal" << true;
        QTest::newRow("another file") << "SYSTEM/Audit.txt" << false;
        QTest::newRow("longer name") << "SYSTEM/Audit.mdb-walx" << false;
    }

    void databaseFiles()
    {
        QFETCH(QString, target);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("SYSTEM") &&
                QFile::link(dir.filePath("SYSTEM"), dir.filePath("link")));
        QFile file(dir.filePath("SYSTEM/Audit.mdb"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QTEST(OutputFile::isDatabaseFile(dir.filePath(target), file.fileName()), "database");
    }
};

QTEST_GUILESS_MAIN(tst_OutputFile)
#include "tst_outputfile.moc"
