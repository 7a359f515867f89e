// Configuration sections applied to the main window: BUTTON, START_, SKIN, HEADER_, DATACENTER_,
// MAINFORM_, SEARCH_, BACKGROUND_ and URL_, with the fatal messages and their exit code.
#include "skin_fixture.h"

#include "platform/forms/application.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"

namespace skintest {
namespace {

using forms::akBottom;
using forms::akLeft;
using forms::akRight;
using forms::akTop;
using rtl::Ru;
using viewer::Buttons;
using viewer::ButtonImages;

constexpr uint32_t kNormal = 0x0000FF, kDown = 0x00FF00;

class SkinConfigTest : public SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        WriteFace({{"n.bmp", SolidBmp(4, 4, kNormal)},
                   {"d.bmp", SolidBmp(4, 4, kDown)},
                   {"head_bg.bmp", SolidBmp(8, 3, 0x123456)},
                   {"min.bmp", SolidBmp(5, 5, 0x010101)}});
    }
};

std::string ButtonLine(const std::string& rest) { return "BUTTON=data,html,page.html,10,20,100,30,n.bmp,d.bmp,u.bmp,e.bmp,vis," + rest; }

// ---- BUTTON ----

TEST_F(SkinConfigTest, RightTopButtonWithHint) {
    ASSERT_TRUE(Apply({ButtonLine("r,t,Open the page,")}));
    ASSERT_EQ(Buttons.size(), 1u);
    ASSERT_EQ(ButtonImages.size(), 1u);
    const viewer::TMBut& b = Buttons[0];
    EXPECT_EQ(b.Kind, 1);
    EXPECT_EQ(b.Subtype, 11);
    EXPECT_EQ(b.Target, "page.html");
    EXPECT_EQ(b.Left, 10);
    EXPECT_EQ(b.Top, 20);
    EXPECT_EQ(b.Width, 100);
    EXPECT_EQ(b.Height, 30);
    EXPECT_EQ(b.Hint, "Open the page");
    EXPECT_EQ(b.Visual, viewer::ExePath + "visual\\vis");
    forms::TImage& image = *ButtonImages[0];
    EXPECT_EQ(image.Name(), "but_0");
    EXPECT_EQ(image.Tag, 0);
    EXPECT_EQ(image.Left(), F1().ClientWidth() - 10 - 100);
    EXPECT_EQ(image.Width(), 100);
    EXPECT_EQ(image.Height(), 30);
    EXPECT_EQ(image.Anchors(), akRight | akTop);
    EXPECT_EQ(image.Hint, "Open the page");
    EXPECT_TRUE(image.ShowHint);
    EXPECT_TRUE(image.Visible());
    EXPECT_EQ(image.Parent(), &F1());
    EXPECT_EQ(image.Cursor(), 2);
    EXPECT_EQ(image.Picture().Graphic()->Pixel(0, 0), kNormal);
    ASSERT_NE(b.DownPicture, nullptr);
    EXPECT_EQ(b.DownPicture->Picture().Graphic()->Pixel(0, 0), kDown);
    EXPECT_EQ(b.DownPicture->Parent(), nullptr);  // holders are never placed on the window
    EXPECT_FALSE(b.UpPicture->Picture().HasGraphic());  // no such picture: unchanged
    EXPECT_TRUE(static_cast<bool>(image.OnClick) == static_cast<bool>(F1().testbutton->OnClick));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SkinConfigTest, MissingFinalCommaLosesTheHintAndMissingValignCommaTheVerticalAnchor) {
    ASSERT_TRUE(Apply({ButtonLine("r,t,Hint"), ButtonLine("r,t")}));
    ASSERT_EQ(Buttons.size(), 2u);
    EXPECT_EQ(Buttons[0].Hint, "");
    EXPECT_EQ(ButtonImages[0]->Anchors(), akRight | akTop);
    EXPECT_EQ(Buttons[1].VAlign, 0);
    EXPECT_EQ(ButtonImages[1]->Anchors(), akRight);
    EXPECT_EQ(ButtonImages[1]->Name(), "but_1");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SkinConfigTest, LatinCLeavesTheButtonAtTheLeftCyrillicCentres) {
    ASSERT_TRUE(Apply({ButtonLine("c,m,,"), ButtonLine("\xF1,m,,")}));
    EXPECT_EQ(ButtonImages[0]->Left(), 0);
    EXPECT_EQ(ButtonImages[0]->Anchors(), akLeft | akTop | akBottom);  // default anchors plus middle
    EXPECT_EQ(ButtonImages[1]->Left(), 10);
    EXPECT_EQ(ButtonImages[1]->Anchors(), akLeft | akRight | akTop | akBottom);
}

TEST_F(SkinConfigTest, BlankBeforeTheSubtypeGivesItsMessageAndLoadingGoesOnWhenClosed) {
    ASSERT_TRUE(Apply({"BUTTON=data, html,page.html,10,20,100,30,n.bmp,d.bmp,u.bmp,e.bmp,vis,l,t,h,"}));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Text, Ru("Ошибка указания подтипа кнопки 1 в конфигурационном файле."));
    EXPECT_EQ(Boxes()[0].Type, rtl::mtCustom);
    EXPECT_EQ(Buttons[0].Subtype, 0);
    EXPECT_EQ(Buttons[0].Hint, "h");  // the rest of the line was still read
    EXPECT_EQ(ButtonImages.size(), 1u);
}

TEST_F(SkinConfigTest, OkOnAButtonMessageEndsWithExitCodeOne) {
    dialogs_.PushResult(rtl::mrOk);
    try {
        Apply({ButtonLine("l,t,,"), "BUTTON=widget,html,p,1,2,3,4,a,b,c,d,v,l,t,,"});
        FAIL() << "no halt";
    } catch (const HaltCalled& halt) {
        EXPECT_EQ(halt.ExitCode, 1);
    }
    EXPECT_EQ(LastBoxText(), Ru("Ошибка указания типа кнопки 2 в конфигурационном файле."));
}

TEST_F(SkinConfigTest, UnreadableNumberGivesTheDescriptionMessageAndKeepsWhatWasRead) {
    ASSERT_TRUE(Apply({"BUTTON=system,exit,quit,10,,100,30,n.bmp,d.bmp,u.bmp,e.bmp,vis,l,t,h,"}));
    EXPECT_EQ(LastBoxText(), Ru("Ошибка описания кнопки 1 в конфигурационном файле."));
    ASSERT_EQ(Buttons.size(), 1u);
    EXPECT_EQ(Buttons[0].Target, "quit");
    EXPECT_EQ(Buttons[0].Left, 10);
    EXPECT_EQ(Buttons[0].NormalPicture, nullptr);
    ASSERT_EQ(ButtonImages.size(), 1u);  // the on-form image is made all the same
    EXPECT_FALSE(ButtonImages[0]->Picture().HasGraphic());

    dialogs_.PushResult(rtl::mrOk);
    EXPECT_THROW(F2().ParseButtonLine("BUTTON=system,exit,quit,x"), HaltCalled);
}

TEST_F(SkinConfigTest, PlacesBeyondAnyScreenAreHeldSoTheLayoutNeverOverflows) {
    constexpr int kHeld = 1 << 24;
    ASSERT_TRUE(Apply({"BUTTON=data,html,p,-2147483648,2147483647,100,30,n.bmp,d.bmp,n.bmp,n.bmp,v,r,b,,",
                       "HEADER_height=30", "HEADER_sound_fon_left=2147483647", "HEADER_sound_all_alignhor=r",
                       "SEARCH_img_left=-2147483648", "SEARCH_img_width=2147483647", "SEARCH_halign=r",
                       "SEARCH_img_top=2147483647", "SEARCH_valign=b"}));
    EXPECT_EQ(Buttons[0].Left, -kHeld);
    EXPECT_EQ(ButtonImages[0]->Left(), F1().ClientWidth() + kHeld - 100);
    EXPECT_EQ(F1().Sound_fon->Left(), kHeld);
    EXPECT_EQ(F1().searcher_img->Left(), -kHeld);
    EXPECT_EQ(F1().searcher_img->Width(), kHeld);
    F2().LayoutSkin();
    EXPECT_EQ(Buttons[0].Top, kHeld + 30);
    EXPECT_TRUE(Boxes().empty());
}

// ---- START_, SKIN, URL_ ----

TEST_F(SkinConfigTest, StartLineSetsButtonRegistryAndTitleLowerCased) {
    ASSERT_TRUE(Apply({"START_button=3", "START_registry= MyBook ", Ru("START_name=Том ABC")}));
    EXPECT_EQ(viewer::StartButton, 2);
    EXPECT_EQ(viewer::RegistryKeyName, "mybook");
    EXPECT_EQ(forms::Application().Title, Ru("Том abc"));
    EXPECT_EQ(F1().Caption(), Ru("Том abc"));
    EXPECT_EQ(F2().Caption(), Ru("Том abc"));
    Apply({"START_button=0"});
    EXPECT_EQ(viewer::StartButton, 65535);
    EXPECT_EQ(viewer::RegistryKeyName, "mybook");  // kept when a reload lacks the line
}

TEST_F(SkinConfigTest, StartButtonThatIsNoNumberReachesTheCaller) {
    EXPECT_THROW(Apply({"START_button=x"}), rtl::EConvertError);
}

TEST_F(SkinConfigTest, SkinReloadLeavesOneEntryPerLine) {
    std::vector<std::string> lines = {"SKIN=Classic,m.css,l.css", "URL_update= http://Updates.test/ "};
    ASSERT_TRUE(Apply(lines));
    ASSERT_TRUE(Apply(lines));
    ASSERT_EQ(viewer::SkinStyles.size(), 1u);
    EXPECT_EQ(viewer::SkinStyles[0].Name, "Classic");
    EXPECT_EQ(viewer::UpdateUrl, "http://Updates.test/");
}

TEST_F(SkinConfigTest, CommentsAndUnknownPrefixesAreSkipped) {
    ASSERT_TRUE(Apply({";SKIN=Hidden,a,b", "SKIN=Shown,a,b;SKIN=x", "skin=lower,a,b", "OTHER=1"}));
    ASSERT_EQ(viewer::SkinStyles.size(), 1u);
    EXPECT_EQ(viewer::SkinStyles[0].Name, "Shown");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SkinConfigTest, MissingOrEmptyConfigurationGivesFalse) {
    EXPECT_FALSE(Apply({}));
    EXPECT_TRUE(Boxes().empty());
    RemoveFile("config.ncf");
    EXPECT_FALSE(F2().ApplyConfig());
    EXPECT_EQ(LastBoxText(), Ru("Файл config.ncf на найден. Пожалуйста, переустановите приложение"));
    WriteFile("config.ncf", "short");
    EXPECT_THROW(F2().ApplyConfig(), rtl::EStreamError);
}

// ---- MAINFORM_ and DATACENTER_ ----

TEST_F(SkinConfigTest, WindowSizeAndBrowserMargins) {
    ASSERT_TRUE(Apply({"MAINFORM_width=1000", "MAINFORM_height=760", "DATACENTER_top=25", "DATACENTER_bottom=15",
                       "DATACENTER_left=12", "DATACENTER_right=13"}));
    EXPECT_EQ(F1().Width(), 1000);
    EXPECT_EQ(F1().Height(), 760);
    const forms::TControl& browser = *F1().datacenter;
    EXPECT_EQ(browser.Top(), 25);
    EXPECT_EQ(browser.Height(), 760 - 25 - 15);
    EXPECT_EQ(browser.Left(), 12);
    EXPECT_EQ(browser.Width(), 1000 - 12 - 13);
    EXPECT_EQ(browser.Anchors(), akLeft | akTop | akRight | akBottom);
}

TEST_F(SkinConfigTest, BottomBeforeTopMeasuresFromTheDesignTop) {
    const int designTop = F1().datacenter->Top();
    ASSERT_TRUE(Apply({"DATACENTER_bottom=10", "DATACENTER_top=50"}));
    EXPECT_EQ(F1().datacenter->Top(), 50);
    EXPECT_EQ(F1().datacenter->Height(), F1().ClientHeight() - designTop - 10);
}

TEST_F(SkinConfigTest, UnreadableSizesGiveTheirMessagesAndOkEnds) {
    ASSERT_TRUE(Apply({"MAINFORM_width=wide", "DATACENTER_top=x"}));
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[0].Text, Ru("Ошибка указания размеров окна приложения в конфигурационном файле."));
    EXPECT_EQ(Boxes()[1].Text, Ru("Ошибка указания положения рабочего окна в конфигурационном файле."));
    dialogs_.PushResult(rtl::mrOk);
    EXPECT_THROW(F2().ParseDatacenterLine("DATACENTER_left=?"), HaltCalled);
    dialogs_.PushResult(rtl::mrOk);
    EXPECT_THROW(F2().ParseMainFormLine("MAINFORM_height="), HaltCalled);
}

TEST_F(SkinConfigTest, KeyFoundInTheValueDecides) {
    // "top" in the value of a right-margin line makes it a top line.
    const int width = F1().datacenter->Width();
    ASSERT_TRUE(Apply({"DATACENTER_right=top", "MAINFORM_x=9"}));
    // The value "top" is not a number: the message, and nothing changed.
    EXPECT_EQ(F1().datacenter->Width(), width);
    EXPECT_EQ(Boxes().size(), 1u);
}

// ---- HEADER_ ----

TEST_F(SkinConfigTest, BgAnywhereInAHeaderLineSetsTheHeaderPicture) {
    ASSERT_TRUE(Apply({"HEADER_ico_min=head_bg.bmp"}));
    EXPECT_EQ(F1().header->Picture().Graphic()->Pixel(0, 0), 0x123456u);
    EXPECT_FALSE(F1().ico_min->Picture().HasGraphic());
    ASSERT_TRUE(Apply({"HEADER_ico_min=MIN.BMP", "HEADER_height=42"}));
    EXPECT_EQ(F1().ico_min->Picture().Graphic()->Pixel(0, 0), 0x010101u);
    EXPECT_EQ(F1().header->Height(), 42);
    EXPECT_EQ(F1().bg_top->Top(), 42);
}

TEST_F(SkinConfigTest, CloseIconHidesLogoNameSoundAndSearchPicture) {
    viewer::MusicEnabled = 1;
    ASSERT_TRUE(Apply({"HEADER_ico_log=min.bmp", "HEADER_ico_name=min.bmp", "HEADER_sound_fon1=min.bmp",
                       "HEADER_searcher_img=min.bmp"}));
    EXPECT_TRUE(F1().ico_logo->Visible());
    EXPECT_TRUE(F1().Sound_fon->Visible());
    EXPECT_TRUE(F1().searcher_img->Visible());
    ASSERT_TRUE(Apply({"HEADER_ico_clo=min.bmp"}));
    for (forms::TControl* c : {(forms::TControl*)F1().ico_logo, (forms::TControl*)F1().ico_name,
                               (forms::TControl*)F1().Sound_fon, (forms::TControl*)F1().sound_but,
                               (forms::TControl*)F1().Sound_play, (forms::TControl*)F1().Sound_pause,
                               (forms::TControl*)F1().searcher_img})
        EXPECT_FALSE(c->Visible()) << c->Name();
}

TEST_F(SkinConfigTest, SoundPicturesShowOnlyWithMusic) {
    viewer::MusicEnabled = 0;
    F1().Sound_fon->Hide();
    ASSERT_TRUE(Apply({"HEADER_sound_fon1=min.bmp"}));
    EXPECT_FALSE(F1().Sound_fon->Visible());
    EXPECT_TRUE(F1().Sound_fon->Picture().HasGraphic());
}

TEST_F(SkinConfigTest, SoundAlignment) {
    ASSERT_TRUE(Apply({"HEADER_sound_all_alignhor=r", "HEADER_sound_all_alignver=b"}));
    for (forms::TImage* c : {F1().Sound_fon, F1().sound_but, F1().Sound_play, F1().Sound_pause})
        EXPECT_EQ(c->Anchors(), akRight | akBottom);
    ASSERT_TRUE(Apply({"HEADER_sound_all_alignhor=c"}));
    EXPECT_EQ(F1().sound_but->Anchors(), 0);
    EXPECT_TRUE(Boxes().empty());
    // A capital letter is not recognised: the error box, and loading goes on.
    ASSERT_TRUE(Apply({"HEADER_sound_all_alignhor=L", "HEADER_sound_all_alignver=", "SKIN=after,a,b"}));
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[0].Text, Ru("Ошибка в конфигурационном файле, пожалуйста, переустановите приложение!"));
    EXPECT_EQ(Boxes()[0].Type, rtl::mtError);
    EXPECT_EQ(viewer::SkinStyles.size(), 1u);
}

TEST_F(SkinConfigTest, SoundPlacement) {
    ASSERT_TRUE(Apply({"HEADER_sound_fon1=head_bg.bmp", "HEADER_sound_but1=n.bmp", "HEADER_sound_fon_left=100",
                       "HEADER_sound_fon_top=7", "HEADER_sound_but_top=8", "HEADER_sound_playpause_left=300",
                       "HEADER_sound_playpause_top=9"}));
    EXPECT_EQ(F1().Sound_fon->Left(), 100);
    EXPECT_EQ(F1().sound_but->Left(), 100 + F1().Sound_fon->Width() - F1().sound_but->Width() - 1);
    EXPECT_EQ(F1().Sound_fon->Top(), 7);
    EXPECT_EQ(F1().sound_but->Top(), 8);
    EXPECT_EQ(F1().Sound_play->Left(), 300);
    EXPECT_EQ(F1().Sound_pause->Top(), 9);
    EXPECT_THROW(Apply({"HEADER_sound_fon_top=high"}), rtl::EConvertError);
}

// ---- SEARCH_ and BACKGROUND_ ----

TEST_F(SkinConfigTest, SearchBoxPlacementTextAndColours) {
    ASSERT_TRUE(Apply({"SEARCH_left=15", "SEARCH_top=5", "SEARCH_width=200", "SEARCH_height=18",
                       "SEARCH_text=Find It", "SEARCH_color=FF0000", "SEARCH_font_color=00FF00", "SEARCH_img_top=4",
                       "SEARCH_img_left=11", "SEARCH_img_width=210", "SEARCH_img_height=22"}));
    forms::TEdit& box = *F1().searcher;
    EXPECT_EQ(box.Left(), 15);
    EXPECT_EQ(box.Top(), 5);
    EXPECT_EQ(viewer::SearchTop, 5);
    EXPECT_EQ(box.Width(), 200);
    EXPECT_EQ(box.Height(), 18);
    EXPECT_EQ(box.Text(), "Find It");
    EXPECT_EQ(box.Color(), 0x0000FF);
    EXPECT_EQ(box.Font.Color, 0x00FF00);
    EXPECT_EQ(F1().searcher_img->Top(), 4);
    EXPECT_EQ(viewer::SearchImgTop, 4);
    EXPECT_EQ(F1().searcher_img->Left(), 11);
    EXPECT_EQ(F1().searcher_img->Width(), 210);
    EXPECT_EQ(F1().searcher_img->Height(), 22);
}

TEST_F(SkinConfigTest, SearchAlignmentLatinCLikeCyrillicLeavesNoAnchors) {
    ASSERT_TRUE(Apply({"SEARCH_halign=r", "SEARCH_valign=b"}));
    EXPECT_EQ(F1().searcher->Anchors(), akRight | akBottom);
    EXPECT_EQ(F1().searcher_img->Anchors(), akRight | akBottom);
    for (const char* value : {"c", "\xF1", "L", "l "}) {
        ASSERT_TRUE(Apply({std::string("SEARCH_halign=") + value}));
        EXPECT_EQ(F1().searcher->Anchors(), 0) << value;
        EXPECT_EQ(F1().searcher_img->Anchors(), 0) << value;
    }
    ASSERT_TRUE(Apply({"SEARCH_halign=l", "SEARCH_valign=t", "SEARCH_valign=m"}));
    EXPECT_EQ(F1().searcher->Anchors(), akLeft | akTop);
}

TEST_F(SkinConfigTest, BackgroundColourAndPictures) {
    ASSERT_TRUE(Apply({"BACKGROUND_color=102030", "BACKGROUND_top_left=min.bmp", "BACKGROUND_resizer=n.bmp",
                       "BACKGROUND_bottom_right=d.bmp"}));
    EXPECT_EQ(F1().Color(), 0x302010);
    EXPECT_EQ(F1().videocenter->Color(), 0x302010);
    EXPECT_EQ(F1().bg_tl->Picture().Graphic()->Pixel(0, 0), 0x010101u);
    EXPECT_EQ(F1()._resizer->Picture().Graphic()->Pixel(0, 0), kNormal);
    EXPECT_EQ(F1().bg_br->Picture().Graphic()->Pixel(0, 0), kDown);
    EXPECT_THROW(Apply({"BACKGROUND_color=blue!"}), rtl::EConvertError);
}

}  // namespace
}  // namespace skintest
