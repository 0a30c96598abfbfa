#pragma once

#include "AuditError.h"

#include <QDate>
#include <QString>
#include <functional>
#include <optional>

// Deleting old entries by age and an upper bound on the level: automatically at
// every start and on demand from the purge dialog.

// What a purge did: whether the DELETE ran, how many entries it removed, and
// the error when it did not run (or when waiting for the view failed after it).
struct PurgeResult
{
    bool ran = false;
    int deleted = 0;
    AuditError error;
};

// One 500 ms round of waiting for the view after a delete. The default sleeps;
// a window passes one that keeps its event loop turning and shows progress.
using PurgeWait = std::function<void()>;

// Busy pointer around the automatic purge; a window installs one (on = true
// sets the hourglass, false restores the pointer). Without one nothing shows.
using BusyPointerHook = std::function<void(bool on)>;
void SetBusyPointerHook(BusyPointerHook hook);

// The number a days text stands for, in the program's one numeric grammar
// (NumericText): what the purge dialog accepts as numeric, the purge converts.
std::optional<double> DaysNumber(const QString& days);

// The DELETE statement for an age in days and a level bound, or nothing when
// days is not a number or its day offset does not fit 16 bits.
std::optional<QString> DeleteOldEntriesStatement(const QString& days, int level,
                                                 const QDate& today = QDate::currentDate(),
                                                 AuditError* error = nullptr);

// Deletes the entries of level <= level dated before the start of the day
// (days - 1) days before today, then waits until the viewer's view shows the
// deletion: it requeries every round until the view holds the expected count
// or two requeries in a row agree. Returns at once when nothing was deleted.
PurgeResult DeleteOldEntries(const QString& days, int level, const PurgeWait& wait = PurgeWait());

// The purge at start-up: AutoDeleteDays (default "30"), every level. A value
// that is not a number skips it and says so; a failed delete is reported (in
// an unattended run recorded as the run's failure). The run goes on either
// way; false when nothing was deleted because of a problem.
bool AutoDeleteOldEntries();

// Runs the start-up purge's delete: a window installs one that shows progress
// while the purge takes long, and passes the purge a wait that keeps painting.
using AutoPurgeRunner = std::function<void(const std::function<void(const PurgeWait&)>& purge)>;
void SetAutoPurgeRunner(AutoPurgeRunner runner);

// The wait rounds after one delete are bounded: other programs appending all
// the time would otherwise keep the counts moving for ever.
constexpr int PurgeWaitMs = 500;
constexpr int PurgeMaxWaitRounds = 20;
