// The file-system calls extraction makes, counted by the run-time layer: a small bounded number per
// entry, and the target folder read at most once whatever its size and the number of entries, so a
// return to reading the folder once per file fails here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "archive/ZipArchiver.h"
#include "platform/rtl/fscalls.h"
#include "tests/archive/extract/zip_builder.h"

namespace fs = std::filesystem;

namespace {

struct TCase {
    const char* what;
    int filesAlreadyThere;
    int entries;
};

void PrintTo(const TCase& c, std::ostream* os)
{
    *os << c.what;
}

class ExtractCallsTest : public ::testing::TestWithParam<TCase> {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() / ("zacalls_" + std::to_string(std::random_device{}()));
        fs::create_directories(root_ / "out");
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path root_;
};

TEST_P(ExtractCallsTest, FewCallsPerEntryAndTheFolderReadOnce)
{
    const TCase& c = GetParam();
    for (int i = 0; i < c.filesAlreadyThere; ++i)
        std::ofstream(root_ / "out" / ("old" + std::to_string(i) + ".htm")) << i;
    std::vector<ziptest::TEntry> entries;
    for (int i = 0; i < c.entries; ++i)
        entries.emplace_back("Page" + std::to_string(i) + ".htm", "<p>" + std::to_string(i) + "</p>");
    std::ofstream(root_ / "a.zip", std::ios::binary) << ziptest::BuildZip(entries);

    TZipArchiver archiver;
    archiver.FileName = (root_ / "a.zip").string();
    archiver.BaseDir = (root_ / "out").string() + "/";
    archiver.OpenArchive();
    const rtl::TFsCallCounts before = rtl::FsCallCounts();
    archiver.ExtractFiles("*.*", 10431, "");
    const rtl::TFsCallCounts spent = rtl::FsCallCounts() - before;

    EXPECT_TRUE(fs::exists(root_ / "out" / ("Page" + std::to_string(c.entries - 1) + ".htm")));
    EXPECT_LE(spent.FolderReads, 1u) << c.what;
    // Per entry: the name and its folder looked at, the scratch file opened and linked in, the
    // folder's stamp taken after that, and the attributes read back; once, the folder read.
    EXPECT_LE(spent.Total(), 6u * c.entries + 3) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Extraction, ExtractCallsTest,
                         ::testing::Values(TCase{"one entry into an empty folder", 0, 1},
                                           TCase{"one entry beside 500 files", 500, 1},
                                           TCase{"200 entries beside 500 files", 500, 200}));

}  // namespace
