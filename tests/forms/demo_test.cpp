// The demo window driven headless: pictures with hover and pressed states, an anchored picture,
// the edit box, the browser on the scripted engine, the timer and the shortcut.
#include "platform/forms/formdesc.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "platform/web/fake_browser.h"
#include "test_util.h"
#include "tests/gui/demo_form.h"

using namespace forms;

namespace {

class Demo : public formstest::HeadlessTest {
protected:
    demo::TDemoForm* form = nullptr;
    void SetUp() override {
        SetResourcesFolder(rtl::FromNativePath(TOME_SOURCE_DIR "/resources"));
        web::UseFakeWebBrowsers();
        form = new demo::TDemoForm(&Application());
        Application().SetMainForm(form);
        form->Show();
        Application().ProcessMessages();
    }
    void TearDown() override { SetResourcesFolder(""); }
    uint32_t At(int x, int y) { return form->Raster().Pixel(x, y); }
    static TPoint Centre(const TRect& r) { return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }
};

TEST_F(Demo, PicturesSitWhereTheDescriptionPutsThem) {
    EXPECT_EQ(form->Width(), 480);
    EXPECT_EQ(At(5, 5), demo::kFormPixel);
    EXPECT_EQ(At(demo::kButtonRect.Left + 1, demo::kButtonRect.Top + 1), demo::kButtonUpPixel);
    EXPECT_EQ(At(demo::kBannerRect.Left + 1, demo::kBannerRect.Top + 1), demo::kBannerPixel);
    EXPECT_EQ(At(demo::kCornerRect.Left + 1, demo::kCornerRect.Top + 1), demo::kCornerPixel);
    EXPECT_EQ(At(demo::kCornerRect.Left - 1, demo::kCornerRect.Top - 1), demo::kFormPixel);
}

TEST_F(Demo, ButtonShowsHoverAndPressedStatesAndClicks) {
    TPoint c = Centre(demo::kButtonRect);
    backend->MouseMove(*form, c.X, c.Y);
    EXPECT_EQ(At(c.X, c.Y), demo::kButtonHoverPixel);
    EXPECT_EQ(backend->WindowOf(*form)->Cursor, crHandPoint);
    EXPECT_TRUE(backend->WindowOf(*form)->TooltipVisible);
    backend->MouseDown(*form, c.X, c.Y);
    EXPECT_EQ(At(c.X, c.Y), demo::kButtonDownPixel);
    backend->MouseUp(*form, c.X, c.Y);
    EXPECT_EQ(At(c.X, c.Y), demo::kButtonHoverPixel);
    EXPECT_EQ(form->clicks, 1);
    backend->MouseMove(*form, 5, 5);
    EXPECT_EQ(At(c.X, c.Y), demo::kButtonUpPixel);

    backend->MouseDown(*form, c.X, c.Y);  // pressed, dragged off and released: no click
    backend->MouseMove(*form, 300, 300, ssLeft);
    backend->MouseUp(*form, 300, 300);
    EXPECT_EQ(form->clicks, 1);
    EXPECT_EQ(form->buttonUps, 2);
}

TEST_F(Demo, AnchoredCornerFollowsAResize) {
    backend->ResizeWindow(*form, 600, 400);
    EXPECT_EQ(form->corner->BoundsRect(), Bounds(540, 340, 48, 48));
    EXPECT_EQ(At(541, 341), demo::kCornerPixel);
    EXPECT_EQ(At(421, 301), demo::kFormPixel);
    EXPECT_EQ(form->browser->BoundsRect(), Rect(20, 90, 520, 330));
}

TEST_F(Demo, EditShortcutAndTimer) {
    EXPECT_EQ(form->search->Text(), rtl::Ru("поиск"));
    EXPECT_TRUE(backend->KeyDown(*form, 'F', ssCtrl));
    EXPECT_EQ(form->finds, 1);
    EXPECT_EQ(form->ActiveControl(), form->search);
    form->search->SetText("");
    backend->Type(*form, rtl::Ru("кот"));
    backend->PressEnter(*form);
    EXPECT_EQ(form->search->Text(), rtl::Ru("кот"));
    EXPECT_EQ(form->keysTyped, rtl::Ru("кот") + "\r");
    int before = form->ticks;
    backend->Advance(500);
    EXPECT_EQ(form->ticks - before, 10);
}

TEST_F(Demo, BrowserShowsThePageAndReportsNavigations) {
    ASSERT_FALSE(form->completed.empty());
    EXPECT_EQ(demo::AfterData(form->completed.front()), "index.html");
    web::FakeBrowserPeer* engine = web::FakeBrowserPeer::Of(*form->browser);
    ASSERT_NE(engine, nullptr);
    form->redirectFrom = "x.html";
    form->redirectTo = "part.htm";
    std::string target = "file://" + rtl::ToNativePath(ResourcePath("demo/data/x.html"));
    EXPECT_FALSE(engine->ClickLink(target));  // replaced inside the handler
    Application().ProcessMessages();
    ASSERT_GE(form->navigations.size(), 2u);
    EXPECT_EQ(demo::AfterData(form->navigations[form->navigations.size() - 2]), "x.html");
    EXPECT_EQ(demo::AfterData(form->completed.back()), "part.htm");
}

}  // namespace
