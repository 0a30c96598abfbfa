#pragma once

// What every viewer test needs: its own settings and message responder, a
// real audit database opened as the program's shared connection, the viewer
// window loaded on it, and modal windows driven by the test.

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
    ViewerFixture() = default;
    ~ViewerFixture()
    {
        SetModalHandler({});
        delete frmView::existingInstance();
        AuditView::instance().clear();
        AuditDatabase::instance().close();
    }

    // Entries of the levels given, one a minute back from an hour ago.
    bool addLevels(const QList<int>& levels)
    {
        QList<AuditEntry> entries;
        const QDateTime start = QDateTime::currentDateTime().addSecs(-3600);
        for (int i = 0; i < levels.size(); ++i)
            entries.append(AuditTestDb::entry(levels[i], start.addSecs(60 * i),
                                              QStringLiteral("Entry %1").arg(i + 1)));
        return db.add(entries);
    }

    // Opens the shared connection and loads the viewer (not shown).
    frmView* open()
    {
        if (!db.openShared())
            return nullptr;
        return frmView::instance();
    }

    frmView* openShown()
    {
        frmView* viewer = open();
        if (viewer) {
            viewer->show();
            if (!QTest::qWaitForWindowExposed(viewer))
                return nullptr;
        }
        return viewer;
    }

    // The next modal window is shown and handed to the driver, which must
    // close it; records that it ran.
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
