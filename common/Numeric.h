#pragma once
// Lenient reading of numbers and Booleans as stored texts need it: optional
// spaces and sign, decimal digits with an optional point and exponent.

#include <QString>

namespace Numeric {

// True when the text is a number in the lenient sense; *value gets it.
bool ParseDouble(const QString& text, double* value = nullptr);

// A number rounded to the nearest integer (halves to even) that fits in 32
// bits; anything else is "not a number".
bool ToInt32(const QString& text, int* value);
bool IsNumeric(const QString& text);

// Rounds halves to even; false when the result leaves the 32-bit range.
bool RoundToInt32(double value, int* result);

// "True"/"False" in any case, or a number (0 false).
bool ToBoolean(const QString& text, bool* value);

inline QString BooleanText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

}  // namespace Numeric
