// The text form of reals in the DXF output.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "output/decimal.h"
#include "output/decimal_fast.h"
#include "output/reals.h"

TEST(RealText, WorkedExamples) {
    EXPECT_EQ(FormatReal(15.0), "15");
    EXPECT_EQ(FormatReal(0.5), "0.5");
    EXPECT_EQ(FormatReal(0.0000001), "1E-7");
    EXPECT_EQ(FormatReal(-2.0), "-2");
    // The float nearest to 0.1 is 0.100000001490116119384765625: 15 digits.
    EXPECT_EQ(FormatReal(double(0.1f)), "0.100000001490116");
}

TEST(RealText, IntegralValuesHaveNoPoint) {
    EXPECT_EQ(FormatReal(600000.0), "600000");
    EXPECT_EQ(FormatReal(0.0), "0");
    EXPECT_EQ(FormatReal(-0.0), "0");
    EXPECT_EQ(FormatReal(-3.0), "-3");
    EXPECT_EQ(FormatReal(1.0), "1");
    EXPECT_EQ(FormatReal(100.0), "100");
    EXPECT_EQ(FormatReal(360.0), "360");
    // Either side of the 32-bit range (written eight digits at once below
    // it, by the 64-bit writer above it) and of eight digits.
    EXPECT_EQ(FormatReal(99999999.0), "99999999");
    EXPECT_EQ(FormatReal(-100000000.0), "-100000000");
    EXPECT_EQ(FormatReal(2147483647.0), "2147483647");
    EXPECT_EQ(FormatReal(-2147483647.0), "-2147483647");
    EXPECT_EQ(FormatReal(-2147483648.0), "-2147483648");
    EXPECT_EQ(FormatReal(2147483648.0), "2147483648");
    EXPECT_EQ(FormatReal(999999999999999.0), "999999999999999");
}

TEST(RealText, FixedDownToOneHundredThousandth) {
    EXPECT_EQ(FormatReal(0.00001), "0.00001");
    EXPECT_EQ(FormatReal(0.000012345), "0.000012345");
    EXPECT_EQ(FormatReal(0.0000099), "9.9E-6");
    EXPECT_EQ(FormatReal(-0.000001), "-1E-6");
    EXPECT_EQ(FormatReal(1.5e-10), "1.5E-10");
    EXPECT_EQ(FormatReal(0.125), "0.125");
    EXPECT_EQ(FormatReal(0.05), "0.05");
}

TEST(RealText, FifteenIntegerDigitsStayFixed) {
    EXPECT_EQ(FormatReal(999999999999999.0), "999999999999999");
    EXPECT_EQ(FormatReal(123456789012345.0), "123456789012345");
    // 16 integer digits switch to the exponent form.
    EXPECT_EQ(FormatReal(1e15), "1E15");
    EXPECT_EQ(FormatReal(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(FormatReal(-2.5e20), "-2.5E20");
    // 999999999999999.9 rounds to 16 integer digits at 15 significant digits.
    EXPECT_EQ(FormatReal(999999999999999.9), "1E15");
}

TEST(RealText, FloatRounding) {
    // Float values are written with 15 significant digits of the exact value.
    EXPECT_EQ(FormatReal(double(0.3f)), "0.300000011920929");
    EXPECT_EQ(FormatReal(double(1.1f)), "1.10000002384186");
    EXPECT_EQ(FormatReal(double(50.0f / 51.0f)), "0.980392158031464");
    EXPECT_EQ(FormatReal(double(0.125f)), "0.125");
    EXPECT_EQ(FormatReal(double(1.0f / 3.0f)), "0.333333343267441");
    EXPECT_EQ(FormatReal(double(123456.789f)), "123456.7890625");
    // 1.00000001168609742e-7 rounds to 1.00000001168610, the last zero goes.
    EXPECT_EQ(FormatReal(double(1e-7f)), "1.0000000116861E-7");
    EXPECT_EQ(FormatReal(double(16777217.0f)), "16777216");
    // Doubles are cut to 15 digits: 0.1 + 0.2 = 0.30000000000000004...
    EXPECT_EQ(FormatReal(0.1 + 0.2), "0.3");
    EXPECT_EQ(FormatReal(0.05 * 300.0), "15");
    EXPECT_EQ(FormatReal(57.29577951308232), "57.2957795130823");
    EXPECT_EQ(FormatReal(-1.0 / 3.0), "-0.333333333333333");
    EXPECT_EQ(FormatReal(2.0 / 3.0), "0.666666666666667");
}

TEST(RealText, SpecialValues) {
    EXPECT_EQ(FormatReal(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FormatReal(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(FormatReal(-std::numeric_limits<double>::infinity()), "-INF");
    EXPECT_EQ(FormatReal(std::numeric_limits<double>::max()), "1.79769313486232E308");
    EXPECT_EQ(FormatReal(std::numeric_limits<double>::denorm_min()), "4.94065645841247E-324");
}

TEST(RealText, AppendsToExistingText) {
    std::string s = "x=";
    AppendReal(s, 2.25);
    EXPECT_EQ(s, "x=2.25");
}

// The integer writer gives std::to_chars's text at every number of digits,
// both signs and the ends of the range (it writes the digits straight into
// place, so a wrong count would shift or cut them).
TEST(Decimal, IntegersAreWrittenAsToCharsWritesThem) {
    std::vector<std::int64_t> values = {0, INT64_MIN, INT64_MAX, INT64_MIN + 1};
    for (std::int64_t p = 1; p <= INT64_MAX / 10; p *= 10)
        for (std::int64_t v : {p - 1, p, p + 1, 5 * p, 9 * p}) values.insert(values.end(), {v, -v});
    for (std::int64_t v : values) {
        char want[32], got[32];
        char* we = std::to_chars(want, want + sizeof want, v).ptr;
        std::memset(got, '#', sizeof got);
        char* ge = decimal::PutInt(got, v);
        EXPECT_EQ(std::string(got, ge), std::string(want, we)) << v;
        EXPECT_EQ(got[ge - got], '#') << v;  // nothing written past the end
    }
    char u[32];
    EXPECT_EQ(std::string(u, decimal::PutUnsigned(u, UINT64_MAX)), "18446744073709551615");
}

// The eight-digits-at-once writer of the text output gives the same text for
// every 32-bit value: every count of digits with its neighbours (a wrong
// count of leading zeros would cut or pad them), 0, both ends of the range
// and, past eight digits, the ordinary writer's path; and every value of a
// stretch that crosses each digit pair's carry (0..199999). The same for the
// line of four numbers the text output writes.
TEST(Decimal, ThirtyTwoBitIntegersEightDigitsAtOnce) {
    std::vector<std::int64_t> values = {0, INT32_MIN, INT32_MAX, INT32_MIN + 1, 99999999, 100000000};
    for (std::int64_t p = 1; p <= INT32_MAX / 10; p *= 10)
        for (std::int64_t v : {p - 1, p, p + 1, 5 * p, 9 * p}) values.insert(values.end(), {v, -v});
    for (std::int64_t v = 0; v < 200000; ++v) values.insert(values.end(), {v, -v, 123456789 - 7 * v});
    for (std::int64_t v : values) {
        char want[32], got[32];
        char* we = std::to_chars(want, want + sizeof want, v).ptr;
        char* ge = decimal::PutInt32Wide(got, std::int32_t(v));
        ASSERT_EQ(std::string(got, ge), std::string(want, we)) << v;
    }
    // The text output's line of four numbers: every four values in a row (all
    // four below 10^8 mostly, some with one beyond, which takes the other way).
    for (size_t i = 0; i + 4 <= values.size(); ++i) {
        std::string want;
        for (size_t k = 0; k < 4; ++k) want += std::to_string(values[i + k]) + (k < 3 ? ";" : "\r\n");
        char got[64];
        char* ge = decimal::PutSegmentLine(got, std::int32_t(values[i]), std::int32_t(values[i + 1]),
                                           std::int32_t(values[i + 2]), std::int32_t(values[i + 3]));
        ASSERT_EQ(std::string(got, ge), want) << i;
    }
}
