// The dialog's pages, picture buttons and proxy page on the headless backend.
#include "controls/bztCheckBoxT.h"
#include "controls/cm_OrvGauges.h"
#include "platform/forms/application.h"
#include "platform/forms/canvas.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/registry.h"
#include "tests/updater/update_fixture.h"
#include "updater/update_grid.h"
#include "viewer/bindings.h"
#include "viewer/main.h"

namespace updatertest {
namespace {

using viewer::IntConfig;

class UpdateDialogTest : public UpdateTest {
protected:
    // The introduction page's Next lies below the client area, out of the mouse's reach: its handler
    // is run directly.
    void NextOnIntroduction() { Dialog().Next_but5Click(Dialog().Next_but5); }
    void StoreProxy(bool use, const std::string& host, uint16_t port, bool auth, const std::string& user,
                    const std::string& password) {
        IntConfig.UseProxy = use;
        IntConfig.ProxyHost.Set(host);
        IntConfig.ProxyPort = port;
        IntConfig.ProxyAuth = auth;
        IntConfig.ProxyUser.Set(user);
        IntConfig.ProxyPassword.Set(password);
    }
};

TEST_F(UpdateDialogTest, OpeningShowsTheIntroductionWithTheStoredProxy) {
    StoreProxy(true, "cache.local", 3128, true, "reader", "secret");
    Dialog().OpenUpdateDialog();
    EXPECT_TRUE(Dialog().Visible());
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel5);
    EXPECT_TRUE(Dialog().CheckBox1->Checked());
    EXPECT_TRUE(Dialog().checkbox2->Checked());
    EXPECT_EQ(Dialog().proxy_address->Text(), "cache.local");
    EXPECT_EQ(Dialog().proxy_port->Text(), "3128");
    EXPECT_EQ(Dialog().proxy_pass->Text(), "secret");
    EXPECT_TRUE(Dialog().proxy_user->Enabled());
    EXPECT_EQ(Dialog().Width(), 400);
    EXPECT_EQ(Dialog().Height(), 300);
}

// The pages have no native window that would cover their pictures; the edits keep theirs.
TEST_F(UpdateDialogTest, ThePagesPicturesShowInTheWindow) {
    Dialog().OpenUpdateDialog();
    for (forms::TPanel* page : {Dialog().Panel1, Dialog().Panel2, Dialog().Panel3, Dialog().Panel4, Dialog().Panel5})
        EXPECT_EQ(page->Peer(), nullptr);
    EXPECT_NE(Dialog().proxy_address->Peer(), nullptr);
    const forms::TBitmap shown = backend_->Snapshot(Dialog());
    const forms::TBitmap& intro = *Dialog().Image16->Picture().Graphic();
    for (auto [x, y] : {std::pair{5, 5}, std::pair{100, 150}, std::pair{300, 270}})
        EXPECT_EQ(shown.Pixel(x, y), intro.Pixel(x, y)) << x << "," << y;
}

TEST_F(UpdateDialogTest, IntroductionButtonsLieBelowTheClientArea) {
    Dialog().OpenUpdateDialog();
    EXPECT_GE(Dialog().upper_next5->Top(), Dialog().ClientHeight());
    EXPECT_GE(Dialog().upper_cancel5->Top(), Dialog().ClientHeight());
    backend_->MouseMove(Dialog(), 290, 270);
    EXPECT_FALSE(Dialog().Next_but5->Visible());
    EXPECT_FALSE(Dialog().cancel_but5->Visible());
}

TEST_F(UpdateDialogTest, AButtonPictureShowsOnlyUnderTheMouse) {
    SetProxyRegistry(1, "gateway.example.org:8080");  // a browser proxy leads to the proxy page
    Dialog().OpenUpdateDialog();
    NextOnIntroduction();
    ASSERT_EQ(Dialog().CurrentPage(), Dialog().Panel1);  // its buttons lie inside the area
    backend_->MouseMove(Dialog(), 290, 270);
    EXPECT_TRUE(Dialog().Next_but1->Visible());
    EXPECT_FALSE(Dialog().Cancel_but1->Visible());
    backend_->MouseMove(Dialog(), 360, 270);
    EXPECT_FALSE(Dialog().Next_but1->Visible());
    EXPECT_TRUE(Dialog().Cancel_but1->Visible());
    backend_->MouseMove(Dialog(), 100, 100);
    EXPECT_FALSE(Dialog().Cancel_but1->Visible());
}

TEST_F(UpdateDialogTest, NextWithoutBrowserProxyRunsTheCheckThroughTheStoredSettings) {
    Serve("updates.list", "3|a.zip|2048\r\n");
    Dialog().OpenUpdateDialog();
    NextOnIntroduction();
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel3);
    EXPECT_EQ(Dialog().StringGrid1->Cell(1, 1), "2" + rtl::Ru("кб"));
    EXPECT_EQ(Dialog().IdHTTP1.ProxyParams.ProxyServer, "");
    EXPECT_FALSE(Dialog().CheckBox1->Checked());
}

TEST_F(UpdateDialogTest, TheBrowserProxyFillsTheProxyPageAndIsSaved) {
    SetProxyRegistry(1, "gateway.example.org:8080");
    Dialog().OpenUpdateDialog();
    NextOnIntroduction();
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel1);
    EXPECT_TRUE(Dialog().CheckBox1->Checked());
    EXPECT_TRUE(Dialog().proxy_address->Enabled());
    EXPECT_EQ(Dialog().proxy_address->Text(), "gateway.example.org");
    EXPECT_EQ(IntConfig.UseProxy, 1);
    EXPECT_EQ(IntConfig.ProxyHost.Get(), "gateway.example");  // 15 characters in the record...
    EXPECT_EQ(IntConfig.ProxyHost.Get().size(), 15u);
    EXPECT_EQ(Dialog().IdHTTP1.ProxyParams.ProxyServer, "gateway.example.org");  // ...whole for the client
    EXPECT_EQ(IntConfig.ProxyPort, 8080);
    EXPECT_TRUE(BookFileExists("intcfg.dat"));
}

TEST_F(UpdateDialogTest, APerProtocolListGivesItsHttpEntry) {
    SetProxyRegistry(1, "ftp=f.local:21;http=h.local:8081;https=s.local:443");
    Dialog().OpenUpdateDialog();
    EXPECT_TRUE(Dialog().DetectIEProxy());
    EXPECT_EQ(Dialog().proxy_address->Text(), "h.local");
    EXPECT_EQ(Dialog().proxy_port->Text(), "8081");
}

TEST_F(UpdateDialogTest, ADisabledOrMissingBrowserProxyIsNoProxy) {
    SetProxyRegistry(0, "gateway.example.org:8080");
    EXPECT_FALSE(Dialog().DetectIEProxy());
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_CURRENT_USER;
    ASSERT_TRUE(registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", false));
    registry.DeleteValue("ProxyEnable");
    registry.CloseKey();
    EXPECT_FALSE(Dialog().DetectIEProxy());
    EXPECT_FALSE(Dialog().CheckBox1->Checked());
}

TEST_F(UpdateDialogTest, PortsThatAreNotUsableAreStoredAsOne) {
    Dialog().OpenUpdateDialog();
    Dialog().CheckBox1->SetChecked(true);
    Dialog().proxy_address->SetText("p.local");
    Dialog().proxy_port->SetText("0");
    Dialog().SaveProxySettings();
    EXPECT_EQ(IntConfig.ProxyPort, 1);
    EXPECT_EQ(Dialog().proxy_port->Text(), "0");
    EXPECT_EQ(Dialog().IdHTTP1.ProxyParams.ProxyPort, 1);

    Dialog().proxy_port->SetText("8o");
    Dialog().SaveProxySettings();
    EXPECT_EQ(IntConfig.ProxyPort, 1);
    EXPECT_EQ(Dialog().proxy_port->Text(), "1");

    Dialog().proxy_port->SetText("65616");  // kept to its low 16 bits
    Dialog().SaveProxySettings();
    EXPECT_EQ(IntConfig.ProxyPort, 80);
}

TEST_F(UpdateDialogTest, TheClientUsesNoProxyWhenTheBoxIsClear) {
    StoreProxy(true, "p.local", 3128, true, "u", "pw");
    Dialog().OpenUpdateDialog();
    Dialog().SaveProxySettings();
    EXPECT_EQ(Dialog().IdHTTP1.ProxyParams.ProxyServer, "p.local");
    EXPECT_TRUE(Dialog().IdHTTP1.ProxyParams.BasicAuthentication);
    EXPECT_EQ(Dialog().IdHTTP1.ProxyParams.ProxyPassword, "pw");
    Dialog().CheckBox1->SetChecked(false);
    Dialog().SaveProxySettings();
    EXPECT_EQ(Dialog().IdHTTP1.ProxyParams.ProxyServer, "");
    EXPECT_EQ(Dialog().IdHTTP1.ProxyParams.ProxyPort, 0);
    EXPECT_EQ(Dialog().IdHTTP1.ProxyParams.ProxyPassword, "");
    EXPECT_EQ(IntConfig.UseProxy, 0);
    EXPECT_EQ(IntConfig.ProxyHost.Get(), "p.local");  // the page is kept for the next time
}

TEST_F(UpdateDialogTest, TheBoxesEnableTheirFields) {
    Dialog().OpenUpdateDialog();
    Dialog().Image13Click(nullptr);  // the label zone toggles CheckBox1
    EXPECT_TRUE(Dialog().CheckBox1->Checked());
    EXPECT_TRUE(Dialog().proxy_address->Enabled());
    EXPECT_TRUE(Dialog().proxy_port->Enabled());
    EXPECT_TRUE(Dialog().checkbox2->Enabled());
    EXPECT_FALSE(Dialog().proxy_user->Enabled());
    Dialog().Image14Click(nullptr);
    EXPECT_TRUE(Dialog().proxy_user->Enabled());
    EXPECT_TRUE(Dialog().proxy_pass->Enabled());
    Dialog().Image13Click(nullptr);
    for (forms::TControl* control : std::initializer_list<forms::TControl*>{
             Dialog().checkbox2, Dialog().proxy_address, Dialog().proxy_port, Dialog().proxy_user, Dialog().proxy_pass})
        EXPECT_FALSE(control->Enabled());
    Dialog().Image13Click(nullptr);
    EXPECT_TRUE(Dialog().proxy_user->Enabled());  // checkbox2 stayed checked
}

TEST_F(UpdateDialogTest, CancelHidesResetsThePagesAndReopeningStartsAfresh) {
    StoreProxy(false, "stored.local", 81, false, "", "");
    Serve("updates.list", "3|a.zip|10\r\n");
    Dialog().OpenUpdateDialog();
    NextOnIntroduction();
    ASSERT_EQ(Dialog().CurrentPage(), Dialog().Panel3);
    Dialog().proxy_address->SetText("typed.local");
    HoverAndClick(Dialog().upper_cancel3);
    EXPECT_TRUE(viewer::UpdateCancelled);
    EXPECT_FALSE(Dialog().Visible());
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel5);
    EXPECT_EQ(Dialog().StringGrid1->Cell(0, 1), "");
    EXPECT_EQ(Dialog().ProgressBar1->Progress(), 0);
    EXPECT_EQ(IntConfig.ProxyHost.Get(), "typed.local");  // Cancel saves the page

    IntConfig.ProxyHost.Set("stored.local");
    Dialog().OpenUpdateDialog();
    EXPECT_FALSE(viewer::UpdateCancelled);
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel5);
    EXPECT_EQ(Dialog().proxy_address->Text(), "stored.local");
    EXPECT_EQ(Dialog().proxy_port->Text(), "81");
}

TEST_F(UpdateDialogTest, TheProxyPagesNextSavesAndChecks) {
    SetProxyRegistry(1, "127.0.0.1:1");
    Serve("updates.list", "3|a.zip|10\r\n");
    Dialog().OpenUpdateDialog();
    NextOnIntroduction();
    ASSERT_EQ(Dialog().CurrentPage(), Dialog().Panel1);
    Dialog().CheckBox1->SetChecked(false);  // the reader turns the found proxy off
    HoverAndClick(Dialog().upper_next1);
    EXPECT_EQ(IntConfig.UseProxy, 0);
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel3);
}

TEST_F(UpdateDialogTest, TheCloseBoxHidesAndSavesLeavingThePage) {
    Dialog().OpenUpdateDialog();
    Dialog().proxy_user->SetText("someone");
    HoverAndClick(Dialog().Image2);
    EXPECT_FALSE(Dialog().Visible());
    EXPECT_EQ(IntConfig.ProxyUser.Get(), "someone");
    EXPECT_EQ(Dialog().CurrentPage(), Dialog().Panel5);
}

TEST_F(UpdateDialogTest, TheListTitleStripDragsTheDialog) {
    Dialog().OpenUpdateDialog();
    Dialog().Panel5->Hide();
    Dialog().Panel3->Show();
    backend_->MouseDown(Dialog(), 100, 5);
    EXPECT_TRUE(backend_->WindowOf(Dialog())->MoveDragging);
    EXPECT_GE(backend_->WindowOf(Dialog())->CaptureReleases, 1);
}

TEST_F(UpdateDialogTest, ShowingLoadsTheCursorsAndEntersTheDataFolder) {
    Dialog().OpenUpdateDialog();
    EXPECT_EQ(Dialog().Next_but5->Cursor(), 2);
    EXPECT_EQ(Dialog().Image16->Cursor(), 1);
    EXPECT_EQ(Dialog().upper_next5->Cursor(), forms::crDefault);
    EXPECT_EQ(rtl::ExcludeTrailingBackslash(rtl::GetCurrentDir()), rtl::ExcludeTrailingBackslash(viewer::AppDir + "data"));
}

// The shipped description gives the progress gauge and the proxy boxes their designed settings;
// the bar grows in whole 8-pixel blocks.
TEST_F(UpdateDialogTest, TheShippedDescriptionGivesTheSkinnedControlsTheirSettings) {
    const controls::TOrvGauge& g = *Dialog().ProgressBar1;
    EXPECT_EQ(g.BoundsRect(), forms::Bounds(17, 132, 372, 9));
    EXPECT_EQ(g.BorderStyle(), forms::bsNone);
    EXPECT_EQ(g.BorderColor(), forms::clWhite);
    EXPECT_EQ(g.ForeColor(), forms::clNavy);
    EXPECT_EQ(g.TextureOnFore().Width(), 8);
    EXPECT_EQ(g.TextureOnFore().Height(), 9);
    EXPECT_EQ(g.ForeTile().Width(), 8);  // built while loading
    EXPECT_TRUE(g.TransparentFore() && g.TransparentBack() && g.ForeAsBlocks);
    EXPECT_EQ(g.ForeBlockSize, 8);
    EXPECT_EQ(g.Pie3DHeight, 0);
    EXPECT_EQ(g.RuningStep, 0);
    EXPECT_EQ(g.Text(), "%d%%");
    Dialog().ProgressBar1->SetText("");
    Dialog().ProgressBar1->SetProgress(50);
    forms::TBitmap image(g.Width(), g.Height());
    forms::TCanvas canvas(image);
    Dialog().ProgressBar1->Paint(canvas);
    EXPECT_EQ(g.FillExtent(), 186);
    EXPECT_EQ(g.ShownExtent(), 184);
    for (controls::TbztCheckBoxT* box : {Dialog().CheckBox1, Dialog().checkbox2}) {
        EXPECT_EQ(box->Width(), 17);
        EXPECT_EQ(box->Height(), 17);
        EXPECT_TRUE(box->Caption().empty());
    }
}

}  // namespace
}  // namespace updatertest
