#include "Settings.h"

#include "AppState.h"

#include <QSettings>

#include <memory>

namespace {
QString settingsFile;

std::unique_ptr<QSettings> openSettings()
{
    if (!settingsFile.isEmpty())
        return std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
    // ~/.config/Velmora/Audit Log Viewer.conf (XDG_CONFIG_HOME is honoured).
    return std::make_unique<QSettings>(ProductName, AppTitle);
}
} // namespace

QString GetSettingValue(const QString& key, const QVariant& defaultValue)
{
    auto settings = openSettings();
    const QVariant value = settings->value(key);
    if (!value.isValid())
        return defaultValue.toString();
    return value.toString();
}

void SaveSettingValue(const QString& key, const QString& value)
{
    auto settings = openSettings();
    if (value.trimmed().isEmpty())
        settings->remove(key);
    else
        settings->setValue(key, value);
    settings->sync();
}

bool GetSettingBool(const QString& key, const QString& defaultValue)
{
    return GetSettingValue(key, defaultValue) == QLatin1String("True");
}

void SetSettingsFile(const QString& iniFile) { settingsFile = iniFile; }

QString SettingsFileName() { return openSettings()->fileName(); }
