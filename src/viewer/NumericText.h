#pragma once

#include <QLocale>
#include <QString>

// The two number tests of a typed value that the purge dialog applies.
namespace NumericText {

// Whether the text reads as a number: blanks around it, a sign before or
// after it or parentheses around it, the locale's group separators in the
// whole part, its decimal separator (or "."), an exponent (1e3, 1d3), or a
// hexadecimal (&H1F) or octal (&O17) number.
bool isNumeric(const QString& text, const QLocale& locale = QLocale());

// The number at the start of the text, read as far as it goes (blanks are
// skipped, "." is the decimal point, an exponent may follow; &H and &O prefix
// hexadecimal and octal numbers); 0 when the text does not start with one.
double leadingNumber(const QString& text);

} // namespace NumericText
