#include "ReportEngine.h"

#include "AppState.h"
#include "AuditDatabase.h"
#include "BoundedRowSource.h"
#include "OutputFile.h"
#include "PrefetchRowSource.h"
#include "PrivateTempFolder.h"
#include "ReportEngineHooks.h"
#include "ReportLayout.h"
#include "ReportLayouts.h"
#include "ReportMailer.h"
#include "ReportProgress.h"
#include "ReportRenderer.h"
#include "SqlDate.h"
#include "SqlRowSource.h"
#include "SqlTextCheck.h"
#include "UiHooks.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <memory>
#include <optional>

const ReportEngine::Kind ReportEngine::Summary{QStringLiteral("Audit Log Summary"),
                                               QStringLiteral("dataReportSummary"),
                                               QStringLiteral("AuditSummaryRpt")};
const ReportEngine::Kind ReportEngine::SummaryDetail{QStringLiteral("Audit Log Detail Summary"),
                                                     QStringLiteral("dataReportSummaryDetail"),
                                                     QStringLiteral("AuditDetailSummaryRpt")};
const ReportEngine::Kind ReportEngine::Audit{
    QStringLiteral("Audit Report"), QStringLiteral("datareportAudit"), QStringLiteral("AuditRpt")};
const ReportEngine::Kind ReportEngine::AuditDetail{QStringLiteral("Audit Detail Report"),
                                                   QStringLiteral("datareportAuditDetail"),
                                                   QStringLiteral("AuditDetailRpt")};

namespace {

// Margins in twips: printed pages, and the tighter exported files.
constexpr int PrintMargin = 720;
constexpr int ExportMargin = 72;

} // namespace

// The hourglass for the whole run, with the normal pointer while a window
// waits for the operator. Only where there is a GUI application.
class ReportEngine::WaitCursor
{
public:
    WaitCursor() { busy(); }
    ~WaitCursor() { normal(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    void busy()
    {
        if (!m_set && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            m_set = true;
        }
    }
    void normal()
    {
        if (m_set) {
            QGuiApplication::restoreOverrideCursor();
            m_set = false;
        }
    }

private:
    bool m_set = false;
};

namespace {

void setUpLayout(ReportLayout& layout, int margins, const QString& title)
{
    layout.setMargins(margins);
    layout.setTitle(title);
    layout.setCaption(title);
}

void letEventsRun()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

} // namespace

ReportEngine::ReportEngine(const Kind& kind, const Request& request)
    : m_kind(kind), m_request(request), m_today(QDate::currentDate())
{
}

QString ReportEngine::temporaryFile(const QString& extension) const
{
    // In the run's private folder, never the current one: nobody can plant a
    // link there. The attachment keeps the base name.
    const QString folder = PrivateTempFolder::path();
    if (folder.isEmpty())
        return QString();
    return folder + QLatin1Char('/') + m_kind.temporaryBaseName + extension;
}

bool ReportEngine::run()
{
    m_select.clear();
    m_delete.clear();
    m_deleted = -1;
    m_failed = false;
    m_cancelled = false;

    WaitCursor cursor;
    if (!validate())
        return false;

    const QString where = m_request.condition.where(m_today);
    m_select =
        ReportCondition::selectText(where, m_request.SortBy1, m_request.SortBy2, m_request.SortBy3);

    // Entries appended by other programs while the report runs get higher
    // AutoIndex values: the report reads only entries up to the highest one
    // present now, and the deletion is limited to the same bound.
    qint64 highest = 0;
    if (!readHighestIndex(highest))
        return false;

    SqlRowSource sqlRows(m_select);
    // The database steps on a second thread while the report is laid out.
    PrefetchRowSource readAhead(sqlRows);
    BoundedRowSource rows(readAhead, highest);
    ReportLayout layout = ReportLayouts::byName(m_kind.layoutName);
    layout.setDataSource(&rows);
    setUpLayout(layout, PrintMargin, m_kind.title);
    if (m_printTime.isValid())
        layout.setPrintTime(m_printTime);
    std::unique_ptr<ReportProgress> progress;
    if (!UnattendedMode) {
        if (const auto& makeProgress = ReportEngineHooks::current().progress)
            progress = makeProgress(m_kind.title);
    }
    layout.setProgress(progress.get());
    bool handlerSpoke = false;
    layout.setErrorHandler([this, &layout, &handlerSpoke](int number, const QString& description) {
        handlerSpoke = true;
        fail(layout.errorMessage(number, description));
    });

    bool done = true;
    switch (m_request.Destination) {
    case Print:
        done = print(layout);
        break;
    case TextFile:
        setUpLayout(layout, ExportMargin, m_kind.title);
        // Plain text whatever HtmlOutput says; on disk before the entries
        // it holds are deleted.
        done = exportTo(layout, FormatKeyText, m_request.Address, m_request.Delete);
        break;
    case Mail:
        done = mail(layout, cursor);
        break;
    case None:
        // Nothing to show, but the deletion needs the rows read.
        if (m_request.Delete) {
            rows.setFieldsToRead({});
            if (rows.start(nullptr))
                while (rows.next()) {
                }
        }
        break;
    default:
        cursor.normal();
        done = preview(layout);
        cursor.busy();
        break;
    }
    // The rows' read transaction must end before the deletion writes.
    rows.finish();
    letEventsRun();

    if (m_cancelled) {
        // Nothing was done and nothing is deleted; no message either.
        if (progress)
            progress->showStatus(CancelledStatus);
        return false;
    }
    if (rows.failed()) {
        done = false;
        if (!handlerSpoke && !m_failed)
            fail(QStringLiteral("Error %1 - %2").arg(rows.lastErrorNumber()).arg(rows.lastError()));
    }
    if (done && !m_failed && m_request.Delete)
        deleteReported(where, highest, rows.keysRead());
    return done && !m_failed;
}

// After an output step that did not finish: whether the operator stopped it.
bool ReportEngine::cancelledBy(const ReportLayout& layout)
{
    if (layout.progress() && layout.progress()->cancelled())
        m_cancelled = true;
    return m_cancelled;
}

bool ReportEngine::validate()
{
    const ReportCondition& c = m_request.condition;
    if (!c.hasLevel()) {
        // W would hold "()": no SQL, and a deletion without a level would be a guess.
        fail(QStringLiteral("No report level (Status, Warning, Error or Fatal) was selected: "
                            "nothing was reported or deleted."));
        return false;
    }
    if (c.AgeMode == 3) {
        for (const QString& date : {c.SpanStart, c.SpanEnd}) {
            if (!ReadLocaleDateTime(date)) {
                fail(QStringLiteral("'%1' is not a date: nothing was reported or deleted.")
                         .arg(date));
                return false;
            }
        }
    }
    if (m_request.Destination == TextFile && m_request.Address.trimmed().isEmpty()) {
        fail(QStringLiteral("No output file was named: nothing was reported or deleted."));
        return false;
    }
    if (m_request.Destination == TextFile && refusedAsTarget(m_request.Address))
        return false;
    // A sort name or the query must not reach beyond its own place in the
    // statements (an ORDER BY that limits the rows, a query that closes its
    // parentheses).
    QString problem = SqlTextCheck::conditionProblem(c.Query);
    if (!problem.isEmpty())
        problem = QStringLiteral("The query is not one condition: ") + problem;
    for (const QString* sort : {&m_request.SortBy1, &m_request.SortBy2, &m_request.SortBy3}) {
        if (problem.isEmpty())
            problem = SqlTextCheck::sortProblem(*sort);
    }
    if (!problem.isEmpty()) {
        fail(problem + QStringLiteral(": nothing was reported or deleted."));
        return false;
    }
    return true;
}

bool ReportEngine::readHighestIndex(qint64& highest)
{
    AuditError error;
    auto query = AuditDatabase::instance().select(
        QStringLiteral("SELECT MAX([AutoIndex]) FROM Audit"), &error);
    if (!query) {
        fail(QStringLiteral("Error %1 - %2").arg(error.number).arg(error.description));
        return false;
    }
    highest = query->next() ? query->value(0).toLongLong() : 0;
    return true;
}

bool ReportEngine::exportTo(ReportLayout& layout, const QString& formatKey, const QString& file,
                            bool sync)
{
    ReportRenderer renderer(layout);
    renderer.setSyncOutput(sync);
    return exported(renderer, renderer.exportReport(formatKey, file));
}

bool ReportEngine::exportTo(ReportLayout& layout, ReportFormat format,
                            const ReportRenderer::Delivery& deliver)
{
    ReportRenderer renderer(layout);
    return exported(renderer, renderer.exportReport(format, deliver));
}

bool ReportEngine::exported(const ReportRenderer& renderer, bool written)
{
    letEventsRun();
    if (renderer.cancelled()) {
        m_cancelled = true;
        return false;
    }
    if (!written && !m_failed) {
        const AuditError error = renderer.lastError();
        fail(QStringLiteral("Error %1 - %2").arg(error.number).arg(error.description));
    }
    return written;
}

bool ReportEngine::refusedAsTarget(const QString& file)
{
    if (!OutputFile::isDatabaseFile(file, AuditDatabase::instance().databasePath()))
        return false;
    fail(QStringLiteral("%1 is the audit database: a report is never written over it; "
                        "nothing was reported or deleted.")
             .arg(file));
    return true;
}

bool ReportEngine::print(ReportLayout& layout)
{
    // AUDITLOG_PRINT_TO_PDF=<file> prints to that PDF file instead of the
    // printer (machines without a printer, tests).
    const QString pdf = qEnvironmentVariable("AUDITLOG_PRINT_TO_PDF");
    if (!pdf.isEmpty()) {
        if (refusedAsTarget(pdf))
            return false;
        ReportRenderer renderer(layout);
        if (renderer.writePdf(pdf))
            return true;
        if (renderer.cancelled()) {
            m_cancelled = true;
            return false;
        }
        if (!m_failed) {
            const AuditError error = renderer.lastError();
            fail(QStringLiteral("Error %1 - %2").arg(error.number).arg(error.description));
        }
        return false;
    }

    const auto& hooks = ReportEngineHooks::current();
    if (!hooks.print) {
        fail(QStringLiteral("Printing is not available in this run: nothing was printed."));
        return false;
    }
    QString error;
    if (hooks.print(layout, &error))
        return true;
    if (cancelledBy(layout))
        return false;
    if (!m_failed)
        fail(error.isEmpty() ? QStringLiteral("The report could not be printed.") : error);
    return false;
}

bool ReportEngine::preview(ReportLayout& layout)
{
    const auto& hooks = ReportEngineHooks::current();
    if (!hooks.preview) {
        fail(QStringLiteral("The report preview is not available in this run."));
        return false;
    }
    hooks.preview(layout);
    return !cancelledBy(layout);
}

bool ReportEngine::mail(ReportLayout& layout, WaitCursor& cursor)
{
    const bool html = HtmlOutput;
    const QString reportFile =
        temporaryFile(html ? QStringLiteral(".html") : QStringLiteral(".txt"));
    const QString archiveFile = temporaryFile(QStringLiteral(".zip"));
    setUpLayout(layout, ExportMargin, m_kind.title);
    QString error;
    if (reportFile.isEmpty() ? PrivateTempFolder::path(&error).isEmpty()
                             : !PrivateTempFolder::createFile(reportFile, &error)) {
        fail(error);
        return false;
    }

    // Mailed from the finished render, which goes into reportFile only when
    // it is not zipped on the way.
    const QString subject =
        m_request.Subject.isEmpty() ? QStringLiteral("Velmora ") + m_kind.title : m_request.Subject;
    std::optional<ReportMailer::Outcome> outcome;
    QString failure;
    const bool rendered =
        exportTo(layout, html ? ReportFormat::Html : ReportFormat::Text,
                 [&](QFileDevice& file, OutputPatches& patches) {
                     const QString address = mailAddress(cursor);
                     if (address.isEmpty())
                         return true;
                     ReportMailer mailer(address, subject, m_request.AttachAtSize,
                                         m_request.ZipAtSize, m_request.AbortAttachAtSize);
                     outcome = mailer.send(file, patches, reportFile, archiveFile, html);
                     failure = mailer.failureText();
                     return true;
                 });
    QFile::remove(reportFile);
    if (!rendered)
        return false;
    if (!outcome) {
        // The operator gave no address: end quietly, nothing mailed or deleted.
        if (UnattendedMode)
            NoteRunFailure(QStringLiteral("No mail address was given: nothing was mailed."));
        return false;
    }
    switch (*outcome) {
    case ReportMailer::Outcome::Sent:
        return true;
    case ReportMailer::Outcome::NothingToReport:
        ShowMessage(ReportMailer::NothingToReportText);
        return false;
    case ReportMailer::Outcome::ZipFailed:
    case ReportMailer::Outcome::ReadFailed:
    case ReportMailer::Outcome::SendFailed:
    case ReportMailer::Outcome::WriteFailed:
        fail(failure);
        return false;
    }
    return false;
}

QString ReportEngine::mailAddress(WaitCursor& cursor)
{
    if (!m_request.Address.isEmpty())
        return m_request.Address;
    if (!UnattendedMode) {
        const auto& ask = ReportEngineHooks::current().askMailAddress;
        if (!ask)
            return {};
        cursor.normal();
        ask();
        cursor.busy();
    }
    return MailToAddress;
}

void ReportEngine::deleteReported(const QString& where, qint64 highest,
                                  const QList<qint64>& keysRead)
{
    // Exactly the rows the report read: their keys go into a temporary table
    // that the DELETE is limited to, whatever the condition's texts say. The
    // bound keeps entries appended meanwhile out as well.
    const auto lowest = std::min_element(keysRead.begin(), keysRead.end());
    m_delete = ReportCondition::deleteText(where, lowest == keysRead.end() ? 0 : *lowest, highest);
    AuditDatabase& database = AuditDatabase::instance();
    QSqlDatabase db = database.connection();
    const QString table = ReportCondition::ReportedRowsTable;
    AuditError error;
    int count = 0;
    // One transaction: a failure anywhere, a lost connection included,
    // deletes nothing.
    bool ok = db.transaction();
    if (!ok)
        error = AuditDatabase::errorOf(db.lastError());
    ok = ok && database.storeKeys(table, keysRead, &error) &&
         database.execute(m_delete, &count, &error) && database.dropKeys(table, &error);
    if (ok && !db.commit()) {
        ok = false;
        error = AuditDatabase::errorOf(db.lastError());
    }
    if (!ok) {
        if (error.number == 0)
            error = AuditDatabase::errorOf(db.lastError());
        if (db.isOpen()) // a lost server connection has nothing to roll back
            db.rollback();
        fail(QStringLiteral("The reported entries could not be deleted: Error %1 - %2")
                 .arg(error.number)
                 .arg(error.description));
        return;
    }
    m_deleted = count;
}

void ReportEngine::fail(const QString& text)
{
    m_failed = true;
    if (UnattendedMode)
        NoteRunFailure(text);
    else
        ShowMessage(text);
}
