#include "app/printable.h"

#include <gtest/gtest.h>

#include <string>

TEST(Printable, ControlCharactersAreShownAsHexEscapes) {
    using namespace std::string_literals;
    EXPECT_EQ(Printable("plain text, Maße € äöü"), "plain text, Maße € äöü");
    EXPECT_EQ(Printable("a\x1b[2Jb"), "a\\x1b[2Jb");
    EXPECT_EQ(Printable("nul\0byte"s), "nul\\x00byte");
    EXPECT_EQ(Printable("del\x7f bell\a"), "del\\x7f bell\\x07");
    // Line feeds and tabs stay; CR LF becomes LF; a lone CR would return to
    // the start of the line and hide what came before it.
    EXPECT_EQ(Printable("line 1\r\nline 2\tx\n"), "line 1\nline 2\tx\n");
    EXPECT_EQ(Printable("hidden\rshown\r"), "hidden\\x0dshown\\x0d");
}
