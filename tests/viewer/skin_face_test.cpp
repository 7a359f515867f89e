// Picture file: entries in order, bitmaps only for "bmp" names, and damage that keeps what came before.
#include <gtest/gtest.h>

#include "platform/forms/bitmap.h"
#include "platform/forms/bmp.h"
#include "viewer/facefile.h"

namespace viewer {
namespace {

std::string Bmp(int width, int height, uint32_t pixel) {
    forms::TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, pixel);
    return forms::EncodeBmp24(bitmap);
}

TEST(FaceFileTest, ReadsEntriesInOrderWithBitmapsForBmpNamesOnly) {
    std::string file = WriteFaceFile({{"header.bmp", Bmp(3, 2, 0x112233)},
                                      {"notes.txt", "plain"},
                                      {"LOGO.BMP", Bmp(1, 1, 0)},
                                      {"", ""}},
                                     'P');
    TKorImages images;
    ReadFaceFile(file, images);
    ASSERT_EQ(images.size(), 4u);
    EXPECT_EQ(images[0].Name, "header.bmp");
    ASSERT_TRUE(images[0].Picture);
    EXPECT_EQ(images[0].Picture->Width(), 3);
    EXPECT_EQ(images[0].Picture->Pixel(2, 1), 0x112233u);
    EXPECT_EQ(images[1].Name, "notes.txt");
    EXPECT_FALSE(images[1].Picture);
    EXPECT_EQ(images[2].Name, "LOGO.BMP");  // the test for "bmp" is case-sensitive
    EXPECT_FALSE(images[2].Picture);
    EXPECT_EQ(images[3].Name, "");
}

TEST(FaceFileTest, PrefixIsSkippedWhateverItHolds) {
    std::string file = WriteFaceFile({{"a.bmp", Bmp(1, 1, 1)}}, '|');
    TKorImages images;
    ReadFaceFile(file, images);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_TRUE(images[0].Picture);
    TKorImages none;
    EXPECT_NO_THROW(ReadFaceFile(std::string(kFacePrefixSize, 'x'), none));
    EXPECT_TRUE(none.empty());
    EXPECT_THROW(ReadFaceFile(std::string(kFacePrefixSize - 1, 'x'), none), EFaceFileError);
}

// A good file followed by a damaged tail keeps the good entries; the one being read keeps its name.
class FaceFileTailTest : public ::testing::TestWithParam<std::pair<const char*, std::string>> {};

TEST_P(FaceFileTailTest, DamagedTailKeepsWhatCameBefore) {
    std::string file = WriteFaceFile({{"one.bmp", Bmp(2, 2, 7)}, {"two.dat", "xy"}}) + GetParam().second;
    TKorImages images;
    EXPECT_ANY_THROW(ReadFaceFile(file, images));
    ASSERT_GE(images.size(), 2u);
    EXPECT_TRUE(images[0].Picture);
    EXPECT_EQ(images[1].Name, "two.dat");
    if (images.size() == 3) {
        EXPECT_EQ(images[2].Name, "three.bmp");
        EXPECT_FALSE(images[2].Picture);
    }
    EXPECT_LE(images.size(), 3u);
}

const std::string kGoodBmp = Bmp(4, 4, 0xFFFFFF);

INSTANTIATE_TEST_SUITE_P(
    Tails, FaceFileTailTest,
    ::testing::Values(
        std::make_pair("NameLengthNotANumber", std::string("x9|three.bmp")),
        std::make_pair("NameLengthWithoutBar", std::string("12")),
        std::make_pair("NameLengthHuge", std::string("99999999999999999999999|a")),
        std::make_pair("NameRunsPastEnd", std::string("50|three.bmp")),
        std::make_pair("DataLengthMissing", std::string("9|three.bmp")),
        std::make_pair("DataLengthEmpty", std::string("9|three.bmp|abc")),
        std::make_pair("DataLengthHuge", std::string("9|three.bmp4000000000|BM")),
        std::make_pair("DataTruncated", "9|three.bmp" + std::to_string(kGoodBmp.size()) + "|" +
                                            kGoodBmp.substr(0, kGoodBmp.size() - 10)),
        std::make_pair("NotABitmap", std::string("9|three.bmp5|hello")),
        std::make_pair("BitmapHeaderLies", [] {
            std::string bmp = kGoodBmp;
            bmp[18] = char(0xFF), bmp[19] = char(0xFF), bmp[20] = char(0xFF), bmp[21] = char(0x7F);  // width
            return "9|three.bmp" + std::to_string(bmp.size()) + "|" + bmp;
        }()),
        std::make_pair("BitmapShortInfoHeader", "9|three.bmp" + std::to_string(20) + "|" + kGoodBmp.substr(0, 20))),
    [](const auto& info) { return std::string(info.param.first); });

}  // namespace
}  // namespace viewer
