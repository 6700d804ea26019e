// The number and string helpers of the reader.
#include <charconv>
#include <cstring>
#include <gtest/gtest.h>

#include <cmath>

#include "model/parsing.h"

TEST(Helpers, HexHandles) {
    EXPECT_EQ(HexHandle("1F"), 31u);
    EXPECT_EQ(HexHandle("xyz"), 0u);
    EXPECT_EQ(HexHandle("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(HexHandle("1234567890ABCDEF1234567890ABCDEF12345678"), 0u);  // does not fit
}

TEST(Helpers, DiameterSubstituteOnlyForLowerN) {
    EXPECT_EQ(DiameterSubstitute("n"), "\\U+2205");
    EXPECT_EQ(DiameterSubstitute("N"), "N");
    EXPECT_EQ(DiameterSubstitute("nn"), "nn");
}

TEST(Helpers, ReplaceTextCaseInsensitive) {
    EXPECT_EQ(ReplaceTextCI("a%%Cb%%cc", "%%c", "X"), "aXbXc");
    EXPECT_EQ(ReplaceTextCI("abcabc", "B", ""), "acac");
    EXPECT_EQ(ReplaceTextCI("aaa", "a", "aa"), "aaa");  // would never end: left alone
}

TEST(Numbers, DecimalCommaAndBlanks) {
    double v = 0;
    ASSERT_TRUE(ParseDouble("1,5", v));
    EXPECT_EQ(v, 1.5);
    ASSERT_TRUE(ParseDouble("  -2.25e1 ", v));
    EXPECT_EQ(v, -22.5);
    ASSERT_TRUE(ParseDouble("+.5", v));
    EXPECT_EQ(v, 0.5);
    EXPECT_FALSE(ParseDouble("nan", v));
    EXPECT_FALSE(ParseDouble("inf", v));
    EXPECT_FALSE(ParseDouble("1.2.3", v));
    EXPECT_FALSE(ParseDouble("", v));
    EXPECT_FALSE(ParseDouble("--1", v));
    ASSERT_TRUE(ParseDouble("1e400", v));
    EXPECT_TRUE(std::isinf(v));
    ASSERT_TRUE(ParseDouble("1e-400", v));
    EXPECT_EQ(v, 0);
    EXPECT_EQ(TextToFloatDef("x", 7), 7);
}

TEST(Numbers, IntegersAllowLeadingButNotTrailingBlanks) {
    int32_t v = 0;
    ASSERT_TRUE(ParseInt32("  0", v));
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(ParseInt32("0 ", v));
    EXPECT_FALSE(ParseInt32("2147483648", v));
    ASSERT_TRUE(ParseInt32("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_FALSE(ParseInt32("99999999999999999999999", v));
    EXPECT_FALSE(ParseInt32("1.0", v));
}

// Plain numbers take a shortcut (integer digits divided by a power of ten);
// it must give exactly what from_chars gives, including at the edges where
// the shortcut hands over to the general reading (2^53, 19 digits, 22
// decimals) and for the comma as separator.
TEST(ParseNumbers, PlainNumbersReadExactlyAsFromChars) {
    const char* cases[] = {"0.1", "8660.8094", "-0.3302", "0.0000", "123456789012345.6789", "9007199254740993",
                           "9007199254740992.5", "1234567890.123456789", "0.0000000000000000000001",
                           "0.00000000000000000000001", "3.14159265358979323846", "7,25", "-12,5", "1e5", "2.5E-3"};
    for (const char* c : cases) {
        std::string dotted(c);
        for (char& ch : dotted)
            if (ch == ',') ch = '.';
        const char* b = dotted.c_str();
        bool neg = *b == '-';
        double want = 0;
        std::from_chars(b + (neg ? 1 : 0), dotted.c_str() + dotted.size(), want);
        if (neg) want = -want;
        double got = 1;
        ASSERT_TRUE(ParseDouble(c, got)) << c;
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << c << " " << got << " " << want;
    }
    double v = 1;
    ASSERT_TRUE(ParseDouble("-0.0000", v));
    EXPECT_TRUE(std::signbit(v));  // -0 as from_chars gives it
    EXPECT_FALSE(ParseDouble("1.2.3", v));
    EXPECT_FALSE(ParseDouble("1,2,3", v));
    int32_t i = 0;
    ASSERT_TRUE(ParseInt32("  8", i));  // group codes are written right-aligned
    EXPECT_EQ(i, 8);
    EXPECT_FALSE(ParseInt32("  8x", i));
}
