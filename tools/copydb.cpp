// auditlog-copydb: moves an installation's audit database file into a
// PostgreSQL database (see AuditCopy), with progress on standard error.
// Exit status: 0 copied, 1 failed (the target is unchanged), 2 invalid
// command line.

#include "AuditCopy.h"
#include "PgSession.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("auditlog-copydb"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AUDITLOG_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Copies an audit database file (entries and error weights) into a PostgreSQL "
        "database in one transaction: creates the tables where they are missing, copies "
        "in batches, keeps the entries' AutoIndex values and compares the row counts "
        "before the commit. On any failure the target is left as it was.\n\n"
        "The password comes from ~/.pgpass or the file PGPASSFILE names, never from "
        "the command line.\n\nExit status: 0 copied, 1 failed, 2 invalid command line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("source"),
                                 QStringLiteral("The audit database file, e.g. "
                                                "/opt/velmora/SYSTEM/Audit.mdb."));
    parser.addPositionalArgument(
        QStringLiteral("target"),
        QStringLiteral("The PostgreSQL database as a libpq connection URI, e.g. "
                       "postgresql://auditlog@dbhost/audit."));
    const QCommandLineOption append(
        QStringLiteral("append"),
        QStringLiteral("Add to a target that holds entries: the entries get new keys after "
                       "the target's own, weights are added where the target has none for "
                       "the same error and application."));
    const QCommandLineOption replace(
        QStringLiteral("replace"),
        QStringLiteral("Remove the target's entries and weights first (in the same "
                       "transaction)."));
    const QCommandLineOption batch(QStringLiteral("batch"),
                                   QStringLiteral("Entries per batch (default 100000)."),
                                   QStringLiteral("n"), QStringLiteral("100000"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("No progress on standard error."));
    parser.addOptions({append, replace, batch, quiet});

    auto usageError = [](const QString& text) {
        std::fprintf(stderr, "auditlog-copydb: %s\n", qPrintable(text));
        return 2;
    };
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2)
        return usageError(QStringLiteral("usage: auditlog-copydb [--append|--replace] "
                                         "[--batch N] [--quiet] SOURCE URI"));
    if (parser.isSet(append) && parser.isSet(replace))
        return usageError(QStringLiteral("--append and --replace exclude each other"));
    bool ok = false;
    const qint64 batchRows = parser.value(batch).toLongLong(&ok);
    if (!ok || batchRows < 1)
        return usageError(QStringLiteral("'%1' is not a batch size").arg(parser.value(batch)));
    const QString source = positional.at(0);
    const QString connection = positional.at(1);
    const QString problem = PgSession::connectionProblem(connection);
    if (!problem.isEmpty())
        return usageError(problem);

    const AuditCopy::Mode mode = parser.isSet(append)    ? AuditCopy::Mode::Append
                                 : parser.isSet(replace) ? AuditCopy::Mode::Replace
                                                         : AuditCopy::Mode::IntoEmpty;
    // On a terminal the progress line is rewritten in place; in a log, one line a batch.
    const bool terminal = isatty(STDERR_FILENO);
    AuditCopy::Progress progress;
    bool passingShown = false;
    if (!parser.isSet(quiet))
        progress = [terminal, &passingShown](const QString& line, bool passing) {
            std::fprintf(stderr, "auditlog-copydb: %s%s", qPrintable(line),
                         terminal && passing ? "\r" : "\n");
            std::fflush(stderr);
            passingShown = terminal && passing;
        };

    QElapsedTimer timer;
    timer.start();
    try {
        PgSession target(connection);
        const AuditCopy::Totals totals = AuditCopy(source, mode, batchRows, progress).run(target);
        std::printf("auditlog-copydb: %lld entries and %lld weights copied from %s in %.2f s; "
                    "row counts verified\n",
                    static_cast<long long>(totals.entries), static_cast<long long>(totals.weights),
                    qPrintable(source), static_cast<double>(timer.elapsed()) / 1000.0);
    } catch (const CopyFailure& failure) {
        std::fprintf(stderr, "%sauditlog-copydb: %s; the target is unchanged\n",
                     passingShown ? "\n" : "", failure.what());
        return 1;
    }
    return 0;
}
