// The demo window through the real GTK backend: what the screen shows, and input as the X server
// delivers it.
#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include "platform/forms/application.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "tests/gui/demo_form.h"
#include "tests/gui/gui_env.h"
#include "tests/gui/screen.h"

namespace {

using demo::TDemoForm;

int MidX(const forms::TRect& r) { return (r.Left + r.Right) / 2; }
int MidY(const forms::TRect& r) { return (r.Top + r.Bottom) / 2; }

class DemoGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_GUI();
        forms::SetResourcesFolder(rtl::FromNativePath(TOME_SOURCE_DIR "/resources"));
        form_ = new TDemoForm(&forms::Application());
        form_->Show();
        ASSERT_TRUE(guitest::WaitUntil([&] { return !form_->completed.empty(); })) << "the demo page never loaded";
        ASSERT_TRUE(guitest::WaitForPixel(*form_, MidX(demo::kButtonRect), MidY(demo::kButtonRect),
                                          demo::kButtonUpPixel))
            << "the window never showed its raster";
    }
    void TearDown() override {
        if (form_ && HasFailure()) guitest::Screenshot(*form_).SavePng("demo-failure.png");
        forms::ResetApplication();
        forms::SetResourcesFolder("");
    }

    TDemoForm* form_ = nullptr;
};

TEST_F(DemoGuiTest, ScreenshotShowsEveryPieceWhereItBelongs) {
    guitest::Screenshot shot(*form_);
    ASSERT_TRUE(shot.Valid());
    EXPECT_EQ(shot.Width(), 480);
    EXPECT_EQ(shot.Height(), 360);
    // Each check waits a little: a window of another test may briefly lie over this one.
    auto shows = [&](int x, int y, uint32_t rgb) { return guitest::WaitForPixel(*form_, x, y, rgb); };
    EXPECT_TRUE(shows(5, 5, demo::kFormPixel));
    EXPECT_TRUE(shows(MidX(demo::kBannerRect), MidY(demo::kBannerRect), demo::kBannerPixel));
    EXPECT_TRUE(shows(demo::kButtonRect.Left + 2, demo::kButtonRect.Top + 2, demo::kButtonUpPixel));
    EXPECT_TRUE(shows(demo::kButtonRect.Left, demo::kButtonRect.Top, 0x000000u)) << "the picture's frame";
    EXPECT_TRUE(shows(MidX(demo::kCornerRect), MidY(demo::kCornerRect), demo::kCornerPixel));
    EXPECT_TRUE(shows(demo::kEditRect.Right - 3, MidY(demo::kEditRect), 0xFFFFFFu)) << "the edit box";
    EXPECT_TRUE(shows(demo::kBrowserRect.Right - 5, demo::kBrowserRect.Bottom - 5, demo::kPagePixel))
        << "the page's background in the browser";
    EXPECT_TRUE(shows(demo::kBrowserRect.Right + 5, demo::kBrowserRect.Bottom - 5, demo::kFormPixel));
}

TEST_F(DemoGuiTest, PictureFollowsHoverAndPressAndCaptureKeepsTheRelease) {
    int x = MidX(demo::kButtonRect), y = MidY(demo::kButtonRect);
    guitest::PutMotion(*form_, x, y);
    EXPECT_TRUE(guitest::WaitForPixel(*form_, x, y, demo::kButtonHoverPixel));
    guitest::PutButton(*form_, true, x, y);
    EXPECT_TRUE(guitest::WaitForPixel(*form_, x, y, demo::kButtonDownPixel));
    // Released far outside: the picture still gets its mouse-up, but it was no click.
    guitest::PutButton(*form_, false, 450, 20);
    EXPECT_TRUE(guitest::WaitUntil([&] { return form_->buttonUps == 1; }));
    EXPECT_EQ(form_->clicks, 0);
    // A few pixels aside, so the second press is no double click.
    guitest::PutButton(*form_, true, x + 10, y);
    guitest::PutButton(*form_, false, x + 10, y);
    EXPECT_TRUE(guitest::WaitUntil([&] { return form_->clicks == 1; }));
    guitest::PutMotion(*form_, 5, 300);
    EXPECT_TRUE(guitest::WaitForPixel(*form_, x, y, demo::kButtonUpPixel));
}

TEST_F(DemoGuiTest, AnchoredPiecesFollowTheWindowSize) {
    form_->SetBounds(form_->Left(), form_->Top(), 560, 420);
    int dx = 80, dy = 60;
    EXPECT_TRUE(guitest::WaitForPixel(*form_, MidX(demo::kCornerRect) + dx, MidY(demo::kCornerRect) + dy,
                                      demo::kCornerPixel));
    // The browser is anchored on all sides: it grew into the corner picture's old place.
    EXPECT_TRUE(guitest::WaitForPixel(*form_, demo::kBrowserRect.Right + dx - 5, demo::kBrowserRect.Bottom + dy - 5,
                                      demo::kPagePixel));
    EXPECT_TRUE(guitest::WaitForPixel(*form_, MidX(demo::kButtonRect), MidY(demo::kButtonRect),
                                      demo::kButtonUpPixel));
}

TEST_F(DemoGuiTest, TypingReachesTheEditBoxThroughItsKeyPressHandler) {
    gtk_window_present(GTK_WINDOW(gtk_widget_get_toplevel(static_cast<GtkWidget*>(guitest::NativeWidget(*form_->search)))));
    form_->search->SetFocus();
    form_->search->SetText("");
    guitest::PutKey(*form_, GDK_KEY_a);
    guitest::PutKey(*form_, GDK_KEY_Cyrillic_ya);
    guitest::PutKey(*form_, GDK_KEY_Return);
    EXPECT_TRUE(guitest::WaitUntil([&] { return form_->keysTyped.size() == 3; }));
    EXPECT_EQ(form_->keysTyped, "a" + rtl::Ru("я") + "\r");
    EXPECT_TRUE(guitest::WaitUntil([&] { return form_->search->Text() == "a" + rtl::Ru("я"); }))
        << form_->search->Text();
}

TEST_F(DemoGuiTest, ShortcutRunsItsActionWhereverTheFocusIs) {
    form_->search->SetFocus();
    form_->search->SetText("x");
    guitest::PutKey(*form_, GDK_KEY_f, GDK_CONTROL_MASK);
    EXPECT_TRUE(guitest::WaitUntil([&] { return form_->finds == 1; }));
    gtk_widget_grab_focus(static_cast<GtkWidget*>(guitest::NativeWidget(*form_->browser)));
    guitest::PutKey(*form_, GDK_KEY_F, GDK_CONTROL_MASK | GDK_SHIFT_MASK);  // not the shortcut
    guitest::PutKey(*form_, GDK_KEY_f, GDK_CONTROL_MASK);
    EXPECT_TRUE(guitest::WaitUntil([&] { return form_->finds == 2; }));
    EXPECT_EQ(form_->search->Text(), "x") << "the shortcut's letter was not typed";
}

TEST_F(DemoGuiTest, TimerTicksFromTheMessageLoop) {
    int start = form_->ticks;
    EXPECT_TRUE(guitest::WaitUntil([&] { return form_->ticks >= start + 3; }));
}

// A real mouse click on the page, through GTK into the engine.
TEST_F(DemoGuiTest, LinkOnTheCp1251PageReachesTheHandlerAndOpens) {
    ASSERT_TRUE(guitest::ClickElement(*form_->browser, "next"));
    EXPECT_TRUE(guitest::WaitUntil([&] { return form_->completed.size() == 2; }));
    ASSERT_EQ(form_->navigations.size(), 2u);
    EXPECT_EQ(demo::AfterData(form_->navigations[1]), "x.html");
    EXPECT_TRUE(guitest::WaitForPixel(*form_, demo::kBrowserRect.Right - 5, demo::kBrowserRect.Bottom - 5,
                                      demo::kNextPagePixel));
}

TEST_F(DemoGuiTest, HandlerNavigationReplacesTheClickedLink) {
    form_->redirectFrom = "x.html";
    form_->redirectTo = "part.htm";
    ASSERT_TRUE(guitest::ClickElement(*form_->browser, "next"));
    EXPECT_TRUE(guitest::WaitUntil([&] { return form_->completed.size() == 2; }));
    EXPECT_EQ(demo::AfterData(form_->completed.back()), "part.htm");
}

}  // namespace
