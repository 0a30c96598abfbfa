#include "PgDemoTarget.h"

#include "AuditCopy.h"
#include "PgSession.h"

#include <cstdio>

QString PgDemoTarget::problem() const
{
    if (!m_folder.isValid())
        return QStringLiteral("no temporary folder for the staging file: %1")
            .arg(m_folder.errorString());
    return PgSession::connectionProblem(m_connection);
}

QDateTime PgDemoTarget::newestEntry() const
{
    QDateTime newest;
    try {
        PgSession target(m_connection);
        newest = QDateTime::fromString(
            target.value(QStringLiteral("SELECT to_char(max(\"when\"), "
                                        "'YYYY-MM-DD\"T\"HH24:MI:SS') FROM audit")),
            Qt::ISODate);
    } catch (const CopyFailure&) {
        return QDateTime();
    }
    newest.setTimeSpec(Qt::UTC);
    return newest;
}

int PgDemoTarget::finish(bool force, bool append, qint64 rows, const QElapsedTimer& timer) const
{
    const AuditCopy::Mode mode = force    ? AuditCopy::Mode::Replace
                                 : append ? AuditCopy::Mode::Append
                                          : AuditCopy::Mode::IntoEmpty;
    try {
        PgSession target(m_connection);
        AuditCopy(stagingPath(), mode).run(target);
    } catch (const CopyFailure& failure) {
        std::fprintf(stderr, "makedemo: %s: %s\n", qPrintable(m_connection), failure.what());
        return 1;
    }
    std::printf("makedemo: %lld entries %s PostgreSQL in %.2f s\n", static_cast<long long>(rows),
                append ? "appended to" : "written to",
                static_cast<double>(timer.elapsed()) / 1000.0);
    return 0;
}
