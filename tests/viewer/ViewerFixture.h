#pragma once

// Settings, a real audit database as the shared connection, the viewer on it
// and modal windows driven by the test.

#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "AuditView.h"
#include "TestEnvironment.h"
#include "WidgetHooks.h"
#include "frmView.h"

#include <QDateTime>
#include <QTest>
#include <functional>

class ViewerFixture
{
public:
    ~ViewerFixture()
    {
        SetModalHandler({});
        delete frmView::existingInstance();
        AuditView::instance().clear();
        AuditDatabase::instance().close();
    }

    // Adds entries of the levels given, one a minute from an hour ago, named
    // "Entry 1", "Entry 2"..., then opens the shown viewer.
    frmView* openWith(const QList<int>& levels)
    {
        QList<AuditEntry> entries;
        const QDateTime start = QDateTime::currentDateTime().addSecs(-3600);
        for (int i = 0; i < levels.size(); ++i)
            entries.append(AuditTestDb::entry(levels[i], start.addSecs(60 * i),
                                              QStringLiteral("Entry %1").arg(i + 1)));
        return db.add(entries) ? open() : nullptr;
    }

    // Opens the shared connection and loads the viewer, shown when asked.
    frmView* open(bool shown = true)
    {
        if (!db.openShared())
            return nullptr;
        frmView* viewer = frmView::instance();
        if (shown) {
            viewer->show();
            if (!QTest::qWaitForWindowExposed(viewer))
                return nullptr;
        }
        return viewer;
    }

    // Modal windows are shown and handed to the driver, which must close them.
    void driveModal(std::function<void(QWidget*)> driver)
    {
        modalShown = 0;
        SetModalHandler([this, driver](QWidget* window) {
            ++modalShown;
            window->show();
            driver(window);
        });
    }

    TestEnvironment env;
    AuditTestDb db;
    int modalShown = 0;
};
