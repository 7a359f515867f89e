#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "archive/ZAStrFunc.h"
#include "platform/rtl/drives.h"
#include "platform/rtl/paths.h"

namespace {

namespace fs = std::filesystem;

class ZAPathsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = (fs::temp_directory_path() / "zapaths-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        native_ = tmpl;
        dir_ = rtl::FromNativePath(native_);
    }
    void TearDown() override
    {
        rtl::SetRemovableFolderForTests("", "", 0);
        fs::remove_all(native_);
    }

    std::string native_;
    std::string dir_;  // Windows-style name of the test folder, no trailing "\"
};

TEST_F(ZAPathsTest, TrailingBackslashes)
{
    EXPECT_EQ(AddTrailingBackslash("\\a\\b"), "\\a\\b\\");
    EXPECT_EQ(AddTrailingBackslash("\\a\\b\\"), "\\a\\b\\");
    EXPECT_EQ(AddTrailingBackslash("\\a\\b\\\\"), "\\a\\b\\");
    EXPECT_EQ(AddTrailingBackslash("/a/b/"), "/a/b\\");
    EXPECT_EQ(RemoveTrailingBackslash("\\a\\b\\"), "\\a\\b");
    EXPECT_EQ(RemoveTrailingBackslash("\\a\\b"), "\\a\\b");
}

TEST_F(ZAPathsTest, FloppyAndRemovableNames)
{
    EXPECT_TRUE(IsFloppyName("b:\\x.zip"));
    EXPECT_TRUE(IsFloppyName("A:\\"));
    EXPECT_FALSE(IsFloppyName("C:\\x.zip"));
    EXPECT_FALSE(IsFloppyName("\\tmp\\x.zip"));
    EXPECT_TRUE(IsRemovableName("a:\\x.zip"));
    EXPECT_FALSE(IsRemovableName(dir_ + "\\x.zip"));
    rtl::SetRemovableFolderForTests(dir_, "DISK1", 1000);
    EXPECT_TRUE(IsRemovableName(dir_ + "\\x.zip"));
}

TEST_F(ZAPathsTest, MakeDirsAndDirExists)
{
    const std::string deep = dir_ + "\\one\\two\\three";
    EXPECT_FALSE(DirExists(deep));
    EXPECT_TRUE(MakeDirs(deep + "\\"));
    EXPECT_TRUE(DirExists(deep));
    EXPECT_TRUE(fs::is_directory(native_ + "/one/two/three"));
    EXPECT_TRUE(MakeDirs(deep));  // already there
    EXPECT_FALSE(MakeDirs(""));
}

TEST_F(ZAPathsTest, BaseDirAndResolvedPaths)
{
    EXPECT_EQ(ResolveBaseDir(""), AddTrailingBackslash(rtl::GetCurrentDir()));
    EXPECT_EQ(ResolveBaseDir(dir_), dir_ + "\\");
    EXPECT_EQ(ResolvePath(dir_, "C:\\x\\y.txt"), "C:\\x\\y.txt");
    EXPECT_EQ(ResolvePath(dir_, "sub\\..\\f.txt"), dir_ + "\\f.txt");
    EXPECT_EQ(ResolvePath(dir_ + "\\", ".\\a\\b.txt"), dir_ + "\\a\\b.txt");
    EXPECT_EQ(ResolvePath(dir_, "\\etc\\x"), "\\etc\\x");
    EXPECT_EQ(ResolvePath("", "f.txt"), AddTrailingBackslash(rtl::GetCurrentDir()) + "f.txt");
    // An empty path resolves to the base itself when it exists.
    EXPECT_EQ(ResolvePath(dir_ + "\\", ""), dir_);
    EXPECT_EQ(ResolvePath("", ""), rtl::GetCurrentDir());
    EXPECT_EQ(ResolvePath("D:\\data", ""), "D:\\data");
    EXPECT_EQ(ResolvePath(dir_ + "\\missing", ""), dir_ + "\\missing");
    // A relative path resolves against the base even when the base does not exist yet.
    EXPECT_EQ(ResolvePath(dir_ + "\\missing", "f.txt"), dir_ + "\\missing\\f.txt");
}

TEST_F(ZAPathsTest, ShareModeFlags)
{
    EXPECT_EQ(ShareModeFlags(0), 0);
    EXPECT_EQ(ShareModeFlags(1), 16);
    EXPECT_EQ(ShareModeFlags(2), 32);
    EXPECT_EQ(ShareModeFlags(3), 48);
    EXPECT_EQ(ShareModeFlags(4), 64);
    EXPECT_EQ(ShareModeFlags(9), 64);
}

}  // namespace
