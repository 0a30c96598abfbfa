#include "UiHooks.h"

#include "AppState.h"

#include <QTextStream>

#include <cstdio>
#include <cstdlib>

namespace {
MessageResponder messageResponder;
EndHandler endHandler;
QString runFailure;

MsgAnswer firstButton(MsgButtons buttons)
{
    return (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel) ? MsgAnswer::Yes
                                                                                : MsgAnswer::Ok;
}
} // namespace

MsgAnswer ShowMessage(const QString& text, MsgButtons buttons, MsgIcon icon,
                      const QString& caption)
{
    if (UnattendedMode)
        return firstButton(buttons);
    MessageRequest request{text, buttons, icon, caption.isEmpty() ? AppTitle : caption};
    if (messageResponder)
        return messageResponder(request);
    PrintErrorLine(request.caption + QStringLiteral(": ") + text);
    return firstButton(buttons);
}

MessageResponder SetMessageResponder(MessageResponder responder)
{
    std::swap(messageResponder, responder);
    return responder;
}

void EndProgram(int status)
{
    if (endHandler) {
        endHandler(status);
        return;
    }
    if (status != 0 && !runFailure.isEmpty())
        PrintErrorLine(runFailure);
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(status);
}

EndHandler SetEndHandler(EndHandler handler)
{
    std::swap(endHandler, handler);
    return handler;
}

void NoteRunFailure(const QString& reason)
{
    if (runFailure.isEmpty())
        runFailure = reason;
}

bool RunFailed() { return !runFailure.isEmpty(); }

QString RunFailureReason() { return runFailure; }

void ClearRunFailure() { runFailure.clear(); }

void PrintErrorLine(const QString& text)
{
    // One line whatever the text holds: line breaks become blanks, and other
    // control characters (a CR or an ESC typed into the command line) are
    // shown escaped instead of acting on the terminal.
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\n')
            line += QLatin1Char(' ');
        else if (u == '\r')
            line += QLatin1String("\\r");
        else if (u == '\t')
            line += QLatin1String("\\t");
        else if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            line += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            line += c;
    }
    std::fprintf(stderr, "auditlog: %s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

void ReportErrorAndEnd(const QString& operation, const AuditError& error)
{
    const QString text =
        QStringLiteral("Error %1 - %2").arg(error.number).arg(error.description);
    if (UnattendedMode)
        NoteRunFailure(operation + QStringLiteral(": ") + text);
    else
        ShowMessage(text, MsgButtons::Ok, MsgIcon::Exclamation, operation);
    if (DebugMode)
        std::fprintf(stderr, "auditlog: debug stop in %s\n", qPrintable(operation));
    EndProgram(1);
}
