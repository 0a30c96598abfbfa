#pragma once

#include <QString>
#include <QStringList>

#include <array>

class NotificationStrings;

// The e-mail notification rules that the product's notification service
// reads: 25 numbered slots of 14 text fields, plus the three mail size
// thresholds, all in the section "Audit Email" of the zlk store. Key names,
// slot numbers and value texts are an external format, produced exactly.
namespace NotificationRules {

inline const QString Section = QStringLiteral("Audit Email");
constexpr int SlotCount = 25;
constexpr int FieldCount = 14;

// Field numbers (1-based, also the grid's column numbers).
enum Field {
    ReportType = 1, ReportLevel, ErrorNumber, ExcludeErrorNumber, Application,
    ExcludeApplication, SendTo, Subject, SortBy1, SortBy2, SortBy3, AccumulateTime,
    AccumulateType, Html
};

struct RuleField
{
    QString keyPrefix;   // the slot number follows
    QString heading;     // the list window's column heading, blanks and all
    QString defaultValue;
};
// Field n is RuleFields()[n - 1].
const std::array<RuleField, FieldCount>& RuleFields();

// "Report Type-1" ... "HTML-25".
QString Key(int field, int slot);

// The three size keys, in the order they are read and written, with defaults.
struct SizeKey
{
    QString key;
    QString defaultValue;
};
const std::array<SizeKey, 3>& SizeKeys();

// The report level mask bits.
enum LevelBit { StatusBit = 1, WarningBit = 2, ErrorBit = 4, FatalBit = 8, AllOccurrencesBit = 16 };

// All rules as texts: cells[slot - 1][field - 1], and the size boxes' texts.
struct RuleSet
{
    std::array<std::array<QString, FieldCount>, SlotCount> cells;
    std::array<QString, 3> sizes;
};

} // namespace NotificationRules

// Reads every slot (absent keys give their defaults) and the three sizes, each
// reduced to its leading number ("12abc" reads as "12").
NotificationRules::RuleSet LoadNotificationRules(NotificationStrings& store);

// Writes the 350 rule keys in slot and field order (a slot without an address
// is written empty under all fourteen keys), the three sizes as typed,
// "Reloaded" = "TRUE", then the all-empty write that commits the save. False
// with the reason when the store refused a write or the commit; the file is
// then unchanged.
bool SaveNotificationRules(const NotificationRules::RuleSet& rules, NotificationStrings& store,
                           QString& error);
