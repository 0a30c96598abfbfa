#include "NotificationRules.h"

#include "NotificationStrings.h"
#include "RuleText.h"

namespace NotificationRules {

const std::array<RuleField, FieldCount>& RuleFields()
{
    static const std::array<RuleField, FieldCount> fields = {{
        {QStringLiteral("Report Type-"), QStringLiteral("Report Type "), QString()},
        {QStringLiteral("Report Level-"), QStringLiteral("Report Level"), QStringLiteral("12")},
        {QStringLiteral("Error Number-"), QStringLiteral("Error Number"), QString()},
        {QStringLiteral("Exclude Error Number-"), QStringLiteral("Exclude Error Numbers "),
         QStringLiteral("9999")},
        {QStringLiteral("Application-"), QStringLiteral("Application"), QString()},
        {QStringLiteral("Exclude Application-"), QStringLiteral("Exclude Applications"), QString()},
        {QStringLiteral("Send To Email Address-"), QStringLiteral("Send To Email Address"),
         QString()},
        {QStringLiteral("Email Subject-"), QStringLiteral("Email Subject"), QString()},
        {QStringLiteral("ReportSortBy1-"), QStringLiteral("SortBy1"), QStringLiteral("When")},
        {QStringLiteral("ReportSortBy2-"), QStringLiteral("SortBy2"), QStringLiteral("User")},
        {QStringLiteral("ReportSortBy3-"), QStringLiteral("SortBy3"), QStringLiteral("AutoIndex")},
        {QStringLiteral("AccumulateTime-"), QStringLiteral("Check Every"), QStringLiteral("60")},
        {QStringLiteral("AccumulateType-"), QStringLiteral("Check Type"), QStringLiteral("Hourly")},
        {QStringLiteral("HTML-"), QStringLiteral("HTML"), QStringLiteral("False")},
    }};
    return fields;
}

QString Key(int field, int slot)
{
    return RuleFields()[size_t(field - 1)].keyPrefix + QString::number(slot);
}

const std::array<SizeKey, 3>& SizeKeys()
{
    static const std::array<SizeKey, 3> keys = {{
        {QStringLiteral("txtAttach"), QStringLiteral("1000")},
        {QStringLiteral("txtZip"), QStringLiteral("100000")},
        {QStringLiteral("txtAbortAttach"), QStringLiteral("500000")},
    }};
    return keys;
}

} // namespace NotificationRules

using namespace NotificationRules;

RuleSet LoadNotificationRules(NotificationStrings& store)
{
    RuleSet rules;
    for (int slot = 1; slot <= SlotCount; ++slot)
        for (int field = 1; field <= FieldCount; ++field)
            rules.cells[size_t(slot - 1)][size_t(field - 1)] =
                store.get(Section, Key(field, slot), RuleFields()[size_t(field - 1)].defaultValue);
    for (size_t i = 0; i < SizeKeys().size(); ++i)
        rules.sizes[i] = RuleText::leadingNumberText(
            store.get(Section, SizeKeys()[i].key, SizeKeys()[i].defaultValue));
    return rules;
}

bool SaveNotificationRules(const RuleSet& rules, NotificationStrings& store, QString& error)
{
    QList<std::pair<QString, QString>> writes;
    for (int slot = 1; slot <= SlotCount; ++slot) {
        const auto& row = rules.cells[size_t(slot - 1)];
        // A slot holds a rule exactly when it has an address; any other
        // slot is erased whatever else its cells hold.
        const bool holdsRule = !row[SendTo - 1].isEmpty();
        for (int field = 1; field <= FieldCount; ++field)
            writes.append({Key(field, slot), holdsRule ? row[size_t(field - 1)] : QString()});
    }
    for (size_t i = 0; i < SizeKeys().size(); ++i)
        writes.append({SizeKeys()[i].key, rules.sizes[i]});
    writes.append({QStringLiteral("Reloaded"), QStringLiteral("TRUE")});

    // The store keeps no line break. Refuse before the first write, so that
    // nothing of a refused save is held for a later commit.
    for (const auto& [key, value] : writes) {
        if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
            error = QStringLiteral("the value of %1 holds a line break, which cannot be stored")
                        .arg(key);
            return false;
        }
    }
    for (const auto& [key, value] : writes) {
        if (!store.set(Section, key, value, error)) {
            error = QStringLiteral("%1: %2").arg(key, error);
            return false;
        }
    }
    // The all-empty write ends every save; it commits the held writes to the file.
    return store.set({}, {}, {}, error);
}
