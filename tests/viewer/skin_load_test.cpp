// Skin loading: the picture store and its lookup, the splash picture, the layout pass with concrete
// numbers, the list templates, the install path and the whole load.
#include "skin_fixture.h"

#include <set>

#include "platform/forms/application.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/registry.h"

namespace skintest {
namespace {

using forms::akRight;
using rtl::Ru;
using viewer::FaceImages;
using viewer::TFaceEntry;

const std::string kFaceMessage = "Ошибка чтения файла face.dat. Пожалуйста, переустановите приложение.";

// ---- picture store ----

TEST_F(SkinTest, DamagedPictureFileKeepsThePicturesBeforeTheDamage) {
    WriteFile("face.dat", viewer::WriteFaceFile({{"a.bmp", SolidBmp(2, 2, 1)}, {"b.bmp", SolidBmp(3, 3, 2)}}) +
                              "5|c.bmp9|BMtrunc");
    F2().LoadFaceImages();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Text, Ru(kFaceMessage));
    EXPECT_EQ(Boxes()[0].Type, rtl::mtCustom);
    ASSERT_EQ(FaceImages.size(), 3u);
    EXPECT_EQ(FaceImages[1].Picture->Width(), 3);
    EXPECT_EQ(FaceImages[2].Name, "c.bmp");
    EXPECT_FALSE(FaceImages[2].Picture);
    // The pictures read are used.
    F2().AssignFaceImage(F1().ico_min, "B.bmp");
    EXPECT_EQ(F1().ico_min->Width(), 3);
}

TEST_F(SkinTest, MissingPictureFileIsReportedAndTheStoreIsEmptied) {
    WriteFace({{"a.bmp", SolidBmp(2, 2)}});
    F2().LoadFaceImages();
    EXPECT_EQ(FaceImages.size(), 1u);
    RemoveFile("face.dat");
    F2().LoadFaceImages();
    EXPECT_TRUE(FaceImages.empty());
    EXPECT_EQ(LastBoxText(), Ru(kFaceMessage));
}

TEST_F(SkinTest, LookupTakesTheLastOfARepeatedNameAndAnEntryWithoutBitmapClears) {
    WriteFace({{"Logo.bmp", SolidBmp(1, 1, 0x111111)}, {"logo.bmp", SolidBmp(1, 1, 0x222222)},
               {"X.BMP", SolidBmp(1, 1, 0x333333)}});
    F2().LoadFaceImages();
    forms::TImage& image = *F1().ico_logo;
    F2().AssignFaceImage(&image, "LOGO.BMP");
    ASSERT_TRUE(image.Picture().Graphic());
    EXPECT_EQ(image.Picture().Graphic()->Pixel(0, 0), 0x222222u);
    F2().AssignFaceImage(&image, "nothing.bmp");
    EXPECT_EQ(image.Picture().Graphic()->Pixel(0, 0), 0x222222u);  // no match: unchanged
    // "X.BMP" has no bitmap (the "bmp" test minds case), yet the lookup finds it and clears.
    F2().AssignFaceImage(&image, "x.bmp");
    EXPECT_TRUE(image.Picture().Empty());
}

TEST_F(SkinTest, SplashNeverDrawsTheLastOfSeveralStartupPictures) {
    WriteFace({{"startup_1.bmp", SolidBmp(1, 1, 1)}, {"other.bmp", SolidBmp(1, 1, 9)},
               {"STARTUP_2.bmp", SolidBmp(1, 1, 2)}, {"startup_3.bmp", SolidBmp(1, 1, 3)}});
    F2().LoadFaceImages();
    std::set<uint32_t> seen;
    for (int i = 0; i < 200; ++i) {
        F2().ShowRandomSplash(F2().Image1);
        seen.insert(F2().Image1->Picture().Graphic()->Pixel(0, 0));
    }
    EXPECT_EQ(seen, (std::set<uint32_t>{1, 2}));
}

TEST_F(SkinTest, SplashWithOneOrNoStartupPicture) {
    WriteFace({{"startup_only.bmp", SolidBmp(1, 1, 5)}});
    F2().LoadFaceImages();
    F2().ShowRandomSplash(F2().Image1);
    EXPECT_EQ(F2().Image1->Picture().Graphic()->Pixel(0, 0), 5u);
    WriteFace({{"plain.bmp", SolidBmp(1, 1, 6)}});
    F2().LoadFaceImages();
    F2().ShowRandomSplash(F2().Image1);
    EXPECT_EQ(F2().Image1->Picture().Graphic()->Pixel(0, 0), 5u);
}

// ---- layout ----

class SkinLayoutTest : public SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        WriteFace({{"clo.bmp", SolidBmp(20, 18)}, {"max.bmp", SolidBmp(16, 18)}, {"min.bmp", SolidBmp(12, 18)},
                   {"logo.bmp", SolidBmp(50, 30)}, {"name.bmp", SolidBmp(70, 30)}, {"c10.bmp", SolidBmp(10, 10)},
                   {"side_t.bmp", SolidBmp(10, 20)}, {"side_b.bmp", SolidBmp(10, 25)},
                   {"corner.bmp", SolidBmp(15, 12)}, {"grip.bmp", SolidBmp(14, 14)},
                   {"track.bmp", SolidBmp(100, 6)}, {"knob.bmp", SolidBmp(5, 9)}, {"play.bmp", SolidBmp(16, 16)},
                   {"btn.bmp", SolidBmp(40, 20)}});
    }

    std::vector<std::string> Skin(int width, int height) {
        return {"MAINFORM_width=" + std::to_string(width), "MAINFORM_height=" + std::to_string(height),
                "DATACENTER_top=10", "DATACENTER_bottom=20", "DATACENTER_left=10", "DATACENTER_right=10",
                "HEADER_height=30", "HEADER_ico_clo=clo.bmp", "HEADER_ico_max=max.bmp", "HEADER_ico_min=min.bmp",
                "HEADER_ico_log=logo.bmp", "HEADER_ico_name=name.bmp", "BACKGROUND_top_left=c10.bmp",
                "BACKGROUND_top_right=c10.bmp", "BACKGROUND_mid_left_top=side_t.bmp",
                "BACKGROUND_mid_left_bot=side_b.bmp", "BACKGROUND_mid_right_top=side_t.bmp",
                "BACKGROUND_mid_right_bot=side_b.bmp", "BACKGROUND_bottom_left=corner.bmp",
                "BACKGROUND_bottom_right=corner.bmp", "BACKGROUND_resizer=grip.bmp",
                "BUTTON=data,html,a.html,10,20,40,20,btn.bmp,btn.bmp,btn.bmp,btn.bmp,v,l,t,,"};
    }
};

TEST_F(SkinLayoutTest, FramePiecesIconsBrowserAndButtons) {
    ASSERT_TRUE(Apply(Skin(1000, 760)));
    F2().LayoutSkin();
    viewer::TForm1& f = F1();
    EXPECT_EQ(f.ClientWidth(), 1000);
    EXPECT_EQ(f.ClientHeight(), 760);
    EXPECT_EQ(f.ico_clo->Left(), 980);
    EXPECT_EQ(f.ico_max->Left(), 964);
    EXPECT_EQ(f.ico_min->Left(), 952);
    EXPECT_EQ(f.ico_min->Top(), 0);
    EXPECT_EQ(f.ico_logo->Left(), 0);
    EXPECT_EQ(f.ico_name->Left(), 50);
    EXPECT_EQ(f.datacenter->Top(), 40);
    EXPECT_EQ(f.datacenter->Height(), 700);
    EXPECT_EQ(f.datacenter->Left(), 10);
    EXPECT_EQ(f.datacenter->Width(), 980);
    EXPECT_EQ(f.videocenter->Left(), 180);
    EXPECT_EQ(f.videocenter->Top(), 40);
    EXPECT_EQ(f.bg_top->Top(), 30);
    EXPECT_EQ(f.bg_top->Height(), 10);
    EXPECT_EQ(f.bg_top->Width(), 1000);
    EXPECT_EQ(f.bg_tl->Top(), 30);
    EXPECT_EQ(f.bg_tr->Left(), 990);
    EXPECT_EQ(f.bg_bot->Top(), 740);
    EXPECT_EQ(f.bg_bot->Height(), 20);
    EXPECT_EQ(f._resizer->Top(), 746);
    EXPECT_EQ(f._resizer->Left(), 986);
    EXPECT_EQ(f.bg_bl->Top(), 740);
    EXPECT_EQ(f.bg_br->Top(), 740);
    EXPECT_EQ(f.bg_br->Left(), 985);
    EXPECT_EQ(f.bg_lt->Top(), 40);
    EXPECT_EQ(f.bg_lb->Top(), 715);
    EXPECT_EQ(f.bg_l->Top(), 60);
    EXPECT_EQ(f.bg_l->Height(), 655);
    EXPECT_EQ(f.bg_rt->Top(), 40);
    EXPECT_EQ(f.bg_rb->Top(), 715);
    EXPECT_EQ(f.bg_r->Top(), 60);
    EXPECT_EQ(f.bg_r->Height(), 655);
    EXPECT_EQ(f.Constraints().MinHeight, 660);
    EXPECT_EQ(f.Constraints().MinWidth, 920);
    EXPECT_EQ(viewer::Buttons[0].Top, 50);
    EXPECT_EQ(viewer::ButtonImages[0]->Top(), 50);
}

TEST_F(SkinLayoutTest, TooSmallWindowGrowsToTheMinimumAndRightPiecesFollow) {
    ASSERT_TRUE(Apply(Skin(900, 700)));
    F2().LayoutSkin();
    // The browser is 880 wide: the minimum width is 900 - 880 + 900.
    EXPECT_EQ(F1().Constraints().MinWidth, 920);
    EXPECT_EQ(F1().ClientWidth(), 920);
    EXPECT_EQ(F1().ico_clo->Left(), 900);
    EXPECT_EQ(F1().datacenter->Width(), 900);
}

TEST_F(SkinLayoutTest, SearchBoxAnchoredRightCountsFromTheRightEdge) {
    ASSERT_TRUE(Apply({"MAINFORM_width=1000", "MAINFORM_height=760", "SEARCH_left=10", "SEARCH_width=150",
                       "SEARCH_img_left=5", "SEARCH_img_width=160", "SEARCH_halign=r", "SEARCH_top=8",
                       "SEARCH_height=20", "SEARCH_valign=b"}));
    F2().LayoutSkin();
    EXPECT_EQ(F1().searcher->Left() + F1().searcher->Width(), 990);
    EXPECT_EQ(F1().searcher_img->Left(), 1000 - 160 - 5);
    EXPECT_EQ(F1().searcher->Top(), 760 - 20 - 8);
}

TEST_F(SkinLayoutTest, RightAlignedSoundControlsWithNoVolumeYet) {
    std::vector<std::string> lines = Skin(1000, 760);
    for (const char* line : {"HEADER_sound_fon1=track.bmp", "HEADER_sound_but1=knob.bmp", "HEADER_play1=play.bmp",
                             "HEADER_pause1=play.bmp", "HEADER_sound_fon_left=30",
                             "HEADER_sound_playpause_left=60", "HEADER_sound_all_alignhor=r"})
        lines.push_back(line);
    ASSERT_TRUE(Apply(lines));
    F2().LayoutSkin();
    EXPECT_EQ(F1().Sound_fon->Left(), 1000 - 30 - 100);
    // Track 100 wide: the divisor is 10, so the knob sits (855 div 10) - 1 from the track's left edge.
    EXPECT_EQ(F1().sound_but->Left() - F1().Sound_fon->Left(), 84);
    EXPECT_EQ(viewer::VolumePos, 850);
    EXPECT_EQ(F1().Sound_play->Left(), 1000 - 60 - 16);
    EXPECT_EQ(F1().Sound_pause->Left(), 1000 - 60 - 16);
}

TEST_F(SkinLayoutTest, SoundTrackWithoutWidthOrWiderThanTheRangeDividesNothingByZero) {
    WriteFace({{"wide.bmp", SolidBmp(1200, 2)}});
    ASSERT_TRUE(Apply({"MAINFORM_width=1300", "HEADER_sound_all_alignhor=r", "HEADER_sound_fon1=wide.bmp"}));
    viewer::VolumePos = 300;
    F2().LayoutSkin();
    EXPECT_EQ(F1().sound_but->Left() - F1().Sound_fon->Left(), 304);

    F1().Sound_fon->Picture().Clear();
    F1().Sound_fon->SetWidth(0);
    F2().LayoutSkin();
    EXPECT_EQ(F1().sound_but->Left() - F1().Sound_fon->Left(), -1);
}

TEST_F(SkinLayoutTest, EveryLayoutPassMovesTheBrowserDownOnceMore) {
    ASSERT_TRUE(Apply({"HEADER_height=30"}));
    const int top = F1().datacenter->Top();
    F2().LayoutSkin();
    F2().LayoutSkin();
    EXPECT_EQ(F1().datacenter->Top(), top + 60);
}

// ---- templates ----

TEST_F(SkinTest, TemplatesAreReadLowerCasedAndCutAtTheSemicolon) {
    WriteFile("data/templates/search.edt",
              "template_top=Search_Top.HTML;\r\nprefix=<TABLE>;\r\nmiddle=<TD>&NBSP;</TD>;\r\n"
              "empty=Nothing Found\r\nunknown=1;\r\n");
    WriteFile("data/templates/favorites.edt", "pre_odd_row=<TR Class=Odd>;\r\nmiddle=<hr>;\r\n");
    F2().LoadSearchTemplate();
    F2().LoadFavoritesTemplate();
    EXPECT_EQ(viewer::SearchTemplate.template_top, "search_top.html");
    EXPECT_EQ(viewer::SearchTemplate.prefix, "<table>");
    EXPECT_EQ(viewer::SearchTemplate.middle, "<td>&nbsp");
    EXPECT_EQ(viewer::SearchTemplate.empty, "nothing found");
    EXPECT_EQ(viewer::FavoritesTemplate.pre_odd_row, "<tr class=odd>");
    EXPECT_EQ(viewer::FavoritesTemplate.middle, "");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SkinTest, MissingTemplateEndsWithExitCodeOneOnOk) {
    dialogs_.PushResult(rtl::mrOk);
    EXPECT_THROW(F2().LoadFavoritesTemplate(), HaltCalled);
    EXPECT_EQ(LastBoxText(), Ru("Файл шаблона избранного поврежден. Пожалуйста, переустановите программу."));
    // Closed another way: the read of the missing file fails and the failure reaches the caller.
    EXPECT_THROW(F2().LoadSearchTemplate(), rtl::Exception);
    EXPECT_EQ(LastBoxText(), Ru("Файл шаблона поиска поврежден. Пожалуйста, переустановите программу."));
}

// ---- install path and the whole load ----

std::string MachineValue(const std::string& key, const std::string& name) {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    if (!registry.OpenKeyReadOnly(key) || !registry.ValueExists(name)) return "<missing>";
    return registry.ReadString(name);
}

TEST_F(SkinTest, InstallPathIsWrittenAndTheSettingsAreOnlyRead) {
    viewer::RegistryKeyName = "TestBook";
    F2().WriteInstallPath();
    EXPECT_EQ(MachineValue("\\Software\\TestBook", "PATH"), viewer::ExePath);
    for (const char* name : {"BackSound", "LastPage", "Style"})
        EXPECT_EQ(MachineValue("\\Software\\TestBook", name), "<missing>") << name;
}

TEST_F(SkinTest, LoadSkinBuildsTheSkinAndShowsTheSplashOnTheFirstLoad) {
    WriteFace({{"startup_a.bmp", SolidBmp(400, 300, 0xABCDEF)}, {"clo.bmp", SolidBmp(20, 18)}});
    WriteConfig({"START_registry=TestBook", "HEADER_ico_clo=clo.bmp", "SKIN=One,a.css,b.css"});
    WriteTemplates();
    WriteFile("data/cursorlink.cur", std::string("\0\0\2\0\1\0", 6) + std::string(40, '\0'));
    EXPECT_EQ(F2().LoadSkin(), -1);
    EXPECT_TRUE(Boxes().empty());
    ASSERT_FALSE(backend_->CursorFilesLoaded.empty());
    EXPECT_EQ(backend_->CursorFilesLoaded.back(), viewer::ExePath + "data\\cursorlink.cur");
    EXPECT_TRUE(F2().Visible());
    EXPECT_EQ(F2().Image1->Picture().Graphic()->Pixel(0, 0), 0xABCDEFu);
    EXPECT_EQ(viewer::ExePath, rtl::FromNativePath(Folder()));
    EXPECT_EQ(F1().ico_clo->Left(), F1().ClientWidth() - 20);
    EXPECT_EQ(viewer::FavoritesTemplate.prefix, "<ul>");
    EXPECT_EQ(viewer::SearchTemplate.prefix, "<ol>");
    EXPECT_EQ(MachineValue("\\Software\\TestBook", "PATH"), viewer::ExePath);
    EXPECT_EQ(F1().Sound_play->Cursor(), 2);
}

TEST_F(SkinTest, LaterLoadsShowNoSplash) {
    WriteFace({});
    WriteConfig({"START_registry=TestBook"});
    WriteTemplates();
    viewer::StartedOnce = 1;
    EXPECT_EQ(F2().LoadSkin(), -1);
    EXPECT_FALSE(F2().Visible());
}

TEST_F(SkinTest, LoadSkinWithoutConfigurationGivesZero) {
    WriteFace({});
    WriteTemplates();
    EXPECT_EQ(F2().LoadSkin(), 0);
    EXPECT_EQ(LastBoxText(), Ru("Файл config.ncf на найден. Пожалуйста, переустановите приложение"));
}

}  // namespace
}  // namespace skintest
