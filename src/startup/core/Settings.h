#pragma once

#include <QString>
#include <QVariant>

// Every settings key the program reads or writes, with its default. Values are
// text; Booleans are "True" and "False". Where two windows apply different
// defaults to one key, both are named here.
namespace SettingKey {
inline const QString WindowState = QStringLiteral("WindowState");
inline const QString Top = QStringLiteral("Top");
inline const QString Left = QStringLiteral("Left");
inline const QString Height = QStringLiteral("Height");
inline const QString Width = QStringLiteral("Width");
inline QString ColWidth(int column) { return QStringLiteral("Col%1Width").arg(column); }
inline const QString LastRun = QStringLiteral("LastRun");
inline const QString LevelStatus = QStringLiteral("LevelStatus");
inline const QString LevelWarning = QStringLiteral("LevelWarning");
inline const QString LevelError = QStringLiteral("LevelError");
inline const QString LevelFatalError = QStringLiteral("LevelFatalError");
inline const QString MessageAge = QStringLiteral("MESSAGE_AGE");
inline const QString ReportSortBy = QStringLiteral("ReportSortBy");
inline const QString ReportSortBy2 = QStringLiteral("ReportSortBy2");
inline const QString ReportSortBy3 = QStringLiteral("ReportSortBy3");
inline const QString ReportType = QStringLiteral("ReportType");
inline const QString ReportDateSentOpt = QStringLiteral("ReportDateSentOpt");
inline const QString ReportDaysMore = QStringLiteral("ReportDaysMore");
inline const QString ReportDaysLess = QStringLiteral("ReportDaysLess");
inline const QString ReportDaysFrom = QStringLiteral("ReportDaysFrom");
inline const QString ReportDaysTo = QStringLiteral("ReportDaysTo");
inline const QString HTMLFormat = QStringLiteral("HTMLFormat");
inline const QString ReportAttachAtSize = QStringLiteral("ReportAttachAtSize");
inline const QString ReportZipAtSize = QStringLiteral("ReportZipAtSize");
inline const QString AbortAttachAtSize = QStringLiteral("AbortAttachAtSize");
inline const QString DeleteDays = QStringLiteral("DeleteDays");
inline const QString AutoDeleteDays = QStringLiteral("AutoDeleteDays");
} // namespace SettingKey

namespace SettingDefault {
inline const QString LastRun = QStringLiteral("19900101");
inline const QString Level = QStringLiteral("True"); // each of the four level keys
inline const QString MessageAge = QStringLiteral("ALL");
// The viewer's sort when the keys are absent.
inline const QString ViewerSortBy = QStringLiteral("AutoIndex");
inline const QString ViewerSortBy2;
inline const QString ViewerSortBy3;
// The report dialog's sort when the keys are absent.
inline const QString ReportSortBy = QStringLiteral("When");
inline const QString ReportSortBy2 = QStringLiteral("User");
inline const QString ReportSortBy3 = QStringLiteral("AutoIndex");
inline const QString ReportType = QStringLiteral("0");
inline const QString ReportDateSentOpt = QStringLiteral("3");
inline const QString ReportDaysMore = QStringLiteral("7");
inline const QString ReportDaysLess = QStringLiteral("7");
// ReportDaysFrom and ReportDaysTo default to today's date.
inline const QString HTMLFormat = QStringLiteral("False");
inline const QString ReportAttachAtSize = QStringLiteral("1000");
inline const QString ReportZipAtSize = QStringLiteral("100000");
inline const QString AbortAttachAtSize = QStringLiteral("500000");
inline const QString DeleteDays = QStringLiteral("7");
inline const QString AutoDeleteDays = QStringLiteral("30");
} // namespace SettingDefault

// Reads a key of the program's settings; an absent key yields the default as
// text. A value is read whole as written, commas included.
QString GetSettingValue(const QString& key, const QVariant& defaultValue = QVariant());

// Stores value unchanged unless it is empty or blank; then deletes the key so
// that the next read yields the caller's default.
void SaveSettingValue(const QString& key, const QString& value);

// Reads a key as a Boolean: "True"/"False" in any letter case, or a number
// (0 is false, any other true, so 1 and -1 are true). A value that is none of
// these reads as the default.
bool GetSettingBool(const QString& key, const QString& defaultValue);

// True only when the value is exactly "True" (the report dialog's boxes).
bool GetSettingIsTrue(const QString& key, const QString& defaultValue);

// Where the settings live: the per-user file of organisation "Velmora" and
// application "Audit Log Viewer" unless a file was set (tests set one).
void SetSettingsFile(const QString& iniFile);
QString SettingsFileName();
