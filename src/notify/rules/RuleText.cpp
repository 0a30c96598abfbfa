#include "RuleText.h"

#include <QLocale>
#include <QRegularExpression>

namespace RuleText {

namespace {
const QRegularExpression LeadingNumber(QStringLiteral(R"(^\s*([+-]?(\d+\.?\d*|\.\d+)))"));
const QRegularExpression WholeNumber(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)\s*$)"));
} // namespace

double leadingNumber(const QString& text)
{
    const QRegularExpressionMatch match = LeadingNumber.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

QString leadingNumberText(const QString& text)
{
    return QString::number(leadingNumber(text), 'g', 15);
}

bool isNumeric(const QString& text)
{
    return WholeNumber.match(text).hasMatch();
}

QStringList splitList(const QString& text)
{
    if (text.isEmpty())
        return {};
    QStringList entries = text.split(QLatin1Char(';'));
    for (QString& entry : entries)
        entry = entry.trimmed();
    return entries;
}

QString joinList(const QStringList& entries)
{
    QStringList kept;
    for (const QString& entry : entries)
        if (!entry.isEmpty())
            kept.append(entry);
    return kept.join(QLatin1Char(';'));
}

QString dailyTimeText(const QTime& time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QTime dailyTimeFromText(const QString& text)
{
    const QString trimmed = text.trimmed();
    static const QLocale c = QLocale::c();
    for (const char* format : {"H:mm:ss", "H:mm", "h:mm:ss AP", "h:mm AP", "h:mm:ssAP", "h:mmAP"}) {
        const QTime time = c.toTime(trimmed.toUpper(), QString::fromLatin1(format));
        if (time.isValid())
            return time;
    }
    return {};
}

} // namespace RuleText
