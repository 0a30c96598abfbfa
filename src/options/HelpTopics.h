#pragma once

#include <QString>

class QWidget;

// Help Topics and F1. The program's help file (HelpFile) is opened when it
// exists; otherwise the operator's manual installed beside it, in the folder
// "manual" of the help folder, at the page of the window asking. Either is
// opened with the desktop's handler.

// The file that help for a manual page opens: HelpFile when it is a file,
// else <help folder>/manual/<page> (index.html for an empty page).
QString HelpTarget(const QString& helpFile, const QString& page = QString());

// Opens help for a manual page; tells the operator when neither the help file
// nor the manual is there, or when nothing on the desktop opens it.
void ShowHelpTopics(const QString& page = QString());

// Lets F1 in a window open its page of the manual.
void InstallHelpKey(QWidget* window, const QString& page);
