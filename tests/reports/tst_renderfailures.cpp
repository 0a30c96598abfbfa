#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "MemoryRowSource.h"
#include "ReportLayouts.h"
#include "ReportRenderer.h"
#include "SqlRowSource.h"

#include <QBuffer>
#include <QLocale>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

// Failures while rendering: the renderer returns false, the layout's error
// handler gets the number and description, and no output file is left behind.
// Also the SQL row source on a real database.
class tst_RenderFailures : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void exportFailures_data();
    void exportFailures();
    void diskFullLeavesNothing_data();
    void diskFullLeavesNothing();
    void rowsFailHalfWay();
    void sqlColumnsRead_data();
    void sqlColumnsRead();
    void sqlRows();

private:
    QStringList filesIn(const QString& folder) const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

const QStringList Columns{"AutoIndex",   "Level",      "Error",    "Description",
                          "Application", "When",       "User",     "Details",
                          "Path",        "Unattended", "Response", "TaskList"};

MemoryRowSource manyRows(int count)
{
    MemoryRowSource rows(Columns);
    for (int i = 1; i <= count; ++i)
        rows.addRow({i, 1, 100, QStringLiteral("Entry %1 with some text to fill the line").arg(i),
                     "Translator", "2003-03-02 14:05:07", "operator", "", "", 0, "", ""});
    return rows;
}

// A source whose reading fails after some rows, as a database can.
class FailingRows : public MemoryRowSource
{
public:
    FailingRows(int goodRows) : MemoryRowSource(manyRows(goodRows + 5)), m_goodRows(goodRows) {}
    bool start(QString* error) override
    {
        m_read = 0;
        m_error.clear();
        return MemoryRowSource::start(error);
    }
    bool next() override
    {
        if (m_read++ == m_goodRows) {
            m_error = QStringLiteral("database disk image is malformed");
            return false;
        }
        return MemoryRowSource::next();
    }
    QString lastError() const override { return m_error; }
    int lastErrorNumber() const override { return 11; }

private:
    int m_goodRows;
    int m_read = 0;
    QString m_error;
};

// Limits the size of files this process writes; writes beyond fail with
// EFBIG as on a full disk. The old limit comes back at the end of the scope.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

} // namespace

void tst_RenderFailures::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QStringList tst_RenderFailures::filesIn(const QString& folder) const
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

void tst_RenderFailures::exportFailures_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("formatKey");
    QTest::addColumn<QString>("target"); // relative to the test folder
    QTest::addColumn<bool>("bound");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("message"); // what the layout's handler shows

    QTest::newRow("folder missing") << "datareportAudit" << FormatKeyText << "missing/report.txt"
                                    << true << 75 << "Audit Report Error 75 - Cannot create ";
    QTest::newRow("target is a folder")
        << "dataReportSummaryDetail" << FormatKeyHtml << "folder" << true << 75
        << "Audit Summary Report Error 75 - Cannot create ";
    QTest::newRow("unknown format key")
        << "datareportAuditDetail"
        << "key_def_PDF"
        << "report.pdf" << true << 5
        << "Audit Report Error 5 - Unknown export format \"key_def_PDF\".";
    QTest::newRow("no data source") << "datareportAudit" << FormatKeyText << "report.txt" << false
                                    << 5 << "Audit Report Error 5 - The report has no data source.";
    QTest::newRow("summary has no handler")
        << "dataReportSummary" << FormatKeyText << "missing/report.txt" << true << 75 << "";
}

void tst_RenderFailures::exportFailures()
{
    QFETCH(QString, layout);
    QFETCH(QString, formatKey);
    QFETCH(QString, target);
    QFETCH(bool, bound);
    QFETCH(int, number);
    QFETCH(QString, message);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));

    MemoryRowSource rows = manyRows(3);
    ReportLayout report = ReportLayouts::byName(layout);
    if (bound)
        report.setDataSource(&rows);
    QStringList shown;
    report.setErrorHandler([&](int n, const QString& description) {
        shown.append(report.errorMessage(n, description));
    });
    ReportRenderer renderer(report);
    QVERIFY(!renderer.exportReport(formatKey, m_dir->filePath(target)));
    QCOMPARE(renderer.lastError().number, number);
    if (message.isEmpty()) {
        QVERIFY(shown.isEmpty());
    } else {
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(message), qPrintable(shown.first()));
    }
    QCOMPARE(filesIn(m_dir->path()), QStringList());
}

void tst_RenderFailures::diskFullLeavesNothing_data()
{
    QTest::addColumn<QString>("formatKey");
    QTest::addColumn<bool>("oldFile");
    QTest::newRow("text") << FormatKeyText << false;
    QTest::newRow("html") << FormatKeyHtml << false;
    QTest::newRow("text over an older report") << FormatKeyText << true;
}

void tst_RenderFailures::diskFullLeavesNothing()
{
    QFETCH(QString, formatKey);
    QFETCH(bool, oldFile);
    const QString target = m_dir->filePath(QStringLiteral("AuditRpt.out"));
    if (oldFile) {
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous report\n");
    }
    MemoryRowSource rows = manyRows(5000); // several hundred kilobytes
    ReportLayout report = ReportLayouts::datareportAudit();
    report.setDataSource(&rows);
    QStringList shown;
    report.setErrorHandler([&](int n, const QString& description) {
        shown.append(report.errorMessage(n, description));
    });
    ReportRenderer renderer(report);
    bool written = true;
    {
        const FileSizeLimit limit(100 * 1024);
        written = renderer.exportReport(formatKey, target);
    }
    QVERIFY(!written);
    QCOMPARE(renderer.lastError().number, 61);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith(QLatin1String("Audit Report Error 61 - ")),
             qPrintable(shown.first()));
    // No partial report; an older one stays as it was.
    if (oldFile) {
        QCOMPARE(filesIn(m_dir->path()), QStringList{"AuditRpt.out"});
        QFile old(target);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("previous report\n"));
    } else {
        QCOMPARE(filesIn(m_dir->path()), QStringList());
    }
}

void tst_RenderFailures::rowsFailHalfWay()
{
    FailingRows rows(20);
    ReportLayout report = ReportLayouts::datareportAuditDetail();
    report.setDataSource(&rows);
    QStringList shown;
    report.setErrorHandler([&](int n, const QString& description) {
        shown.append(report.errorMessage(n, description));
    });
    ReportRenderer renderer(report);
    QVERIFY(!renderer.exportReport(FormatKeyText, m_dir->filePath(QStringLiteral("r.txt"))));
    QCOMPARE(shown, QStringList{"Audit Report Error 11 - database disk image is malformed"});
    QCOMPARE(filesIn(m_dir->path()), QStringList());
}

void tst_RenderFailures::sqlColumnsRead_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("run");
    const QString report = QStringLiteral(
        "SELECT Audit.* FROM Audit WHERE ((`Level` = 0)) ORDER BY [When], [AutoIndex];");
    QTest::newRow("only the columns read, AutoIndex first")
        << report << QStringList{"Description", "When", "description"}
        << "SELECT [AutoIndex], [Description], [When] FROM Audit WHERE ((`Level` = 0)) ORDER BY "
           "[When], [AutoIndex];";
    QTest::newRow("no list: every column") << report << QStringList() << report;
    QTest::newRow("a name that is no column: every column")
        << report << QStringList{"Description", "Nonsense"} << report;
    QTest::newRow("another statement is left alone")
        << "SELECT * FROM Audit" << QStringList{"Description"} << "SELECT * FROM Audit";
    QTest::newRow("any case") << "select audit.* from Audit" << QStringList{"user"}
                              << "select [AutoIndex], [User] from Audit";
}

void tst_RenderFailures::sqlColumnsRead()
{
    QFETCH(QString, statement);
    QFETCH(QStringList, fields);
    QFETCH(QString, run);
    SqlRowSource rows(statement);
    rows.setFieldsToRead(fields);
    QCOMPARE(rows.statementToRun(), run);
}

void tst_RenderFailures::sqlRows()
{
    QLocale::setDefault(QLocale::c()); // the dates below are in the C locale's form
    AuditTestDb db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    const QDateTime start(QDate(2003, 3, 1), QTime(8, 0));
    for (int i = 1; i <= 40; ++i)
        QVERIFY(
            db.add(AuditTestDb::entry(i % 4, start.addSecs(i * 60), QString("Entry%1").arg(i))));
    QVERIFY(db.openShared());

    SqlRowSource rows(QStringLiteral("SELECT Audit.* FROM Audit WHERE ((`Level` = 2)) AND `When` > "
                                     "#3/1/2003# ORDER BY [AutoIndex];"));
    ReportLayout report = ReportLayouts::dataReportSummary();
    report.setDataSource(&rows);
    QStringList shown;
    report.setErrorHandler([&](int, const QString& description) { shown.append(description); });
    QBuffer text;
    text.open(QIODevice::WriteOnly);
    QVERIFY(ReportRenderer(report).writeText(&text));
    const QString content = QString::fromUtf8(text.data());
    QCOMPARE(content.count(QRegularExpression(QStringLiteral("Entry\\d+"))), 10);
    QVERIFY(content.contains(QLatin1String("|Entry2 ")));
    QVERIFY(content.contains(QLatin1String("|Entry38 ")));
    // The C locale's default form: month first, 24-hour time.
    QVERIFY(content.contains(QLatin1String("3/1/2003 08:02:00|")));

    // Column names are found whatever their case, as in Jet.
    QVERIFY(rows.start(nullptr));
    QVERIFY(rows.next());
    QCOMPARE(rows.value(QStringLiteral("description")).toString(), QStringLiteral("Entry2"));

    // Both passes of a render see one snapshot while another program appends.
    auto count = [&] {
        int n = 0;
        for (bool ok = rows.start(nullptr); ok && rows.next();)
            ++n;
        return n;
    };
    QCOMPARE(count(), 10);
    QVERIFY(db.add(AuditTestDb::entry(2, start.addDays(1))));
    QCOMPARE(count(), 10);
    rows.finish();
    QCOMPARE(count(), 11); // the next render sees it
    rows.finish();

    // A statement the database refuses: its error reaches the layout's handler.
    SqlRowSource bad(QStringLiteral("SELECT Audit.* FROM Audit WHERE [NoSuchColumn] = 1;"));
    report.setDataSource(&bad);
    QVERIFY(!ReportRenderer(report).writeText(&text));
    QCOMPARE(shown.size(), 0); // the summary layout has no handler
    ReportLayout audit = ReportLayouts::datareportAudit();
    audit.setDataSource(&bad);
    audit.setErrorHandler([&](int n, const QString& d) { shown.append(audit.errorMessage(n, d)); });
    QVERIFY(!ReportRenderer(audit).exportReport(FormatKeyHtml, m_dir->filePath("r.html")));
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith(QLatin1String("Audit Report Error 1 - no such column")),
             qPrintable(shown.first()));
    QCOMPARE(filesIn(m_dir->path()), QStringList());
    AuditDatabase::instance().close();
}

QTEST_GUILESS_MAIN(tst_RenderFailures)
#include "tst_renderfailures.moc"
