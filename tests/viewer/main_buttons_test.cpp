// The skin buttons: dispatch on the subtype, the search box during a click, the failure message,
// and the pictures while pressed and released.
#include "tests/viewer/main_fixture.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/forms/application.h"
#include "platform/rtl/codepage.h"
#include "viewer/forms.h"
#include "viewer/prepare.h"

namespace viewertest {
namespace {

using namespace viewer;

class ButtonTest : public ViewerTest {
protected:
    void StartWith(const std::vector<std::string>& buttons) {
        WriteSkin(buttons, {"START_button=0", "START_registry=TestBook"});
        WritePage("index.html", "index");
        WritePage("copyright.html", "copyright");
        WritePage("help.html", "help");
        WritePage("frew.html", "bye");
        Start();
        Form1->OpenPage("index.html");
    }
    void ClickButton(size_t index) {
        forms::TImage* picture = ButtonImages.at(index);
        forms::TRect r = picture->FormRect();
        Backend().Click(*Form1, r.Left + 2, r.Top + 2);
        Pump();
    }
    uint32_t PictureColour(size_t index) {
        const forms::TBitmap* bitmap = ButtonImages.at(index)->Picture().Graphic();
        return bitmap ? bitmap->Pixel(1, 1) & 0xFFFFFF : 0xDEADBEEF;
    }
};

TEST_F(ButtonTest, PagesButtonsOpenTheirPages) {
    StartWith({Button("copyright", "", 10), Button("help", "", 60), Button("html", "1part\\17.html", 110)});
    WritePage("1part/17.html");
    ClickButton(0);
    EXPECT_EQ(CurrentDoc.Path, "copyright.html");
    ClickButton(1);
    EXPECT_EQ(CurrentDoc.Path, "help.html");
    ClickButton(2);
    EXPECT_EQ(CurrentDoc.Path, "1part\\17.html");
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(ButtonTest, ExitButtonClosesTheViewer) {
    StartWith({Button("exit", "")});
    ClickButton(0);
    EXPECT_TRUE(Terminated());
    EXPECT_EQ(CurrentDoc.Path, "frew.html");
}

TEST_F(ButtonTest, DialogButtonsShowTheirWindows) {
    StartWith({Button("prefs", "", 10), Button("update", "", 60)});
    ClickButton(0);
    EXPECT_TRUE(sett->Visible());
    ClickButton(1);
    EXPECT_TRUE(Form5->Visible());
}

TEST_F(ButtonTest, WaveAndSoundButtonsLeaveThePageAlone) {
    StartWith({Button("wave", "x.wav", 10), Button("mute", "", 60), Button("favorites_show", "", 110)});
    size_t loads = LoadCount();
    for (size_t i = 0; i < 3; ++i) ClickButton(i);
    EXPECT_EQ(LoadCount(), loads);
    EXPECT_EQ(CurrentDoc.Path, "index.html");
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(ButtonTest, SoftButtonStartsItsProgram) {
    WriteBookFile("data/run.sh", "#!/bin/sh\ntouch \"$(dirname \"$0\")/ran\"\n");
    std::filesystem::permissions(Book() + "data/run.sh", std::filesystem::perms::owner_all);
    StartWith({Button("soft", "run.sh")});
    ClickButton(0);
    for (int i = 0; i < 200 && !BookFileExists("data/ran"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(BookFileExists("data/ran"));
}

TEST_F(ButtonTest, ClickUsesThePreparedQueryAndRestoresTheSearchBox) {
    StartWith({Button("html", "index.html")});
    std::string seen;
    forms::TBeforeNavigate2Event original = Form1->datacenter->OnBeforeNavigate2;
    Form1->datacenter->OnBeforeNavigate2 = [&](forms::TObject* s, const std::string& url, int f, const std::string& t,
                                               const std::string& p, const std::string& h, bool& c) {
        seen = Form1->searcher->Text();
        original(s, url, f, t, p, h, c);
    };
    const std::string typed = rtl::Ru("xСЛОВО Word");
    Form1->searcher->SetText(typed);
    ClickButton(0);
    EXPECT_EQ(seen, rtl::Ru("слово word"));
    EXPECT_EQ(Form1->searcher->Text(), typed);
    Form1->searcher->SetText("x");
    ClickButton(0);
    EXPECT_EQ(seen, "");
}

TEST_F(ButtonTest, FailingActionIsReportedAndTheSearchBoxRestored) {
    StartWith({Button("html", "broken.html")});
    WriteBookFile("data/broken.html", "<? template_top=missing.htm; ?> x");
    Form1->searcher->SetText("query");
    ClickButton(0);
    ASSERT_FALSE(dialogs_.Log().empty());
    EXPECT_EQ(dialogs_.Log().back().Text,
              rtl::Ru("Не удается открыть страницу. Пожалуйста, переустановите приложение."));
    EXPECT_EQ(dialogs_.Log().back().Type, rtl::mtCustom);
    EXPECT_EQ(Form1->searcher->Text(), "query");
    EXPECT_EQ(CurrentDoc.Path, "index.html");
}

TEST_F(ButtonTest, PictureWithoutAButtonIsReported) {
    StartWith({Button("html", "index.html")});
    forms::TImage stray(Form1);
    stray.SetName("but_7");
    Form1->testbuttonClick(&stray);
    ASSERT_EQ(dialogs_.Log().size(), 1u);
    // Press and release on it are ignored.
    Form1->testbuttonMouseDown(&stray, forms::mbLeft, 0, 0, 0);
    Form1->testbuttonMouseUp(&stray, forms::mbLeft, 0, 0, 0);
    EXPECT_EQ(dialogs_.Log().size(), 1u);
}

TEST_F(ButtonTest, PressAndReleaseShowTheButtonsPictures) {
    StartWith({Button("wave", "")});
    EXPECT_EQ(PictureColour(0), kNormalPixel);
    forms::TRect r = ButtonImages[0]->FormRect();
    Backend().MouseDown(*Form1, r.Left + 2, r.Top + 2);
    EXPECT_EQ(PictureColour(0), kDownPixel);
    Backend().MouseUp(*Form1, r.Left + 2, r.Top + 2);
    EXPECT_EQ(PictureColour(0), kUpPixel);
    // The raster shows it too.
    forms::TBitmap shot = Backend().Snapshot(*Form1);
    EXPECT_EQ(shot.Pixel(r.Left + 2, r.Top + 2) & 0xFFFFFF, kUpPixel);
}

TEST_F(ButtonTest, HeldVolumeButtonsRunTheirTimersUntilRelease) {
    StartWith({Button("volumeup", "", 10), Button("volumedown", "", 60)});
    forms::TRect up = ButtonImages[0]->FormRect();
    Backend().MouseDown(*Form1, up.Left + 1, up.Top + 1);
    EXPECT_TRUE(Form1->volume_upper->Enabled());
    EXPECT_FALSE(Form1->volume_downer->Enabled());
    Backend().MouseUp(*Form1, up.Left + 1, up.Top + 1);
    EXPECT_FALSE(Form1->volume_upper->Enabled());
    forms::TRect down = ButtonImages[1]->FormRect();
    Backend().MouseDown(*Form1, down.Left + 1, down.Top + 1);
    EXPECT_TRUE(Form1->volume_downer->Enabled());
    Backend().MouseUp(*Form1, down.Left + 1, down.Top + 1);
    EXPECT_FALSE(Form1->volume_downer->Enabled());
}

TEST_F(ButtonTest, EnterInTheSearchBoxKeepsItsText) {
    StartWith({Button("html", "index.html")});
    Form1->searcher->SetText("xquery");
    char key = 13;
    Form1->searcherKeyPress(Form1->searcher, key);
    EXPECT_EQ(Form1->searcher->Text(), "xquery");
    key = 'a';
    Form1->searcherKeyPress(Form1->searcher, key);
    EXPECT_EQ(key, 'a');
}

}  // namespace
}  // namespace viewertest
