#pragma once

#include "RunOptions.h"

#include <QString>
#include <QStringList>

// The command-line grammar: "/"-separated keywords, tested in a fixed order,
// some followed by a blank and a value. A value may be written between double
// quotes, inside which "/" does not split, so paths can be given.

// The keywords in the order they are tested; a token counts as the first
// keyword it begins with.
const QStringList& CommandLineKeywords();
// Whether a keyword takes a value.
bool KeywordTakesValue(const QString& keyword);
// The keyword a token counts as (trimmed, upper-cased, first match), or "".
QString KeywordOfToken(const QString& token);

// Fills options and the mode flags DebugMode, UnattendedMode, HtmlOutput and
// InstallRoot from the command-line text. Returns false at the first token
// that is not understood, and for a line (or argument file) with an
// unterminated double quote; what was set before stays set. An argument file
// must be a regular file; it is not deleted here (see UseUpArgumentFiles).
bool ParseCommandLine(const QString& text, RunOptions& options);

// Deletes the argument files the last ParseCommandLine read, once its line has
// been accepted: each only when it is still the regular file that was read
// (not a symbolic link) and belongs to the user running the program.
void UseUpArgumentFiles();

// Whether a separate argument is exactly a keyword ("/unattended" in any
// case, blanks around it ignored).
bool IsKeywordArgument(const QString& argument);

// The value of a raw token: the rest after its first blank, trimmed, with one
// pair of enclosing double quotes removed. True when that value is not empty.
bool GetKeywordValue(const QString& token, QString& value);

// Splits text at every "/" outside double quotes (the text before the first
// "/" is the first element). quotesClosed tells whether every quote was closed.
QStringList SplitCommandLine(const QString& text, bool* quotesClosed = nullptr);

// Joins the program's arguments (without the program name) into one
// command-line text. An argument that is the value of the keyword before it
// is taken whole: it is quoted when it holds a "/", so
// {"/FILE", "/tmp/out.txt"} gives /FILE "/tmp/out.txt". An argument that is
// exactly a keyword is a keyword, never such a value. A quote never joins
// separate arguments: an argument with an unclosed double quote clears
// quotesClosed, and the line is then invalid.
QString CommandLineFromArguments(const QStringList& arguments, bool* quotesClosed = nullptr);
