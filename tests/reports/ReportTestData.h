#pragma once

#include "MemoryRowSource.h"
#include "ProgramRun.h"
#include "ReportEngine.h"
#include "ReportLayouts.h"
#include "ReportRenderer.h"

#include <QBuffer>
#include <QDir>

// The audit columns, layouts bound as the engine binds them, and renders read
// back, for the report suites.
namespace ReportTestData {

inline const QStringList Columns{"AutoIndex",   "Level",      "Error",    "Description",
                                 "Application", "When",       "User",     "Details",
                                 "Path",        "Unattended", "Response", "TaskList"};

// A layout by name over rows, on en_US, printed 15 March 2003 at 14:05:07.
inline ReportLayout bound(const QString& name, ReportRowSource* rows, int margins,
                          const QString& title)
{
    ReportLayout layout = ReportLayouts::byName(name);
    layout.setDataSource(rows);
    layout.setMargins(margins);
    layout.setTitle(title);
    layout.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    layout.setPrintTime(QDateTime(QDate(2003, 3, 15), QTime(14, 5, 7)));
    return layout;
}

// What the text or HTML back end writes, or "<failed: why>".
inline QString rendered(ReportLayout& layout, bool html = false, int* pages = nullptr)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ReportRenderer renderer(layout);
    if (!(html ? renderer.writeHtml(&buffer) : renderer.writeText(&buffer)))
        return QStringLiteral("<failed: %1>").arg(renderer.lastError().description);
    if (pages)
        *pages = renderer.pageCount();
    return QString::fromUtf8(buffer.data());
}

// Status and Error entries older than 30 days, in When, User, AutoIndex order.
inline ReportEngine::Request oldStatusAndErrors(int16_t destination, bool remove = false)
{
    ReportEngine::Request r;
    r.Destination = destination;
    r.condition.Status = r.condition.Error = true;
    r.condition.AgeMode = 1;
    r.condition.Days = 30;
    r.Delete = remove;
    r.SortBy1 = QStringLiteral("When");
    r.SortBy2 = QStringLiteral("User");
    r.SortBy3 = QStringLiteral("AutoIndex");
    return r;
}

// A report run as on 15 March 2003 at 10:00.
inline bool runOn15March(const ReportEngine::Kind& kind, const ReportEngine::Request& request)
{
    ReportEngine engine(kind, request);
    engine.setToday(QDate(2003, 3, 15));
    engine.setPrintTime(QDateTime(QDate(2003, 3, 15), QTime(10, 0)));
    return engine.run();
}

// A tool's standard output (poppler's, here), or "<tool failed>".
inline QString tool(const QString& program, const QStringList& arguments)
{
    const ProgramRun r = ProgramRun::of(QStringList{program} + arguments,
                                        QProcessEnvironment::systemEnvironment(), QDir::tempPath());
    return r.status == 0 ? QString::fromUtf8(r.out) : QStringLiteral("<%1 failed>").arg(program);
}

} // namespace ReportTestData
