// The search from the main window: Enter in the search box and the search button run it over the
// book's pages, and the results page is composed and shown like any other page.
#include "tests/viewer/main_fixture.h"

#include <filesystem>

#include "platform/rtl/codepage.h"
#include "viewer/forms.h"
#include "viewer/prepare.h"

namespace viewertest {
namespace {

using namespace viewer;
using rtl::Ru;

class MainSearchTest : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        WriteSkin({Button("search", ""), Button("html", "index.html", 60)},
                  {"START_button=2", "START_registry=TestBook"});
        WritePage("index.html", "index");
        WritePage("frew.html", "bye");
        WriteBookFile("data/rivers/volga.html", Ru("<?title=Волга;?>Волга — река. Река течёт."));
        WriteBookFile("data/rivers/don.html", Ru("<?title=Дон;?>Дон — река и город рядом."));
        WriteBookFile("data/cities/tver.html", Ru("<?title=Тверь;?>Тверь — город на реке."));
        WriteBookFile("data/cities/moscow.html", Ru("<?title=Москва;?>МОСКВА — столица."));
        WriteBookFile("data/cities/kazan.html", Ru("<?title=Казань;?>Казань стоит восточнее Москвы."));
        WriteBookFile("data/lakes/baikal.html", Ru("<?title=Байкал;?>Озеро Байкал."));
        Start();
    }
    std::string Results() { return ReadBookFile("data/tomeview_search.tmp"); }
    // Types the text in the search box, presses Enter and gives the results page.
    std::string EnterSearch(const std::string& typed) {
        Form1->searcher->SetText(typed);
        char key = 13;
        Form1->searcherKeyPress(Form1->searcher, key);
        Pump();
        return Results();
    }
};

TEST_F(MainSearchTest, EnterSearchesWithoutTheFirstCharacterAndShowsTheResults) {
    const std::string page = EnterSearch(Ru(" Река ГОРОД"));
    // The words are "рек" and "город" once their endings go, so "реке" counts too.
    const size_t don = page.find(Ru(">Дон</a>"));
    const size_t volga = page.find(Ru(">Волга</a>"));
    const size_t tver = page.find(Ru(">Тверь</a>"));
    ASSERT_NE(don, std::string::npos) << page;
    ASSERT_NE(volga, std::string::npos);
    ASSERT_NE(tver, std::string::npos);
    EXPECT_LT(volga, don);  // one word before two
    EXPECT_LT(volga, tver);
    EXPECT_NE(page.find(Ru(">Волга</a>") + Ru("нестрогое совпадение")), std::string::npos);
    EXPECT_NE(page.find("href=\"rivers\\don.html\""), std::string::npos);
    EXPECT_TRUE(ShowsComposedPage());
    EXPECT_NE(CurrentDoc.Path.find("tomeview_search.tmp"), std::string::npos);
    EXPECT_EQ(Form1->searcher->Text(), Ru(" Река ГОРОД"));
}

// Words capitalised on the page are found; the rows keep their order by the number of matching words.
TEST_F(MainSearchTest, WordsAreFoundWhateverTheirCaseOnThePage) {
    const std::pair<const char*, std::vector<const char*>> cases[] = {
        {" москва казань", {">Москва</a>нестрогое совпадение", ">Казань</a>полное совпадение"}},
        {" Казань", {">Казань</a>полное совпадение"}},
        {" Байкал", {">Байкал</a>полное совпадение"}},
    };
    for (const auto& [typed, rows] : cases) {
        const std::string page = EnterSearch(Ru(typed));
        size_t at = 0, links = 0;
        for (const char* row : rows)
            ASSERT_NE(at = page.find(Ru(row), at), std::string::npos) << typed << ": " << row << " missing or out of order\n" << page;
        for (at = page.find("<a "); at != std::string::npos; at = page.find("<a ", at + 1)) ++links;
        EXPECT_EQ(links, rows.size()) << typed << "\n" << page;
    }
}

TEST_F(MainSearchTest, SearchButtonRunsTheSameSearch) {
    Form1->searcher->SetText(Ru("xгород"));
    forms::TRect r = ButtonImages.at(0)->FormRect();
    Backend().Click(*Form1, r.Left + 2, r.Top + 2);
    Pump();
    const std::string page = Results();
    EXPECT_NE(page.find(Ru(">Дон</a>")), std::string::npos);
    EXPECT_NE(page.find(Ru(">Тверь</a>")), std::string::npos);
    EXPECT_EQ(page.find(Ru(">Волга</a>")), std::string::npos);
}

TEST_F(MainSearchTest, UnopenablePageIsReportedByTheButtonAndNoResultsAreShown) {
    std::filesystem::create_symlink(Book() + "data/gone.html", Book() + "data/rivers/lost.html");
    const std::string shown = CurrentDoc.Path;
    Form1->searcher->SetText(Ru("xгород"));
    forms::TRect r = ButtonImages.at(0)->FormRect();
    Backend().Click(*Form1, r.Left + 2, r.Top + 2);
    Pump();
    ASSERT_EQ(dialogs_.Log().size(), 1u);
    EXPECT_EQ(dialogs_.Log()[0].Text, Ru("Не удается открыть страницу. Пожалуйста, переустановите приложение."));
    EXPECT_EQ(CurrentDoc.Path, shown);
    EXPECT_FALSE(BookFileExists("data/tomeview_search.tmp"));
}

TEST_F(MainSearchTest, OneCharacterQueryIsEmptyAndReported) {
    EnterSearch("x");
    ASSERT_FALSE(dialogs_.Log().empty());
    EXPECT_EQ(dialogs_.Log().back().Text, Ru("Задан пустой поисковый запрос"));
}

}  // namespace
}  // namespace viewertest
