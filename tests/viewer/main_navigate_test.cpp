// The page opener, the interception of links in the shown page, the clean-up after loading, the
// part-page shortcuts and the opening shortcuts, against the scripted browser engine.
#include "tests/viewer/main_fixture.h"

#include <filesystem>

#include "platform/forms/application.h"
#include "platform/rtl/codepage.h"
#include "viewer/forms.h"
#include "viewer/prepare.h"

namespace viewertest {
namespace {

using namespace viewer;

class NavigateTest : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        WriteSkin({Button("html", "index.html"), Button("avi", "clips\\film.avi", 60)});
        WritePage("index.html", "index");
        WritePage("frew.html", "bye");
        WriteBookFile("data/clips/film.avi", "RIFF....AVI ");
        Start();
        ASSERT_EQ(CurrentDoc.Path, "index.html");
    }
    // The page clicks a link; true when the browser went on to it by itself.
    bool Click(const std::string& bookName) {
        bool wentOn = Engine().ClickLink(BookUri(bookName));
        Pump();
        return wentOn;
    }
    bool Key(uint16_t key, forms::TShiftState shift = 0) {
        bool taken = Backend().KeyDown(*Form1, key, shift);
        Pump();
        return taken;
    }
};

TEST_F(NavigateTest, OpenPageComposesNavigatesAndRecordsTheDocument) {
    WritePage("1part/17.html", "seventeen");
    size_t loads = LoadCount();
    Form1->OpenPage("1part\\17.html");
    EXPECT_EQ(LoadCount(), loads + 1);
    EXPECT_TRUE(ShowsComposedPage());
    EXPECT_EQ(CurrentDoc.Path, "1part\\17.html");
    EXPECT_EQ(CurrentDoc.IsVideo, 0);
    EXPECT_NE(ReadBookFile("data/tomeview.tmp").find("seventeen"), std::string::npos);
}

TEST_F(NavigateTest, MissingPageChangesNothingOnceSomethingWasShown) {
    size_t loads = LoadCount();
    Form1->OpenPage("nothere.html");
    EXPECT_EQ(LoadCount(), loads);
    EXPECT_EQ(CurrentDoc.Path, "index.html");
    EXPECT_FALSE(Terminated());
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(NavigateTest, ArticleLinkIsComposedAndReplacesTheClickedNavigation) {
    WritePage("1part/17.html", "seventeen");
    EXPECT_FALSE(Click("data/1part/17.html"));
    EXPECT_EQ(CurrentDoc.Path, "1part\\17.html");
    EXPECT_TRUE(ShowsComposedPage());
}

TEST_F(NavigateTest, OtherLinksAreLeftToTheBrowser) {
    WriteBookFile("data/old.htm", "x");
    WriteBookFile("data/UPPER.HTML", "x");
    WritePage("anchor.html");
    for (const char* link : {"data/old.htm", "data/UPPER.HTML", "data/anchor.html#top", "data/anchor.html?x=1"}) {
        EXPECT_TRUE(Click(link)) << link;
        EXPECT_EQ(CurrentDoc.Path, "index.html") << link;
    }
}

TEST_F(NavigateTest, HtmlLinkOutsideTheDataFolderShowsUncomposed) {
    WriteBookFile("outside.html", "x");
    EXPECT_TRUE(Click("outside.html"));
    EXPECT_EQ(CurrentDoc.Path, "index.html");
}

TEST_F(NavigateTest, OwnNavigationToTheComposedPageIsNotIntercepted) {
    size_t loads = LoadCount();
    Form1->datacenter->Navigate("file://" + BookWin() + "data\\tomeview.tmp");
    Pump();
    EXPECT_EQ(LoadCount(), loads + 1);
    EXPECT_EQ(CurrentDoc.Path, "index.html");
}

TEST_F(NavigateTest, FavouriteCommandsReopenTheShownPage) {
    size_t loads = LoadCount();
    EXPECT_FALSE(Click("data/favs.html?add"));
    EXPECT_EQ(CurrentDoc.Path, "index.html");
    EXPECT_GT(LoadCount(), loads);
    EXPECT_TRUE(ShowsComposedPage());
    loads = LoadCount();
    EXPECT_FALSE(Click("data/favs.html?delete=3"));
    EXPECT_GT(LoadCount(), loads);
    EXPECT_EQ(CurrentDoc.Path, "index.html");
}

TEST_F(NavigateTest, NonNumericSlotIsReportedByTheErrorReport) {
    dialogs_.ClearLog();
    Click("data/favs.html?delete=abc");
    ASSERT_EQ(dialogs_.Log().size(), 1u);
    EXPECT_EQ(CurrentDoc.Path, "index.html");
}

TEST_F(NavigateTest, DocumentCompleteHidesTheBorderAndTheSplash) {
    Form2->Show();
    Form1->OpenPage("index.html");
    Pump();
    ASSERT_FALSE(Engine().Scripts().empty());
    EXPECT_NE(Engine().Scripts().back().find("none"), std::string::npos);
    EXPECT_FALSE(Form2->Visible());
}

TEST_F(NavigateTest, NoHtmlDocumentLeavesEverythingAlone) {
    size_t scripts = Engine().Scripts().size();
    Form2->Show();
    Engine().SetNextDocumentIsHtml(false);
    Form1->OpenPage("index.html");
    Pump();
    EXPECT_EQ(Engine().Scripts().size(), scripts);
    EXPECT_TRUE(Form2->Visible());
    EXPECT_TRUE(dialogs_.Log().empty());
}

// ---- part pages ----

class PartPageTest : public NavigateTest {
protected:
    void SetUp() override {
        NavigateTest::SetUp();
        WritePage("1part/100.html",
                  "<a href=\"99.html\" class=\"navbutbackdown\">back</a> "
                  "<a href=\"101.html\" class=\"navbutfordown\">next</a>");
        WritePage("1part/99.html", "ninety-nine");
        WritePage("1part/101.html", "one hundred one");
        Form1->OpenPage("1part\\100.html");
    }
};

TEST_F(PartPageTest, CtrlLeftAndRightFollowThePagesLinks) {
    EXPECT_TRUE(Key(forms::VK_LEFT, forms::ssCtrl));
    EXPECT_EQ(CurrentDoc.Path, "1part\\99.html");
    Form1->OpenPage("1part\\100.html");
    EXPECT_TRUE(Key(forms::VK_RIGHT, forms::ssCtrl));
    EXPECT_EQ(CurrentDoc.Path, "1part\\101.html");
}

TEST_F(PartPageTest, NoLinkOrNoNumberDoesNothing) {
    Form1->OpenPage("1part\\99.html");  // links to neither neighbour
    Key(forms::VK_RIGHT, forms::ssCtrl);
    EXPECT_EQ(CurrentDoc.Path, "1part\\99.html");
    Form1->OpenPage("index.html");  // "index" is no number
    Key(forms::VK_LEFT, forms::ssCtrl);
    EXPECT_EQ(CurrentDoc.Path, "index.html");
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(PartPageTest, MissingCurrentFileIsReported) {
    std::filesystem::remove(Book() + "data/1part/100.html");
    Key(forms::VK_LEFT, forms::ssCtrl);
    ASSERT_EQ(dialogs_.Log().size(), 1u);
    EXPECT_EQ(dialogs_.Log()[0].Text, rtl::Ru("Файл ") + "1part\\100.html" + rtl::Ru(" не найден"));
    EXPECT_EQ(CurrentDoc.Path, "1part\\100.html");
}

// ---- opening shortcuts ----

TEST_F(NavigateTest, ShortcutsOpenTheirPagesAndIgnoreFailures) {
    WritePage("favs.html");
    WritePage("Creators.html");
    Form1->OpenPage("frew.html");
    EXPECT_TRUE(Key(forms::VK_UP, forms::ssCtrl));
    EXPECT_EQ(CurrentDoc.Path, "index.html");
    EXPECT_TRUE(Key(122));
    EXPECT_EQ(CurrentDoc.Path, "favs.html");
    EXPECT_TRUE(Key(121));
    EXPECT_EQ(CurrentDoc.Path, "Creators.html");
    WriteBookFile("data/Creators.html", "<? template_top=missing.htm; ?> x");
    size_t loads = LoadCount();
    EXPECT_TRUE(Key(116));  // F5: the template is missing; the failure is swallowed
    EXPECT_EQ(LoadCount(), loads);
    EXPECT_EQ(dialogs_.Log().size(), 1u);  // only the composer's own message
}

TEST_F(NavigateTest, F2AndF12ShowTheirDialogs) {
    EXPECT_TRUE(Key(113));
    EXPECT_TRUE(Form5->Visible());
    EXPECT_TRUE(Key(123));
    EXPECT_TRUE(sett->Visible());
}

// ---- clips ----

TEST_F(NavigateTest, ClipTakesTheBrowsersPlaceUntilTheNextPage) {
    Form1->testbuttonClick(ButtonImages[1]);
    EXPECT_EQ(CurrentDoc.Path, "clips\\film.avi");
    EXPECT_EQ(CurrentDoc.IsVideo, 1);
    EXPECT_GT(Form1->datacenter->Left(), 2000);
    EXPECT_TRUE(Form1->videocenter->Visible());
    int left = Form1->datacenter->Left();
    Form1->OpenPage("index.html");
    EXPECT_EQ(Form1->datacenter->Left(), left - 2000);
    EXPECT_FALSE(Form1->videocenter->Visible());
    EXPECT_EQ(CurrentDoc.IsVideo, 0);
}

TEST_F(NavigateTest, ReloadOnAClipReplaysItInsteadOfComposingIt) {
    Form1->testbuttonClick(ButtonImages[1]);
    std::string composed = ReadBookFile("data/tomeview.tmp");
    size_t loads = LoadCount();
    Key(116);
    Form1->OpenPage(CurrentDoc.Path);  // what a favourite added on the clip asks for
    EXPECT_EQ(LoadCount(), loads);
    EXPECT_EQ(ReadBookFile("data/tomeview.tmp"), composed);
    EXPECT_EQ(CurrentDoc.Path, "clips\\film.avi");
    EXPECT_EQ(CurrentDoc.IsVideo, 1);
    EXPECT_TRUE(Form1->videocenter->Visible());
}

TEST_F(NavigateTest, ClipIsNeverStoredAsTheLastPage) {
    WriteViewerValue("LastPage", "index.html");
    Form1->testbuttonClick(ButtonImages[1]);
    Form1->Close();
    EXPECT_EQ(ReadViewerValue("LastPage"), "index.html");
}

}  // namespace
}  // namespace viewertest
