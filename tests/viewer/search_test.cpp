// Full-text search: page preparation, query words, the walk, the result order and the results page.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/textfile.h"
#include "viewer/search_mod.h"

namespace fs = std::filesystem;
using rtl::Ru;
using namespace viewer;
using namespace viewer::search;

namespace {

TEST(SearchWords, EndingsAreStrippedFromLongWordsOnly) {
  EXPECT_EQ(MakePattern(Ru("энциклопедия")), TPattern{Ru("энциклопед")});
  EXPECT_EQ(MakePattern(Ru("моей")), TPattern{Ru("м")});
  EXPECT_EQ(MakePattern(Ru("Большая")), TPattern{Ru("больш")});
  EXPECT_EQ(MakePattern(Ru("котов")), TPattern{Ru("кот")});
  EXPECT_EQ(MakePattern(Ru("мама")), TPattern{Ru("мам")});
  EXPECT_EQ(MakePattern(Ru("мая")), TPattern{Ru("мая")});  // three letters stay
  EXPECT_EQ(MakePattern(Ru("ЁЛКИ")), TPattern{Ru("ёлк")});
  EXPECT_EQ(MakePattern("Atlas"), TPattern{"atlas"});
}

TEST(SearchWords, BlanksSplitAndInnerRunsGiveEmptyWords) {
  EXPECT_EQ(MakePattern(Ru("  Кот  и пёс ")), (TPattern{Ru("кот"), "", Ru("и"), Ru("пёс")}));
  EXPECT_EQ(MakePattern("   "), TPattern{""});
  EXPECT_EQ(CountMatches("anything", TPattern{""}), 0);
  EXPECT_EQ(CountMatches("a cat and a cat", TPattern{"cat", "cat", "dog", ""}), 2);
}

TEST(SearchPages, LinesAreJoinedAndBlankRunsShortened) {
  EXPECT_EQ(JoinAndSqueeze(""), "");
  EXPECT_EQ(JoinAndSqueeze("x\r\ny"), "x y ");
  EXPECT_EQ(JoinAndSqueeze("x\n"), "x ");
  EXPECT_EQ(JoinAndSqueeze("x\n\n"), "x ");  // two blanks become one
  EXPECT_EQ(JoinAndSqueeze("a" + std::string(8, ' ') + "b"), "a b ");
  EXPECT_EQ(JoinAndSqueeze("a" + std::string(9, ' ') + "b"), "a  b ");
  EXPECT_EQ(JoinAndSqueeze("a" + std::string(17, ' ') + "b"), "a   b ");
  EXPECT_EQ(JoinAndSqueeze("a\rb"), "a\rb ");  // a lone CR is not a line end
  EXPECT_EQ(JoinAndSqueeze("a\tb"), "a\tb ");
}

TEST(SearchPages, HeaderBlocksGiveTheTitleAndLeaveTheText) {
  TSearch_header page;
  TakeHeaderBlocks(Ru("<?template_top=t;TITLE= Заголовок ; x?>текст<?a?>"), page);
  EXPECT_EQ(page.Title, Ru(" Заголовок"));
  EXPECT_EQ(page.Text, Ru("текст"));

  TSearch_header noTitle;
  TakeHeaderBlocks("<?title=x?>body<?title=x?>end", noTitle);  // no ";": no title, both copies go
  EXPECT_EQ(noTitle.Title, "");
  EXPECT_EQ(noTitle.Text, "bodyend");

  TSearch_header noEquals;
  TakeHeaderBlocks("<?title;?>z", noEquals);
  EXPECT_EQ(noEquals.Title, "title");
}

TEST(SearchPages, UnclosedOrReversedBlocksEnd) {
  TSearch_header open;
  TakeHeaderBlocks("text <? never closed", open);
  EXPECT_EQ(open.Text, "text <? never closed");
  TSearch_header reversed;
  TakeHeaderBlocks("a ?> b <? c", reversed);
  EXPECT_EQ(reversed.Text, "a ?> b <? c");
  TSearch_header overlap;
  TakeHeaderBlocks("x<?>y", overlap);
  EXPECT_EQ(overlap.Text, "xy");
}

// The exchange sort exactly as the viewer always ran it, for comparison.
TSearch_res LiteralSort(TSearch_res hits) {
  for (size_t i = 0; i < hits.size(); ++i)
    for (size_t j = 0; j < hits.size(); ++j)
      if (hits[j].MatchCount > hits[i].MatchCount) std::swap(hits[i], hits[j]);
  return hits;
}

TSearch_res Hits(const std::vector<std::pair<int, std::string>>& rows) {
  TSearch_res res;
  for (const auto& [count, path] : rows) res.push_back({path, "", "", static_cast<uint16_t>(count)});
  return res;
}

std::string Order(const TSearch_res& res) {
  std::string out;
  for (const auto& r : res) out += r.Path;
  return out;
}

TEST(SearchOrder, TieOrderOfTheExchangeSort) {
  EXPECT_EQ(Order(FilterAndSort(Hits({{1, "A"}, {1, "B"}, {2, "C"}, {1, "D"}}))), "BADC");
  EXPECT_EQ(Order(FilterAndSort(Hits({{0, "X"}, {3, "A"}, {0, "Y"}, {1, "B"}}))), "BA");
  EXPECT_EQ(Order(FilterAndSort(Hits({}))), "");
}

TEST(SearchOrder, MatchesTheLiteralSortOnRandomInputs) {
  std::mt19937 random(12345);
  for (int round = 0; round < 3000; ++round) {
    const int n = static_cast<int>(random() % 14);
    const int distinct = 1 + static_cast<int>(random() % 4);
    TSearch_res pages;
    for (int k = 0; k < n; ++k)
      pages.push_back({std::string(1, static_cast<char>('a' + k)), "", "", static_cast<uint16_t>(random() % (distinct + 1))});
    TSearch_res hits;
    for (const auto& p : pages)
      if (p.MatchCount) hits.push_back(p);
    ASSERT_EQ(Order(FilterAndSort(pages)), Order(LiteralSort(hits))) << "round " << round;
  }
}

TKorTemplate SampleTemplate() {
  TKorTemplate t;
  t.template_top = "top.htm";
  t.template_bot = "bot.htm";
  t.prefix = "<table>";
  t.postfix = "</table>";
  t.pre_even = "<tr class=e><td>";
  t.post_even = "</td></tr>";
  t.pre_odd_row = "<tr class=o><td>";
  t.post_odd_row = "</td></tr>";
  t.empty = "<p>none</p>";
  t.middle = " - ";
  return t;
}

TEST(SearchResults, PageTextHasTheLiteralHeaderAndRowsByParity) {
  TSearch_res hits = Hits({{1, "a\\x.html"}, {2, "y.htm"}});
  hits[0].Title = "X";
  hits[1].Title = "Y";
  EXPECT_EQ(ResultsPageText(hits, 2, SampleTemplate()),
            "<? TEMPLATE_TOP=top.htm;#10#13TEMPLATE_BOT=bot.htm;#10#13TITLE=" + Ru("Результаты поиска") +
                ";#10#13KEYWORDS=;#10#13?><table>"
                "<tr class=e><td>1&nbsp;<a href=\"a\\x.html\" class=\"template_search_link\">X</a> - " +
                Ru("нестрогое совпадение") +
                "</td></tr>"
                "<tr class=o><td>2&nbsp;<a href=\"y.htm\" class=\"template_search_link\">Y</a> - " +
                Ru("полное совпадение") + "</td></tr></table>");
  EXPECT_EQ(ResultsPageText({}, 3, SampleTemplate()), "<p>none</p>");
}

class SearchTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("search-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "data");
    programDir_ = rtl::FromNativePath(root_.string()) + "\\";
    previous_ = &rtl::Dialogs();
    rtl::SetDialogService(&dialogs_);
  }
  void TearDown() override {
    rtl::SetDialogService(previous_);
    fs::remove_all(root_);
  }
  void Page(const std::string& relative, const std::string& text) {
    const fs::path path = root_ / "data" / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  std::vector<std::string> Walk(const TPattern& words) {
    TSearch_res pages;
    CollectPages(programDir_ + "data\\", "", pages, &words);
    std::vector<std::string> paths;
    for (const auto& p : pages) paths.push_back(p.Path + ":" + std::to_string(p.MatchCount));
    return paths;
  }
  std::string Search(const std::string& query) {
    std::string opened;
    RunSearch(query, programDir_, SampleTemplate(), [&](const std::string& path) { opened = path; });
    EXPECT_EQ(opened, programDir_ + "data\\tomeview_search.tmp");
    return rtl::ReadFileBytes(opened);
  }

  fs::path root_;
  std::string programDir_;
  rtl::ScriptedDialogs dialogs_;
  rtl::IDialogService* previous_ = nullptr;
};

TEST_F(SearchTree, OnlyLowerCasePageExtensionsInPlainFoldersAreRead) {
  Page("a.html", "cat");
  Page("b.htm", "cat");
  Page("c.edf", "cat");
  Page("D.HTML", "cat");
  Page("e.old.html", "cat");
  Page("f.txt", "cat");
  Page("sub/g.html", "cat");
  Page(".hidden/h.html", "cat");
  Page("folder.html/i.html", "cat");  // a folder named like a page is walked, not read
  fs::create_directory_symlink(root_ / "data", root_ / "data" / "loop");
  EXPECT_EQ(Walk({"cat"}), (std::vector<std::string>{"a.html:1", "b.htm:1", "c.edf:1", "folder.html\\i.html:1",
                                                     "sub\\g.html:1"}));
}

// Nothing in the walk reads a folder once per page, also when the data folder's name on disk differs
// in case from the one the viewer asks for; with the exact name each page costs a stat and an open.
TEST_F(SearchTree, WalkReadsEachFolderOnce) {
  constexpr int kPages = 300;
  for (int i = 0; i < kPages; ++i) Page("big/" + std::to_string(i) + ".html", "cat");
  Page("sub/x.html", "cat");
  for (const char* onDisk : {"data", "Data"}) {
    if (onDisk != std::string("data")) fs::rename(root_ / "data", root_ / onDisk);
    const rtl::TFsCallCounts before = rtl::FsCallCounts();
    EXPECT_EQ(Walk({"cat"}).size(), kPages + 1u) << onDisk;
    const rtl::TFsCallCounts spent = rtl::FsCallCounts() - before;
    EXPECT_LE(spent.FolderReads, 6u) << onDisk;
    if (onDisk == std::string("data")) {
      EXPECT_LE(spent.Total(), 2u * kPages + 20);
    }
  }
}

TEST_F(SearchTree, PipesNamedLikePagesAreNotRead) {
  Page("a.html", "cat");
  const fs::path pipe = root_ / "data" / "pipe.html";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // Should the walk open the pipe, a writer that comes and goes ends its read instead of leaving it hanging.
  std::atomic<bool> walked{false};
  std::thread writer([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!walked && std::chrono::steady_clock::now() < deadline) {
      const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        ::close(fd);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  const auto found = Walk({"cat"});
  walked = true;
  writer.join();
  EXPECT_EQ(found, std::vector<std::string>{"a.html:1"});
}

// More than 64 pages are read on several threads, yet listed in walk order. A page that cannot be
// opened (a link to nothing named like a page) ends the search with the run time's error of the first
// such page in walk order, and no results page is written or shown.
TEST_F(SearchTree, ManyPagesKeepTheWalkOrderAndAnUnopenablePageEndsTheSearch) {
  std::vector<std::string> expected;
  auto name = [](int i) { return "p" + std::to_string(1000 + i) + ".html"; };
  for (int i = 0; i < 300; ++i) {
    Page(name(i), i % 3 == 0 ? "cat" : "dog");
    expected.push_back(name(i) + (i % 3 == 0 ? ":1" : ":0"));
  }
  EXPECT_EQ(Walk({"cat"}), expected);

  for (int i : {250, 120}) fs::create_symlink(root_ / "gone.html", root_ / "data" / name(i).replace(5, 0, "x"));
  bool opened = false;
  try {
    RunSearch("cat", programDir_, SampleTemplate(), [&](const std::string&) { opened = true; });
    ADD_FAILURE() << "the search ended without an error";
  } catch (const rtl::EInOutError& error) {
    EXPECT_EQ(error.ErrorCode, 2);
    EXPECT_NE(error.Message().find("p1120x.html"), std::string::npos) << error.Message();
  }
  EXPECT_FALSE(opened);
  EXPECT_FALSE(fs::exists(root_ / "data" / "tomeview_search.tmp"));
}

TEST_F(SearchTree, RankingAndMatchTexts) {
  Page("both.html", Ru("<?title=Оба;?>кот и собака"));
  Page("one.html", Ru("<?title=Один;?>только кот"));
  Page("none.html", Ru("ничего"));
  Page("upper.html", Ru("<?title=ВЕРХ;?>КОТ СОБАКА"));
  const std::string page = Search(Ru("Кот Собака"));
  const size_t one = page.find(Ru(">Один</a> - нестрогое совпадение"));
  const size_t both = page.find(Ru(">Оба</a> - полное совпадение"));
  ASSERT_NE(one, std::string::npos);
  ASSERT_NE(both, std::string::npos);
  EXPECT_LT(one, both);  // fewest matching words first
  EXPECT_NE(page.find(Ru(">ВЕРХ</a> - полное совпадение")), std::string::npos);  // the title as written
  EXPECT_EQ(page.substr(page.size() - 2), "\r\n");
}

TEST_F(SearchTree, DoubleBlankInTheQueryNeverMatchesFully) {
  Page("p.html", "cat dog");
  const std::string page = Search("cat  dog");
  EXPECT_NE(page.find(Ru("нестрогое совпадение")), std::string::npos);
  EXPECT_EQ(page.find(Ru("полное совпадение")), std::string::npos);
}

TEST_F(SearchTree, EmptyQueryReportsAndShowsTheEmptyPage) {
  Page("p.html", "text");
  EXPECT_EQ(Search(""), "<p>none</p>\r\n");
  ASSERT_EQ(dialogs_.Log().size(), 1u);
  EXPECT_EQ(dialogs_.Log()[0].Text, Ru("Задан пустой поисковый запрос"));
  EXPECT_EQ(Search("    "), "<p>none</p>\r\n");  // blanks are not empty: no message, no hits
  EXPECT_EQ(dialogs_.Log().size(), 1u);
}

TEST_F(SearchTree, MissingDataFolderGivesTheEmptyPage) {
  fs::remove_all(root_ / "data");
  fs::create_directories(root_ / "data");  // the results file needs a folder to land in
  EXPECT_EQ(Search("word"), "<p>none</p>\r\n");
}

}  // namespace

namespace {

// Counting straight on a page's bytes must agree with counting on the fully prepared text.
TEST_F(SearchTree, CountingOnBytesAgreesWithThePreparedText) {
  const std::string alphabet = "ab  \n\r<?>=;titleAT" + Ru("Ёё");
  std::mt19937 random(777);
  auto pick = [&](size_t n, bool withBreaks) {
    std::string s;
    while (s.size() < n) {
      const char c = alphabet[random() % alphabet.size()];
      if (!withBreaks && (c == ' ' || c == '\n' || c == '\r')) continue;
      s.push_back(c);
    }
    return s;
  };
  const std::string dataDir = programDir_ + "data\\";
  for (int round = 0; round < 4000; ++round) {
    const std::string bytes = pick(random() % 60, true);
    Page("p.html", bytes);
    TPattern words;
    for (int w = 0, n = 1 + static_cast<int>(random() % 3); w < n; ++w)
      words.push_back(rtl::AnsiLowerCase(pick(1 + random() % 4, false)));

    TSearch_res counted;
    CollectPages(dataDir, "", counted, &words);
    TSearch_header prepared;
    prepared.Path = "p.html";
    ReadPage(dataDir, "p.html", prepared);
    ASSERT_EQ(counted.size(), 1u);
    ASSERT_EQ(counted[0].MatchCount, CountMatches(prepared.Text, words)) << "page [" << bytes << "]";
    ASSERT_EQ(counted[0].Title, prepared.Title) << "page [" << bytes << "]";
  }
}

}  // namespace
