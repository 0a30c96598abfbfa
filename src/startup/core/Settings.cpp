#include "Settings.h"

#include "AppState.h"
#include "NumericText.h"

#include <QFile>
#include <QSettings>

#include <memory>
#include <optional>

namespace {
QString settingsFile;

std::unique_ptr<QSettings> openSettings()
{
    if (!settingsFile.isEmpty())
        return std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
    // ~/.config/Velmora/Audit Log Viewer.conf (XDG_CONFIG_HOME is honoured).
    return std::make_unique<QSettings>(ProductName, AppTitle);
}

// The text after "key=" in the file's general section, as written. A value
// edited by hand with a comma in it (1,000) is a list to QSettings; the
// program's values are single texts and are read whole.
QString writtenValue(const QString& fileName, const QString& key)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    bool general = true;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            general = line.compare(QLatin1String("[General]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (general && equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return QString();
}

// "True", "false", "1", "-1", "0" and any other number read as a Boolean; a
// text that is none of these gives nothing.
std::optional<bool> readBool(const QString& text)
{
    const QString value = text.trimmed();
    if (value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (value.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = NumericText::toNumber(value))
        return *number != 0;
    return std::nullopt;
}
} // namespace

QString GetSettingValue(const QString& key, const QVariant& defaultValue)
{
    auto settings = openSettings();
    const QVariant value = settings->value(key);
    if (!value.isValid())
        return defaultValue.toString();
    if (value.userType() == QMetaType::QStringList) {
        const QString written = writtenValue(settings->fileName(), key);
        return written.isEmpty() ? value.toStringList().join(QLatin1Char(',')) : written;
    }
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
    if (const auto value = readBool(GetSettingValue(key, defaultValue)))
        return *value;
    return readBool(defaultValue).value_or(false);
}

bool GetSettingIsTrue(const QString& key, const QString& defaultValue)
{
    return GetSettingValue(key, defaultValue) == QLatin1String("True");
}

void SetSettingsFile(const QString& iniFile) { settingsFile = iniFile; }

QString SettingsFileName() { return openSettings()->fileName(); }
