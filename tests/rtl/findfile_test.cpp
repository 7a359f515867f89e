#include "platform/rtl/findfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <vector>

#include "platform/rtl/datetime.h"
#include "tests/rtl/system_fixture.h"

using namespace rtl;
using rtltest::TempFolder;
using rtltest::WriteNative;

namespace {

struct Found {
    std::string name;
    int attr;
    int64_t size;
    int32_t time;
};

std::vector<Found> Search(const std::string& pattern, int attr) {
    std::vector<Found> out;
    TSearchRec rec;
    for (int rc = FindFirst(pattern, attr, rec); rc == 0; rc = FindNext(rec)) {
        out.push_back({rec.Name, rec.Attr, rec.Size, rec.Time});
    }
    FindClose(rec);
    return out;
}

std::vector<std::string> Names(const std::vector<Found>& found) {
    std::vector<std::string> names;
    for (const Found& f : found) names.push_back(f.name);
    return names;
}

// A folder with files, a folder, links of every kind (a loop among them) and a Cyrillic name.
class FindFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteNative(tmp.Native("A.txt"), "12345");
        WriteNative(tmp.Native("b.TXT"), "");
        WriteNative(tmp.Native("c.htm"), "");
        WriteNative(tmp.Native("noext"), "");
        WriteNative(tmp.Native(".hidden"), "");
        WriteNative(tmp.Native("ro.txt"), "");
        chmod(tmp.Native("ro.txt").c_str(), 0444);
        WriteNative(tmp.Native("Файл.txt"), "");
        std::filesystem::create_directory(tmp.Native("Sub"));
        std::filesystem::create_directory_symlink(tmp.Native("Sub"), tmp.Native("linkdir"));
        std::filesystem::create_symlink(tmp.Native("A.txt"), tmp.Native("linkfile"));
        std::filesystem::create_symlink(tmp.Native("nowhere"), tmp.Native("broken"));
        std::filesystem::create_symlink("loop", tmp.Native("loop"));         // resolves to itself
        std::filesystem::create_directory_symlink(".", tmp.Native("cycle"));  // its own folder
    }

    std::map<std::string, Found> ByName(const std::vector<Found>& found) {
        std::map<std::string, Found> m;
        for (const Found& f : found) m[f.name] = f;
        return m;
    }

    TempFolder tmp;
};

}  // namespace

TEST_F(FindFileTest, AllEntriesInCaseBlindOrderWithDotsFirst) {
    std::vector<std::string> expected = {".",     "..",       ".hidden",  "A.txt", "b.TXT",  "broken",
                                         "c.htm", "cycle",    "linkdir",  "linkfile", "loop", "noext",
                                         "ro.txt", "Sub",     Ru("Файл.txt")};
    EXPECT_EQ(Names(Search(tmp.Win() + "*.*", faAnyFile)), expected);
    EXPECT_EQ(Names(Search(tmp.Win() + "*", faAnyFile)), expected);
}

TEST_F(FindFileTest, AttributesSizesAndLinks) {
    auto found = ByName(Search(tmp.Win() + "*", faAnyFile));
    EXPECT_EQ(found["."].attr, faDirectory);
    EXPECT_EQ(found[".."].attr, faDirectory);
    EXPECT_EQ(found[".hidden"].attr, faHidden);
    EXPECT_EQ(found["A.txt"].attr, 0);
    EXPECT_EQ(found["A.txt"].size, 5);
    EXPECT_EQ(found["ro.txt"].attr, faReadOnly);
    EXPECT_EQ(found["Sub"].attr, faDirectory);
    EXPECT_EQ(found["Sub"].size, 0);
    EXPECT_EQ(found["linkdir"].attr, faDirectory | faSymLink);
    EXPECT_EQ(found["cycle"].attr, faDirectory | faSymLink);
    // A link to a file is that file; broken and looping links are empty files.
    EXPECT_EQ(found["linkfile"].attr, 0);
    EXPECT_EQ(found["linkfile"].size, 5);
    EXPECT_EQ(found["broken"].attr, 0);
    EXPECT_EQ(found["loop"].attr, 0);
    EXPECT_EQ(found["loop"].size, 0);
}

TEST_F(FindFileTest, AttributeMaskSkipsDirectoriesAndHiddenEntries) {
    std::vector<std::string> files = {"A.txt", "b.TXT", "broken", "c.htm", "linkfile",
                                      "loop",  "noext", "ro.txt", Ru("Файл.txt")};
    EXPECT_EQ(Names(Search(tmp.Win() + "*.*", 0)), files);
    EXPECT_EQ(Names(Search(tmp.Win() + "*.*", faReadOnly | faArchive)), files);  // not "skip" bits
    auto withHidden = Names(Search(tmp.Win() + "*.*", faHidden));
    EXPECT_EQ(withHidden.front(), ".hidden");
    auto withDirs = Names(Search(tmp.Win() + "*.*", faDirectory));
    EXPECT_EQ(withDirs.size(), files.size() + 5);  // . .. cycle linkdir Sub
}

TEST_F(FindFileTest, Wildcards) {
    EXPECT_EQ(Names(Search(tmp.Win() + "*.TXT", 0)),
              (std::vector<std::string>{"A.txt", "b.TXT", "ro.txt", Ru("Файл.txt")}));
    EXPECT_EQ(Names(Search(tmp.Win() + Ru("ф*"), 0)), (std::vector<std::string>{Ru("Файл.txt")}));
    EXPECT_EQ(Names(Search(tmp.Win() + "?.txt", 0)), (std::vector<std::string>{"A.txt", "b.TXT"}));
    EXPECT_EQ(Names(Search(tmp.Win() + "C.HT?", 0)), (std::vector<std::string>{"c.htm"}));
    EXPECT_EQ(Names(Search(tmp.Win() + "NOEXT", 0)), (std::vector<std::string>{"noext"}));
    EXPECT_EQ(Names(Search(tmp.Win() + "*.", faDirectory)),
              (std::vector<std::string>{".", "..", "broken", "cycle", "linkdir", "linkfile", "loop", "noext", "Sub"}));
    EXPECT_EQ(Names(Search(tmp.Win() + "sub", faDirectory)), (std::vector<std::string>{"Sub"}));
}

TEST_F(FindFileTest, TimesAndResults) {
    int32_t when = DateTimeToFileDate(EncodeDate(2004, 2, 29) + EncodeTime(8, 30, 10, 0));
    ASSERT_EQ(FileSetDate(tmp.Win() + "A.txt", when), 0);
    auto found = ByName(Search(tmp.Win() + "a.*", 0));
    EXPECT_EQ(found["A.txt"].time, when);

    TSearchRec rec;
    EXPECT_EQ(FindFirst(tmp.Win() + "*.zip", faAnyFile, rec), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirst(tmp.Win() + "missing\\*.*", faAnyFile, rec), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(FindFirst(tmp.Win(), faAnyFile, rec), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(FindFirst(tmp.Win() + "c.htm", 0, rec), 0);
    EXPECT_EQ(FindNext(rec), ERROR_NO_MORE_FILES);
    EXPECT_EQ(FindNext(rec), ERROR_NO_MORE_FILES);
    FindClose(rec);
    EXPECT_EQ(FindNext(rec), ERROR_NO_MORE_FILES);
}

TEST_F(FindFileTest, SizesBeyondFourGigabytes) {
    ASSERT_EQ(truncate(tmp.Native("b.TXT").c_str(), int64_t{5} << 30), 0);  // sparse
    auto found = ByName(Search(tmp.Win() + "b.txt", 0));
    EXPECT_EQ(found["b.TXT"].size, int64_t{5} << 30);
}

TEST_F(FindFileTest, RelativePatternUsesTheCurrentFolder) {
    rtltest::CurrentDirGuard guard;
    ASSERT_EQ(chdir(tmp.Native().c_str()), 0);
    EXPECT_EQ(Names(Search("c.*", 0)), (std::vector<std::string>{"c.htm"}));
    EXPECT_EQ(Names(Search("SUB\\..\\c.*", 0)), (std::vector<std::string>{"c.htm"}));
}

TEST(MaskTest, WindowsWildcardRules) {
    EXPECT_TRUE(MatchesMask("readme", "*.*"));
    EXPECT_TRUE(MatchesMask("a.b.c", "*.*"));
    EXPECT_TRUE(MatchesMask("abc", "abc.*"));
    EXPECT_TRUE(MatchesMask("ABC.def", "abc.*"));
    EXPECT_FALSE(MatchesMask("abcd", "abc.*"));
    EXPECT_TRUE(MatchesMask("abc", "*."));
    EXPECT_FALSE(MatchesMask("abc.d", "*."));
    EXPECT_TRUE(MatchesMask("file.txt", "file?.txt"));  // "?" may match nothing before a dot
    EXPECT_TRUE(MatchesMask("file1.txt", "file?.txt"));
    EXPECT_FALSE(MatchesMask("file12.txt", "file?.txt"));
    EXPECT_TRUE(MatchesMask("ab", "ab??"));
    EXPECT_FALSE(MatchesMask("a.b", "a?b"));
    EXPECT_TRUE(MatchesMask(Ru("ЁЛКА.Htm"), Ru("ёлка.hTM")));
    EXPECT_FALSE(MatchesMask("x", ""));
    // Many stars against a long name: the matcher stays polynomial.
    EXPECT_FALSE(MatchesMask(std::string(200, 'a'), std::string(60, '*') + "b"));
}
