#include "output/reals.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

void AppendReal(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NAN";
        return;
    }
    if (std::isinf(value)) {
        out += value > 0 ? "INF" : "-INF";
        return;
    }
    if (value == 0) {
        out += '0';
        return;
    }
    // Integral values of at most 15 digits are written exactly as integers
    // (the common case: canvas coordinates are whole units).
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        char ib[24];
        auto r = std::to_chars(ib, ib + sizeof ib, static_cast<long long>(value));
        out.append(std::string_view(ib, static_cast<std::size_t>(r.ptr - ib)));
        return;
    }
    // 15 significant digits, correctly rounded from the exact binary value:
    // "-d.dddddddddddddde+XX".
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    const char* p = buf;
    bool negative = *p == '-';
    if (negative) ++p;
    char digits[16];
    int n = 0;
    for (; p < res.ptr && *p != 'e'; ++p)
        if (*p != '.') digits[n++] = *p;
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+'), res.ptr, exponent);
    while (n > 1 && digits[n - 1] == '0') --n;

    if (negative) out += '-';
    if (exponent < -5 || exponent > 14) {
        // Below 0.00001 or more than 15 integer digits.
        out += digits[0];
        if (n > 1) {
            out += '.';
            out.append(digits + 1, n - 1);
        }
        out += 'E';
        if (exponent < 0) out += '-';
        char eb[8];
        auto er = std::to_chars(eb, eb + sizeof eb, std::abs(exponent));
        out.append(eb, er.ptr);
    } else if (exponent >= 0) {
        int intDigits = exponent + 1;
        if (n <= intDigits) {
            out.append(digits, n);
            out.append(intDigits - n, '0');
        } else {
            out.append(digits, intDigits);
            out += '.';
            out.append(digits + intDigits, n - intDigits);
        }
    } else {
        out += "0.";
        out.append(-exponent - 1, '0');
        out.append(digits, n);
    }
}

std::string FormatReal(double value) {
    std::string s;
    AppendReal(s, value);
    return s;
}
