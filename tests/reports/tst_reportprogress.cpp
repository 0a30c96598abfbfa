#include "AppState.h"
#include "ProgramRun.h"
#include "ReportEngine.h"
#include "ReportProgress.h"
#include "ReportProgressDialog.h"
#include "ReportRunFixture.h"
#include "ReportWindowHooks.h"

#include <QDialog>
#include <QMainWindow>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

namespace {

constexpr int Rows = 2000;

// What the engine told its progress, kept beyond the run.
struct ProgressLog
{
    QList<qint64> totals;    // one per pass over the rows
    QList<qint64> lastSteps; // the last step of each pass
    bool backwards = false;
    int ends = 0;
    QStringList statuses;
    int cancelInPass = 0; // half-way through that pass; 0 never
    bool cancelled = false;
};

struct LoggingProgress : ReportProgress
{
    explicit LoggingProgress(ProgressLog* log) : log(log) {}
    void begin(qint64 total) override
    {
        log->totals << total;
        log->lastSteps << -1;
    }
    void step(qint64 done) override
    {
        log->backwards = log->backwards || done < log->lastSteps.last();
        log->lastSteps.last() = done;
        log->cancelled =
            log->cancelled || (log->totals.size() == log->cancelInPass && done >= Rows / 2);
    }
    bool cancelled() const override { return log->cancelled; }
    void end() override { ++log->ends; }
    void showStatus(const QString& text) override { log->statuses << text; }
    ProgressLog* log;
};

ReportEngineHooks hooksFor(ProgressLog* log, QStringList* titles = nullptr)
{
    ReportEngineHooks hooks;
    hooks.progress = [log, titles](const QString& title) {
        if (titles)
            *titles << title;
        return std::make_unique<LoggingProgress>(log);
    };
    return hooks;
}

} // namespace

// A cancelled report run leaves no file, sends no mail and deletes nothing; a
// finished one counts up to its total.
class tst_ReportProgress : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { run.startServer(); }
    void init()
    {
        QList<AuditEntry> entries;
        const QDateTime first(QDate(2003, 1, 1), QTime(8, 0));
        for (int i = 0; i < Rows; ++i)
            entries << AuditTestDb::entry(i % 4, first.addSecs(i * 60),
                                          QStringLiteral("entry %1").arg(i));
        run.begin(entries);
    }
    void cleanup()
    {
        ReportProgressDialog::setDefaultShowDelay(ReportProgressDialog::DefaultShowDelay);
        qunsetenv("AUDITLOG_PRINT_TO_PDF");
        run.end();
    }
    void cancelLeavesNothing_data();
    void cancelLeavesNothing();
    void progressReachesTotal();
    void previewCancelledFromItsWindow();

private:
    ReportEngine::Request request(int16_t destination) const;

    ReportRunFixture run;
};

ReportEngine::Request tst_ReportProgress::request(int16_t destination) const
{
    ReportEngine::Request r;
    r.Destination = destination;
    r.condition.Status = r.condition.Warning = r.condition.Error = r.condition.Fatal = true;
    r.Delete = true;
    r.SortBy1 = QStringLiteral("AutoIndex");
    return r;
}

void tst_ReportProgress::cancelLeavesNothing_data()
{
    QTest::addColumn<int>("destination");
    QTest::addColumn<bool>("html");
    QTest::newRow("text file") << 3 << false;
    QTest::newRow("mail") << 2 << false;
    QTest::newRow("HTML mail") << 2 << true;
    QTest::newRow("print to PDF") << 0 << false;
}

void tst_ReportProgress::cancelLeavesNothing()
{
    QFETCH(int, destination);
    QFETCH(bool, html);
    HtmlOutput = html;
    // An older output file of that name stays as it was.
    const QString out = run.env->filePath(destination == 0 ? "printed.pdf" : "report.txt");
    QVERIFY(ProgramRun::writeFile(out, "older report"));
    if (destination == 0)
        qputenv("AUDITLOG_PRINT_TO_PDF", out.toUtf8());
    ProgressLog log;
    log.cancelInPass = 1;
    ReportEngineHooks::install(hooksFor(&log));
    ReportEngine::Request r = request(int16_t(destination));
    r.Address = destination == 2 ? QStringLiteral("ops@example.org") : out;

    ReportEngine engine(ReportEngine::Audit, r);
    QVERIFY(!engine.run());
    QVERIFY(engine.cancelled());
    QCOMPARE(log.statuses, QStringList{"Report cancelled."});
    QCOMPARE(log.totals.size(), 1);
    QCOMPARE(log.ends, 1);
    QVERIFY2(run.env->messages().isEmpty(), qPrintable(run.env->messageTexts().join('\n')));
    QCOMPARE(run.db->count(), Rows);
    QCOMPARE(engine.deletedCount(), -1);
    QCOMPARE(run.server->messages().size(), 0);
    QCOMPARE(run.left(), QStringList());
    QCOMPARE(ProgramRun::readFile(out), QByteArray("older report"));
}

void tst_ReportProgress::progressReachesTotal()
{
    ProgressLog log;
    QStringList titles;
    ReportEngineHooks::install(hooksFor(&log, &titles));
    ReportEngine::Request r = request(3);
    r.Delete = false;
    r.condition.Warning = false; // three levels of four
    r.Address = run.env->filePath("report.txt");
    QVERIFY(ReportEngine(ReportEngine::AuditDetail, r).run());
    const qint64 reported = Rows * 3 / 4;
    QCOMPARE(log.totals, (QList<qint64>{0})); // one read: the count is not known before
    QCOMPARE(log.lastSteps, (QList<qint64>{reported}));
    QVERIFY(!log.backwards);
    QCOMPARE(log.ends, 1);
    QVERIFY(log.statuses.isEmpty());
    UnattendedMode = true; // unattended runs never ask for progress
    QVERIFY(ReportEngine(ReportEngine::AuditDetail, r).run());
    QCOMPARE(titles, QStringList{"Audit Detail Report"});
}

// Through the window hooks, as from the report dialog over the viewer: the
// progress window comes up modal over the dialog, and its Cancel closes the
// preview that is drawing; the viewer's status bar says so, nothing else does.
void tst_ReportProgress::previewCancelledFromItsWindow()
{
    QMainWindow viewer;
    QDialog reportDialog(&viewer);
    reportDialog.setWindowModality(Qt::ApplicationModal);
    reportDialog.show();
    InstallReportWindowHooks();
    ReportProgressDialog::setDefaultShowDelay(0);
    QString seen; // the progress window when Cancel was pressed
    QTimer presser;
    connect(&presser, &QTimer::timeout, &presser, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* progress = qobject_cast<QProgressDialog*>(window);
            if (progress && progress->isVisible() && seen.isEmpty()) {
                seen = QStringLiteral("%1|%2|%3")
                           .arg(progress->windowTitle())
                           .arg(progress->parentWidget() == &reportDialog)
                           .arg(progress->windowModality() == Qt::WindowModal);
                QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
            }
        }
    });
    presser.start(0);

    ReportEngine engine(ReportEngine::Summary, request(1));
    QVERIFY(!engine.run());
    QVERIFY(engine.cancelled());
    QCOMPARE(seen, QStringLiteral("Audit Log Summary|1|1"));
    QCOMPARE(viewer.statusBar()->currentMessage(), QStringLiteral("Report cancelled."));
    QVERIFY2(run.env->messages().isEmpty(), qPrintable(run.env->messageTexts().join('\n')));
    QCOMPARE(run.db->count(), Rows);
    for (QWidget* window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible() || window == &reportDialog, qPrintable(window->objectName()));
}

QTEST_MAIN(tst_ReportProgress)
#include "tst_reportprogress.moc"
