#pragma once

#include <QString>
#include <QStringList>

// One include or exclude list of a rule as its editor shows it: the entries
// in list order, the selected entry and the entry box's text. The handlers
// keep the list free of duplicates (exact, case-sensitive texts) and keep the
// system exclusion "9999" of the error-number exclude list.
struct RuleListEdit
{
    enum Kind { ErrorInclude, ErrorExclude, ApplicationInclude, ApplicationExclude };

    Kind kind = ApplicationInclude;
    QStringList entries;
    int selected = -1; // -1: none
    QString text;

    // Each returns the message to show ("" for none); a message means the
    // list is unchanged.
    QString add();
    QString update();
    QString remove();
    // The selected entry into the entry box (a click in the list).
    void select(int index);

    bool isErrorList() const { return kind == ErrorInclude || kind == ErrorExclude; }
};

// Which controls of one side (entry box, Add, Update, Delete, list) are enabled.
struct RuleListSideState
{
    bool entry = true, add = true, update = true, remove = true, list = true;
    bool operator==(const RuleListSideState&) const = default;
};

struct RuleListStates
{
    RuleListSideState include, exclude;
};

// The enabling of a kind's two lists: once one side has entries the other is
// locked, and with both filled only deleting is possible. For error numbers
// the system exclusion does not count (threshold 1); for applications it is 0.
RuleListStates ListStates(int includeCount, int excludeCount, int threshold);

inline const QString SystemExclusion = QStringLiteral("9999");
