// One benchmark case per process, on the program's real code paths. Each case
// prints "seconds=<float>" for the part it timed; bench.py runs it beside the
// sqlite3 shell doing the same database work.
//
//   auditlog_bench open DB          start-up to the first rows painted in the viewer
//   auditlog_bench sort DB COLUMN   a heading click to the first rows painted
//   auditlog_bench scroll DB        first row to the last row of the grid
//   auditlog_bench find DB          Find Next from the first row to a whole cell only in the last row
//   auditlog_bench filter DB LEVEL ERROR DESCRIPTION
//                                   Apply in the filter window to the first rows painted
//   auditlog_bench purge DB         DeleteOldEntries of about half the entries
//   auditlog_bench purge-nothing DB DeleteOldEntries that finds nothing to delete
//   auditlog_bench text DB OUT      ReportAudit to a text file
//   auditlog_bench html DB OUT      the same layout and SELECT as HTML
//   auditlog_bench pdf DB OUT       ReportAudit printed to a PDF file
//   auditlog_bench mail DB OUTDIR   ReportAuditDetail mailed zipped (ZLK_SMTP_URL)
//
// DB is <root>/SYSTEM/Audit.mdb, as the program finds it under its /SYSTEM root.

#include "AppState.h"
#include "AuditColumns.h"
#include "AuditDatabase.h"
#include "AuditTableModel.h"
#include "AuditView.h"
#include "BoundedRowSource.h"
#include "FilterQuery.h"
#include "JetDialect.h"
#include "Purge.h"
#include "ReportCondition.h"
#include "ReportEngine.h"
#include "ReportLayouts.h"
#include "ReportRenderer.h"
#include "ReportRoutines.h"
#include "PrefetchRowSource.h"
#include "SqlRowSource.h"
#include "Startup.h"
#include "UiHooks.h"
#include "frmFilter.h"
#include "frmFind.h"
#include "frmView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <cstdio>
#include <limits>

namespace {

QElapsedTimer processClock;

void printSeconds(const QElapsedTimer& timer)
{
    std::printf("seconds=%.6f\n", static_cast<double>(timer.nsecsElapsed()) / 1e9);
    std::fflush(stdout);
}

int failWith(const QString& text)
{
    std::fprintf(stderr, "auditlog_bench: %s\n", qPrintable(text));
    return 1;
}

// The installation root of a database at <root>/SYSTEM/Audit.mdb.
QString rootOf(const QString& database)
{
    return QFileInfo(database).absoluteDir().absolutePath() + QStringLiteral("/..");
}

// The program's own start-up with /SYSTEM pointing at the database: the
// connection, the viewer loaded and the automatic purge. interactive shows the
// viewer as an interactive start does; otherwise the run is unattended and only
// the connection and the view's data are prepared.
bool startUp(const QString& database, bool interactive, QString* error)
{
    QStringList arguments{QStringLiteral("/SYSTEM"), rootOf(database)};
    if (!interactive)
        arguments.append(QStringLiteral("/UNATTENDED"));
    if (!PrepareRun(arguments, QCoreApplication::applicationDirPath())) {
        *error = QStringLiteral("invalid command line");
        return false;
    }
    if (interactive) {
        if (StartRun() != -1) {
            *error = QStringLiteral("the viewer did not start");
            return false;
        }
        return frmView::existingInstance() != nullptr;
    }
    DatabasePath = QFileInfo(database).absoluteFilePath();
    AuditError openError;
    if (!AuditDatabase::instance().open(AuditDatabase::connectionStringFor(DatabasePath),
                                        &openError)) {
        *error = openError.description;
        return false;
    }
    return true;
}

// Paints the grid as the screen would and returns the rows the model lists.
int paintGrid(frmView* viewer)
{
    QCoreApplication::processEvents();
    viewer->grid()->viewport()->grab();
    return viewer->model()->rowCount();
}

// Reads every column of the rows visible at the bottom of the grid, as painting does.
int readRows(QAbstractItemModel* model, int first, int last)
{
    int cells = 0;
    for (int row = first; row <= last; ++row)
        for (int column = 0; column < model->columnCount(); ++column)
            if (model->data(model->index(row, column)).isValid())
                ++cells;
    return cells;
}

int caseOpen(const QString& database)
{
    QString error;
    if (!startUp(database, true, &error))
        return failWith(error);
    const int rows = paintGrid(frmView::existingInstance());
    printSeconds(processClock);
    if (rows <= 0)
        return failWith(QStringLiteral("no rows in the viewer"));
    return 0;
}

int caseSort(const QString& database, const QString& column)
{
    QString error;
    if (!startUp(database, true, &error))
        return failWith(error);
    frmView* viewer = frmView::existingInstance();
    paintGrid(viewer);
    QString field = AuditColumns::FieldForHeading(column);
    if (field.isEmpty())
        field = column;
    const int gridColumn = AuditTableModel::columnOf(field);
    if (gridColumn < 0)
        return failWith(QStringLiteral("no grid column '%1'").arg(column));

    QElapsedTimer timer;
    timer.start();
    viewer->ssView_HeadClick(gridColumn);
    const int rows = paintGrid(viewer);
    printSeconds(timer);
    if (rows <= 0)
        return failWith(QStringLiteral("no rows after sorting"));
    return 0;
}

int caseScroll(const QString& database)
{
    QString error;
    if (!startUp(database, true, &error))
        return failWith(error);
    frmView* viewer = frmView::existingInstance();
    paintGrid(viewer);
    QScrollBar* bar = viewer->grid()->verticalScrollBar();
    AuditView& view = viewer->model()->auditView();

    QElapsedTimer timer;
    timer.start();
    // The grid grows while the keys arrive: drag the bar to the end until it stays there.
    for (;;) {
        bar->setValue(bar->maximum());
        QCoreApplication::processEvents();
        if (view.hasAllRows() && bar->value() == bar->maximum())
            break;
    }
    const int rows = paintGrid(viewer);
    const int cells = readRows(viewer->model(), qMax(0, rows - 40), rows - 1);
    printSeconds(timer);
    if (rows != view.recordCount() || cells == 0)
        return failWith(QStringLiteral("the last rows were not reached (%1 of %2)")
                            .arg(rows)
                            .arg(view.recordCount()));
    auto oldest = AuditDatabase::instance().select(QStringLiteral("SELECT MIN([AutoIndex]) FROM Audit"));
    if (!oldest || !oldest->next() || view.keyAt(rows - 1) != oldest->value(0).toLongLong())
        return failWith(QStringLiteral("the last row is not the oldest entry"));
    std::printf("rows=%d\n", rows);
    return 0;
}

int caseFind(const QString& database)
{
    QString error;
    if (!startUp(database, true, &error))
        return failWith(error);
    frmView* viewer = frmView::existingInstance();
    paintGrid(viewer);
    // The last grid row in the viewer's default order (newest first) is the
    // oldest entry. Its number, matched as a whole cell, is in no other row:
    // texts of the demo entries recur among ten million of them, and every
    // row before the last is searched either way.
    auto query = AuditDatabase::instance().select(
        QStringLiteral("SELECT MIN([AutoIndex]) FROM Audit"));
    if (!query || !query->next())
        return failWith(QStringLiteral("no entries"));
    const QString text = query->value(0).toString();
    query.reset();
    viewer->grid()->setCurrentIndex(viewer->model()->index(0, 0));

    QElapsedTimer timer;
    timer.start();
    frmFind* find = frmFind::showFor(viewer);
    find->findChild<QLineEdit*>(QStringLiteral("txt_Find"))->setText(text);
    find->findChild<QCheckBox*>(QStringLiteral("chk_WholeWord"))->setChecked(true);
    find->cmd_Find_Click();
    const int rows = paintGrid(viewer);
    printSeconds(timer);
    const int hit = viewer->grid()->currentIndex().row();
    if (hit != rows - 1 || rows != AuditView::instance().recordCount())
        return failWith(QStringLiteral("found row %1 of %2").arg(hit + 1).arg(rows));
    std::printf("rows=%d\ntext=%s\n", rows, qPrintable(text));
    return 0;
}

int caseFilter(const QString& database, const QStringList& criteria)
{
    QString error;
    if (!startUp(database, true, &error))
        return failWith(error);
    frmView* viewer = frmView::existingInstance();
    paintGrid(viewer);

    QElapsedTimer timer;
    timer.start();
    frmFilter* filter = frmFilter::showFor(viewer);
    filter->findChild<QComboBox*>(QStringLiteral("errorLevelBox"))
        ->setCurrentIndex(criteria.at(0).toInt());
    filter->findChild<QLineEdit*>(QStringLiteral("errorNumberBox"))->setText(criteria.at(1));
    filter->findChild<QLineEdit*>(QStringLiteral("descriptionBox"))->setText(criteria.at(2));
    filter->findChild<QPushButton*>(QStringLiteral("findCommand"))->click();
    const int rows = paintGrid(viewer);
    printSeconds(timer);
    const QString statement = AuditView::instance().recordSource();
    if (!IsFilterQuery(statement))
        return failWith(QStringLiteral("the filter was not applied"));
    const auto sqlite = JetDialect::toSqlite(statement);
    std::printf("rows=%d\nsqlite=%s\n", rows, qPrintable(sqlite.value_or(QString())));
    return 0;
}

int casePurge(const QString& database)
{
    QString error;
    if (!startUp(database, true, &error))
        return failWith(error);
    frmView* viewer = frmView::existingInstance();
    paintGrid(viewer);
    AuditView::instance().fetchAll();

    // The demo entries are spread evenly over 120 days: 61 days keeps about half.
    const QString days = QStringLiteral("61");
    const auto jet = DeleteOldEntriesStatement(days, 3);
    const auto sqlite = jet ? JetDialect::toSqlite(*jet) : std::nullopt;
    if (!sqlite)
        return failWith(QStringLiteral("no DELETE statement"));

    QElapsedTimer timer;
    timer.start();
    const PurgeResult result = DeleteOldEntries(days, 3);
    printSeconds(timer);
    if (!result.ran || result.error.isError())
        return failWith(result.error.description);
    std::printf("deleted=%d\nsqlite=%s;\n", result.deleted, qPrintable(*sqlite));
    return 0;
}

// The start-up purge when no entry is old enough (the demo's 120 days are all
// younger than 999): its cost is finding that out, which an index on the age
// keeps the same on any number of entries.
int casePurgeNothing(const QString& database)
{
    QString error;
    if (!startUp(database, false, &error))
        return failWith(error);
    QElapsedTimer timer;
    timer.start();
    const PurgeResult result = DeleteOldEntries(QStringLiteral("999"), 3);
    printSeconds(timer);
    if (!result.ran || result.deleted != 0)
        return failWith(QStringLiteral("the purge deleted %1 entries: %2")
                            .arg(result.deleted)
                            .arg(result.error.description));
    return 0;
}

// The audit report's condition and SELECT for every level at any age, sorted
// as an unattended run sorts by default.
ReportCondition allLevels()
{
    ReportCondition condition;
    condition.Status = condition.Warning = condition.Error = condition.Fatal = true;
    return condition;
}

QString reportSelect()
{
    const RunOptions defaults;
    return ReportCondition::selectText(allLevels().where(QDate::currentDate()), defaults.SortBy1,
                                       defaults.SortBy2, defaults.SortBy3);
}

int runReport(void (*routine)(AUDITLOG_REPORT_PARAMETERS), int16_t destination,
              const QString& address)
{
    RunOptions o;
    const ReportCondition c = allLevels();
    QElapsedTimer timer;
    timer.start();
    routine(destination, c.Status, c.Warning, c.Error, c.Fatal, c.AgeMode, c.Days, o.SpanStart,
            o.SpanEnd, false, address, QString(), 1000, 100000, std::numeric_limits<int32_t>::max(),
            o.SortBy1, o.SortBy2, o.SortBy3, o.Query);
    printSeconds(timer);
    if (RunFailed())
        return failWith(RunFailureReason());
    return 0;
}

int caseText(const QString& database, const QString& out)
{
    QString error;
    if (!startUp(database, false, &error))
        return failWith(error);
    const int status = runReport(ReportAudit, ReportEngine::TextFile, out);
    const auto sqlite = JetDialect::toSqlite(reportSelect());
    std::printf("sqlite=%s\n", qPrintable(sqlite.value_or(QString())));
    return status;
}

int casePdf(const QString& database, const QString& out)
{
    QString error;
    if (!startUp(database, false, &error))
        return failWith(error);
    // Printing goes to this PDF file instead of a printer.
    qputenv("AUDITLOG_PRINT_TO_PDF", QFile::encodeName(out));
    const int status = runReport(ReportAudit, ReportEngine::Print, QString());
    const auto sqlite = JetDialect::toSqlite(reportSelect());
    std::printf("sqlite=%s\n", qPrintable(sqlite.value_or(QString())));
    return status;
}

int caseHtml(const QString& database, const QString& out)
{
    QString error;
    if (!startUp(database, false, &error))
        return failWith(error);
    const QString select = reportSelect();

    QElapsedTimer timer;
    timer.start();
    qint64 highest = 0;
    if (auto query =
            AuditDatabase::instance().select(QStringLiteral("SELECT MAX([AutoIndex]) FROM Audit"));
        query && query->next())
        highest = query->value(0).toLongLong();
    // The same chain of row sources as the report engine's.
    SqlRowSource sqlRows(select);
    PrefetchRowSource readAhead(sqlRows);
    BoundedRowSource rows(readAhead, highest);
    ReportLayout layout = ReportLayouts::byName(ReportEngine::Audit.layoutName);
    layout.setDataSource(&rows);
    layout.setMargins(72);
    layout.setTitle(ReportEngine::Audit.title);
    layout.setCaption(ReportEngine::Audit.title);
    ReportRenderer renderer(layout);
    const bool written = renderer.exportReport(FormatKeyHtml, out);
    rows.finish();
    printSeconds(timer);
    const auto sqlite = JetDialect::toSqlite(select);
    std::printf("sqlite=%s\n", qPrintable(sqlite.value_or(QString())));
    if (!written)
        return failWith(renderer.lastError().description);
    return 0;
}

int caseMail(const QString& database, const QString& outFolder)
{
    QString error;
    if (!startUp(database, false, &error))
        return failWith(error);
    if (qEnvironmentVariableIsEmpty("ZLK_SMTP_URL"))
        return failWith(QStringLiteral("ZLK_SMTP_URL is not set"));
    // The report's temporary files go to the current folder.
    if (!QDir::setCurrent(outFolder))
        return failWith(QStringLiteral("cannot enter %1").arg(outFolder));
    const int status =
        runReport(ReportAuditDetail, ReportEngine::Mail, QStringLiteral("bench@localhost"));
    const auto sqlite = JetDialect::toSqlite(reportSelect());
    std::printf("sqlite=%s\n", qPrintable(sqlite.value_or(QString())));
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    processClock.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(ProductName);
    QApplication::setApplicationName(AppTitle);

    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.value(0);
    const QString database = args.value(1);
    if (database.isEmpty() || !QFileInfo::exists(database))
        return failWith(QStringLiteral(
            "usage: auditlog_bench open|sort|scroll|find|filter|purge|purge-nothing|text|html|pdf|"
            "mail DB [COLUMN|OUT|OUTDIR] (DB must exist)"));
    if (command == QLatin1String("open"))
        return caseOpen(database);
    if (command == QLatin1String("sort") && args.size() == 3)
        return caseSort(database, args.at(2));
    if (command == QLatin1String("scroll"))
        return caseScroll(database);
    if (command == QLatin1String("find"))
        return caseFind(database);
    if (command == QLatin1String("filter") && args.size() == 5)
        return caseFilter(database, args.mid(2));
    if (command == QLatin1String("purge"))
        return casePurge(database);
    if (command == QLatin1String("purge-nothing"))
        return casePurgeNothing(database);
    if (command == QLatin1String("text") && args.size() == 3)
        return caseText(database, args.at(2));
    if (command == QLatin1String("pdf") && args.size() == 3)
        return casePdf(database, args.at(2));
    if (command == QLatin1String("html") && args.size() == 3)
        return caseHtml(database, args.at(2));
    if (command == QLatin1String("mail") && args.size() == 3)
        return caseMail(database, args.at(2));
    return failWith(QStringLiteral("unknown case or missing argument: %1").arg(args.join(' ')));
}
