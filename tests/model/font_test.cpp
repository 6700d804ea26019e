// The extended font objects: the numbers packed into the face-name field,
// escapement and orientation, the style set and the logical font they fill.
#include <gtest/gtest.h>

#include "model/font.h"

namespace {
std::u16string FaceOf(const LOGFONTW& lf) {
    std::u16string f;
    for (char16_t c : lf.lfFaceName) {
        if (!c) break;
        f += c;
    }
    return f;
}
}  // namespace

TEST(ExtFont, EscapementIsReducedAndNegativeOnesTurnPositiveInTheLogicalFont) {
    TmvExtFont f;
    f.SetEscapement(4500);  // 4500 mod 3600
    EXPECT_EQ(f.Escapement(), 900);
    f.SetEscapement(-900);
    EXPECT_EQ(f.Escapement(), -900);
    EXPECT_EQ(f.Handle().lfEscapement, 2700);
    EXPECT_EQ(f.Handle().lfOrientation, 2700);
    f.SetEscapement(-7250);  // keeps its sign: -50
    EXPECT_EQ(f.Escapement(), -50);
}

TEST(ExtFont, OrientationFollowsEscapementUntilSetOnItsOwn) {
    TmvExtFont f;
    f.SetEscapement(450);
    EXPECT_EQ(f.Orientation(), 450);
    f.SetOrientation(300);
    f.SetEscapement(600);
    EXPECT_EQ(f.Orientation(), 300);
    EXPECT_EQ(f.Escapement(), 600);
}

TEST(ExtFont, NameFieldHoldsTwentyTwoCharactersAndTheNumbers) {
    TmvExtFont f;
    f.SetName("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123");  // 30 characters
    EXPECT_EQ(f.Name(), "ABCDEFGHIJKLMNOPQRSTUV");
    f.SetWidth(12);
    f.SetWeight(700);
    EXPECT_EQ(f.Name(), "ABCDEFGHIJKLMNOPQRSTUV");
    EXPECT_EQ(f.Width(), 12);
    // Setting the name rewrites the field: the numbers are gone.
    f.SetName("Arial");
    EXPECT_EQ(f.Width(), 0);
    EXPECT_EQ(f.Weight(), 0);
    EXPECT_EQ(FaceOf(f.Handle()), u"Arial");
}

TEST(ExtFont, TheNumbersArePartOfTheFontsIdentity) {
    TmvExtFont a, b;
    a.SetName("Arial");
    b.SetName("Arial");
    EXPECT_TRUE(a == b);
    b.SetEscapement(10);
    EXPECT_FALSE(a == b);
    b.SetEscapement(0);
    EXPECT_TRUE(a == b);
}

TEST(FontStyle, UpwardAndDownwardExcludeEachOther) {
    TmvFont f;
    f.SetStyle(FontStyle(fmUpward));
    f.SetStyle(FontStyle(fmUpward) | FontStyle(fmDownward));
    EXPECT_EQ(f.Style(), FontStyle(fmDownward));
    f.SetStyle(FontStyle(fmUpward) | FontStyle(fmDownward) | FontStyle(fmBold));
    EXPECT_EQ(f.Style(), FontStyle(fmUpward) | FontStyle(fmBold));
    // Neither before: both dropped.
    TmvFont g;
    g.SetStyle(FontStyle(fmUpward) | FontStyle(fmDownward));
    EXPECT_EQ(g.Style(), 0);
}

TEST(FontStyle, TheLogicalFontOfTheStyles) {
    TmvFont f;
    f.SetName("Arial");
    f.Height = -30;
    f.Charset = 255;
    f.Pitch = TFontPitch::fpFixed;
    f.SetStyle(FontStyle(fmBold) | FontStyle(fmItalic) | FontStyle(fmUnderline) | FontStyle(fmUpward));
    LOGFONTW lf = f.Handle();
    EXPECT_EQ(lf.lfHeight, -30);
    EXPECT_EQ(lf.lfWidth, 0);
    EXPECT_EQ(lf.lfEscapement, 900);
    EXPECT_EQ(lf.lfOrientation, 900);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfUnderline, 1);
    EXPECT_EQ(lf.lfStrikeOut, 0);
    EXPECT_EQ(lf.lfCharSet, 255);
    EXPECT_EQ(lf.lfPitchAndFamily, 1);
    f.SetStyle(FontStyle(fmDownward));
    EXPECT_EQ(f.Handle().lfEscapement, 2700);
    EXPECT_EQ(f.Handle().lfWeight, 400);
}

TEST(FontStyle, CondensedWidthIsTwoThirdsOfTheNaturalWidth) {
    // Width sum 40, height sum 100, height -30: (30 x 40 x 2 + 150) div 300 = 8.
    EXPECT_EQ(TmvFont::CondensedWidth(-30, 40, 100), 8);
    EXPECT_EQ(TmvFont::CondensedWidth(-30, 40, 0), 0);
    // From the Arial table (average 904 of a 2288 cell): height 160 gives
    // (160 x 904 x 2 + 3432) div 6864 = 42.
    TmvExtFont f;
    f.SetName("Arial");
    f.Height = 160;
    f.Include(fmCondensed);
    EXPECT_EQ(f.Handle().lfWidth, 42);
    // An explicit width wins over the condensed one.
    f.SetWidth(25);
    EXPECT_EQ(f.Handle().lfWidth, 25);
}

TEST(ExtFont, NumbersReplaceTheStylesValuesInTheLogicalFont) {
    TmvExtFont f;
    f.SetName("Arial");
    f.Include(fmUpward);
    f.SetWeight(600);
    LOGFONTW lf = f.Handle();
    EXPECT_EQ(lf.lfEscapement, 900);  // escapement 0 leaves the style's value
    EXPECT_EQ(lf.lfWeight, 600);
    f.SetEscapement(300);
    EXPECT_EQ(f.Handle().lfEscapement, 300);
    // The sink's font made from it: weight 600 is not bold.
    TFont c = f.CanvasFont();
    EXPECT_EQ(c.Name, "Arial");
    EXPECT_EQ(c.Escapement, 300);
    EXPECT_FALSE(c.Bold);
}
