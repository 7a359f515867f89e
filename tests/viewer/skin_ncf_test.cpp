// Scrambled configuration: encoder and decoder agree, and the decoder keeps its line rules.
#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "viewer/ncf.h"

namespace viewer {
namespace {

void PutInt(std::string& record, size_t index, uint32_t value) {
    for (int k = 0; k < 4; ++k) record[index * 4 + size_t(k)] = char((value >> (8 * k)) & 0xFF);
}

// A record whose positions decode to the given values (d per position, the rest breaks).
std::string RecordOf(const std::vector<int32_t>& values) {
    std::string record(kNcfRecordBytes, '\0');
    for (size_t i = 0; i < kNcfTextPositions; ++i) {
        int32_t d = i < values.size() ? values[i] : 0;
        PutInt(record, i, uint32_t(d) + kNcfBase + kNcfStep * uint32_t(i));
    }
    return record;
}

TEST(NcfTest, RoundTripKeepsEveryByteAndLineOrder) {
    std::string high;
    for (int c = 1; c < 256; ++c) high.push_back(char(c));
    std::vector<std::string> lines = {"MAINFORM_width=900", high, "URL_update=http://example.test/"};
    std::string record = EncodeNcf(lines);
    ASSERT_EQ(record.size(), kNcfRecordBytes);
    EXPECT_EQ(DecodeNcf(record), lines);
}

TEST(NcfTest, EncoderDropsNothingAtTheExactCapacity) {
    // One line filling the text positions but one, plus its break: exactly 10,001.
    std::vector<std::string> lines = {std::string(kNcfTextPositions - 1, 'x')};
    EXPECT_EQ(NcfPositionsNeeded(lines), kNcfTextPositions);
    EXPECT_EQ(DecodeNcf(EncodeNcf(lines)), lines);
}

TEST(NcfTest, EncoderRefusesTextPastTheCapacityAndZeroBytes) {
    std::vector<std::string> tooLong = {std::string(kNcfTextPositions, 'x')};
    EXPECT_THROW(EncodeNcf(tooLong), ENcfError);
    EXPECT_THROW(EncodeNcf({std::string("a\0b", 3)}), ENcfError);
}

TEST(NcfTest, EncodeTextSplitsCrLfAndTerminatesTheLastLine) {
    std::string record = EncodeNcfText("SKIN=a,b,c\r\nSTART_name=x");
    EXPECT_EQ(DecodeNcf(record), (TKorDecoded{"SKIN=a,b,c", "START_name=x"}));
}

TEST(NcfTest, EmptyLinesAndRepeatedBreaksProduceNothing) {
    EXPECT_EQ(DecodeNcf(EncodeNcf({"a", "", "", "b"})), (TKorDecoded{"a", "b"}));
    // Negative values are breaks as well as zero.
    EXPECT_EQ(DecodeNcf(RecordOf({'a', -5, -2000000000, 'b', 0})), (TKorDecoded{"a", "b"}));
}

TEST(NcfTest, UnterminatedLastLineIsDropped) {
    // Position 10,000 is the last one decoded: a line reaching it without a break is lost.
    std::vector<int32_t> values(kNcfTextPositions, 'z');
    values[0] = 'a';
    values[1] = 0;
    EXPECT_EQ(DecodeNcf(RecordOf(values)), (TKorDecoded{"a"}));
    EXPECT_TRUE(DecodeNcf(RecordOf(std::vector<int32_t>(kNcfTextPositions, 'q'))).empty());
}

TEST(NcfTest, OnlyTheLowByteOfALargeCodeCounts) {
    EXPECT_EQ(DecodeNcf(RecordOf({0x141, 0})), (TKorDecoded{"A"}));
}

TEST(NcfTest, ExtremeStoredValuesWrapWithoutFault) {
    // Values that overflow signed arithmetic are read through unsigned wrap-around.
    std::string record(kNcfRecordBytes, '\0');
    for (size_t i = 0; i < kNcfTextPositions; ++i) PutInt(record, i, i % 2 ? 0x80000000u : 0x7FFFFFFFu);
    TKorDecoded lines = DecodeNcf(record);
    for (const std::string& line : lines) EXPECT_FALSE(line.empty());
}

TEST(NcfTest, ShortRecordIsAReadFailureAndExtraBytesAreIgnored) {
    std::string record = EncodeNcf({"x"});
    EXPECT_THROW(DecodeNcf(std::string_view(record).substr(0, kNcfRecordBytes - 1)), rtl::EReadError);
    record += "trailing bytes that carry nothing";
    EXPECT_EQ(DecodeNcf(record), (TKorDecoded{"x"}));
}

}  // namespace
}  // namespace viewer
