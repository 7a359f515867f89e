// CRC-32, the traditional cipher and the zlib binding.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/ZACrypt.h"
#include "archive/ZAExcept.h"
#include "archive/ZAZlib.h"
#include "tests/archive/extract/zip_builder.h"

namespace {

uint32_t Crc(const std::string& s)
{
    return Crc32Update(0xFFFFFFFFu, s.data(), static_cast<int64_t>(s.size())) ^ 0xFFFFFFFFu;
}

TEST(Crc32, StandardCheckValue)
{
    EXPECT_EQ(Crc("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc(""), 0u);
}

TEST(Crc32, EmptyOrNullLeavesRegister)
{
    const char b = 'x';
    EXPECT_EQ(Crc32Update(0x1234u, nullptr, 10), 0x1234u);
    EXPECT_EQ(Crc32Update(0x1234u, &b, 0), 0x1234u);
    EXPECT_EQ(Crc32Update(0x1234u, &b, -5), 0x1234u);
}

TEST(Crc32, ByteStepsAndPiecesAgreeWithWholeBuffer)
{
    std::string data;
    for (int i = 0; i < 5000; ++i)
        data.push_back(static_cast<char>(i * 7 + 3));
    uint32_t bytewise = 0xFFFFFFFFu;
    for (char c : data)
        bytewise = Crc32Byte(static_cast<uint8_t>(c), bytewise);
    uint32_t pieces = 0xFFFFFFFFu;
    Crc32Accumulate(data.data(), 1234, pieces);
    Crc32Accumulate(data.data() + 1234, static_cast<int64_t>(data.size()) - 1234, pieces);
    const uint32_t whole = Crc32Update(0xFFFFFFFFu, data.data(), static_cast<int64_t>(data.size()));
    EXPECT_EQ(bytewise, whole);
    EXPECT_EQ(pieces, whole);
    EXPECT_EQ(whole ^ 0xFFFFFFFFu, ziptest::Crc32Of(data));
}

TEST(Cipher, KeyScheduleAndKnownCiphertext)
{
    CipherKeys keys;
    CipherInitKeys(keys, "");
    EXPECT_EQ(keys.Key0, 0x12345678u);
    EXPECT_EQ(keys.Key1, 0x23456789u);
    EXPECT_EQ(keys.Key2, 0x34567890u);

    CipherInitKeys(keys, "secret");
    EXPECT_EQ(keys.Key0, 0xDDA9E469u);
    EXPECT_EQ(keys.Key1, 0x96212999u);
    EXPECT_EQ(keys.Key2, 0xF9FC9651u);

    std::string text = "Hello, world";
    CipherEncryptRange(keys, reinterpret_cast<uint8_t*>(text.data()), 0, static_cast<int64_t>(text.size()));
    const std::vector<uint8_t> expected = {0x80, 0x75, 0xF6, 0x32, 0x20, 0x4D, 0xE8, 0xA8, 0x4F, 0xF7, 0xBB, 0x3F};
    EXPECT_EQ(std::vector<uint8_t>(text.begin(), text.end()), expected);
}

TEST(Cipher, DecryptInPiecesUndoesEncryption)
{
    std::string plain(1000, '\0');
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<char>(i * 31);
    std::string data = plain;
    CipherKeys enc;
    CipherInitKeys(enc, "pw");
    CipherEncryptRange(enc, reinterpret_cast<uint8_t*>(data.data()), 0, static_cast<int64_t>(data.size()));
    EXPECT_NE(data, plain);
    CipherKeys dec;
    CipherInitKeys(dec, "pw");
    auto* p = reinterpret_cast<uint8_t*>(data.data());
    CipherDecryptBuffer(dec, p, 333);
    CipherDecryptBuffer(dec, p + 333, 667);
    EXPECT_EQ(data, plain);
}

TEST(Cipher, EncryptRangeTouchesOnlyItsRange)
{
    std::string data = "abcdef";
    CipherKeys keys;
    CipherInitKeys(keys, "k");
    CipherEncryptRange(keys, reinterpret_cast<uint8_t*>(data.data()), 2, 0);
    EXPECT_EQ(data, "abcdef");
    CipherEncryptRange(keys, reinterpret_cast<uint8_t*>(data.data()), 2, 2);
    EXPECT_EQ(data.substr(0, 2), "ab");
    EXPECT_EQ(data.substr(4), "ef");
}

TEST(ZlibBinding, ModeTables)
{
    EXPECT_EQ(BlockSizeForMode(0), 1048576);
    EXPECT_EQ(BlockSizeForMode(2), 524288);
    EXPECT_EQ(BlockSizeForMode(9), 1572864);
    EXPECT_EQ(BlockSizeForMode(10), 1048576);
    EXPECT_EQ(LevelForMode(3), clFastest);
    EXPECT_EQ(LevelForMode(4), clNormal);
    EXPECT_EQ(LevelForMode(7), clMax);
    EXPECT_EQ(LevelForMode(12), clNone);
    uint8_t a = 0, b = 0;
    ZlibHeaderForMode(1, a, b);
    EXPECT_EQ(a, 0x78);
    EXPECT_EQ(b, 0x01);
    ZlibHeaderForMode(3, a, b);
    EXPECT_EQ(b, 0x5E);
    ZlibHeaderForMode(11, a, b);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(ModeForLevel(clNone), 0);
    EXPECT_EQ(ModeForLevel(clFastest), 1);
    EXPECT_EQ(ModeForLevel(clNormal), 6);
    EXPECT_EQ(ModeForLevel(clMax), 9);
}

TEST(ZlibBinding, NegativeResultsRaiseWithMessageError)
{
    EXPECT_EQ(CheckDecompressResult(Z_STREAM_END), Z_STREAM_END);
    try {
        CheckDecompressResult(Z_DATA_ERROR);
        FAIL();
    } catch (const EDecompressionError& e) {
        EXPECT_STREQ(e.what(), "error");
    }
    EXPECT_THROW(CheckCompressResult(Z_STREAM_ERROR), ECompressionError);
}

std::string InflateAll(const std::string& packed, size_t blockSize, TZAInflater::TResult& last,
                       size_t* largestPiece = nullptr)
{
    TZAInflater inflater;
    std::string out;
    const auto sink = [&](const uint8_t* p, size_t n) {
        if (largestPiece != nullptr && n > *largestPiece)
            *largestPiece = n;
        out.append(reinterpret_cast<const char*>(p), n);
        return true;
    };
    for (size_t pos = 0; pos < packed.size(); pos += blockSize) {
        const size_t n = std::min(blockSize, packed.size() - pos);
        last = inflater.Inflate(reinterpret_cast<const uint8_t*>(packed.data() + pos), n, sink);
        if (last != TZAInflater::TResult::NeedInput)
            break;
    }
    return out;
}

TEST(Inflater, OutputComesInBoundedPiecesAndNothingIsLost)
{
    // 8 MB of zeros packs into a few KB: one small block expands far beyond the output buffer.
    const std::string plain(8 << 20, '\0');
    const std::string packed = ziptest::Deflate(plain, 9);
    for (size_t block : {size_t{1}, size_t{7}, size_t{4096}, packed.size()}) {
        TZAInflater::TResult last{};
        size_t largest = 0;
        EXPECT_EQ(InflateAll(packed, block, last, &largest), plain) << "block " << block;
        EXPECT_EQ(last, TZAInflater::TResult::StreamEnd);
        EXPECT_LE(largest, TZAInflater::OutputBufferSize);
    }
}

TEST(Inflater, StopsAtStreamEndAndIgnoresTrailingBytes)
{
    const std::string plain = "text that repeats, text that repeats, text that repeats";
    const std::string packed = ziptest::Deflate(plain) + "TRAILING GARBAGE";
    TZAInflater::TResult last{};
    EXPECT_EQ(InflateAll(packed, packed.size(), last), plain);
    EXPECT_EQ(last, TZAInflater::TResult::StreamEnd);
}

TEST(Inflater, TruncatedStreamWantsMoreAndGarbageIsAnError)
{
    std::string plain;
    for (int i = 0; i < 20000; ++i)
        plain += std::to_string(i * 7919 % 10007);
    const std::string packed = ziptest::Deflate(plain);
    TZAInflater::TResult last{};
    const std::string half = InflateAll(packed.substr(0, packed.size() / 2), 4096, last);
    EXPECT_EQ(last, TZAInflater::TResult::NeedInput);
    EXPECT_LT(half.size(), plain.size());

    const std::string garbage(64, '\xFF');
    InflateAll(garbage, garbage.size(), last);
    EXPECT_EQ(last, TZAInflater::TResult::DataError);
}

TEST(Inflater, SinkRefusalStopsAtOnce)
{
    const std::string packed = ziptest::Deflate(std::string(4 << 20, 'a'));
    TZAInflater inflater;
    int calls = 0;
    const auto result = inflater.Inflate(reinterpret_cast<const uint8_t*>(packed.data()), packed.size(),
                                         [&](const uint8_t*, size_t) { return ++calls < 2; });
    EXPECT_EQ(result, TZAInflater::TResult::Stopped);
    EXPECT_EQ(calls, 2);
}

}  // namespace
