// The browser control over the real WebKit engine, in a real window.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "platform/web/webbrowser.h"
#include "platform/web/webkit_browser.h"
#include "platform/web/webkit_peer.h"
#include "tests/gui/gui_env.h"
#include "tests/gui/screen.h"

namespace {

using forms::TObject;

std::string AfterData(const std::string& url) {
    size_t at = url.find("data\\");
    return at == std::string::npos ? "<no data\\ in " + url + ">" : url.substr(at + 5);
}

class BrowserGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_GUI();
        folder_ = guitest::MakeScratchFolder("browser");
        data_ = folder_ + "data/";
        // A composed page as the viewer writes it: cp1251 text without a charset of its own, links
        // made absolute with the "data\" separator, and a first line that is not HTML.
        guitest::WriteFile(data_ + "tomeview.tmp",
                           "top of the page\r\n<p id=\"t\">" + rtl::Ru("Привет") + "</p>" +
                               "<a id=\"x\" href=\"" + folder_ + "data\\x.html\">x</a> " +
                               "<a id=\"up\" href=\"" + folder_ + "data\\UPPER.html\">u</a> " +
                               "<a id=\"anchor\" href=\"#end\">a</a><p id=\"end\">end</p>\r\n\r\n");
        for (const char* name : {"x", "y", "z", "upper"}) {
            guitest::WriteFile(data_ + name + ".html", std::string("<html><body><p id=\"name\">") + name +
                                                           "</p></body></html>");
        }
        form_ = new forms::TForm(&forms::Application());
        form_->SetBounds(20, 20, 500, 400);
        browser_ = new forms::TWebBrowser(form_);
        browser_->SetParent(form_);
        browser_->SetBounds(0, 0, 500, 400);
        browser_->OnBeforeNavigate2 = [this](TObject*, const std::string& url, int, const std::string&,
                                             const std::string&, const std::string&, bool& cancel) {
            before_.push_back(url);
            if (onBefore_) onBefore_(url, cancel);
        };
        browser_->OnDocumentComplete = [this](TObject*, const std::string& url) { completed_.push_back(url); };
        form_->Show();
    }
    void TearDown() override {
        forms::ResetApplication();
        if (!folder_.empty()) guitest::RemoveScratchFolder(folder_);
    }

    std::string WindowsPath(const std::string& name) { return rtl::FromNativePath(data_ + name); }
    void OpenComposedPage() {
        browser_->Navigate("file://" + WindowsPath("tomeview.tmp"));
        ASSERT_TRUE(WaitForCompleted("tomeview.tmp"));
    }
    bool WaitForCompleted(const std::string& name) {
        return guitest::WaitUntil([&] {
            return std::any_of(completed_.begin(), completed_.end(),
                               [&](const std::string& url) { return AfterData(url) == name; });
        });
    }
    bool Completed(const std::string& name) const {
        return std::count_if(completed_.begin(), completed_.end(),
                             [&](const std::string& url) { return AfterData(url) == name; }) > 0;
    }
    std::string Evaluate(const std::string& script) {
        web::WebKitBrowserPeer* engine = web::WebKitEngineOf(*browser_);
        if (!engine) return "<no engine>";
        bool done = false;
        std::string result;
        engine->EvaluateScript(script, [&](bool ok, std::string text) {
            result = ok ? text : "<error>";
            done = true;
        });
        if (!guitest::WaitUntil([&] { return done; })) return "<timeout>";
        return result;
    }
    void Click(const std::string& id) { ASSERT_TRUE(guitest::ClickElement(*browser_, id)); }

    std::string folder_, data_;
    forms::TForm* form_ = nullptr;
    forms::TWebBrowser* browser_ = nullptr;
    std::vector<std::string> before_;
    std::vector<std::string> completed_;
    std::function<void(const std::string&, bool&)> onBefore_;
};

TEST_F(BrowserGuiTest, ComposedPageShowsAsCp1251HtmlAndReportsItsOwnNavigationOnce) {
    OpenComposedPage();
    ASSERT_EQ(before_.size(), 1u);
    EXPECT_EQ(before_[0], WindowsPath("tomeview.tmp"));
    EXPECT_EQ(completed_.back(), WindowsPath("tomeview.tmp"));
    EXPECT_EQ(Evaluate("document.characterSet"), "windows-1251");
    EXPECT_EQ(Evaluate("document.getElementById('t').textContent"), "Привет");
    EXPECT_EQ(Evaluate("document.getElementById('x') ? 'html' : 'text'"), "html");
    EXPECT_EQ(browser_->LocationURL(), WindowsPath("tomeview.tmp"));
}

TEST_F(BrowserGuiTest, ClickedLinkReachesTheHandlerAsWindowsPathAndLoads) {
    OpenComposedPage();
    Click("x");
    ASSERT_TRUE(WaitForCompleted("x.html"));
    ASSERT_EQ(before_.size(), 2u);
    EXPECT_EQ(AfterData(before_[1]), "x.html");
    EXPECT_EQ(before_[1], WindowsPath("x.html"));
    EXPECT_EQ(Evaluate("document.getElementById('name').textContent"), "x");
}

TEST_F(BrowserGuiTest, NavigationStartedInTheHandlerWinsOverTheClickedOne) {
    OpenComposedPage();
    onBefore_ = [this](const std::string& url, bool&) {
        if (AfterData(url) == "x.html") browser_->Navigate("file://" + WindowsPath("y.html"));
    };
    Click("x");
    ASSERT_TRUE(WaitForCompleted("y.html"));
    // A fence: one more navigation of our own, so a late x.html would have shown up before it.
    onBefore_ = nullptr;
    browser_->Navigate("file://" + WindowsPath("z.html"));
    ASSERT_TRUE(WaitForCompleted("z.html"));
    EXPECT_FALSE(Completed("x.html"));
}

TEST_F(BrowserGuiTest, CancelledClickLoadsNothing) {
    OpenComposedPage();
    onBefore_ = [](const std::string& url, bool& cancel) { cancel = AfterData(url) == "x.html"; };
    Click("x");
    ASSERT_TRUE(guitest::WaitUntil([&] { return before_.size() == 2; }));
    browser_->Navigate("file://" + WindowsPath("z.html"));
    ASSERT_TRUE(WaitForCompleted("z.html"));
    EXPECT_FALSE(Completed("x.html"));
    EXPECT_EQ(before_.size(), 3u) << "each navigation reported once: the page, the click, z.html";
}

TEST_F(BrowserGuiTest, InPageAnchorIsReportedWithItsFragment) {
    OpenComposedPage();
    Click("anchor");
    ASSERT_TRUE(guitest::WaitUntil([&] { return before_.size() == 2; }));
    EXPECT_EQ(before_[1], WindowsPath("tomeview.tmp") + "#end");
    browser_->Navigate("file://" + WindowsPath("z.html"));
    ASSERT_TRUE(WaitForCompleted("z.html"));
    EXPECT_EQ(completed_.size(), 2u) << "the jump scrolled the page without loading it again";
}

TEST_F(BrowserGuiTest, LinkInAnotherLetterCaseFindsTheFile) {
    OpenComposedPage();
    Click("up");
    ASSERT_TRUE(WaitForCompleted("upper.html"));
    EXPECT_EQ(Evaluate("document.getElementById('name').textContent"), "upper");
}

TEST_F(BrowserGuiTest, BodyBorderStyleIsSetOnTheShownDocument) {
    OpenComposedPage();
    forms::THTMLDocument* document = browser_->Document();
    ASSERT_NE(document, nullptr);
    document->Body()->Style()->SetBorderStyle("none");
    EXPECT_EQ(Evaluate("document.body.style.borderStyle"), "none");
}

TEST_F(BrowserGuiTest, MailAddressGoesToTheDesktopOpener) {
    OpenComposedPage();
    std::string script = folder_ + "opener.sh", record = folder_ + "opened.txt";
    guitest::WriteFile(script, "#!/bin/sh\nprintf '%s' \"$1\" > '" + record + "'\n");
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);
    setenv("TOME_OPEN_COMMAND", script.c_str(), 1);
    browser_->Navigate("mailto:support@example.org");
    unsetenv("TOME_OPEN_COMMAND");
    EXPECT_EQ(before_.back(), "mailto:support@example.org");
    std::string opened;
    EXPECT_TRUE(guitest::WaitUntil([&] {
        std::ifstream in(record);
        std::getline(in, opened);
        return !opened.empty();
    }));
    EXPECT_EQ(opened, "mailto:support@example.org");
    EXPECT_EQ(browser_->LocationURL(), WindowsPath("tomeview.tmp")) << "the page stays";
}

TEST_F(BrowserGuiTest, BrowserMovedFarRightLeavesTheWindowSizeAlone) {
    OpenComposedPage();
    browser_->SetLeft(browser_->Left() + 2000);
    guitest::PumpFor(200);
    gint width = 0, height = 0;
    GtkWidget* layout = static_cast<GtkWidget*>(form_->WindowPeer()->NativeHandle());
    gtk_window_get_size(GTK_WINDOW(gtk_widget_get_toplevel(layout)), &width, &height);
    EXPECT_EQ(width, 500);
    EXPECT_EQ(height, 400);
}

}  // namespace
