#include "platform/rtl/textfile.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <list>
#include <string>
#include <vector>

#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"
#include "tests/rtl/child_process.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "rtltext-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Windows-style name of a file in the test folder.
    std::string Win(const std::string& name) const {
        std::string s = dir_ + "/" + name;
        for (char& c : s)
            if (c == '/') c = '\\';
        return s;
    }
    std::string Native(const std::string& name) const { return dir_ + "/" + name; }

    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    int CodeOf(void (*action)(const std::string&), const std::string& path) {
        try {
            action(path);
        } catch (const rtl::EInOutError& e) {
            return e.ErrorCode;
        }
        return 0;
    }

    std::string dir_;
};

TEST(SplitLines, LineEndings) {
    EXPECT_EQ(rtl::SplitLines("a\r\nb\nc\rd\n\ne"), (Lines{"a", "b", "c\rd", "", "e"}));
    EXPECT_EQ(rtl::SplitLines(""), Lines{});
    EXPECT_EQ(rtl::SplitLines("\n"), Lines{""});
    EXPECT_EQ(rtl::SplitLines("x"), Lines{"x"});
    EXPECT_EQ(rtl::SplitLines("x\r\n"), Lines{"x"});
    EXPECT_EQ(rtl::SplitLines("\r\n\r\n"), (Lines{"", ""}));
    EXPECT_EQ(rtl::SplitLines("x\r"), Lines{"x\r"});
    EXPECT_EQ(rtl::SplitLines("\r\r\n"), Lines{"\r"});
    EXPECT_EQ(rtl::SplitLines(std::string("\xFF\0\xE9\n", 4)), Lines{std::string("\xFF\0\xE9", 3)});
}

TEST_F(TextFileTest, ReadsMixedLineEndsAsStored) {
    rtl::WriteFileBytes(Win("mixed.txt"), rtl::Ru("Заголовок\r\nline2\nхвост"));
    EXPECT_EQ(rtl::ReadLines(Win("mixed.txt")), (Lines{rtl::Ru("Заголовок"), "line2", rtl::Ru("хвост")}));
}

TEST_F(TextFileTest, WritesCrLfAndRoundTrips) {
    const Lines lines = {"one", "", rtl::Ru("три"), "\t4 "};
    rtl::WriteLines(Win("out.txt"), lines);
    EXPECT_EQ(rtl::ReadFileBytes(Win("out.txt")), "one\r\n\r\n" + rtl::Ru("три") + "\r\n\t4 \r\n");
    EXPECT_EQ(rtl::ReadLines(Win("out.txt")), lines);
    rtl::WriteLines(Win("out.txt"), {});
    EXPECT_EQ(rtl::ReadFileBytes(Win("out.txt")), "");
}

TEST_F(TextFileTest, BytesRoundTripAndTruncate) {
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    rtl::WriteFileBytes(Win("b.bin"), all + all);
    rtl::WriteFileBytes(Win("b.bin"), all);
    EXPECT_EQ(rtl::ReadFileBytes(Win("b.bin")), all);
}

TEST_F(TextFileTest, NamesAreFoundWithoutRegardToCase) {
    rtl::WriteFileBytes(Win("Page.HTML"), "x");
    EXPECT_EQ(rtl::ReadFileBytes(Win("page.html")), "x");
}

TEST_F(TextFileTest, FailuresRaiseInOutErrorWithCode) {
    EXPECT_EQ(CodeOf([](const std::string& p) { rtl::ReadFileBytes(p); }, Win("missing.txt")), 2);
    EXPECT_EQ(CodeOf([](const std::string& p) { rtl::ReadLines(p); }, Win("missing.txt")), 2);
    EXPECT_EQ(CodeOf([](const std::string& p) { rtl::WriteFileBytes(p, "x"); }, Win("no\\such\\f.txt")), 2);
    EXPECT_EQ(CodeOf([](const std::string& p) { rtl::WriteFileAtomic(p, "x"); }, Win("no\\such\\f.txt")), 2);
    fs::create_directory(Native("folder"));
    EXPECT_NE(CodeOf([](const std::string& p) { rtl::ReadFileBytes(p); }, Win("folder")), 0);
    try {
        rtl::ReadFileBytes(Win("missing.txt"));
    } catch (const rtl::EInOutError& e) {
        EXPECT_EQ(e.Message(), "File not found: " + Win("missing.txt"));
    }
}

TEST_F(TextFileTest, AtomicWriteReplacesAndLeavesNoTemporary) {
    rtl::WriteFileAtomic(Win("cfg.dat"), "first");
    ASSERT_EQ(::chmod(Native("cfg.dat").c_str(), 0640), 0);
    rtl::WriteFileAtomic(Win("cfg.dat"), "second");
    EXPECT_EQ(rtl::ReadFileBytes(Win("cfg.dat")), "second");
    struct stat st;
    ASSERT_EQ(::stat(Native("cfg.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"cfg.dat"});
}

TEST_F(TextFileTest, AtomicWriteOverADirectoryFailsAndCleansUp) {
    fs::create_directory(Native("taken"));
    fs::create_directory(Native("taken/inner"));
    EXPECT_THROW(rtl::WriteFileAtomic(Win("taken"), "x"), rtl::EInOutError);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"taken"});
}

// Only a temporary whose writer can no longer finish goes: in this process, one of no open writer,
// however the writer or the clean-up spelled the folder (through "..", "." or a link to it).
TEST_F(TextFileTest, StaleTemporariesGoAndThoseOfOpenWritersStay) {
    fs::create_directory(Native("sub"));
    fs::create_directory_symlink(dir_, Native("alias"));
    std::list<rtl::TAtomicFileWriter> writers;
    for (const char* name : {"pack.zip", "sub\\..\\pack.zip", ".\\pack.zip", "alias\\pack.zip"})
        writers.emplace_back(Win(name)).Write("partial");
    rtl::WriteFileBytes(Win(".pack.zip." + std::to_string(::getpid()) + ".4294967295.tmp"), "killed");
    EXPECT_EQ(rtl::RemoveStaleTempFiles(Win("pack.zip")), 1);
    EXPECT_EQ(rtl::RemoveStaleTempFiles(Win("sub\\..\\pack.zip")), 0);
    for (auto& writer : writers) EXPECT_NO_THROW(writer.Commit());
    EXPECT_EQ(rtl::ReadFileBytes(Win("pack.zip")), "partial");
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"alias", "pack.zip", "sub"}));
}

// A writer in another pid namespace (a container sharing the folder) has an id that names no
// process here, or another one: the lock it holds keeps its temporary.
TEST_F(TextFileTest, AWriterInAnotherPidNamespaceKeepsItsTemporary) {
    pid_t foreign = 0;
    std::ifstream("/proc/sys/kernel/pid_max") >> foreign;
    while (--foreign > 1 && (::kill(foreign, 0) == 0 || errno != ESRCH)) {}
    rtltest::Holder writer([&] {
        if (!rtltest::EnterOwnPidNamespace(foreign)) return false;
        (new rtl::TAtomicFileWriter(Win("pack.zip")))->Write("whole");
        return true;
    });
    if (!writer.Holding()) GTEST_SKIP() << "no pid namespace of a chosen id here";
    EXPECT_EQ(rtl::RemoveStaleTempFiles(Win("pack.zip")), 0);
}

// A folder its writer may add to but not read still takes an atomic write (as another user than root).
TEST_F(TextFileTest, AtomicWriteIntoAFolderThatCannotBeRead) {
    fs::create_directory(Native("drop"));
    ASSERT_EQ(::chmod(Native("drop").c_str(), 0733), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    EXPECT_EQ(rtltest::ExitCodeOf([&] {
        if (::geteuid() == 0 && ::setuid(65534) != 0) return 2;
        rtl::WriteFileAtomic(Win("drop\\x.dat"), "y");
        return 0;
    }), 0);
}

struct Record {
    int32_t version;
    char name[12];
    uint8_t flags;
};

TEST_F(TextFileTest, FixedSizeRecords) {
    const Record a{7, "alpha", 1};
    rtl::WriteRecord(Win("rec.dat"), a);
    EXPECT_EQ(fs::file_size(Native("rec.dat")), sizeof(Record));
    Record back{};
    rtl::ReadRecord(Win("rec.dat"), back);
    EXPECT_EQ(back.version, 7);
    EXPECT_STREQ(back.name, "alpha");
    EXPECT_EQ(back.flags, 1);

    rtl::WriteRecords(Win("recs.dat"), std::vector<Record>{a, {9, "beta", 2}});
    rtl::ReadRecord(Win("recs.dat"), back, 1);
    EXPECT_EQ(back.version, 9);
    EXPECT_EQ(rtl::ReadRecords<Record>(Win("recs.dat")).size(), 2u);
}

TEST_F(TextFileTest, ShortRecordFileRaisesReadError) {
    rtl::WriteFileBytes(Win("short.dat"), std::string(sizeof(Record) - 1, 'x'));
    Record r{};
    try {
        rtl::ReadRecord(Win("short.dat"), r);
        FAIL();
    } catch (const rtl::EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, rtl::kReadBeyondEnd);
    }
    EXPECT_TRUE(rtl::ReadRecords<Record>(Win("short.dat")).empty());
    rtl::WriteRecord(Win("one.dat"), Record{});
    EXPECT_THROW(rtl::ReadRecord(Win("one.dat"), r, 1), rtl::EInOutError);
    EXPECT_THROW(rtl::ReadRecord(Win("one.dat"), r, -1), rtl::EInOutError);
    EXPECT_THROW(rtl::ReadRecord(Win("one.dat"), r, INT64_MAX), rtl::EInOutError);
}

}  // namespace
