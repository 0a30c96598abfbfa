#include "Purge.h"

#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditView.h"
#include "NumericText.h"
#include "Settings.h"
#include "SqlDate.h"
#include "UiHooks.h"

#include <QThread>
#include <cmath>
#include <limits>

namespace {
BusyPointerHook busyPointerHook;
AutoPurgeRunner autoPurgeRunner;

// Error numbers of a value that is no number and of a number out of range.
constexpr int ErrorTypeMismatch = 13;
constexpr int ErrorOverflow = 6;

void setError(AuditError* error, const AuditError& value)
{
    if (error)
        *error = value;
}
} // namespace

void SetBusyPointerHook(BusyPointerHook hook)
{
    busyPointerHook = std::move(hook);
}

void SetAutoPurgeRunner(AutoPurgeRunner runner)
{
    autoPurgeRunner = std::move(runner);
}

std::optional<double> DaysNumber(const QString& days)
{
    return NumericText::toNumber(days);
}

std::optional<QString> DeleteOldEntriesStatement(const QString& days, int level, const QDate& today,
                                                 AuditError* error)
{
    const auto k = DaysNumber(days);
    if (!k) {
        setError(error, {ErrorTypeMismatch,
                         QStringLiteral("Type mismatch: '%1' is not a number of days.").arg(days)});
        return std::nullopt;
    }
    // 1 - days, rounded half to even (-6.5 gives -6), as a 16-bit number.
    const double offset = std::nearbyint(1.0 - *k);
    if (offset < std::numeric_limits<int16_t>::min() ||
        offset > std::numeric_limits<int16_t>::max()) {
        setError(error,
                 {ErrorOverflow, QStringLiteral("Overflow: %1 days is out of range.").arg(days)});
        return std::nullopt;
    }
    const QString cutoff = SqlDateLiteral(QStringLiteral("d"), static_cast<int>(offset), today);
    return QStringLiteral("DELETE Audit.* FROM Audit WHERE [When] < #") + cutoff +
           QStringLiteral("# ") + QStringLiteral(" AND Level <= ") + QString::number(level);
}

PurgeResult DeleteOldEntries(const QString& days, int level, const PurgeWait& wait)
{
    PurgeResult result;
    const auto statement =
        DeleteOldEntriesStatement(days, level, QDate::currentDate(), &result.error);
    if (!statement)
        return result;
    int affected = 0;
    if (!AuditDatabase::instance().execute(*statement, &affected, &result.error))
        return result;
    result.ran = true;
    result.deleted = affected;

    // Wait until the viewer's view reflects the deletion. A view never loaded
    // has nothing to show.
    AuditView& view = AuditView::instance();
    if (affected <= 0 || !view.isOpen())
        return result;
    int expected = view.recordCount() - affected;
    for (int round = 0; round < PurgeMaxWaitRounds; ++round) {
        if (wait)
            wait();
        else
            QThread::msleep(PurgeWaitMs);
        if (!view.requery(&result.error))
            break;
        if (view.recordCount() == expected)
            break;
        expected = view.recordCount();
    }
    return result;
}

bool AutoDeleteOldEntries()
{
    if (busyPointerHook)
        busyPointerHook(true);
    const QString days =
        GetSettingValue(SettingKey::AutoDeleteDays, SettingDefault::AutoDeleteDays);
    QString problem;
    if (!DaysNumber(days)) {
        problem = QStringLiteral("Old entries were not deleted: the setting AutoDeleteDays is "
                                 "'%1', which is not a number of days.")
                      .arg(days);
    } else {
        PurgeResult result;
        const auto purge = [&days, &result](const PurgeWait& wait) {
            result = DeleteOldEntries(days, 3, wait);
        };
        if (autoPurgeRunner)
            autoPurgeRunner(purge);
        else
            purge(PurgeWait());
        if (!result.ran)
            problem = QStringLiteral("Old entries were not deleted: Error %1 - %2")
                          .arg(result.error.number)
                          .arg(result.error.description);
    }
    if (busyPointerHook)
        busyPointerHook(false);
    if (problem.isEmpty())
        return true;
    if (UnattendedMode)
        NoteRunFailure(problem);
    else
        ShowMessage(problem, MsgButtons::Ok, MsgIcon::Exclamation);
    return false;
}
