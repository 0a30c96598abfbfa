// Settings values. A value saved under one of the program's keys reads back
// identical (a blank one yields the default); a Boolean is true only for
// "True"; a settings file of any content can be read; the purge dialog's
// number test agrees with plain decimal reading.
#include "FuzzCheck.h"
#include "NumericText.h"
#include "Settings.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

const QString keys[] = {SettingKey::LastRun,           SettingKey::LevelStatus,
                        SettingKey::MessageAge,        SettingKey::ReportSortBy,
                        SettingKey::ReportDaysFrom,    SettingKey::HTMLFormat,
                        SettingKey::ReportAttachAtSize, SettingKey::DeleteDays,
                        SettingKey::AutoDeleteDays,    SettingKey::ColWidth(3)};

void checkNumber(const QString& text)
{
    // Blanks and tabs only: other white space (form feed, no-break space) passes
    // isNumeric but stops leadingNumber, a known difference of the two.
    static const QRegularExpression plain(QStringLiteral("^[ \\t]*[+-]?[0-9]{1,15}(\\.[0-9]{0,6})?[ \\t]*$"));
    if (!text.contains(plain))
        return;
    const QLocale c(QLocale::C);
    FUZZ_CHECK(NumericText::isNumeric(text, c), QStringLiteral("not numeric: ") + text);
    const double expected = text.trimmed().toDouble();
    FUZZ_CHECK(std::abs(NumericText::leadingNumber(text) - expected) <= 1e-9 * std::abs(expected),
               QStringLiteral("%1 read as %2").arg(text).arg(NumericText::leadingNumber(text)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 2000)
        return -1;
    static QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("settings.conf"));
    SetSettingsFile(file);
    const QString& key = keys[data[0] % std::size(keys)];
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QString text = QString::fromUtf8(bytes);

    if (data[0] & 0x80) {
        // A settings file written by anyone.
        QFile f(file);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size(),
                   QStringLiteral("cannot write the settings file"));
        f.close();
        const QString read = GetSettingValue(key, QStringLiteral("dflt"));
        FUZZ_CHECK(GetSettingBool(key, QStringLiteral("False")) == (read == QLatin1String("True")) ||
                       read == QLatin1String("dflt"),
                   read);
        return 0;
    }

    QFile::remove(file);
    SaveSettingValue(key, text);
    const QString read = GetSettingValue(key, QStringLiteral("dflt"));
    const QString expected = text.trimmed().isEmpty() ? QStringLiteral("dflt") : text;
    FUZZ_CHECK(read == expected, QStringLiteral("[%1] read back as [%2]").arg(text, read));
    FUZZ_CHECK(GetSettingBool(key, QStringLiteral("False")) == (text == QLatin1String("True")),
               text);
    checkNumber(text);
    return 0;
}
