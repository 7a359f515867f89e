// The configuration record "intcfg.dat" (golden bytes, damaged files, atomic saves) and the
// favourites (add, delete, the list fragment).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/paths.h"
#include "viewer/bindings.h"
#include "viewer/main.h"
#include "viewer/prepare.h"

namespace fs = std::filesystem;
using rtl::Ru;
using viewer::IntConfig;

namespace {

class BindingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vbook-bind-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = std::string(pattern) + "/";
        fs::create_directories(folder_ + "data/1part");
        rtl::SetDialogService(&dialogs_);
        viewer::ResetBindingsState();
        viewer::AppDir = rtl::FromNativePath(folder_);
        viewer::CurrentDoc = {};
        viewer::FavoritesTemplate = {};
        viewer::FavoritesTemplate.prefix = "<table>";
        viewer::FavoritesTemplate.pre_even = "<tr class=e><td>";
        viewer::FavoritesTemplate.post_even = "</td><td><a href=\"favs.html?delete=\">x</a></td></tr>";
        viewer::FavoritesTemplate.pre_odd_row = "<tr class=o><td>";
        viewer::FavoritesTemplate.post_odd_row = "</td><td><a href=\"favs.html?delete=\">x</a></td></tr>";
        viewer::FavoritesTemplate.postfix = "</table>";
    }
    void TearDown() override {
        rtl::SetDialogService(nullptr);
        viewer::ResetBindingsState();
        viewer::AppDir.clear();
        viewer::CurrentDoc = {};
        viewer::FavoritesTemplate = {};
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    std::string Path(const std::string& name) const { return folder_ + name; }
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Exists(const std::string& name) const { return fs::exists(Path(name)); }
    std::string Record() const { return Read("intcfg.dat"); }

    // A page under data\ whose second line names its title.
    void Page(const std::string& name, const std::string& title) {
        Write("data/" + name, "<?template_top=top.htm;\r\ntitle=" + title + ";?>\r\n<p>text</p>\r\n");
    }
    void Open(const std::string& page, uint8_t video = 0) { viewer::CurrentDoc = {page, video}; }
    std::string SlotPath(int n) const { return IntConfig.Bookmarks[n].Path.Get(); }
    int UsedSlots() const {
        int used = 0;
        for (const viewer::TBookmark& b : IntConfig.Bookmarks) used += b.Path.IsEmpty() ? 0 : 1;
        return used;
    }
    void FillSlots(int count) {
        for (int n = 0; n < count; ++n) IntConfig.Bookmarks[n].Path.Set("p" + std::to_string(n) + ".html");
    }
    size_t Boxes() const { return dialogs_.Log().size(); }

    std::string folder_;
    rtl::ScriptedDialogs dialogs_;
};

uint16_t U16(const std::string& bytes, size_t at) {
    return uint16_t(uint8_t(bytes[at]) | (uint8_t(bytes[at + 1]) << 8));
}

// ---- the record ----

TEST_F(BindingsTest, SavedRecordHasTheGoldenLayout) {
    IntConfig.UpdateVersion = 0x1234;
    IntConfig.Reserved = 0xABCD;
    IntConfig.TextStyleIndex = 2;
    IntConfig.UseProxy = 1;
    IntConfig.ProxyHost.Set("proxy.local");
    IntConfig.ProxyPort = 3128;
    IntConfig.ProxyAuth = 1;
    IntConfig.ProxyUser.Set("user");
    IntConfig.ProxyPassword.Set("secret");
    viewer::TBookmark& first = IntConfig.Bookmarks[0];
    first.Path.Set("1part\\101.html");
    first.Added.Set("09.12.2026 04:55:02");
    first.Title.Set(Ru("Волга"));
    first.IsVideo = 1;
    IntConfig.Bookmarks[100].Path.Set("last.html");
    IntConfig.Bookmarks[100].IsVideo = 1;
    viewer::SaveIntConfig();

    const std::string b = Record();
    ASSERT_EQ(b.size(), 54016u);
    EXPECT_EQ(U16(b, 0), 0x1234);
    EXPECT_EQ(U16(b, 2), 0xABCD);
    EXPECT_EQ(U16(b, 4), 2);
    EXPECT_EQ(b[6], 1);
    EXPECT_EQ(b[7], 11);
    EXPECT_EQ(b.substr(8, 11), "proxy.local");
    EXPECT_EQ(U16(b, 24), 3128);
    EXPECT_EQ(b[26], 1);
    EXPECT_EQ(b[27], 4);
    EXPECT_EQ(b.substr(28, 4), "user");
    EXPECT_EQ(b[105], 6);
    EXPECT_EQ(b.substr(106, 6), "secret");
    EXPECT_EQ(b[183], 14);
    EXPECT_EQ(b.substr(184, 14), "1part\\101.html");
    EXPECT_EQ(b[183 + 256], 19);
    EXPECT_EQ(b.substr(183 + 257, 19), "09.12.2026 04:55:02");
    EXPECT_EQ(b[183 + 276], 5);
    EXPECT_EQ(b.substr(183 + 277, 5), Ru("Волга"));
    EXPECT_EQ(b[183 + 532], 1);
    const size_t last = 183 + 533 * 100;
    EXPECT_EQ(b[last], 9);
    EXPECT_EQ(b.substr(last + 1, 9), "last.html");
    EXPECT_EQ(b[54015], 1);

    viewer::ResetBindingsState();
    viewer::LoadIntConfig();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&IntConfig), sizeof IntConfig), b);
    EXPECT_EQ(Boxes(), 0u);
}

TEST_F(BindingsTest, ShorterStringLeavesNoTailOfTheLongerOne) {
    IntConfig.ProxyHost.Set("long.proxy.name");
    IntConfig.Bookmarks[0].Title.Set(std::string(200, 'x'));
    viewer::SaveIntConfig();
    IntConfig.ProxyHost.Set("ab");
    IntConfig.Bookmarks[0].Title.Clear();
    viewer::SaveIntConfig();
    const std::string b = Record();
    EXPECT_EQ(b.substr(7, 16), std::string("\x02" "ab") + std::string(13, '\0'));
    EXPECT_EQ(b.substr(183 + 276, 256), std::string(256, '\0'));
}

TEST_F(BindingsTest, LongStringsAreCutToTheirRoom) {
    IntConfig.ProxyHost.Set(std::string(40, 'h'));
    IntConfig.Bookmarks[0].Path.Set(std::string(300, 'p'));
    EXPECT_EQ(IntConfig.ProxyHost.Get(), std::string(15, 'h'));
    EXPECT_EQ(IntConfig.Bookmarks[0].Path.Get(), std::string(255, 'p'));
}

TEST_F(BindingsTest, MissingRecordLeavesTheRecordAsItIs) {
    IntConfig.TextStyleIndex = 7;
    viewer::LoadIntConfig();
    EXPECT_EQ(IntConfig.TextStyleIndex, 7);
    EXPECT_EQ(Boxes(), 0u);
    EXPECT_FALSE(Exists("intcfg.dat"));
}

TEST_F(BindingsTest, ShortRecordLoadsWhatIsThereZeroesTheRestAndIsReportedOnce) {
    IntConfig.TextStyleIndex = 3;
    IntConfig.ProxyPort = 8080;
    IntConfig.Bookmarks[0].Path.Set("a.html");
    viewer::SaveIntConfig();
    Write("intcfg.dat", Record().substr(0, 200));  // cuts into slot 0's path

    IntConfig.Bookmarks[5].Title.Set("stale");
    viewer::LoadIntConfig();
    EXPECT_EQ(IntConfig.TextStyleIndex, 3);
    EXPECT_EQ(IntConfig.ProxyPort, 8080);
    EXPECT_TRUE(IntConfig.Bookmarks[5].Title.IsEmpty());
    EXPECT_EQ(IntConfig.Bookmarks[0].Path.Length, 6);
    ASSERT_EQ(Boxes(), 1u);
    EXPECT_EQ(dialogs_.Log()[0].Text, Ru("Файл настроек intcfg.dat поврежден. Недостающие настройки и закладки сброшены."));

    viewer::LoadIntConfig();  // a skin reload meets the same file
    EXPECT_EQ(Boxes(), 1u);
}

TEST_F(BindingsTest, EmptyRecordFileLoadsAsZero) {
    Write("intcfg.dat", "");
    IntConfig.TextStyleIndex = 4;
    viewer::LoadIntConfig();
    EXPECT_EQ(IntConfig.TextStyleIndex, 0);
    EXPECT_EQ(Boxes(), 1u);
}

TEST_F(BindingsTest, LengthBytesBeyondTheirRoomAreCut) {
    viewer::SaveIntConfig();
    std::string b = Record();
    b[7] = char(200);          // ProxyHost has room for 15
    b[183 + 256] = char(255);  // Added has room for 19
    Write("intcfg.dat", b);
    viewer::LoadIntConfig();
    EXPECT_EQ(IntConfig.ProxyHost.Get().size(), 15u);
    EXPECT_EQ(IntConfig.Bookmarks[0].Added.Get().size(), 19u);
    EXPECT_EQ(Boxes(), 1u);
}

TEST_F(BindingsTest, LongerRecordFileIsReadAsFarAsItsFirstRecord) {
    IntConfig.UpdateVersion = 9;
    viewer::SaveIntConfig();
    Write("intcfg.dat", Record() + std::string(1000, '\x7f'));
    viewer::ResetBindingsState();
    viewer::LoadIntConfig();
    EXPECT_EQ(IntConfig.UpdateVersion, 9);
    EXPECT_EQ(Boxes(), 0u);
}

TEST_F(BindingsTest, SaveReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    Write("intcfg.dat", std::string(70000, 'z'));
    viewer::SaveIntConfig();
    EXPECT_EQ(Record().size(), 54016u);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder_)) files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);
}

// A record that exists but cannot be read at all (here a link to a file whose reads fail) is reported,
// this run goes on with a zeroed record, and no save replaces the file that may still hold bookmarks.
TEST_F(BindingsTest, UnreadableRecordIsReportedAndNeverReplaced) {
    fs::create_symlink("/proc/self/mem", Path("intcfg.dat"));
    IntConfig.TextStyleIndex = 5;
    viewer::LoadIntConfig();
    EXPECT_EQ(IntConfig.TextStyleIndex, 0);
    EXPECT_EQ(Boxes(), 1u);
    EXPECT_THROW(viewer::SaveIntConfig(), rtl::EInOutError);
    EXPECT_TRUE(fs::is_symlink(Path("intcfg.dat")));

    fs::remove(Path("intcfg.dat"));  // once the file is gone, saving works again
    viewer::LoadIntConfig();
    viewer::SaveIntConfig();
    EXPECT_EQ(Record().size(), 54016u);
}

TEST_F(BindingsTest, SaveIntoAMissingFolderRaisesAnInputOutputError) {
    viewer::AppDir = rtl::FromNativePath(folder_ + "missing/");
    EXPECT_THROW(viewer::SaveIntConfig(), rtl::EInOutError);
}

// ---- adding ----

TEST_F(BindingsTest, FirstAddCreatesTheRecordAndListsThePage) {
    viewer::WriteFavoritesPage();
    EXPECT_EQ(Read("data/_favorites.tmp"), "<table>\r\n");

    Page("1part/101.html", Ru("Волга"));
    Open("1part\\101.html");
    viewer::AddBookmark();
    EXPECT_EQ(Record().size(), 54016u);
    EXPECT_EQ(SlotPath(0), "1part\\101.html");
    EXPECT_EQ(IntConfig.Bookmarks[0].Title.Get(), Ru("Волга"));
    EXPECT_EQ(IntConfig.Bookmarks[0].IsVideo, 0);
    EXPECT_EQ(Read("data/_favorites.tmp"),
              "<table><tr class=e><td><a href=\"1part\\101.html\" class=\"template_favor_link\">" + Ru("Волга") +
                  "</a></td><td><a href=\"favs.html?delete=0\">x</a></td></tr>\r\n");
    EXPECT_EQ(Boxes(), 0u);
}

TEST_F(BindingsTest, AddedHoldsDateBlankTimeInAtMostNineteenCharacters) {
    const std::string stamp = viewer::BookmarkTimestamp();
    ASSERT_EQ(stamp.size(), 19u);
    EXPECT_EQ(stamp[2], '.');
    EXPECT_EQ(stamp[5], '.');
    EXPECT_EQ(stamp[10], ' ');
    EXPECT_EQ(stamp[13], ':');

    Page("a.html", "A");
    Open("a.html");
    viewer::AddBookmark();
    EXPECT_EQ(IntConfig.Bookmarks[0].Added.Length, 19);
}

TEST_F(BindingsTest, TitleIsTakenBetweenTheFirstEqualsAndTheFirstSemicolon) {
    EXPECT_EQ(viewer::TitleFromLine("title= Volga;"), " Volga");
    EXPECT_EQ(viewer::TitleFromLine("TITLE=a=b;c;"), "a=b");
    EXPECT_EQ(viewer::TitleFromLine("title=no end"), "");
    EXPECT_EQ(viewer::TitleFromLine("x;title=late"), "");
    EXPECT_EQ(viewer::TitleFromLine("title=" + std::string(300, 'w') + ";").size(), 255u);

    Write("data/b.html", "<p>one</p>\n<p>Title = Kama; more</p>\n<p>title=Oka;</p>\n");
    Open("b.html");
    viewer::AddBookmark();
    EXPECT_EQ(IntConfig.Bookmarks[0].Title.Get(), " Kama");
}

TEST_F(BindingsTest, PageWithoutTitleIsListedUntitled) {
    Write("data/plain.html", "<p>no heading here</p>\n");
    Open("plain.html");
    viewer::AddBookmark();
    EXPECT_EQ(UsedSlots(), 1);
    EXPECT_TRUE(IntConfig.Bookmarks[0].Title.IsEmpty());
    EXPECT_NE(Read("data/_favorites.tmp").find(">" + Ru("Без названия") + "</a>"), std::string::npos);
}

TEST_F(BindingsTest, DuplicateConfirmedWithOkChangesNothing) {
    Page("a.html", "A");
    Open("a.html");
    viewer::AddBookmark();
    const std::string before = Record();
    fs::remove(Path("intcfg.dat"));
    fs::remove(Path("data/_favorites.tmp"));

    dialogs_.PushResult(rtl::IDOK);
    viewer::AddBookmark();
    ASSERT_EQ(Boxes(), 1u);
    EXPECT_EQ(dialogs_.Log()[0].Text, Ru("Данная страница уже добавлена в избранное"));
    EXPECT_EQ(UsedSlots(), 1);
    EXPECT_FALSE(Exists("intcfg.dat"));
    EXPECT_FALSE(Exists("data/_favorites.tmp"));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&IntConfig), sizeof IntConfig), before);
}

TEST_F(BindingsTest, DuplicateBoxClosedOtherwiseLetsTheScanGoOn) {
    Page("a.html", "A");
    Open("a.html");
    viewer::AddBookmark();
    viewer::AddBookmark();  // box closed without OK
    EXPECT_EQ(Boxes(), 1u);
    EXPECT_EQ(SlotPath(1), "a.html");
}

TEST_F(BindingsTest, FullTableIsReportedAndNoSlotChanges) {
    FillSlots(101);
    Page("new.html", "N");
    Open("new.html");
    viewer::AddBookmark();
    ASSERT_EQ(Boxes(), 1u);
    EXPECT_EQ(dialogs_.Log()[0].Text, Ru("Невозможно добавить более 100 закладок. Удалите ненужные."));
    EXPECT_EQ(SlotPath(100), "p100.html");
    EXPECT_EQ(Record().size(), 54016u);  // still saved, as after any add
}

TEST_F(BindingsTest, UnreadablePageLeavesTheTableAsItWas) {
    FillSlots(2);
    Open("gone.html");
    try { viewer::AddBookmark(); ADD_FAILURE() << "an unreadable page was added"; }
    catch (const rtl::Exception& e) { EXPECT_EQ(e.Message(), Ru("Не удается добавить эту страницу в избранное.")); }
    EXPECT_EQ(UsedSlots(), 2);
    EXPECT_TRUE(IntConfig.Bookmarks[2].Added.IsEmpty());
    EXPECT_FALSE(Exists("intcfg.dat"));
}

TEST_F(BindingsTest, ClipKeepsItsVideoFlag) {
    Write("data/clip.avi", std::string("RIFF\0\0\0\0AVI ", 12) + std::string(40000, '\x01'));
    Open("clip.avi", 1);
    viewer::AddBookmark();
    EXPECT_EQ(SlotPath(0), "clip.avi");
    EXPECT_EQ(IntConfig.Bookmarks[0].IsVideo, 1);
    EXPECT_TRUE(IntConfig.Bookmarks[0].Title.IsEmpty());
}

// ---- deleting ----

TEST_F(BindingsTest, DeletingClosesTheGapInOrder) {
    FillSlots(5);
    IntConfig.Bookmarks[4].Title.Set("four");
    viewer::DeleteBookmark(3);
    EXPECT_EQ(UsedSlots(), 4);
    EXPECT_EQ(SlotPath(0), "p0.html");
    EXPECT_EQ(SlotPath(2), "p2.html");
    EXPECT_EQ(SlotPath(3), "p4.html");
    EXPECT_EQ(IntConfig.Bookmarks[3].Title.Get(), "four");
    EXPECT_TRUE(IntConfig.Bookmarks[4].Path.IsEmpty());
    EXPECT_EQ(Record().size(), 54016u);
    EXPECT_TRUE(Exists("data/_favorites.tmp"));
}

TEST_F(BindingsTest, DeletingFromAFullTableFreesSlot100) {
    FillSlots(101);
    viewer::DeleteBookmark(0);
    EXPECT_EQ(UsedSlots(), 100);
    EXPECT_EQ(SlotPath(0), "p1.html");
    EXPECT_EQ(SlotPath(99), "p100.html");
    EXPECT_TRUE(IntConfig.Bookmarks[100].Path.IsEmpty());
    EXPECT_TRUE(IntConfig.Bookmarks[100].Title.IsEmpty());

    viewer::DeleteBookmark(100);  // an empty slot: nothing moves
    EXPECT_EQ(UsedSlots(), 100);
}

TEST_F(BindingsTest, SlotsOutsideTheTableAreIgnored) {
    FillSlots(3);
    for (uint16_t slot : {uint16_t(101), uint16_t(1000), uint16_t(65535)}) viewer::DeleteBookmark(slot);
    EXPECT_EQ(UsedSlots(), 3);
    EXPECT_FALSE(Exists("intcfg.dat"));
    EXPECT_FALSE(Exists("data/_favorites.tmp"));
}

// ---- the fragment ----

TEST_F(BindingsTest, RowsFollowSlotParityAndSkipPagesThatAreGone) {
    FillSlots(3);
    Write("data/p0.html", "x");
    Write("data/p2.html", "x");
    const std::string text = viewer::FavoritesFragment();
    EXPECT_EQ(text, "<table>"
                    "<tr class=e><td><a href=\"p0.html\" class=\"template_favor_link\">" + Ru("Без названия") +
                        "</a></td><td><a href=\"favs.html?delete=0\">x</a></td></tr>"
                        "<tr class=e><td><a href=\"p2.html\" class=\"template_favor_link\">" + Ru("Без названия") +
                        "</a></td><td><a href=\"favs.html?delete=2\">x</a></td></tr>");
    EXPECT_EQ(text.find("</table>"), std::string::npos);  // the postfix is not appended
}

TEST_F(BindingsTest, OnlyTheFirstDeleteOfAPostPieceGetsTheNumber) {
    viewer::FavoritesTemplate.post_odd_row = "<a href=\"?DELETE=\">x</a><a href=\"?delete=\">y</a>";
    FillSlots(2);
    Write("data/p1.html", "x");
    const std::string text = viewer::FavoritesFragment();
    EXPECT_NE(text.find("<tr class=o><td>"), std::string::npos);
    EXPECT_NE(text.find("\"?delete=1\">x</a><a href=\"?delete=\">y</a>"), std::string::npos);
}

TEST_F(BindingsTest, AllOneHundredAndOneSlotsAreListed) {
    FillSlots(101);
    for (int n = 0; n < 101; ++n) Write("data/p" + std::to_string(n) + ".html", "x");
    viewer::WriteFavoritesPage();
    const std::string text = Read("data/_favorites.tmp");
    EXPECT_NE(text.find("p100.html\" class=\"template_favor_link\">"), std::string::npos);
    EXPECT_NE(text.find("?delete=100\""), std::string::npos);
    size_t rows = 0;
    for (size_t at = 0; (at = text.find("template_favor_link", at)) != std::string::npos; ++at) ++rows;
    EXPECT_EQ(rows, 101u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(text.find('\n'), text.size() - 1);  // one line
}

}  // namespace
