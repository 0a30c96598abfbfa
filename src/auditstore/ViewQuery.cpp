#include "ViewQuery.h"

#include "AppState.h"
#include "AuditLevels.h"
#include "AuditView.h"
#include "Settings.h"
#include "SqlDate.h"
#include "UiHooks.h"

namespace {
ViewCommands* viewCommands = nullptr;
}

void SetViewCommands(ViewCommands* commands) { viewCommands = commands; }
ViewCommands* CurrentViewCommands() { return viewCommands; }

QString ViewQueryText(const QDate& today)
{
    QString sql = QStringLiteral("SELECT Audit.* FROM Audit");

    bool flags[4];
    int setCount = 0;
    for (const AuditLevel& level : AuditLevels()) {
        flags[level.value] = GetSettingBool(level.settingsKey, SettingDefault::Level);
        setCount += flags[level.value] ? 1 : 0;
    }

    QString v;
    if (setCount == 0) {
        v = QStringLiteral(" WHERE Level =  -10");
    } else if (setCount < 4) {
        // Terms in the order Status, Warning, Fatal, Error.
        QStringList terms;
        for (int level : {0, 1, 3, 2})
            if (flags[level])
                terms.append(QStringLiteral("Level = %1").arg(level));
        v = QStringLiteral(" WHERE (") + terms.join(QStringLiteral(" OR ")) + QStringLiteral(")");
    }

    const QString age = GetSettingValue(SettingKey::MessageAge, SettingDefault::MessageAge);
    int days = 0;
    if (age == QLatin1String("NEW"))
        days = -1;
    else if (age == QLatin1String("7"))
        days = -7;
    else if (age == QLatin1String("30"))
        days = -30;
    if (days != 0) {
        const QString cutoff = SqlDateLiteral(QStringLiteral("d"), days, today);
        if (v.size() > 8)
            v += QStringLiteral(" AND ");
        else
            v = QStringLiteral(" WHERE ");
        v += QStringLiteral("[When] > #") + cutoff + QStringLiteral("# ");
    }

    sql += v + QStringLiteral(" Order By ");
    bool sortsByAutoIndex = false;
    for (const QString& name : {ViewSortBy1, ViewSortBy2, ViewSortBy3}) {
        if (!name.trimmed().isEmpty())
            sql += QLatin1Char('[') + name + QStringLiteral("], ");
        if (name == QLatin1String("AutoIndex"))
            sortsByAutoIndex = true;
    }
    if (!sortsByAutoIndex) {
        sql += QStringLiteral("[AutoIndex] ") + ViewSortDirection + QLatin1Char(';');
    } else if (sql.endsWith(QLatin1String(", "))) {
        sql.chop(2);
        sql += QLatin1Char(' ') + ViewSortDirection + QLatin1Char(';');
    }
    return sql;
}

bool BuildViewQuery()
{
    if (viewCommands)
        viewCommands->beginViewQuery();
    AuditView& view = AuditView::instance();
    view.setRecordSource(ViewQueryText());
    AuditError error;
    const bool ok = view.refresh(&error);
    if (ok) {
        const bool hasRows = !IsRecordsetEmpty(&view);
        if (viewCommands) {
            viewCommands->setDeleteEnabled(hasRows);
            viewCommands->setFindEnabled(hasRows);
        }
    }
    if (viewCommands)
        viewCommands->endViewQuery();
    if (!ok)
        ReportErrorAndEnd(QStringLiteral("Create View Query"), error);
    return ok;
}

bool RequeryView()
{
    AuditView& view = AuditView::instance();
    if (viewCommands)
        viewCommands->beginViewQuery();
    AuditError error;
    const bool ok = view.requery(&error);
    if (ok && viewCommands)
        viewCommands->setDeleteEnabled(!IsRecordsetEmpty(&view));
    if (viewCommands)
        viewCommands->endViewQuery();
    if (!ok)
        ReportErrorAndEnd(QStringLiteral("Create View Query"), error);
    return ok;
}
