// manualshots: takes the manual's screenshots from the program's own windows on
// a demo database, so they can be taken again whenever a window changes.
//
//   QT_QPA_PLATFORM=offscreen manualshots <root with SYSTEM/Audit.mdb> <folder>
//
// Settings go to a temporary file; the database gets a few example weights
// when its weight table is empty.

#include "AppState.h"
#include "AuditDatabase.h"
#include "Settings.h"
#include "WeightTableRoutines.h"
#include "WidgetHooks.h"
#include "frmView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeWidget>

namespace {

QString outFolder;

void save(QWidget* window, const QString& name)
{
    window->show();
    // Dialogs at their own size; the viewer at the size it was given.
    if (window->isWindow() && window->objectName() != QLatin1String("frmView"))
        window->adjustSize();
    QApplication::processEvents();
    window->grab().save(QDir(outFolder).filePath(name + QStringLiteral(".png")));
}

void click(QWidget* window, const char* button)
{
    window->findChild<QAbstractButton*>(QString::fromLatin1(button))->click();
}

// Each modal window is photographed and closed; Preferences shows both pages
// and opens its first row in the warning level dialog.
void photograph(QWidget* window)
{
    const QString name = window->objectName();
    if (name == QLatin1String("frmOptions")) {
        auto* tabs = window->findChild<QTabWidget*>();
        save(window, QStringLiteral("preferences-startup"));
        tabs->setCurrentIndex(1);
        save(window, QStringLiteral("preferences-warning-level"));
        auto* list = window->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
        list->setCurrentItem(list->topLevelItem(1));
        click(window, "editButton");
        click(window, "cmdCancel");
    } else if (name == QLatin1String("frmWarningLevel")) {
        save(window, QStringLiteral("warning-level"));
        click(window, "cancelButton");
    } else if (name == QLatin1String("frmAbout")) {
        save(window, QStringLiteral("about"));
        click(window, "OK");
    } else if (name == QLatin1String("frmReport")) {
        save(window, QStringLiteral("report-dialog"));
        click(window, "cmdCancel");
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        QTextStream(stderr) << "usage: manualshots <installation root> <output folder>\n";
        return 2;
    }
    QTemporaryDir settings;
    SetSettingsFile(settings.filePath(QStringLiteral("manualshots.conf")));
    outFolder = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(outFolder);
    const QString database =
        QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("SYSTEM/Audit.mdb"));
    AuditError error;
    if (!AuditDatabase::instance().open(AuditDatabase::connectionStringFor(database), &error)) {
        QTextStream(stderr) << "manualshots: " << error.description << "\n";
        return 1;
    }
    frmView* viewer = frmView::instance();
    viewer->resize(1000, 560);
    save(viewer, QStringLiteral("viewer"));

    QList<WeightRecord> table;
    GetWeightTable(table);
    if (table.size() == 1)
        for (const WeightRecord& row : {WeightRecord{1001, QStringLiteral("*"), 1},
                                        WeightRecord{1002, QStringLiteral("Translator"), 3},
                                        WeightRecord{2040, QStringLiteral("Communications"), 2},
                                        WeightRecord{9999, QStringLiteral("*"), 0}})
            SaveWeight(row);

    SetModalHandler(photograph);
    viewer->mViewPreferences_Click();
    viewer->mHelpAbout_Click();
    viewer->mFilePrint_Click();
    SetModalHandler({});
    return 0;
}
