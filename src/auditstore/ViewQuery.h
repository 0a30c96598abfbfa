#pragma once

#include <QDate>
#include <QString>

// What the viewer window does around a view query. The viewer implements it
// and registers itself; without a window (unattended runs) nothing is called.
class ViewCommands
{
public:
    virtual ~ViewCommands() = default;
    // Before the query runs: busy pointer, grid hidden, drawing suspended.
    virtual void beginViewQuery() = 0;
    // After it ran (also after a failure): drawing resumed, grid shown again.
    virtual void endViewQuery() = 0;
    // Toolbar DELETE and File > Delete.
    virtual void setDeleteEnabled(bool enabled) = 0;
    // Toolbar FIND and File > Find.
    virtual void setFindEnabled(bool enabled) = 0;
};

void SetViewCommands(ViewCommands* commands);
ViewCommands* CurrentViewCommands();

// The viewer's SELECT from the four level flags and the age filter in the
// settings and the viewer's sort (ViewSortBy1-3, ViewSortDirection).
// A MESSAGE_AGE other than "ALL", "NEW", "7" and "30" counts as "ALL".
QString ViewQueryText(const QDate& today = QDate::currentDate());

// Builds the view query, runs it on the viewer's view and enables Delete and
// Find by whether it selected anything. A failure ends the program through
// ReportErrorAndEnd("Create View Query"); then the result is false.
bool BuildViewQuery();

// Runs the current query again; enables Delete by the result (Find keeps its state).
bool RequeryView();
