// Settings values. A value saved under one of the program's keys reads back
// identical (a blank one yields the default); a Boolean is true for "True" in
// any case or a number other than 0, and the exact test for "True" alone; a
// settings file of any content can be read; the purge dialog's number test
// agrees with plain decimal reading.
#include "FuzzCheck.h"
#include "NumericText.h"
#include "Settings.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>

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

// What a hand-edited Boolean means: "True" or "False" in any case, or a number
// (0 is false); anything else is the default, here false.
bool booleanOf(const QString& text)
{
    const QString value = text.trimmed();
    if (value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    const auto number = NumericText::toNumber(value);
    return number && *number != 0;
}

void checkBoolean(const QString& key, const QString& read)
{
    FUZZ_CHECK(GetSettingBool(key, QStringLiteral("False")) == booleanOf(read), read);
    FUZZ_CHECK(GetSettingIsTrue(key, QStringLiteral("False")) == (read == QLatin1String("True")),
               read);
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
    const QByteArray bytes = fuzzBytes(data + 1, size - 1);
    const QString text = QString::fromUtf8(bytes);

    if (data[0] & 0x80) {
        // A settings file written by anyone.
        writeFuzzFile(file, bytes);
        const QString read = GetSettingValue(key, QStringLiteral("dflt"));
        if (read != QLatin1String("dflt"))
            checkBoolean(key, read);
        return 0;
    }

    QFile::remove(file);
    SaveSettingValue(key, text);
    const QString read = GetSettingValue(key, QStringLiteral("dflt"));
    const QString expected = text.trimmed().isEmpty() ? QStringLiteral("dflt") : text;
    FUZZ_CHECK(read == expected, QStringLiteral("[%1] read back as [%2]").arg(text, read));
    checkBoolean(key, read);
    checkNumber(text);
    return 0;
}
