// Page composer: templates, includes, link rewriting, and inputs that must not stall composition.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/textfile.h"
#include "tests/rtl/readonly_place.h"
#include "tests/rtl/system_fixture.h"
#include "viewer/parse.h"

namespace fs = std::filesystem;

namespace {

class ComposerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("compose-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "data" / "templates");
    programDir_ = rtl::FromNativePath(root_.string()) + "\\";
    base_ = programDir_;
    for (char& c : base_)
      if (c == '\\') c = '/';
    previous_ = &rtl::Dialogs();
    rtl::SetDialogService(&dialogs_);
  }
  void TearDown() override {
    rtl::SetDialogService(previous_);
    fs::remove_all(root_);
  }

  void Write(const std::string& relative, const std::string& bytes) {
    const fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }

  // Composes and returns the three output lines.
  std::vector<std::string> Compose(const std::string& page) {
    std::string composed;
    viewer::ComposePage(programDir_, page, composed);
    EXPECT_EQ(composed, base_ + "data\\tomeview.tmp");
    auto lines = rtl::ReadLines(composed);
    EXPECT_EQ(lines.size(), 3u);
    lines.resize(3);
    return lines;
  }

  std::string Data() const { return base_ + "data\\"; }

  fs::path root_;
  std::string programDir_;
  std::string base_;
  rtl::ScriptedDialogs dialogs_;
  rtl::IDialogService* previous_ = nullptr;
};

TEST_F(ComposerTest, WorkedExampleTemplatesAndLinksUnderDataFolder) {
  Write("data/templates/top.htm", "<html>\r\n<body>\r\n");
  Write("data/templates/bot.htm", "</body>\r\n</html>\r\n");
  Write("data/1part/17.html",
        "<?template_top=top.htm;template_bot=bot.htm;?>\r\n<a href=\"18.html\">next</a>\r\n"
        "<img src=\"img/a.gif\">\r\n");
  const auto lines = Compose("1part\\17.html");
  EXPECT_EQ(lines[0], "<html><body>");
  EXPECT_EQ(lines[1], " <a href=\"" + Data() + "18.html\">next</a> <img src=\"" + Data() + "img/a.gif\"> ");
  EXPECT_EQ(lines[2], "</body></html>");
}

TEST_F(ComposerTest, PageWithoutHeaderHasEmptyTemplateLines) {
  Write("data/a.html", "<p>text</p>\n<a href=\"b.html\">b</a>\n");
  const auto lines = Compose("a.html");
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "<p>text</p> <a href=\"" + Data() + "b.html\">b</a> ");
  EXPECT_EQ(lines[2], "");
}

TEST_F(ComposerTest, HeaderEntriesAreReadInTheirFixedOrder) {
  using viewer::compose::ParseHeader;
  auto both = ParseHeader("template_top=t.htm;template_bot=b.htm;title=x;");
  EXPECT_EQ(both.Top, "t.htm");
  EXPECT_EQ(both.Bottom, "b.htm");
  auto onlyBottom = ParseHeader("title=x;template_bot=b.htm;");
  EXPECT_EQ(onlyBottom.Top, "");
  EXPECT_EQ(onlyBottom.Bottom, "b.htm");
  auto onlyTop = ParseHeader("TEMPLATE_TOP=Top.HTM;");
  EXPECT_EQ(onlyTop.Top, "Top.HTM");
  EXPECT_EQ(onlyTop.Bottom, "");
  auto swapped = ParseHeader("template_bot=b.htm;template_top=t.htm;");
  EXPECT_EQ(swapped.Top, "");
  EXPECT_EQ(swapped.Bottom, "");
  auto spaced = ParseHeader("template_top= t.htm;");
  EXPECT_EQ(spaced.Top, " t.htm");
  auto noEquals = ParseHeader("template_top;");
  EXPECT_EQ(noEquals.Top, "template_top");
  auto longName = ParseHeader("template_top=" + std::string(150, 'n') + ";");
  EXPECT_EQ(longName.Top.size(), 99u);
}

TEST_F(ComposerTest, MissingTemplateReportsAndFailsKeepingThePreviousOutput) {
  Write("data/ok.html", "plain");
  Compose("ok.html");
  Write("data/bad.html", "<?template_top = top.htm;?>body");
  std::string composed = "unchanged";
  EXPECT_THROW(viewer::ComposePage(programDir_, "bad.html", composed), rtl::EInOutError);
  EXPECT_EQ(composed, "unchanged");
  ASSERT_EQ(dialogs_.Log().size(), 1u);
  EXPECT_EQ(dialogs_.Log()[0].Text, rtl::Ru("Файл шаблона не найден"));
  EXPECT_EQ(rtl::ReadLines(base_ + "data\\tomeview.tmp")[1], "plain ");
}

TEST_F(ComposerTest, DirectiveOpeningThePageIsTakenAsTheHeader) {
  Write("inc/x.htm", "X");
  Write("data/first.html", "<?i(\"inc/x.htm\")?>after<?i(\"inc/x.htm\")?>");
  EXPECT_EQ(Compose("first.html")[1], "afterX  ");
}

TEST_F(ComposerTest, HeaderInTheMiddleSetsTemplatesAndDisappears) {
  Write("data/templates/t.htm", "TOP");
  Write("data/mid.html", "before <?template_top=t.htm;?> after");
  const auto lines = Compose("mid.html");
  EXPECT_EQ(lines[0], "TOP");
  EXPECT_EQ(lines[1], "before  after ");
}

TEST_F(ComposerTest, IncludesResolveRepeatedlyAndMissingOnesVanish) {
  Write("inc/part.htm", "<b>inc</b>\nsecond");
  Write("data/i.html", "A<?include(\"inc/part.htm\")?>B<?include(\"inc/part.htm\")?>C<?include('none.htm')?>D");
  const auto lines = Compose("i.html");
  EXPECT_EQ(lines[1], "A<b>inc</b> second B<b>inc</b> second CD ");
  EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(ComposerTest, LessThanBeforeAResolvedDirectiveCanOpenTheNext) {
  // Removing "<?x?>" or including a file that starts with "?" leaves "<" followed by "?": a new "<?".
  Write("inc/f.htm", "F");
  Write("inc/q.htm", "?i(\"inc/f.htm\")?>");
  Write("data/lt.html", "a<<?x?>?i(\"inc/f.htm\")?>b");
  EXPECT_EQ(Compose("lt.html")[1], "aF b ");
  Write("data/lq.html", "a<<?i(\"inc/q.htm\")?>b");
  EXPECT_EQ(Compose("lq.html")[1], "aF  b ");
}

TEST_F(ComposerTest, IncludeNamesDifferingInCaseReadTheirOwnFiles) {
  Write("inc/Up.htm", "U");
  Write("inc/up.htm", "u");
  Write("data/case.html", "p<?i(\"inc/Up.htm\")?>|<?i(\"inc/up.htm\")?>");
  EXPECT_EQ(Compose("case.html")[1], "pU |u  ");
}

TEST_F(ComposerTest, NestedIncludesAreRelativeToTheProgramFolder) {
  Write("inc/outer.htm", "[<?x(\"inc/inner.htm\")?>]");
  Write("inc/inner.htm", "in");
  Write("data/n.html", "p<?x(\"inc/outer.htm\")?><?x(\"inc/outer.htm\")?>");
  EXPECT_EQ(Compose("n.html")[1], "p[in ] [in ]  ");
}

TEST_F(ComposerTest, AnchorsAndQuotingRules) {
  Write("data/l.html",
        "<a href=\"#top\">1</a><a href = \"#x\">2</a><a href='#y'>3</a><a HREF=\"Page.html\">4</a>"
        "<img SRC='p.gif'><img src = \"q.gif\"><a href=\"http://example.org/\">5</a>");
  const std::string d = Data();
  EXPECT_EQ(Compose("l.html")[1],
            "<a href=\"#top\">1</a><a href = \"#x\">2</a><a href='" + d + "#y'>3</a><a href=\"" + d +
                "Page.html\">4</a><img src='file://" + d + "p.gif'><img src = \"" + d +
                "q.gif\"><a href=\"" + d + "http://example.org/\">5</a> ");
}

TEST_F(ComposerTest, DoubledSeparatorsAfterThePrefixAreRepaired) {
  Write("data/s.html", "<a href=\"/abs.html\">a</a><a href=\"\\back.html\">b</a>");
  // "\\" after the prefix is repaired; "/" is left as it is.
  EXPECT_EQ(Compose("s.html")[1], "<a href=\"" + Data() + "/abs.html\">a</a><a href=\"" + Data() + "back.html\">b</a> ");
}

TEST_F(ComposerTest, FullPageNameIsUsedAsItIs) {
  Write("elsewhere/r.tmp", "<a href=\"x.html\">x</a>");
  const std::string full = programDir_ + "elsewhere\\r.tmp";
  EXPECT_EQ(Compose(full)[1], "<a href=\"" + Data() + "x.html\">x</a> ");
}

TEST_F(ComposerTest, MissingPageWritesNothing) {
  std::string composed;
  viewer::ComposePage(programDir_, "nope.html", composed);
  EXPECT_EQ(composed, "");
  EXPECT_FALSE(fs::exists(root_ / "data" / "tomeview.tmp"));
  viewer::ComposePage(programDir_, "", composed);
  EXPECT_EQ(composed, "");
}

TEST_F(ComposerTest, CyrillicBytesPassThroughUnchanged) {
  const std::string text = rtl::Ru("Энциклопедия <a href=\"Статья.html\">ссылка</a>");
  Write("data/ru.html", text);
  EXPECT_EQ(Compose("ru.html")[1], rtl::Ru("Энциклопедия <a href=\"") + Data() + rtl::Ru("Статья.html\">ссылка</a> "));
}

// Inputs that once stalled the include pass; each must finish and leave a sensible page.
TEST_F(ComposerTest, DegenerateBlocksEndThePass) {
  Write("data/rev.html", "x ?> y <? z");
  EXPECT_EQ(Compose("rev.html")[1], "x ?> y <? z ");
  Write("data/pi.html", "a<?>b?>c");
  EXPECT_EQ(Compose("pi.html")[1], "ac ");
  Write("data/open.html", "<?template_top=t;?>a<?b");
  Write("data/templates/t", "T");
  const auto lines = Compose("open.html");
  EXPECT_EQ(lines[0], "T");
  EXPECT_EQ(lines[1], "a<?b ");
}

TEST_F(ComposerTest, SelfAndMutualInclusionEnd) {
  Write("inc/self.htm", "s<?i(\"inc/self.htm\")?>e");
  Write("data/self.html", "p<?i(\"inc/self.htm\")?>");
  EXPECT_EQ(Compose("self.html")[1], "pse  ");
  Write("inc/a.htm", "a<?i(\"inc/B.htm\")?>");
  Write("inc/b.htm", "b<?i(\"inc/a.htm\")?>");
  Write("data/mutual.html", "p<?i(\"inc/a.htm\")?>|<?i(\"inc/b.htm\")?>");
  EXPECT_EQ(Compose("mutual.html")[1], "pab  |ba   ");
}

TEST_F(ComposerTest, DeepButFiniteNestingIsBounded) {
  for (int i = 0; i < 60; ++i)
    Write("inc/d" + std::to_string(i) + ".htm", std::to_string(i) + "<?i(\"inc/d" + std::to_string(i + 1) + ".htm\")?>");
  Write("data/deep.html", "p<?i(\"inc/d0.htm\")?>");
  const auto page = Compose("deep.html")[1];
  EXPECT_EQ(page.find("<?"), std::string::npos);
  EXPECT_EQ(page.substr(0, 4), "p012");
  EXPECT_LT(page.size(), 400u);
}

TEST_F(ComposerTest, ExponentialIncludeTreeIsCapped) {
  // Each level includes the next twice: 2^40 copies unless growth is bounded.
  for (int i = 0; i < 40; ++i) {
    const std::string next = "<?i(\"inc/e" + std::to_string(i + 1) + ".htm\")?>";
    Write("inc/e" + std::to_string(i) + ".htm", next + next);
  }
  Write("inc/e40.htm", std::string(1000, 'x'));
  Write("data/wide.html", "p<?i(\"inc/e0.htm\")?>");
  std::string composed;
  viewer::ComposePage(programDir_, "wide.html", composed);
  EXPECT_FALSE(composed.empty());
}

// A data folder that refuses writes sends the page to a private cache folder made for the book: its
// address stays the book's and no stale fragment of the book is included. Anything else at the cache
// folder's name is never written through.
TEST_F(ComposerTest, AnUnwritableDataFolderComposesIntoThePrivateCacheOnly) {
  Write("data/templates/top.htm", "<link href=\"style.css\">");
  Write("data/page.html", "<?template_top=top.htm;?><a href=\"#x\">x</a><?include(\"data\\_favorites.tmp\")?>");
  Write("data/_favorites.tmp", "stale");
  rtltest::EnvGuard cacheHome("XDG_CACHE_HOME", (root_ / "cache").string());
  struct stat book {};
  ::stat(root_.c_str(), &book);
  const fs::path cache = root_ / "cache" / "tome" / (std::to_string(book.st_dev) + "-" + std::to_string(book.st_ino));
  rtltest::ReadOnlyPlace data((root_ / "data").string());
  if (!data.Usable()) GTEST_SKIP() << "a folder cannot be made read-only here";
  std::string composed;
  viewer::ComposePage(programDir_, "page.html", composed);
  EXPECT_EQ(composed, rtl::FromNativePath((cache / "tomeview.tmp").string()));
  EXPECT_EQ(fs::status(cache).permissions(), fs::perms::owner_all);
  EXPECT_EQ(rtl::ReadLines(composed),
            (std::vector<std::string>{"<base href=\"file://" + base_ + "data/tomeview.tmp\"><link href=\"style.css\">",
                                      "<a href=\"#x\">x</a> ", ""}));

  const fs::path elsewhere = root_ / "elsewhere";
  fs::create_directories(elsewhere);
  const std::pair<const char*, std::function<bool()>> occupants[] = {
      {"a link", [&] { fs::create_directory_symlink(elsewhere, cache); return true; }},
      {"a link above it", [&] { fs::remove(cache.parent_path()); fs::create_directory_symlink(elsewhere, cache.parent_path()); return true; }},
      {"a file", [&] { std::ofstream(cache) << "x"; return true; }},
      {"another user's folder", [&] { fs::create_directory(cache); return ::chown(cache.c_str(), 4242, 4242) == 0; }},
  };
  for (const auto& [what, occupy] : occupants) {
    fs::remove_all(root_ / "cache");
    fs::create_directories(cache.parent_path());
    if (!occupy()) continue;  // not root: no other user's folder can be made
    try {
      viewer::ComposePage(programDir_, "page.html", composed);
      ADD_FAILURE() << what << " was written through";
    } catch (const rtl::EInOutError& error) {  // said in the reader's words
      EXPECT_TRUE(error.Message().starts_with(rtl::Ru("Не удается записать файл "))) << what << ": " << error.Message();
    }
    EXPECT_TRUE(fs::is_empty(elsewhere)) << what;
  }
}

}  // namespace
