// The browser control's navigation rules, driven through the scripted engine.
#include "platform/web/fake_browser.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/web/webbrowser.h"

namespace {

using forms::TObject;
using forms::TWebBrowser;
using web::FakeBrowserPeer;

// A backend that only keeps what the browser needs: windows that do nothing and a post queue.
class QueueBackend : public forms::IBackend {
public:
    class Window : public forms::IWindowPeer {
    public:
        void Show() override {}
        void Hide() override {}
        void SetBounds(const forms::TRect&) override {}
        void SetCaption(const std::string&) override {}
        void SetStayOnTop(bool) override {}
        void Invalidate(const forms::TRect&) override {}
        void SetCursor(forms::TCursor, const forms::TCursorHandle&) override {}
        void ShowTooltip(const std::string&, forms::TPoint) override {}
        void HideTooltip() override {}
        void BeginMoveDrag() override {}
        void ReleaseCapture() override {}
        void Minimize() override {}
        void Maximize() override {}
        void Restore() override {}
        void BringToFront() override {}
        void* NativeHandle() override { return nullptr; }
    };
    std::unique_ptr<forms::IWindowPeer> CreateWindowPeer(forms::TForm&) override { return std::make_unique<Window>(); }
    std::unique_ptr<forms::IEditPeer> CreateEditPeer(forms::TEdit&, forms::IWindowPeer&) override { return nullptr; }
    std::unique_ptr<forms::IPanelPeer> CreatePanelPeer(forms::TPanel&, forms::IWindowPeer&) override { return nullptr; }
    forms::TRect WorkArea() override { return forms::Rect(0, 0, 1024, 768); }
    forms::TPoint ScreenSize() override { return {1024, 768}; }
    int AddTimer(unsigned, std::function<void()>) override { return ++timers_; }
    void RemoveTimer(int) override {}
    void Post(std::function<void()> task) override { posted_.push_back(std::move(task)); }
    bool HandleMessage() override {
        ProcessMessages();
        return false;
    }
    void ProcessMessages() override {
        while (!posted_.empty()) {
            auto task = std::move(posted_.front());
            posted_.pop_front();
            task();
        }
    }
    void WakeUp() override {}
    forms::TCursorHandle LoadCursorFromFile(const std::string&) override { return nullptr; }
    void Beep() override {}

private:
    std::deque<std::function<void()>> posted_;
    int timers_ = 0;
};

struct Navigation {
    std::string url;
    std::string frame;
};

class FakeBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        forms::SetBackend(&backend_);
        rtl::SetDialogService(&dialogs_);
        web::UseFakeWebBrowsers();
        form_ = new forms::TForm(&forms::Application());
        form_->SetBounds(0, 0, 400, 300);
        browser_ = new TWebBrowser(form_);
        browser_->SetParent(form_);
        browser_->SetBounds(10, 10, 300, 200);
        form_->Show();
        browser_->CreateHandles();
        fake_ = FakeBrowserPeer::Of(*browser_);
        ASSERT_NE(fake_, nullptr);
        browser_->OnBeforeNavigate2 = [this](TObject*, const std::string& url, int, const std::string& frame,
                                             const std::string&, const std::string&, bool& cancel) {
            seen_.push_back({url, frame});
            if (onBefore_) onBefore_(url, cancel);
        };
        browser_->OnDocumentComplete = [this](TObject*, const std::string& url) { completed_.push_back(url); };
        browser_->OnDownloadComplete = [this](TObject*) { ++downloads_; };
    }
    void TearDown() override {
        forms::ResetApplication();
        rtl::SetDialogService(nullptr);
        forms::SetWebBrowserPeerFactory({});
    }
    void Pump() { backend_.ProcessMessages(); }
    static std::string AfterData(const std::string& url) {
        size_t at = url.find("data\\");
        return at == std::string::npos ? "<no data\\>" : url.substr(at + 5);
    }

    QueueBackend backend_;
    rtl::ScriptedDialogs dialogs_;
    forms::TForm* form_ = nullptr;
    TWebBrowser* browser_ = nullptr;
    FakeBrowserPeer* fake_ = nullptr;
    std::vector<Navigation> seen_;
    std::vector<std::string> completed_;
    int downloads_ = 0;
    std::function<void(const std::string&, bool&)> onBefore_;
};

TEST_F(FakeBrowserTest, OwnNavigationRaisesTheEventSynchronouslyOnceThenLoads) {
    browser_->Navigate("file://\\book\\data/tomeview.tmp");
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].url, "\\book\\data\\tomeview.tmp");
    ASSERT_EQ(fake_->Loads().size(), 1u);
    EXPECT_EQ(fake_->Loads()[0], "file:///book/data/tomeview.tmp");
    EXPECT_TRUE(completed_.empty()) << "completion comes later, from the message loop";
    Pump();
    ASSERT_EQ(completed_.size(), 1u);
    EXPECT_EQ(completed_[0], "\\book\\data\\tomeview.tmp");
    EXPECT_EQ(downloads_, 1);
    EXPECT_EQ(browser_->LocationURL(), "\\book\\data\\tomeview.tmp");
}

TEST_F(FakeBrowserTest, ClickedLinkReachesTheHandlerWithThePageNameAfterData) {
    EXPECT_TRUE(fake_->ClickLink("file:///book/data/x.html"));
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(AfterData(seen_[0].url), "x.html");
    Pump();
    ASSERT_EQ(completed_.size(), 1u);
    EXPECT_EQ(AfterData(completed_[0]), "x.html");
}

TEST_F(FakeBrowserTest, ClickedWindowsPathIsSpelledAsTheEngineWould) {
    EXPECT_TRUE(fake_->ClickLink("\\book\\data\\" + rtl::Ru("ж") + ".html"));
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(AfterData(seen_[0].url), rtl::Ru("ж") + ".html");
    EXPECT_EQ(fake_->Loads().at(0), "file:///book/data/%D0%B6.html");
}

TEST_F(FakeBrowserTest, CancelDropsTheNavigation) {
    onBefore_ = [](const std::string&, bool& cancel) { cancel = true; };
    EXPECT_FALSE(fake_->ClickLink("file:///book/data/x.html"));
    browser_->Navigate("file:///book/data/y.html");
    Pump();
    EXPECT_TRUE(fake_->Loads().empty());
    EXPECT_TRUE(completed_.empty());
}

TEST_F(FakeBrowserTest, NavigationStartedInTheHandlerReplacesTheClickedOne) {
    onBefore_ = [this](const std::string& url, bool&) {
        if (AfterData(url) == "x.html") browser_->Navigate("file://\\book\\data\\tomeview.tmp");
    };
    EXPECT_FALSE(fake_->ClickLink("file:///book/data/x.html"));
    ASSERT_EQ(seen_.size(), 2u);  // the click, then the handler's own navigation
    EXPECT_EQ(AfterData(seen_[1].url), "tomeview.tmp");
    Pump();
    ASSERT_EQ(fake_->Loads().size(), 1u);
    EXPECT_EQ(fake_->Loads()[0], "file:///book/data/tomeview.tmp");
    ASSERT_EQ(completed_.size(), 1u);
    EXPECT_EQ(AfterData(completed_[0]), "tomeview.tmp");
}

TEST_F(FakeBrowserTest, NavigationStartedInTheHandlerOfAnOwnNavigationReplacesIt) {
    onBefore_ = [this](const std::string& url, bool&) {
        if (AfterData(url) == "a.html") browser_->Navigate("file:///book/data/b.html");
    };
    browser_->Navigate("file:///book/data/a.html");
    ASSERT_EQ(fake_->Loads().size(), 1u);
    EXPECT_EQ(fake_->Loads()[0], "file:///book/data/b.html");
}

TEST_F(FakeBrowserTest, ANewerLoadSupersedesAPendingOne) {
    browser_->Navigate("file:///book/data/a.html");
    browser_->Navigate("file:///book/data/b.html");
    Pump();
    ASSERT_EQ(completed_.size(), 1u);
    EXPECT_EQ(AfterData(completed_[0]), "b.html");
}

TEST_F(FakeBrowserTest, HandlerFailureGoesToTheErrorReportAndTheClickGoesOn) {
    onBefore_ = [](const std::string&, bool&) { throw rtl::Exception("broken page"); };
    EXPECT_TRUE(fake_->ClickLink("file:///book/data/x.html"));
    ASSERT_FALSE(dialogs_.Log().empty());
    EXPECT_NE(dialogs_.Log().back().Text.find("broken page"), std::string::npos);
    EXPECT_EQ(fake_->Loads().size(), 1u);
}

TEST_F(FakeBrowserTest, OwnNavigationPassesHandlerFailureToTheCaller) {
    onBefore_ = [](const std::string&, bool&) { throw rtl::Exception("broken"); };
    EXPECT_THROW(browser_->Navigate("file:///book/data/x.html"), rtl::Exception);
    EXPECT_TRUE(fake_->Loads().empty());
}

TEST_F(FakeBrowserTest, DocumentBodyStyleRunsAScriptOnlyOnceADocumentIsShown) {
    EXPECT_EQ(browser_->Document(), nullptr);
    browser_->Navigate("file:///book/data/a.html");
    Pump();
    forms::THTMLDocument* document = browser_->Document();
    ASSERT_NE(document, nullptr);
    ASSERT_NE(document->Body(), nullptr);
    document->Body()->Style()->SetBorderStyle("none");
    EXPECT_EQ(document->Body()->Style()->BorderStyle(), "none");
    ASSERT_EQ(fake_->Scripts().size(), 1u);
    EXPECT_NE(fake_->Scripts()[0].find("borderStyle = 'none'"), std::string::npos);
}

TEST_F(FakeBrowserTest, StyleValuesCannotBreakOutOfTheScript) {
    browser_->Navigate("file:///book/data/a.html");
    Pump();
    browser_->Document()->Body()->Style()->SetBorderStyle("x'; alert(1); '</script>\\");
    ASSERT_EQ(fake_->Scripts().size(), 1u);
    EXPECT_NE(fake_->Scripts()[0].find("'x\\'; alert(1); \\'\\x3c/script>\\\\'"), std::string::npos)
        << fake_->Scripts()[0];
}

TEST_F(FakeBrowserTest, ADocumentOfAnotherKindHasNoHtmlDocument) {
    fake_->SetNextDocumentIsHtml(false);
    browser_->Navigate("file:///book/data/a.pdf");
    Pump();
    EXPECT_EQ(browser_->Document(), nullptr);
}

TEST_F(FakeBrowserTest, MailAddressesGoToTheDesktopNotTheView) {
    browser_->Navigate("mailto:support@example.org");
    ASSERT_EQ(fake_->MailAddresses().size(), 1u);
    EXPECT_TRUE(fake_->Loads().empty());
}

TEST_F(FakeBrowserTest, ClickedLinkIsDecidedEvenWhileTheProgramNavigatesElsewhere) {
    // The viewer's own navigation inside the event is itself reported, and intercepting it again
    // (it ends in .tmp) does not happen: the handler sees each address exactly once.
    onBefore_ = [this](const std::string& url, bool&) {
        if (AfterData(url) == "x.html") browser_->Navigate("file:///book/data/tomeview.tmp");
    };
    fake_->ClickLink("file:///book/data/x.html");
    Pump();
    fake_->ClickLink("file:///book/data/x.html");
    Pump();
    EXPECT_EQ(seen_.size(), 4u);
    EXPECT_EQ(completed_.size(), 2u);
}

TEST(WebBrowserWithoutEngine, NavigateWaitsForThePeer) {
    forms::SetWebBrowserPeerFactory({});
    TWebBrowser browser(nullptr);
    int events = 0;
    browser.OnBeforeNavigate2 = [&](TObject*, const std::string&, int, const std::string&, const std::string&,
                                    const std::string&, bool&) { ++events; };
    browser.Navigate("about:blank");
    EXPECT_EQ(events, 1);
    EXPECT_EQ(browser.Document(), nullptr);
    EXPECT_EQ(browser.LocationURL(), "");
}

TEST(WebBrowserClass, FormDescriptionsCanCreateIt) {
    forms::RegisterWebBrowserClass();
    std::unique_ptr<forms::TComponent> made(forms::CreateComponentOfClass("TWebBrowser", nullptr));
    EXPECT_NE(dynamic_cast<TWebBrowser*>(made.get()), nullptr);
}

TEST(WebBrowserClass, HandlersOfTheWrongShapeAreRefused) {
    TWebBrowser browser(nullptr);
    std::function<void(TObject*)> notify = [](TObject*) {};
    EXPECT_THROW(browser.SetEvent("OnBeforeNavigate2", std::any(notify)), rtl::Exception);
    EXPECT_TRUE(browser.SetEvent("OnDownloadComplete", std::any(forms::TNotifyEvent(notify))));
}

}  // namespace
