#include "output/reals.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "output/decimal.h"
#include "output/decimal_fast.h"

namespace {
char* Put(char* out, const char* s, int n) {
    std::memcpy(out, s, std::size_t(n));
    return out + n;
}
char* Zeros(char* out, int n) {
    std::memset(out, '0', std::size_t(n));
    return out + n;
}
}  // namespace

char* PutReal(char* out, double value) {
    // Whole numbers of 32 bits first (nearly all: canvas coordinates are
    // whole units), eight digits at once; zero and negative zero are "0" as
    // below. A NaN fails the comparison.
    if (std::fabs(value) <= 2147483647.0) {
        const std::int32_t whole = static_cast<std::int32_t>(value);
        if (static_cast<double>(whole) == value) return decimal::PutInt32Wide(out, whole);
    }
    if (std::isnan(value)) {
        std::memcpy(out, "NAN", 3);
        return out + 3;
    }
    if (std::isinf(value)) {
        if (value < 0) *out++ = '-';
        std::memcpy(out, "INF", 3);
        return out + 3;
    }
    if (value == 0) {
        *out++ = '0';
        return out;
    }
    // Integral values of at most 15 digits are written exactly as integers
    // (the common case: canvas coordinates are whole units).
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        return decimal::PutInt(out, static_cast<std::int64_t>(value));
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

    if (negative) *out++ = '-';
    if (exponent < -5 || exponent > 14) {
        // Below 0.00001 or more than 15 integer digits.
        *out++ = digits[0];
        if (n > 1) {
            *out++ = '.';
            out = Put(out, digits + 1, n - 1);
        }
        *out++ = 'E';
        if (exponent < 0) *out++ = '-';
        out = decimal::PutInt(out, std::abs(exponent));
    } else if (exponent >= 0) {
        int intDigits = exponent + 1;
        if (n <= intDigits) {
            out = Put(out, digits, n);
            out = Zeros(out, intDigits - n);
        } else {
            out = Put(out, digits, intDigits);
            *out++ = '.';
            out = Put(out, digits + intDigits, n - intDigits);
        }
    } else {
        *out++ = '0';
        *out++ = '.';
        out = Zeros(out, -exponent - 1);
        out = Put(out, digits, n);
    }
    return out;
}

void AppendReal(std::string& out, double value) {
    char buf[kMaxRealChars];
    out.append(buf, PutReal(buf, value));
}

std::string FormatReal(double value) {
    std::string s;
    AppendReal(s, value);
    return s;
}
