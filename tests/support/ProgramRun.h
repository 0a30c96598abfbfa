#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QSet>
#include <QStringList>

// One run of a built program to its end, as a shell or a scheduler starts it.
struct ProgramRun
{
    int status = -1; // -1: crashed or still running after two minutes
    QByteArray out;
    QStringList errLines;

    // command: the program, then its arguments.
    static ProgramRun of(QStringList command, const QProcessEnvironment& environment,
                         const QString& folder);

    // This process's environment for a run of auditlog: settings under
    // configHome, no mail server or runtime folder of the caller's, the en_US
    // locale, offscreen, no statement log; then each "NAME=value" set and each "-NAME" removed.
    static QProcessEnvironment environment(const QString& configHome,
                                           const QStringList& changes = {});

    // The demo tool's exit status, -1 when it did not end normally.
    static int makeDemo(const QStringList& arguments);

    // A file's bytes, empty when it cannot be read.
    static QByteArray readFile(const QString& path);
    // Replaces a file's content with bytes; false when not all were written.
    static bool writeFile(const QString& path, const QByteArray& bytes);
    // Writes the program's settings file under configHome: "[General]" and the lines.
    static bool writeSettings(const QString& configHome, const QByteArray& lines);
    // The AutoIndex values a detail text report file shows, group separators removed.
    static QSet<qint64> reportedKeys(const QString& reportFile);
};
