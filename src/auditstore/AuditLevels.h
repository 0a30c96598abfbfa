#pragma once

#include <QString>

#include <array>
#include <optional>

// The four severity levels and every name under which the program shows or
// stores them. Levels are ordered by severity: a purge "up to" level n removes
// Level <= n.
struct AuditLevel
{
    int value;
    QString viewMenuCaption; // View menu item
    QString purgeListEntry;  // purge dialog (removes this level and the lower ones)
    QString keyword;         // command line, toolbar button key, image key
    QString settingsKey;     // view flag in the settings
    QString numberedEntry;   // filter and weight lists
    QString toolbarTip;
    QString gridIcon;        // name of the grid's level image
    QString reportCaption;   // report dialog check box
};

const std::array<AuditLevel, 4>& AuditLevels();

// The level of a stored value, or nothing for values outside 0 to 3.
std::optional<AuditLevel> AuditLevelOf(int value);

// Level 0 to 3 by keyword ("STATUS", ...), case-sensitive.
std::optional<AuditLevel> AuditLevelByKeyword(const QString& keyword);
