#pragma once

#include <QLocale>
#include <QString>

#include <optional>

// The one numeric grammar of typed and stored values: what isNumeric accepts,
// toNumber converts, and to the same number wherever a value must be numeric
// (the purge dialog, the start-up purge, the report dialog, the size settings).
namespace NumericText {

// The number the text stands for, or nothing when it is not numeric. Accepted:
// blanks around it, a sign before or after it or parentheses around it (both
// negative), the locale's group separators in the whole part ("1,5" is 15 in
// an English locale), its decimal separator (or "."), an exponent (1e3, 1d3),
// or a hexadecimal (&H1F) or octal (&O17, &17) number.
std::optional<double> toNumber(const QString& text, const QLocale& locale = QLocale());

// Whether toNumber gives a number.
bool isNumeric(const QString& text, const QLocale& locale = QLocale());

// The number at the start of the text, read as far as it goes (blanks are
// skipped, "." is the decimal point, an exponent may follow; &H and &O prefix
// hexadecimal and octal numbers); 0 when the text does not start with one.
double leadingNumber(const QString& text);

} // namespace NumericText
