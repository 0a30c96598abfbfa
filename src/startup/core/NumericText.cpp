#include "NumericText.h"

#include <cmath>

namespace NumericText {
namespace {

// "&H1F", "&O17" or "&17": the radix and the text after the prefix.
bool splitRadix(const QString& s, int* base, QString* digits)
{
    if (!s.startsWith(QLatin1Char('&')))
        return false;
    *digits = s.mid(1);
    *base = 8;
    if (digits->startsWith(QLatin1Char('H'), Qt::CaseInsensitive)) {
        *base = 16;
        digits->remove(0, 1);
    } else if (digits->startsWith(QLatin1Char('O'), Qt::CaseInsensitive)) {
        digits->remove(0, 1);
    }
    return true;
}

// How many characters at the start are digits of the radix.
qsizetype radixDigits(const QString& digits, int base)
{
    qsizetype n = 0;
    while (n < digits.size()) {
        const QChar c = digits.at(n).toLower();
        const int value = c.isDigit() ? c.digitValue()
                          : (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
                              ? 10 + (c.unicode() - 'a')
                              : 99;
        if (value >= base)
            break;
        ++n;
    }
    return n;
}

} // namespace

std::optional<double> toNumber(const QString& text, const QLocale& locale)
{
    QString s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    int base = 0;
    QString digits;
    if (splitRadix(s, &base, &digits)) {
        if (digits.isEmpty() || radixDigits(digits, base) != digits.size() ||
            digits.size() > (base == 16 ? 8 : 11))
            return std::nullopt;
        return static_cast<double>(digits.toLongLong(nullptr, base));
    }
    bool negative = false;
    if (s.startsWith(QLatin1Char('(')) && s.endsWith(QLatin1Char(')'))) {
        s = s.mid(1, s.size() - 2).trimmed();
        negative = true;
    } else if (s.startsWith(QLatin1Char('+')) || s.startsWith(QLatin1Char('-'))) {
        negative = s.startsWith(QLatin1Char('-'));
        s = s.mid(1).trimmed();
    } else if (s.endsWith(QLatin1Char('+')) || s.endsWith(QLatin1Char('-'))) {
        negative = s.endsWith(QLatin1Char('-'));
        s.chop(1);
    }

    // The number in C notation as it is read: group separators dropped.
    const QString decimal = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    QString c;
    int digitCount = 0;
    qsizetype i = 0;
    // Whole part: digits and group separators.
    while (i < s.size()) {
        if (s.at(i).isDigit()) {
            c.append(QLatin1Char(static_cast<char>('0' + s.at(i).digitValue())));
            ++digitCount;
            ++i;
        } else if (!group.isEmpty() && QStringView(s).mid(i).startsWith(group) &&
                   group != decimal) {
            i += group.size();
        } else {
            break;
        }
    }
    // Fraction.
    if (i < s.size() &&
        (QStringView(s).mid(i).startsWith(decimal) || s.at(i) == QLatin1Char('.'))) {
        i += QStringView(s).mid(i).startsWith(decimal) ? decimal.size() : 1;
        c.append(QLatin1Char('.'));
        while (i < s.size() && s.at(i).isDigit()) {
            c.append(QLatin1Char(static_cast<char>('0' + s.at(i).digitValue())));
            ++digitCount;
            ++i;
        }
    }
    if (digitCount == 0)
        return std::nullopt;
    if (c.startsWith(QLatin1Char('.')))
        c.prepend(QLatin1Char('0'));
    if (c.endsWith(QLatin1Char('.')))
        c.append(QLatin1Char('0'));
    // Exponent.
    if (i < s.size() && QStringLiteral("eEdD").contains(s.at(i))) {
        c.append(QLatin1Char('e'));
        ++i;
        if (i < s.size() && (s.at(i) == QLatin1Char('+') || s.at(i) == QLatin1Char('-')))
            c.append(s.at(i++));
        const qsizetype start = i;
        while (i < s.size() && s.at(i).isDigit())
            c.append(QLatin1Char(static_cast<char>('0' + s.at(i++).digitValue())));
        if (i == start)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(c, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

bool isNumeric(const QString& text, const QLocale& locale)
{
    return toNumber(text, locale).has_value();
}

double leadingNumber(const QString& text)
{
    // Blanks, tabs and line feeds are skipped wherever they stand.
    QString s;
    for (const QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
            c != QLatin1Char('\r'))
            s.append(c);
    int base = 0;
    QString digits;
    if (splitRadix(s, &base, &digits)) {
        bool ok = false;
        const qlonglong value = digits.left(radixDigits(digits, base)).toLongLong(&ok, base);
        return ok ? static_cast<double>(value) : 0.0;
    }
    qsizetype i = 0;
    if (i < s.size() && (s.at(i) == QLatin1Char('+') || s.at(i) == QLatin1Char('-')))
        ++i;
    const qsizetype mantissaStart = i;
    while (i < s.size() && s.at(i).isDigit())
        ++i;
    if (i < s.size() && s.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < s.size() && s.at(i).isDigit())
            ++i;
    }
    if (i == mantissaStart || s.mid(mantissaStart, i - mantissaStart) == QLatin1String("."))
        return 0.0;
    QString number = s.left(i);
    if (i < s.size() && QStringLiteral("eEdD").contains(s.at(i))) {
        qsizetype j = i + 1;
        if (j < s.size() && (s.at(j) == QLatin1Char('+') || s.at(j) == QLatin1Char('-')))
            ++j;
        const qsizetype digitsStart = j;
        while (j < s.size() && s.at(j).isDigit())
            ++j;
        if (j > digitsStart)
            number = s.left(i) + QLatin1Char('e') + s.mid(i + 1, j - i - 1);
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

} // namespace NumericText
