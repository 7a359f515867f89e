// Address translation between the program's Windows-style cp1251 spelling and engine URIs.
#include "platform/web/address.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"

namespace {

namespace fs = std::filesystem;

TEST(DisplayAddress, FileUriBecomesWindowsPathWithDataSeparator) {
    std::string shown = web::DisplayAddress("file:///opt/book/data/x.html");
    EXPECT_EQ(shown, "\\opt\\book\\data\\x.html");
    EXPECT_EQ(shown.substr(shown.find("data\\") + 5), "x.html");
}

TEST(DisplayAddress, DecodesEscapesAndConvertsUtf8ToCp1251) {
    // "Файл" percent-encoded as UTF-8, a space and an escaped backslash.
    EXPECT_EQ(web::DisplayAddress("file:///b/%D0%A4%D0%B0%D0%B9%D0%BB%20a%5Cb.html"),
              "\\b\\" + rtl::Ru("Файл") + " a\\b.html");
}

TEST(DisplayAddress, KeepsQueryAndFragmentAfterThePath) {
    EXPECT_EQ(web::DisplayAddress("file:///b/data/fav.html?add"), "\\b\\data\\fav.html?add");
    EXPECT_EQ(web::DisplayAddress("file:///b/data/p.html#top"), "\\b\\data\\p.html#top");
    EXPECT_EQ(web::DisplayAddress("file://localhost/b/x.html"), "\\b\\x.html");
}

TEST(DisplayAddress, OtherSchemesPassUnchanged) {
    EXPECT_EQ(web::DisplayAddress("about:blank"), "about:blank");
    EXPECT_EQ(web::DisplayAddress("http://example.org/a%20b?x=1"), "http://example.org/a%20b?x=1");
    EXPECT_EQ(web::DisplayAddress("mailto:support@example.org"), "mailto:support@example.org");
}

TEST(PercentCoding, MalformedEscapesStayAsWritten) {
    EXPECT_EQ(web::PercentDecode("a%2"), "a%2");
    EXPECT_EQ(web::PercentDecode("a%zz%41"), "a%zzA");
    EXPECT_EQ(web::PercentDecode("%"), "%");
    EXPECT_EQ(web::PercentEncodePath("/a b/#?%\xD0"), "/a%20b/%23%3F%25%D0");
}

class LoadableUriTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("tome-address-" + std::to_string(::getpid()));
        fs::create_directories(root_ / "Data");
        std::ofstream(root_ / "Data" / "Page.HTML") << "x";
        win_ = rtl::FromNativePath(root_.string());
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
    std::string win_;  // the folder, Windows-style
};

TEST_F(LoadableUriTest, MixedSeparatorsAfterFileSchemeGiveAFileUri) {
    std::string expected = "file://" + (root_ / "Data" / "Page.HTML").string();
    EXPECT_EQ(web::LoadableUri("file://" + win_ + "\\Data\\Page.HTML"), expected);
    EXPECT_EQ(web::LoadableUri("file://" + win_ + "/Data\\Page.HTML"), expected);
    EXPECT_EQ(web::LoadableUri("file:///" + root_.string() + "/Data/Page.HTML"), expected);
    EXPECT_EQ(web::LoadableUri("file://C:" + win_ + "\\Data\\Page.HTML"), expected);
}

TEST_F(LoadableUriTest, NamesAreMatchedWithoutRegardToCase) {
    EXPECT_EQ(web::LoadableUri("file://" + win_ + "\\data\\page.html"),
              "file://" + (root_ / "Data" / "Page.HTML").string());
}

TEST_F(LoadableUriTest, BarePathsAndQueriesAreKept) {
    EXPECT_EQ(web::LoadableUri(win_ + "\\Data\\Page.HTML?add"),
              "file://" + (root_ / "Data" / "Page.HTML").string() + "?add");
}

TEST_F(LoadableUriTest, RoundTripGivesTheSameWindowsPath) {
    std::string address = win_ + "\\Data\\Page.HTML";
    EXPECT_EQ(web::DisplayAddress(web::LoadableUri("file://" + address)), address);
}

TEST(LoadableUri, CyrillicNamesAreEscapedAsUtf8) {
    EXPECT_EQ(web::LoadableUri("file://\\no-such-dir\\" + rtl::Ru("Ф") + " 1.html"),
              "file:///no-such-dir/%D0%A4%201.html");
}

TEST(LoadableUri, WebAndMailAddressesPassOn) {
    EXPECT_EQ(web::LoadableUri("http://example.org/"), "http://example.org/");
    EXPECT_EQ(web::LoadableUri("mailto:a@b.c"), "mailto:a@b.c");
    EXPECT_EQ(web::LoadableUri(""), "about:blank");
}

TEST(UriKinds, ComposedPagesAndMailAreRecognised) {
    EXPECT_TRUE(web::IsComposedPageUri("file:///b/data/tomeview.tmp"));
    EXPECT_TRUE(web::IsComposedPageUri("FILE:///b/data/X.TMP?x"));
    EXPECT_FALSE(web::IsComposedPageUri("file:///b/data/x.html"));
    EXPECT_FALSE(web::IsComposedPageUri("http://h/x.tmp"));
    EXPECT_TRUE(web::IsMailtoUri("MailTo:x@y"));
    EXPECT_EQ(web::FileUriToNativePath("file:///a%20b/c.tmp#x"), "/a b/c.tmp");
    EXPECT_EQ(web::FileUriToNativePath("http://x/"), "");
}

}  // namespace
