#pragma once

#include "AuditError.h"

#include <QString>

#include <functional>

// The one message function, the one end-of-program function and the record of
// an unattended run's failure. Libraries without widgets call these; the
// windows library installs a QMessageBox responder; tests install their own.

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgIcon { None, Information, Exclamation, Critical, Question };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry };

struct MessageRequest
{
    QString text;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    QString caption;
};

using MessageResponder = std::function<MsgAnswer(const MessageRequest&)>;

// Shows a message and returns the answer. While UnattendedMode is on nothing is
// shown and the answer is Yes for the Yes/No boxes, else Ok (never Retry).
// An empty caption means the application title.
MsgAnswer ShowMessage(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                      MsgIcon icon = MsgIcon::None, const QString& caption = QString());

// Installs the function that shows messages; returns the previous one. Without
// one, messages go to standard error.
MessageResponder SetMessageResponder(MessageResponder responder);

using EndHandler = std::function<void(int status)>;

// Ends the program with the exit status. The default handler writes a pending
// unattended failure to standard error and exits the process; tests replace it
// and then see the call return, so callers return right after calling it.
void EndProgram(int status);
EndHandler SetEndHandler(EndHandler handler);

// Records what made an unattended run fail (the first reason is kept), so that
// the run ends with status 1 and one line on standard error.
void NoteRunFailure(const QString& reason);
bool RunFailed();
QString RunFailureReason();
void ClearRunFailure();

// Writes "auditlog: <text>" as one line on standard error.
void PrintErrorLine(const QString& text);

// The shared fatal-error routine: shows "Error <n> - <description>" captioned
// with the operation (unless unattended, where it is one line on standard
// error), then ends the program with status 1.
void ReportErrorAndEnd(const QString& operation, const AuditError& error);
