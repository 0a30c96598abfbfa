#include "Startup.h"

#include "AppState.h"
#include "AuditColumns.h"
#include "AuditDatabase.h"
#include "DatabaseLocation.h"
#include "AuditView.h"
#include "CommandLine.h"
#include "NumericText.h"
#include "Purge.h"
#include "ReportRoutines.h"
#include "ReportWindowHooks.h"
#include "Settings.h"
#include "SqlDate.h"
#include "SqlTextCheck.h"
#include "UiHooks.h"
#include "ViewLoad.h"
#include "ZlkApi.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#if __has_include("WidgetHooks.h")
#include "StartupPurgeProgress.h"
#include "WidgetHooks.h"
#define AUDITLOG_HAVE_WIDGET_HOOKS 1
#endif
#if __has_include("frmView.h")
#include "frmView.h"
#define AUDITLOG_HAVE_VIEWER 1
#endif

namespace {

QString commandLine;

const char* const helpText =
    "Usage: auditlog [/KEYWORD [value]]...\n"
    "Shows the Velmora audit log, or produces one report unattended.\n"
    "\n"
    "Levels:       /STATUS /WARNING /ERROR /FATAL\n"
    "Age:          /UNDER days | /OVER days | /SPAN_START date /SPAN_END date\n"
    "              (in a date, \\ stands for / and _ for a blank: 1\\1\\2026_08:00)\n"
    "Destination:  /PRINT | /FILE file | /EMAIL address\n"
    "Report:       /SUMMARY /NODETAIL /HTML /SUBJECT text /QUERY text\n"
    "              /SORTBY1 column /SORTBY2 column /SORTBY3 column\n"
    "Mail sizes:   /ATTACH_OVER bytes /ZIP_OVER bytes /ABORT_ATTACH_OVER bytes\n"
    "Other:        /DELETE (delete the reported entries) /UNATTENDED (show nothing)\n"
    "              /SYSTEM folder (installation root) /@FILE file (more keywords\n"
    "              from a file, which is deleted) /DEBUG\n"
    "\n"
    "Keywords are case-insensitive. A value that holds \"/\" is written in double\n"
    "quotes or given as a separate argument.\n"
    "\n"
    "Exit status: 0 done, 1 failure (one line on standard error), 2 invalid\n"
    "command line.\n"
    "\n"
    "  --help       show this help\n"
    "  --version    show the version\n";

// A size threshold from the settings, read as every numeric text is and
// rounded half to even; a value that is not numeric or beyond 32 bits leaves
// the built-in default.
int32_t threshold(const QString& key, const QString& defaultValue)
{
    const auto number = NumericText::toNumber(GetSettingValue(key, defaultValue));
    const double value = number ? std::nearbyint(*number) : 0.0;
    if (!number || value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max())
        return defaultValue.toInt();
    return static_cast<int32_t>(value);
}

// The folder of the running executable (before any application object exists).
QString programFolder(const char* argv0)
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QString target = self.canonicalFilePath();
    if (!target.isEmpty())
        return QFileInfo(target).absolutePath();
    return QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath();
}

// Qt warns on standard error when XDG_RUNTIME_DIR is not set (as under cron)
// and then uses /tmp/runtime-<user>; an unattended run must print nothing but
// its one line, so the folder is made and named here instead.
void ensureRuntimeFolder()
{
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        return;
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = QString::number(::getuid());
    const QString folder = QDir::tempPath() + QStringLiteral("/runtime-") + user;
    if (!QDir().mkpath(folder))
        return;
    // Only a folder of our own (not a link, not another user's) is made private
    // and used.
    const int fd = ::open(QFile::encodeName(folder).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info = {};
    const bool own = fd >= 0 && ::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() &&
                     ::fchmod(fd, S_IRWXU) == 0;
    if (fd >= 0)
        ::close(fd);
    if (own) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
        return;
    }
    // Someone else's: a fresh private one for this run, removed at exit.
    static QTemporaryDir fresh(folder + QStringLiteral("-XXXXXX"));
    if (fresh.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(fresh.path()));
}

// Windows can be seen: not the offscreen or minimal platform.
bool haveScreen()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

// A report run is over: a failure the routine recorded gives status 1 and one line.
int reportRunStatus()
{
    if (!RunFailed())
        return 0;
    PrintErrorLine(RunFailureReason());
    return 1;
}

// Step 8's first half: the viewer's data (unattended) or the viewer window,
// loaded and not shown (interactive). False when the load failed.
bool loadViewer()
{
#ifdef AUDITLOG_HAVE_VIEWER
    if (!UnattendedMode) {
        frmView::instance();
        return AuditView::instance().isOpen();
    }
#endif
    return LoadViewData();
}

} // namespace

QString InstallRootFromFolder(const QString& programFolder)
{
    // Scan from the last-but-one character back to a "/": the parent folder.
    for (qsizetype i = programFolder.size() - 2; i >= 0; --i)
        if (programFolder.at(i) == QLatin1Char('/'))
            return programFolder.left(i + 1);
    return QStringLiteral("../");
}

void TranslateSortNames(RunOptions& options)
{
    if (options.SortBy1.isEmpty() && options.SortBy2.isEmpty() && options.SortBy3.isEmpty())
        return;
    for (const AuditColumns::GridColumn& column : AuditColumns::Grid()) {
        for (QString* name : {&options.SortBy1, &options.SortBy2, &options.SortBy3})
            if (*name == column.heading)
                *name = column.field;
    }
}

bool PrepareRun(const QStringList& arguments, const QString& programFolder)
{
    // 1. Defaults, with the size thresholds from the settings.
    Options = RunOptions();
    Options.AttachAtSize =
        threshold(SettingKey::ReportAttachAtSize, SettingDefault::ReportAttachAtSize);
    Options.ZipAtSize = threshold(SettingKey::ReportZipAtSize, SettingDefault::ReportZipAtSize);
    Options.AbortAttachAtSize =
        threshold(SettingKey::AbortAttachAtSize, SettingDefault::AbortAttachAtSize);
    // Today's date as a text the date rules read back as today.
    Options.SpanStart = SqlDateLiteral(QStringLiteral("d"), 0, QDate::currentDate());
    Options.SpanEnd = Options.SpanStart;
    UnattendedMode = false;

    // 2. The installation root: the parent of the program's folder.
    InstallRoot = InstallRootFromFolder(programFolder);
    if (InstallRoot.trimmed().isEmpty())
        InstallRoot = QStringLiteral("../");

    // 3. The command line.
    bool quotesClosed = true;
    commandLine = CommandLineFromArguments(arguments, &quotesClosed);
    if (!quotesClosed)
        return false;
    if (commandLine.trimmed().isEmpty())
        return true;
    // Sort names and the query are checked here too, and argument files are
    // used up only once the whole line is accepted.
    if (!ParseCommandLine(commandLine, Options) ||
        !SqlTextCheck::runOptionsProblem(Options).isEmpty())
        return false;
    UseUpArgumentFiles();
    return true;
}

QString StartupCommandLine()
{
    return commandLine;
}

int ReportInvalidCommandLine()
{
    const QString text =
        QStringLiteral("Invalid Command Line. '") + commandLine + QStringLiteral("' ");
    if (UnattendedMode)
        PrintErrorLine(text.trimmed());
    else
        ShowMessage(text, MsgButtons::Ok, MsgIcon::Information, ProductName);
    return 2;
}

int StartRun()
{
    // 4.-6. Help file, SYSTEM folder, database path.
    if (!InstallRoot.endsWith(QLatin1Char('/')))
        InstallRoot += QLatin1Char('/');
    HelpFile = InstallRoot + QStringLiteral("HELP/QXAM32.HLP");
    InstallRoot += QStringLiteral("SYSTEM/");
    Zlk::setSystemFolder(InstallRoot);

    // 7. The shared connection: the file SYSTEM/Audit.mdb unless the
    // installation names another database. A database that cannot be opened
    // is reported as the viewer's load reports it.
    QString problem;
    const auto connection = DatabaseLocation::connectionString(InstallRoot, &problem);
    if (!connection) {
        if (UnattendedMode)
            NoteRunFailure(problem);
        else
            ShowMessage(problem, MsgButtons::Ok, MsgIcon::Exclamation, ProductName);
        EndProgram(1);
        return 1;
    }
    DatabasePath = AuditDatabase::locationOf(*connection);
    AuditError error;
    if (!AuditDatabase::instance().open(*connection, &error)) {
        HandleViewLoadError(error);
        return 1;
    }

    // 8. The viewer's data (its first view query), then the automatic purge.
    FilterWindowOpen = false;
    if (!loadViewer())
        return 1;
    AutoDeleteOldEntries();

    // 9. Sort names given as grid headings become field names.
    TranslateSortNames(Options);

    // 10. One report and end, or the viewer.
    RunOptions& o = Options;
    if (o.Summary) {
        (o.Detail ? ReportSummaryDetail : ReportSummary)(
            o.Destination, o.Status, o.Warning, o.Error, o.Fatal, o.AgeMode, o.Days, o.SpanStart,
            o.SpanEnd, o.Delete, o.Address, o.Subject, o.AttachAtSize, o.ZipAtSize,
            o.AbortAttachAtSize, o.SortBy1, o.SortBy2, o.SortBy3, o.Query);
        return reportRunStatus();
    }
    if (o.Destination >= 0 || o.Delete) {
        (o.Detail ? ReportAuditDetail : ReportAudit)(
            o.Destination, o.Status, o.Warning, o.Error, o.Fatal, o.AgeMode, o.Days, o.SpanStart,
            o.SpanEnd, o.Delete, o.Address, o.Subject, o.AttachAtSize, o.ZipAtSize,
            o.AbortAttachAtSize, o.SortBy1, o.SortBy2, o.SortBy3, o.Query);
        return reportRunStatus();
    }
    // An unattended run without a report has done its work with the purge:
    // there is nobody to show the viewer to.
    if (UnattendedMode)
        return reportRunStatus();
#ifdef AUDITLOG_HAVE_VIEWER
    frmView::instance()->show();
    return -1;
#else
    PrintErrorLine(QStringLiteral("the viewer window is not built yet; nothing to show."));
    return 1;
#endif
}

int RunAuditLog(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // Only as the sole argument: elsewhere they may be a keyword's value.
    const QString only = arguments.size() == 1 ? arguments.first() : QString();
    if (only == QLatin1String("--help") || only == QLatin1String("-h")) {
        std::fputs(helpText, stdout);
        return 0;
    }
    if (only == QLatin1String("--version")) {
        std::printf("auditlog %s\n", AUDITLOG_VERSION);
        return 0;
    }

    const bool valid = PrepareRun(arguments, programFolder(argv[0]));

    // The application object comes after parsing: an unattended run needs no
    // display, so it uses the offscreen platform unless one was chosen. So does
    // a run with no display to reach (cron, a service): its messages go to
    // standard error instead of Qt aborting for want of a display.
    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") &&
                           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                           !qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    if ((UnattendedMode || noDisplay) && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ensureRuntimeFolder();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(ProductName);
    QApplication::setApplicationName(AppTitle);
    QApplication::setApplicationVersion(QStringLiteral(AUDITLOG_VERSION));
    // Window managers match the windows to the menu entry auditlog.desktop.
    QApplication::setDesktopFileName(QStringLiteral("auditlog"));
    // The report routines' printer, preview and address prompt.
    InstallReportWindowHooks();

    // Message boxes and the busy pointer for runs someone can see. Without a
    // screen, messages go to standard error instead of waiting for a click.
    if (!UnattendedMode && haveScreen()) {
#ifdef AUDITLOG_HAVE_WIDGET_HOOKS
        InstallWidgetMessageResponder();
        auto busy = std::make_shared<std::optional<BusyCursor>>();
        SetBusyPointerHook([busy](bool on) {
            if (on)
                busy->emplace();
            else
                busy->reset();
        });
        StartupPurgeProgress::Install();
#endif
    }

    if (!valid)
        return ReportInvalidCommandLine();

    // A run that would end in the viewer, with no display: nobody could ever
    // close it, so end before anything is done.
    const bool showsViewer = !UnattendedMode && !Options.Summary && Options.Destination < 0 &&
                             !Options.Delete;
    if (noDisplay && showsViewer) {
        PrintErrorLine(QStringLiteral("no display to show the viewer on (DISPLAY is not set); "
                                      "a scheduled run needs a destination and /UNATTENDED."));
        return 1;
    }

    const int status = StartRun();
    if (status >= 0)
        return status;
    return app.exec();
}
