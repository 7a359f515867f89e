// The text rules of configuration lines, BUTTON fields, SKIN lines, templates and the volume knob.
#include <gtest/gtest.h>

#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"
#include "viewer/skinrules.h"

namespace viewer {
namespace {

using rtl::Ru;

TEST(SkinRulesTest, KeyPiecesReachIntoTheValueAndLowerOnlyLatinLetters) {
    EXPECT_EQ(ShortKeyPiece("HEADER_Ico_Min=BG_Icon.bmp"), "ico_min=bg_icon.bmp");
    EXPECT_EQ(ShortKeyPiece(Ru("START_name=Энциклопедия AB")), Ru("name=Энциклопедия ab"));
    EXPECT_EQ(ShortKeyPiece("START_" + std::string(200, 'X')).size(), 99u);
    // As many characters as the position of "=": "DATACENTER_top=20" has "=" at 15.
    EXPECT_EQ(EqualsKeyPiece("DATACENTER_TOP=20"), "top=20");
    EXPECT_EQ(EqualsKeyPiece("URL_update=HTTP://A.B/c"), "update=http");
    EXPECT_EQ(EqualsKeyPiece("MAINFORM_width"), "");
}

TEST(SkinRulesTest, ValuesAreCutToTheirWidthWithCaseKept) {
    EXPECT_EQ(ValueAfterEquals("DATACENTER_top=1234", 3), "123");
    EXPECT_EQ(ValueAfterEquals("X=Ab=c", 99), "Ab=c");
    EXPECT_EQ(CutComment("MAINFORM_width=900;wide"), "MAINFORM_width=900");
    EXPECT_EQ(CutComment(";all comment"), "");
}

TEST(SkinRulesTest, ColoursAreWrittenRedFirst) {
    EXPECT_EQ(ConfigColor("FF8000"), 0x0080FF);
    EXPECT_EQ(ConfigColor("0000ff"), 0xFF0000);
    EXPECT_THROW(ConfigColor("GG0000"), rtl::EConvertError);
}

TEST(SkinRulesTest, ButtonFieldsWithoutTrailingCommasReadEmpty) {
    auto noValignComma = SplitButtonFields("BUTTON=data,html,p,1,2,3,4,a,b,c,d,v,r,t");
    EXPECT_EQ(noValignComma[bfHAlign], "r");
    EXPECT_EQ(noValignComma[bfVAlign], "");
    EXPECT_EQ(noValignComma[bfHint], "");
    auto shortLine = SplitButtonFields("BUTTON=data,html,p,1");
    EXPECT_EQ(shortLine[bfTarget], "p");
    EXPECT_EQ(shortLine[bfLeft], "");
    EXPECT_EQ(shortLine[bfTop], "");
}

TEST(SkinRulesTest, ButtonWordsAndAlignmentCodes) {
    EXPECT_EQ(ButtonKindCode("SYSTEM"), 0);
    EXPECT_EQ(ButtonKindCode("Data"), 1);
    EXPECT_EQ(ButtonKindCode("data "), -1);
    EXPECT_EQ(ButtonSubtypeCode("Favorites_Show"), 10);
    EXPECT_EQ(ButtonSubtypeCode("soft"), 14);
    EXPECT_EQ(ButtonSubtypeCode(" html"), -1);  // a blank after the comma spoils the word
    EXPECT_EQ(ButtonHAlignCode("\xF1"), kAlignBoth);  // Cyrillic "с"
    EXPECT_EQ(ButtonHAlignCode("c"), kAlignNone);     // Latin "c"
    EXPECT_EQ(ButtonHAlignCode("R"), kAlignNone);
    EXPECT_EQ(ButtonVAlignCode("m"), kAlignBoth);
    EXPECT_EQ(ButtonVAlignCode("b"), kAlignBottom);
}

TEST(SkinRulesTest, SkinLinesSplitAtTheFirstTwoCommas) {
    TKorSkin skin = ParseSkinFields("SKIN= Classic , css\\m.css , css\\l.css ");
    EXPECT_EQ(skin.Name, "Classic");
    EXPECT_EQ(skin.MediumSheet, "css\\m.css");
    EXPECT_EQ(skin.LargeSheet, "css\\l.css");
    TKorSkin one = ParseSkinFields("SKIN=Plain,only.css");
    EXPECT_EQ(one.Name, "Plain");
    EXPECT_EQ(one.MediumSheet, "");
    EXPECT_EQ(one.LargeSheet, "only.css");
    EXPECT_EQ(ParseSkinFields("SKIN=a,b,c,d").LargeSheet, "c,d");
}

TEST(SkinRulesTest, TemplateLinesAreCutAtTheSemicolonAndLowerCased) {
    TKorTemplate t;
    EXPECT_TRUE(ApplyTemplateLine("prefix=<TABLE Class=X>&nbsp;rest", t, false));
    EXPECT_EQ(t.prefix, "<table class=x>&nbsp");
    EXPECT_TRUE(ApplyTemplateLine("postfix=</TABLE>", t, false));
    EXPECT_EQ(t.postfix, "</table>");
    EXPECT_TRUE(ApplyTemplateLine("pre_even=;", t, false));
    EXPECT_EQ(t.pre_even, "");
    // A ";" before the "=" counts as none.
    EXPECT_TRUE(ApplyTemplateLine(";empty=Nothing", t, false));
    EXPECT_EQ(t.empty, "nothing");
    EXPECT_FALSE(ApplyTemplateLine("unknown=value;", t, false));
    EXPECT_EQ(t.template_top, "");
}

TEST(SkinRulesTest, TemplateValueNamingAnotherKeyGoesToTheFirstKey) {
    TKorTemplate t;
    ApplyTemplateLine("post_odd_row=<a class=prefix>;", t, false);
    EXPECT_EQ(t.prefix, "<a class=prefix>");
    EXPECT_EQ(t.post_odd_row, "");
    ApplyTemplateLine("middle=<hr>;", t, false);  // favourites know no "middle"
    EXPECT_EQ(t.middle, "");
    ApplyTemplateLine("middle=<HR>;", t, true);
    EXPECT_EQ(t.middle, "<hr>");
    ApplyTemplateLine("empty=middle;", t, true);
    EXPECT_EQ(t.middle, "middle");
    ApplyTemplateLine("prefix=second;", t, false);
    EXPECT_EQ(t.prefix, "second");
}

TEST(SkinRulesTest, KnobOffsetFollowsTheVolume) {
    // Track 100 wide: the divisor is 10. No volume chosen and no music: 850 + 5 = 855 -> 85.
    int32_t volume = 0;
    EXPECT_EQ(KnobOffset(100, false, volume, 0), 85);
    EXPECT_EQ(volume, 850);
    volume = 400;
    EXPECT_EQ(KnobOffset(100, false, volume, 0), 40);
    EXPECT_EQ(KnobOffset(100, true, volume, 0), 40);
    volume = 5;  // playing with no slider value: the player's volume less 130
    EXPECT_EQ(KnobOffset(100, true, volume, 730), 60);
    EXPECT_EQ(KnobOffset(100, true, volume, 100), -3);  // truncates toward zero
    EXPECT_EQ(volume, 5);
    volume = 0;
    EXPECT_EQ(KnobOffset(300, false, volume, 0), 285);  // divisor 3
}

TEST(SkinRulesTest, KnobOffsetNeverDividesByZero) {
    int32_t volume = 0;
    EXPECT_EQ(KnobOffset(0, false, volume, 0), 0);
    EXPECT_EQ(volume, 850);
    EXPECT_EQ(KnobOffset(-4, true, volume, 0), 0);
    EXPECT_EQ(KnobOffset(1500, false, volume, 0), 855);  // wider than 1000: one pixel per step
    EXPECT_EQ(KnobOffset(1000, false, volume, 0), 855);
}

}  // namespace
}  // namespace viewer
