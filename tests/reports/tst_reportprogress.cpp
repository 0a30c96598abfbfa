#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "ReportEngine.h"
#include "ReportEngineHooks.h"
#include "ReportProgress.h"
#include "ReportProgressDialog.h"
#include "ReportWindowHooks.h"
#include "SmtpTestServer.h"
#include "TestEnvironment.h"
#include "ZlkApi.h"

#include <QMainWindow>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

// Progress and cancel of long report runs: a cancelled run leaves no file,
// sends no mail and deletes nothing; a finished one counts up to its total.
class tst_ReportProgress : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cancelLeavesNothing_data();
    void cancelLeavesNothing();
    void progressReachesTotal();
    void progressWindowCancels();
    void previewCancelledFromItsWindow();

private:
    ReportEngine::Request request(int16_t destination) const;
    QStringList leftInFolder() const;

    std::unique_ptr<SmtpTestServer> m_server;
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<AuditTestDb> m_db;
    QString m_previousFolder;
    QString m_folder; // the current directory during a run
    ReportEngineHooks m_previousHooks;
};

namespace {

constexpr int Rows = 2000;

// What the engine told its progress, kept beyond the run.
struct ProgressLog
{
    QList<qint64> totals;    // one per pass
    QList<qint64> lastSteps; // the last step of each pass (-1: none)
    bool backwards = false;  // a step below the one before it
    int ends = 0;
    QStringList statuses;
    int cancelInPass = 0;   // 1 counting, 2 drawing; 0 never
    qint64 cancelAfter = 0; // rows into that pass
    bool cancelled = false;
};

class LoggingProgress : public ReportProgress
{
public:
    explicit LoggingProgress(ProgressLog* log) : m_log(log) {}
    void begin(qint64 total) override
    {
        m_log->totals << total;
        m_log->lastSteps << -1;
    }
    void step(qint64 done) override
    {
        m_log->backwards = m_log->backwards || done < m_log->lastSteps.last();
        m_log->lastSteps.last() = done;
        if (m_log->totals.size() == m_log->cancelInPass && done >= m_log->cancelAfter)
            m_log->cancelled = true;
    }
    bool cancelled() const override { return m_log->cancelled; }
    void end() override { ++m_log->ends; }
    void showStatus(const QString& text) override { m_log->statuses << text; }

private:
    ProgressLog* m_log;
};

// Presses Cancel in the progress window as soon as it is up.
void cancelProgressWindowWhenShown(QObject* context)
{
    auto* timer = new QTimer(context);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* progress = qobject_cast<QProgressDialog*>(window);
            if (progress && progress->isVisible()) {
                QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
                timer->deleteLater();
                return;
            }
        }
    });
    timer->start();
}

} // namespace

void tst_ReportProgress::initTestCase()
{
    m_server = std::make_unique<SmtpTestServer>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    m_server->installAsMailServer();
    m_previousFolder = QDir::currentPath();
}

void tst_ReportProgress::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    m_db = std::make_unique<AuditTestDb>();
    QVERIFY2(m_db->isValid(), qPrintable(m_db->errorString()));
    QList<AuditEntry> entries;
    const QDateTime first(QDate(2003, 1, 1), QTime(8, 0));
    for (int i = 0; i < Rows; ++i)
        entries << AuditTestDb::entry(i % 4, first.addSecs(i * 60),
                                      QStringLiteral("entry %1").arg(i));
    QVERIFY2(m_db->add(entries), qPrintable(m_db->errorString()));
    QVERIFY(m_db->openShared());
    m_folder = m_env->filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(m_folder));
    QVERIFY(QDir::setCurrent(m_folder));
    Zlk::setSystemFolder(m_db->root() + QStringLiteral("SYSTEM"));
    m_server->clearMessages();
    m_previousHooks = ReportEngineHooks::current();
}

void tst_ReportProgress::cleanup()
{
    ReportEngineHooks::install(m_previousHooks);
    ReportProgressDialog::setDefaultShowDelay(ReportProgressDialog::DefaultShowDelay);
    qunsetenv("AUDITLOG_PRINT_TO_PDF");
    QDir::setCurrent(m_previousFolder);
    AuditDatabase::instance().close();
    m_db.reset();
    m_env.reset();
}

ReportEngine::Request tst_ReportProgress::request(int16_t destination) const
{
    ReportEngine::Request r;
    r.Destination = destination;
    r.condition.Status = r.condition.Warning = r.condition.Error = r.condition.Fatal = true;
    r.Delete = true;
    r.SortBy1 = QStringLiteral("AutoIndex");
    return r;
}

QStringList tst_ReportProgress::leftInFolder() const
{
    return QDir(m_folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
}

void tst_ReportProgress::cancelLeavesNothing_data()
{
    QTest::addColumn<int>("destination");
    QTest::addColumn<bool>("html");
    QTest::addColumn<int>("pass");
    QTest::newRow("text file, counting") << 3 << false << 1;
    QTest::newRow("text file, half-way through writing") << 3 << false << 2;
    QTest::newRow("mail, half-way through writing") << 2 << false << 2;
    QTest::newRow("HTML mail, counting") << 2 << true << 1;
    QTest::newRow("print to PDF, half-way through drawing") << 0 << false << 2;
}

void tst_ReportProgress::cancelLeavesNothing()
{
    QFETCH(int, destination);
    QFETCH(bool, html);
    QFETCH(int, pass);
    HtmlOutput = html;
    // An older output file of that name stays as it was.
    const QString out = m_env->filePath(destination == 0 ? "printed.pdf" : "report.txt");
    {
        QFile old(out);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("older report");
    }
    if (destination == 0)
        qputenv("AUDITLOG_PRINT_TO_PDF", out.toUtf8());
    ProgressLog log;
    log.cancelInPass = pass;
    log.cancelAfter = Rows / 2;
    ReportEngineHooks hooks;
    hooks.progress = [&log](const QString&) { return std::make_unique<LoggingProgress>(&log); };
    ReportEngineHooks::install(hooks);
    ReportEngine::Request r = request(int16_t(destination));
    r.Address = destination == 2 ? QStringLiteral("ops@example.org") : out;

    ReportEngine engine(ReportEngine::Audit, r);
    QVERIFY(!engine.run());
    QVERIFY(engine.cancelled());
    QCOMPARE(log.statuses, QStringList{"Report cancelled."});
    QVERIFY2(m_env->messages().isEmpty(), qPrintable(m_env->messageTexts().join('\n')));
    QCOMPARE(log.totals.size(), pass);
    QCOMPARE(log.ends, 1);
    QCOMPARE(m_db->count(), Rows);
    QCOMPARE(engine.deletedCount(), -1);
    QCOMPARE(m_server->messages().size(), 0);
    QCOMPARE(leftInFolder(), QStringList());
    QFile older(out);
    QVERIFY(older.open(QIODevice::ReadOnly));
    QCOMPARE(older.readAll(), QByteArray("older report"));
}

void tst_ReportProgress::progressReachesTotal()
{
    ProgressLog log;
    QStringList titles;
    ReportEngineHooks hooks;
    hooks.progress = [&](const QString& title) {
        titles << title;
        return std::make_unique<LoggingProgress>(&log);
    };
    ReportEngineHooks::install(hooks);
    ReportEngine::Request r = request(3);
    r.Delete = false;
    r.condition.Warning = false; // three levels of four
    r.Address = m_env->filePath("report.txt");
    QVERIFY(ReportEngine(ReportEngine::AuditDetail, r).run());
    const qint64 reported = Rows * 3 / 4;
    QCOMPARE(log.totals, (QList<qint64>{0, reported}));
    QCOMPARE(log.lastSteps, (QList<qint64>{reported, reported}));
    QVERIFY(!log.backwards);
    QCOMPARE(log.ends, 1);
    QVERIFY(log.statuses.isEmpty());

    // Unattended runs never ask for progress.
    UnattendedMode = true;
    QVERIFY(ReportEngine(ReportEngine::AuditDetail, r).run());
    QCOMPARE(titles, QStringList{"Audit Detail Report"});
}

// The window: modal over its owner, counting, and Cancel stops the run.
void tst_ReportProgress::progressWindowCancels()
{
    QMainWindow viewer;
    QWidget owner(&viewer, Qt::Dialog);
    ReportProgressDialog progress(QStringLiteral("Audit Report"), &owner);
    progress.setShowDelay(0);
    progress.begin(0);
    QVERIFY(!progress.dialog()); // not before the first step
    progress.step(256);
    QProgressDialog* window = progress.dialog();
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->parentWidget(), &owner);
    QCOMPARE(window->windowModality(), Qt::WindowModal);
    QCOMPARE(window->windowTitle(), QStringLiteral("Audit Report"));
    QCOMPARE(window->maximum(), 0); // busy while the entries are counted
    progress.begin(1000);
    progress.step(500);
    QCOMPARE(window->maximum(), 1000);
    QCOMPARE(window->value(), 500);
    QVERIFY(!progress.cancelled());
    QTest::mouseClick(window->findChild<QPushButton*>(), Qt::LeftButton);
    QVERIFY(progress.cancelled());
    progress.end();
    QVERIFY(!progress.dialog());
    progress.showStatus(QStringLiteral("Report cancelled."));
    QCOMPARE(viewer.statusBar()->currentMessage(), QStringLiteral("Report cancelled."));
}

// Through the window hooks: Cancel in the progress window while the preview
// draws its pages closes the preview; nothing else is said.
void tst_ReportProgress::previewCancelledFromItsWindow()
{
    InstallReportWindowHooks();
    ReportProgressDialog::setDefaultShowDelay(0);
    cancelProgressWindowWhenShown(this);
    ReportEngine engine(ReportEngine::Summary, request(1));
    QVERIFY(!engine.run());
    QVERIFY(engine.cancelled());
    QVERIFY2(m_env->messages().isEmpty(), qPrintable(m_env->messageTexts().join('\n')));
    QCOMPARE(m_db->count(), Rows);
    for (QWidget* window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
}

QTEST_MAIN(tst_ReportProgress)
#include "tst_reportprogress.moc"
