// The text form of real numbers in the DXF output.
#pragma once

#include <string>

// At most 15 significant digits of the exact value, shortest form (no
// trailing zeros, no decimal point for integral values), "." as separator;
// fixed notation when the magnitude is at least 0.00001 and has at most 15
// integer digits, otherwise mantissa, "E" and exponent with a "-" only for
// negative exponents: 15, 0.5, 1E-7, -2, 0.100000001490116 (the float
// nearest to 0.1), 1E15. Zero (also negative zero) is "0"; not-a-number and
// the infinities are "NAN", "INF" and "-INF".
void AppendReal(std::string& out, double value);
// The same text written at p (at most kMaxRealChars characters); returns the end.
constexpr int kMaxRealChars = 32;
char* PutReal(char* p, double value);
std::string FormatReal(double value);
