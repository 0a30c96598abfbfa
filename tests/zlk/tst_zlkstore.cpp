// The notification store in zlk.ini: values round trip through the C exports
// and the wrapper, other content of the file survives, bad input changes
// nothing, and the file is replaced atomically.
#include "ZlkApi.h"
#include "zlk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

const QString Section = QStringLiteral("Audit Email");

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

ino_t inodeOf(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

} // namespace

class tst_ZlkStore : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void storedValueRoundTrips_data();
    void storedValueRoundTrips();
    void wrapperTrimsLikeTheCallers();
    void defaults();
    void bufferRules();
    void longValuesAreCutAtCharacterBoundary();
    void otherContentIsKept();
    void crlfFileStaysCrlf();
    void badInputChangesNothing_data();
    void badInputChangesNothing();
    void allEmptyCallSucceeds();
    void fileIsReplacedAtomically();
    void fullRuleSave();

private:
    QString iniPath() const { return m_dir->filePath(QStringLiteral("zlk.ini")); }
    // The stored value through the C export, blanks and all.
    static QByteArray rawValue(const char* key, const char* defaultValue = "<default>");

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_ZlkStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Zlk::setSystemFolder(m_dir->path());
}

QByteArray tst_ZlkStore::rawValue(const char* key, const char* defaultValue)
{
    QByteArray buffer(ZLK_NOTIFICATION_BUFFER_SIZE, ' ');
    const int32_t length = ZLKGetNotificationString("Audit Email", key, defaultValue, buffer.data(),
                                                    ZLK_NOTIFICATION_BUFFER_SIZE);
    return buffer.left(length);
}

void tst_ZlkStore::storedValueRoundTrips_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("address") << QByteArray("ops@example.com");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("blanks around") << QByteArray("  ops@example.com  ");
    QTest::newRow("tab at the end") << QByteArray("x\t");
    QTest::newRow("quoted") << QByteArray("\"quoted\"");
    QTest::newRow("one quote") << QByteArray("\"");
    QTest::newRow("quote at the start") << QByteArray("\"x");
    QTest::newRow("list with = and ;") << QByteArray("a=b;c;;[d]");
    QTest::newRow("comment sign") << QByteArray("; not a comment");
    QTest::newRow("UTF-8") << QByteArray("Prüfbericht – Fehler ✓");
}

void tst_ZlkStore::storedValueRoundTrips()
{
    QFETCH(QByteArray, value);
    QVERIFY(ZLKSetNotificationString("Audit Email", "Email Subject-3", value.constData()));
    QCOMPARE(rawValue("Email Subject-3"), value);
    // Section and key names compare without regard to case, as INI files do.
    QByteArray buffer(100, ' ');
    ZLKGetNotificationString("audit email", "EMAIL SUBJECT-3", "", buffer.data(), 100);
    QCOMPARE(buffer.left(buffer.indexOf('\0')), value);
}

void tst_ZlkStore::wrapperTrimsLikeTheCallers()
{
    // The caller's trim loses leading blanks; the NUL after the value keeps
    // the trailing ones.
    QVERIFY(Zlk::setNotificationString(Section, "Send To Email Address-1", "  a@b.org  "));
    QCOMPARE(Zlk::getNotificationString(Section, "Send To Email Address-1", ""), "a@b.org  ");
    QVERIFY(Zlk::setNotificationString(Section, "Email Subject-1", "Grüße"));
    QCOMPARE(Zlk::getNotificationString(Section, "Email Subject-1", ""), "Grüße");
}

void tst_ZlkStore::defaults()
{
    // No file at all.
    QCOMPARE(Zlk::getNotificationString(Section, "Report Level-1", "12"), "12");
    QVERIFY(!QFile::exists(iniPath())); // reading creates nothing
    // The file and section exist, the key does not.
    QVERIFY(Zlk::setNotificationString(Section, "Report Level-2", "4"));
    QCOMPARE(Zlk::getNotificationString(Section, "Report Level-1", "12"), "12");
    QCOMPARE(Zlk::getNotificationString("Other", "Report Level-2", "12"), "12");
    // A key stored empty is empty, not the default.
    QVERIFY(Zlk::setNotificationString(Section, "Report Level-1", ""));
    QCOMPARE(Zlk::getNotificationString(Section, "Report Level-1", "12"), "");
}

void tst_ZlkStore::bufferRules()
{
    QVERIFY(Zlk::setNotificationString(Section, "txtZip", "12abc"));
    QByteArray buffer(ZLK_NOTIFICATION_BUFFER_SIZE + 16, ' ');
    QCOMPARE(ZLKGetNotificationString("Audit Email", "txtZip", "100000", buffer.data(),
                                      ZLK_NOTIFICATION_BUFFER_SIZE),
             5);
    // The value, one NUL, and the rest as the caller left it.
    QCOMPARE(buffer.left(6), QByteArray("12abc\0", 6));
    QCOMPARE(buffer.mid(6), QByteArray(ZLK_NOTIFICATION_BUFFER_SIZE + 10, ' '));
}

void tst_ZlkStore::longValuesAreCutAtCharacterBoundary()
{
    // 1023 bytes fit a 1024-byte buffer; one more "ü" (2 bytes) does not fit
    // whole and is left out rather than cut in half.
    const QByteArray fits(1023, 'a');
    QVERIFY(ZLKSetNotificationString("Audit Email", "Long", fits.constData()));
    QCOMPARE(rawValue("Long"), fits);
    const QByteArray tooLong = QByteArray(1022, 'a') + "ü" + "tail";
    QVERIFY(ZLKSetNotificationString("Audit Email", "Long", tooLong.constData()));
    QCOMPARE(rawValue("Long"), QByteArray(1022, 'a'));
}

void tst_ZlkStore::otherContentIsKept()
{
    writeFile(iniPath(), "; mail server of this installation\n"
                         "[Mail]\n"
                         "Server = mail.example.com\n"
                         "Port=587\n"
                         "\n"
                         "[Audit Email]\n"
                         "Report Type-1=Full\n"
                         "# kept\n"
                         "Report Level-1=12\n"
                         "\n"
                         "[Other]\n"
                         "Key=Value\n");
    QVERIFY(Zlk::setNotificationString(Section, "Report Level-1", "13"));
    QVERIFY(Zlk::setNotificationString(Section, "Error Number-1", "100;200"));
    QVERIFY(Zlk::setNotificationString("New Section", "A", "1"));
    QCOMPARE(readAll(iniPath()), QByteArray("; mail server of this installation\n"
                                            "[Mail]\n"
                                            "Server = mail.example.com\n"
                                            "Port=587\n"
                                            "\n"
                                            "[Audit Email]\n"
                                            "Report Type-1=Full\n"
                                            "# kept\n"
                                            "Report Level-1=13\n"
                                            "Error Number-1=100;200\n"
                                            "\n"
                                            "[Other]\n"
                                            "Key=Value\n"
                                            "\n"
                                            "[New Section]\n"
                                            "A=1\n"));
    QCOMPARE(Zlk::getNotificationString("Mail", "Server", ""), "mail.example.com");
}

void tst_ZlkStore::crlfFileStaysCrlf()
{
    writeFile(iniPath(), "\xEF\xBB\xBF[Audit Email]\r\ntxtAttach=1000\r\n");
    QCOMPARE(Zlk::getNotificationString(Section, "txtAttach", ""), "1000");
    QVERIFY(Zlk::setNotificationString(Section, "txtZip", "5"));
    QCOMPARE(readAll(iniPath()),
             QByteArray("\xEF\xBB\xBF[Audit Email]\r\ntxtAttach=1000\r\ntxtZip=5\r\n"));
}

void tst_ZlkStore::badInputChangesNothing_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("line feed in value")
        << QByteArray("Audit Email") << QByteArray("K") << QByteArray("a\nb");
    QTest::newRow("carriage return in value")
        << QByteArray("Audit Email") << QByteArray("K") << QByteArray("a\rb");
    QTest::newRow("= in key") << QByteArray("Audit Email") << QByteArray("a=b") << QByteArray("v");
    QTest::newRow("empty key") << QByteArray("Audit Email") << QByteArray() << QByteArray("v");
    QTest::newRow("bracket in section") << QByteArray("a]b") << QByteArray("K") << QByteArray("v");
    QTest::newRow("empty section") << QByteArray() << QByteArray("K") << QByteArray("v");
    QTest::newRow("key like a comment")
        << QByteArray("Audit Email") << QByteArray(";K") << QByteArray("v");
}

void tst_ZlkStore::badInputChangesNothing()
{
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    const QByteArray before = "[Audit Email]\nK=old\n";
    writeFile(iniPath(), before);
    QCOMPARE(ZLKSetNotificationString(section.constData(), key.constData(), value.constData()), 0);
    QVERIFY(QByteArray(zlk_last_error()).size() > 10);
    QCOMPARE(readAll(iniPath()), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"zlk.ini"});
}

void tst_ZlkStore::allEmptyCallSucceeds()
{
    QVERIFY(Zlk::setNotificationString(Section, "Reloaded", "TRUE"));
    const QByteArray before = readAll(iniPath());
    QVERIFY(Zlk::setNotificationString("", "", ""));
    QCOMPARE(QByteArray(zlk_last_error()), QByteArray());
    QCOMPARE(readAll(iniPath()), before);
}

void tst_ZlkStore::fileIsReplacedAtomically()
{
    QVERIFY(Zlk::setNotificationString(Section, "txtAttach", "1000"));
    QVERIFY(::chmod(QFile::encodeName(iniPath()).constData(), 0640) == 0);
    const ino_t first = inodeOf(iniPath());

    // A change writes a new file and renames it over the old one...
    QVERIFY(Zlk::setNotificationString(Section, "txtAttach", "2000"));
    const ino_t second = inodeOf(iniPath());
    QVERIFY(second != first);
    // ...keeping the file's permissions and leaving no temporary file.
    QCOMPARE(QFile::permissions(iniPath()), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                                QFile::WriteUser | QFile::ReadGroup);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"zlk.ini"});
    // Storing the value it already holds leaves the file alone.
    QVERIFY(Zlk::setNotificationString(Section, "txtAttach", "2000"));
    QCOMPARE(inodeOf(iniPath()), second);
}

void tst_ZlkStore::fullRuleSave()
{
    // What saving the notification list does: 25 slots of 14 keys, the three
    // sizes, "Reloaded" and the all-empty call; then every value reads back.
    const QStringList prefixes = {
        "Report Type-",           "Report Level-",  "Error Number-",
        "Exclude Error Number-",  "Application-",   "Exclude Application-",
        "Send To Email Address-", "Email Subject-", "ReportSortBy1-",
        "ReportSortBy2-",         "ReportSortBy3-", "AccumulateTime-",
        "AccumulateType-",        "HTML-"};
    for (int slot = 1; slot <= 25; ++slot)
        for (const QString& prefix : prefixes)
            QVERIFY(
                Zlk::setNotificationString(Section, prefix + QString::number(slot),
                                           slot % 2 ? QStringLiteral("v%1").arg(slot) : QString()));
    QVERIFY(Zlk::setNotificationString(Section, "txtAttach", "1000"));
    QVERIFY(Zlk::setNotificationString(Section, "Reloaded", "TRUE"));
    QVERIFY(Zlk::setNotificationString("", "", ""));

    for (int slot = 1; slot <= 25; ++slot)
        for (const QString& prefix : prefixes)
            QCOMPARE(Zlk::getNotificationString(Section, prefix + QString::number(slot), "d"),
                     slot % 2 ? QStringLiteral("v%1").arg(slot) : QString());
    QCOMPARE(readAll(iniPath()).count('\n'), 1 + 25 * 14 + 2);
}

QTEST_GUILESS_MAIN(tst_ZlkStore)
#include "tst_zlkstore.moc"
