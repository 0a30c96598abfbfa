#pragma once

#include "RunOptions.h"

#include <QString>
#include <QStringList>

#include <optional>

// What a command line sets: the run options and the four process-wide values.
// Shared by the parser's tests and its fuzz targets.
struct ParsedLine
{
    bool accepted = false;
    RunOptions options;
    bool debug = false;
    bool unattended = false;
    bool html = false;
    QString installRoot;
};

// Parses text from the start-of-process state.
ParsedLine parseLine(const QString& text);
// What a parse into options left, with the process-wide values as they are now.
ParsedLine parsedNow(bool accepted, const RunOptions& options);

// The options and flags that differ from a line without keywords, in a fixed
// order, e.g. "Destination=3 Address=/tmp/x Status Unattended".
QString describe(const ParsedLine& parsed);
// What two lines set, side by side, or "" when they set the same.
QString differenceBetween(const ParsedLine& a, const ParsedLine& b);

// A line that sets what parsed sets, each value written so that it reads back
// alone; nothing when a value has no such form.
std::optional<QString> printLine(const ParsedLine& parsed);

// The value fields of a parse, by the keyword that sets them.
QStringList valuesOf(const ParsedLine& parsed);
