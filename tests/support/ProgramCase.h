#pragma once

#include "ProgramRun.h"

#include <QTemporaryDir>

class QTestData;

// A run of the built auditlog as one row of a QtTest table. A temporary folder
// holds the settings (config/), an installation root (root/SYSTEM/Audit.mdb,
// or another set by setRoot) and is the run's working folder. In arguments and
// expected lines "%ROOT" stands for the root without its trailing "/" and
// "%DIR" for the folder; the argument "%NODISPLAY" runs without a display.
class ProgramCase
{
public:
    ProgramCase();

    QString root() const { return m_root; }
    // Another installation root; its SYSTEM folder is made when missing.
    void setRoot(const QString& root);
    QString database() const { return m_root + QStringLiteral("/SYSTEM/Audit.mdb"); }
    QString path(const QString& name) const { return m_folder.filePath(name); }
    QString expand(QString text) const;

    // The demo tool's database of rows over the last 30 days (none purged at start).
    bool makeDemo(int rows) const;
    bool writeSettings(const QByteArray& lines) const;
    ProgramRun run(QStringList arguments, const QStringList& environment = {},
                   const QStringList& wrapper = {}) const;

    // The columns of a row: "arguments"; "settings", lines of the settings
    // file; "status"; "line", how the one line on standard error starts
    // ("*text": it holds text; "": no line).
    static void addColumns();
    // Further columns of the suite's own follow the returned row.
    static QTestData& newRow(const char* name, const QStringList& arguments, int status,
                             const QString& line, const QByteArray& settings = {});
    // Runs the current row and checks its status and line (a test failure
    // otherwise); the line never holds a control character.
    ProgramRun runRow(const QStringList& environment = {}) const;

private:
    QTemporaryDir m_folder;
    QString m_root;
};
