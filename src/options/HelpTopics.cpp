#include "HelpTopics.h"

#include "AppState.h"
#include "UiHooks.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QShortcut>
#include <QUrl>
#include <QWidget>

QString HelpTarget(const QString& helpFile, const QString& page)
{
    if (!helpFile.isEmpty() && QFileInfo(helpFile).isFile())
        return helpFile;
    const QString folder = helpFile.isEmpty() ? QString() : QFileInfo(helpFile).path();
    return QDir(folder).filePath(QStringLiteral("manual/") +
                                 (page.isEmpty() ? QStringLiteral("index.html") : page));
}

void ShowHelpTopics(const QString& page)
{
    const QString target = HelpTarget(HelpFile, page);
    if (HelpFile.isEmpty() || !QFileInfo(target).isFile()) {
        ShowMessage(QStringLiteral("Neither the help file %1 nor the manual %2 could be found.")
                        .arg(HelpFile.isEmpty() ? QStringLiteral("(none)") : HelpFile, target),
                    MsgButtons::Ok, MsgIcon::Information);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath())))
        ShowMessage(QStringLiteral("No program on this system opens the help file %1.").arg(target),
                    MsgButtons::Ok, MsgIcon::Information);
}

void InstallHelpKey(QWidget* window, const QString& page)
{
    auto* f1 = new QShortcut(QKeySequence::HelpContents, window);
    f1->setContext(Qt::WindowShortcut);
    QObject::connect(f1, &QShortcut::activated, window, [page] { ShowHelpTopics(page); });
}
