// The packed book read by the viewer's own code on the headless backend: the skin loads without a
// single message, the layout comes out as the skin was drawn for, and every page composes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "book_fixture.h"
#include "platform/forms/application.h"
#include "platform/forms/formdesc.h"
#include "platform/headless/headless.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/paths.h"
#include "viewer/bindings.h"
#include "viewer/main.h"
#include "viewer/parse.h"
#include "viewer/prepare.h"
#include "viewer/search_mod.h"

namespace fs = std::filesystem;

namespace {

struct HaltCalled {
    int ExitCode;
};

class BookLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        book_ = booktest::CopyOfPackedBook();
        registry_ = book_ + "test-registry";
        setenv("TOME_REGISTRY", registry_.c_str(), 1);
        savedCwd_ = fs::current_path().string();
        rtl::SetProgramFolderForTests(rtl::FromNativePath(book_));
        forms::SetResourcesFolder(rtl::FromNativePath(BOOK_RESOURCES_DIR));
        rtl::SetDialogService(&dialogs_);
        viewer::SetHaltHandler([](int code) { throw HaltCalled{code}; });
        viewer::ResetMainState();
        viewer::ResetPrepareState();
        viewer::ResetBindingsState();
        viewer::SplashPauseMs = 0;
        forms::Application().CreateForm(viewer::Form1);
        forms::Application().CreateForm(viewer::Form2);
    }
    void TearDown() override {
        forms::ResetApplication();
        viewer::ResetMainState();
        viewer::ResetPrepareState();
        viewer::ResetBindingsState();
        viewer::SetHaltHandler(nullptr);
        rtl::SetDialogService(nullptr);
        rtl::SetProgramFolderForTests("");
        forms::SetResourcesFolder("");
        fs::current_path(savedCwd_);
        fs::remove(registry_);
        unsetenv("TOME_REGISTRY");
    }

    std::string BoxTexts() const {
        std::string texts;
        for (const auto& box : dialogs_.Log()) texts += box.Text + "\n";
        return texts;
    }

    headless::TScopedHeadless backend_;
    rtl::ScriptedDialogs dialogs_;
    std::string book_, registry_, savedCwd_;
};

TEST_F(BookLoadTest, SkinLoadsWithoutAMessage) {
    viewer::TForm1& f = *viewer::Form1;
    ASSERT_EQ(viewer::Form2->LoadSkin(), -1);
    EXPECT_TRUE(dialogs_.Log().empty()) << BoxTexts();
    EXPECT_EQ(viewer::Buttons.size(), 11u);
    EXPECT_EQ(viewer::StartButton, 0);
    EXPECT_EQ(viewer::Buttons[0].Target, "index.html");
    EXPECT_EQ(viewer::RegistryKeyName, "orbel_lumen");
    EXPECT_EQ(viewer::UpdateUrl, "http://127.0.0.1:8765/updates/");
    EXPECT_EQ(viewer::SkinStyles.size(), 2u);
    EXPECT_EQ(forms::Application().Title, rtl::Ru("Люмен — малая энциклопедия"));
    EXPECT_FALSE(viewer::FavoritesTemplate.post_even.empty());
    EXPECT_FALSE(viewer::SearchTemplate.empty.empty());

    // The chrome lands where its pictures were drawn to fit.
    EXPECT_EQ(f.header->Height(), 40);
    EXPECT_EQ(f.datacenter->Top(), 40 + 48);
    EXPECT_EQ(f.ClientHeight() - f.datacenter->Top() - f.datacenter->Height(), 24);
    EXPECT_EQ(f.datacenter->Left(), 10);
    EXPECT_EQ(f.bg_top->Height(), 48);
    EXPECT_EQ(f.bg_bot->Height(), 24);
    EXPECT_EQ(f.ico_clo->Left() + f.ico_clo->Width(), f.ClientWidth());
    for (size_t i = 0; i < viewer::ButtonImages.size(); ++i) {
        EXPECT_EQ(viewer::ButtonImages[i]->Top(), 44) << i;
        EXPECT_GE(viewer::ButtonImages[i]->Left(), 0) << i;
        EXPECT_LE(viewer::ButtonImages[i]->Left() + 40, f.ClientWidth()) << i;
    }
    // The search box sits inside its picture in the tool band, right of the left-hand buttons.
    EXPECT_EQ(f.searcher->Top(), 40 + 14);
    EXPECT_EQ(f.searcher_img->Top(), 40 + 9);
    EXPECT_GT(f.searcher->Left(), f.searcher_img->Left());
    EXPECT_LT(f.searcher->Left() + f.searcher->Width(), f.searcher_img->Left() + f.searcher_img->Width());
    EXPECT_GT(f.searcher_img->Left(), viewer::ButtonImages[7]->Left() + 40);
}

TEST_F(BookLoadTest, EveryPageComposesWithItsTemplatesAndIncludes) {
    const std::string programDir = rtl::FromNativePath(book_);
    int pages = 0;
    for (const std::string& name : booktest::FilesUnder(book_ + "data")) {
        if (!name.ends_with(".html")) continue;
        std::string composed;
        viewer::ComposePage(programDir, name, composed);
        ASSERT_FALSE(composed.empty()) << name;
        const std::string text = booktest::ReadBytes(rtl::ToNativePath(composed));
        EXPECT_EQ(text.find("<?"), std::string::npos) << name;
        EXPECT_EQ(text.rfind("<html><head>", 0), 0u) << name;
        EXPECT_NE(text.find("</body></html>"), std::string::npos) << name;
        ++pages;
    }
    EXPECT_TRUE(dialogs_.Log().empty()) << BoxTexts();
    EXPECT_GE(pages, 22);
}

TEST_F(BookLoadTest, FavouritesPageListsAnAddedArticle) {
    ASSERT_EQ(viewer::Form2->LoadSkin(), -1);
    forms::ResetApplication();  // the templates stay loaded; no window reopens the page
    viewer::AppDir = rtl::FromNativePath(book_);
    viewer::CurrentDoc = {"1part\\101.html", 0};
    viewer::AddBookmark();
    std::string composed;
    viewer::ComposePage(viewer::AppDir, "favs.html", composed);
    const std::string text = booktest::ReadBytes(rtl::ToNativePath(composed));
    EXPECT_NE(text.find("data\\1part\\101.html\" class=\"template_favor_link\">" + rtl::Ru("Волга") + "</a>"),
              std::string::npos);
    EXPECT_NE(text.find("favs.html?delete=0\""), std::string::npos);
}

TEST_F(BookLoadTest, SearchWordsFindDifferentNumbersOfTitledPages) {
    ASSERT_EQ(viewer::Form2->LoadSkin(), -1);
    const std::string programDir = rtl::FromNativePath(book_);
    auto hits = [&](const std::string& word) {
        viewer::TPattern words = viewer::search::MakePattern(rtl::Ru(word));
        viewer::TSearch_res pages;
        viewer::search::CollectPages(programDir + "data\\", "", pages, &words);
        viewer::TSearch_res found = viewer::search::FilterAndSort(pages);
        // The templates are searched like any page; the menu in the top one names sections
        // ("Города") but has no title of its own, so only articles are counted.
        size_t titled = 0;
        for (const auto& page : found) {
            if (page.Path.rfind("templates\\", 0) == 0) continue;
            EXPECT_FALSE(page.Title.empty()) << page.Path;
            ++titled;
        }
        return titled;
    };
    const size_t rivers = hits("река"), cities = hits("город"), books = hits("энциклопедия"), bears = hits("медведь");
    EXPECT_GE(bears, 1u);
    EXPECT_GT(books, bears);
    EXPECT_GT(cities, books);
    EXPECT_GT(rivers, cities);

    std::string results;
    viewer::search::RunSearch(rtl::Ru("река город"), programDir, viewer::SearchTemplate,
                              [&](const std::string& path) { results = path; });
    ASSERT_FALSE(results.empty());
    std::string composed;
    viewer::ComposePage(programDir, results, composed);
    const std::string text = booktest::ReadBytes(rtl::ToNativePath(composed));
    EXPECT_NE(text.find(rtl::Ru("полное совпадение")), std::string::npos);
    EXPECT_NE(text.find(rtl::Ru("нестрогое совпадение")), std::string::npos);
    EXPECT_NE(text.find("class=\"template_search_link\">" + rtl::Ru("Волга") + "</a>"), std::string::npos);
    EXPECT_EQ(text.rfind("<html><head>", 0), 0u);
    EXPECT_TRUE(dialogs_.Log().empty()) << BoxTexts();
}

}  // namespace
