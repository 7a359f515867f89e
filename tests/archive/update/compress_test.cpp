// Compression of one entry: framing of the deflate data, block handling, CRC, ZIP64 sizes, the
// cipher header, cancelling and short writes.
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstring>

#include "archive/ZACrypt.h"
#include "archive/ZAZlib.h"
#include "platform/rtl/streams.h"
#include "tests/archive/update/update_fixture.h"

namespace {

// A memory stream holding bytes.
class StreamOf : public rtl::TMemoryStream {
public:
    explicit StreamOf(const std::string& bytes)
    {
        if (!bytes.empty())
            WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    }
};

std::string BytesOf(rtl::TMemoryStream& s)
{
    return std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

// Raw inflate of a whole entry; fails the test on a zlib error.
std::string RawInflate(const std::string& data)
{
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    std::string out;
    std::vector<unsigned char> buffer(1 << 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = buffer.data();
        z.avail_out = static_cast<uInt>(buffer.size());
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(reinterpret_cast<char*>(buffer.data()), buffer.size() - z.avail_out);
    }
    EXPECT_EQ(rc, Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the deflate stream";
    inflateEnd(&z);
    return out;
}

uint32_t ZlibCrc(const std::string& s)
{
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

TDirItem EntryFor(uint8_t mode, const std::string& password = "")
{
    TDirItem item;
    item.CompressionMode = mode;
    item.CompressionMethod = mode == 0 ? 0 : 8;
    item.Password = password;
    item.SourceFileName = "source.bin";
    return item;
}

// Accepts only the first limit bytes.
class TShortStream : public rtl::TMemoryStream {
public:
    explicit TShortStream(int64_t limit) : limit_(limit) {}
    int64_t Write(const void* buffer, int64_t count) override
    {
        const int64_t n = std::max<int64_t>(0, std::min(count, limit_ - Size()));
        return rtl::TMemoryStream::Write(buffer, n);
    }

private:
    int64_t limit_;
};

class CompressFile : public UpdateTest {
protected:
    TZipArchiver zip_;
};

}  // namespace

TEST_F(CompressFile, EveryModeRoundTripsAsRawDeflateOrStoredBytes)
{
    // Three blocks at the small block size, so the sync-flushed middle blocks and the final one
    // are all joined; text and incompressible data.
    const std::string text = TextBytes(3 * 524288 + 777);
    const std::string noise = RandomBytes(700000, 7);
    for (const std::string* data : {&text, &noise}) {
        for (uint8_t mode = 0; mode <= 9; ++mode) {
            SCOPED_TRACE(int(mode));
            StreamOf source(*data);
            rtl::TMemoryStream dest;
            TDirItem item = EntryFor(mode);
            ASSERT_TRUE(zip_.CompressFile(source, dest, item));
            const std::string written = BytesOf(dest);
            EXPECT_EQ(item.Crc32, ZlibCrc(*data));
            EXPECT_EQ(item.UncompressedSize, data->size());
            EXPECT_EQ(item.CompressedSize, written.size());
            EXPECT_FALSE(item.HasZip64Extra);
            if (mode == 0)
                EXPECT_EQ(written, *data);
            else
                EXPECT_EQ(RawInflate(written), *data);
        }
    }
}

TEST_F(CompressFile, OneBlockLosesTheZlibHeaderAndTrailer)
{
    const std::string data = TextBytes(100);
    StreamOf source(data);
    rtl::TMemoryStream dest;
    TDirItem item = EntryFor(6);
    ASSERT_TRUE(zip_.CompressFile(source, dest, item));
    // The same data through zlib's own wrapper is 2 + n + 4 bytes.
    uLongf size = compressBound(100);
    std::vector<Bytef> wrapped(size);
    ASSERT_EQ(compress2(wrapped.data(), &size, reinterpret_cast<const Bytef*>(data.data()), 100, 6), Z_OK);
    EXPECT_EQ(BytesOf(dest), std::string(reinterpret_cast<char*>(wrapped.data()) + 2, size - 6));
}

TEST_F(CompressFile, EmptySourceIsStoredWithNoData)
{
    rtl::TMemoryStream source;
    rtl::TMemoryStream dest;
    TDirItem item = EntryFor(9);
    ASSERT_TRUE(zip_.CompressFile(source, dest, item));
    EXPECT_EQ(dest.Size(), 0);
    EXPECT_EQ(item.CompressionMethod, 0);
    EXPECT_EQ(item.Crc32, 0u);
    EXPECT_EQ(item.UncompressedSize, 0u);

    TDirItem secret = EntryFor(9, "pw");
    rtl::TMemoryStream dest2;
    ASSERT_TRUE(zip_.CompressFile(source, dest2, secret));
    EXPECT_EQ(dest2.Size(), 12);  // the cipher header alone
    EXPECT_EQ(secret.CompressedSize, 12u);
}

TEST_F(CompressFile, CipherHeaderLetsTheRightPasswordThrough)
{
    const std::string data = TextBytes(200000);
    for (uint8_t mode : {0, 5}) {
        StreamOf source(data);
        rtl::TMemoryStream dest;
        TDirItem item = EntryFor(mode, "Secret");
        ASSERT_TRUE(zip_.CompressFile(source, dest, item));
        std::string written = BytesOf(dest);
        CipherKeys keys;
        auto* bytes = reinterpret_cast<uint8_t*>(written.data());
        CipherStartDecrypt(keys, "Secret", bytes);
        EXPECT_EQ(bytes[11], static_cast<uint8_t>(item.Crc32 >> 24));
        EXPECT_EQ(bytes[10], static_cast<uint8_t>(item.Crc32 >> 16));
        CipherDecryptBuffer(keys, bytes + 12, static_cast<int64_t>(written.size()) - 12);
        const std::string plain = written.substr(12);
        EXPECT_EQ(mode == 0 ? plain : RawInflate(plain), data);
        EXPECT_EQ(item.Crc32, ZlibCrc(data));
        EXPECT_EQ(item.CompressedSize, written.size());
    }
}

TEST_F(CompressFile, Zip64AlwaysPutsBothSizesInTheZip64Values)
{
    zip_.Zip64Mode = zmAlways;
    StreamOf source("abc");
    rtl::TMemoryStream dest;
    TDirItem item = EntryFor(1);
    ASSERT_TRUE(zip_.CompressFile(source, dest, item));
    EXPECT_TRUE(item.HasZip64Extra);
    EXPECT_EQ(item.CompressedSize, kNo32);
    EXPECT_EQ(item.UncompressedSize, kNo32);
    EXPECT_EQ(item.Zip64UncompressedSize, 3);
    EXPECT_EQ(item.Zip64CompressedSize, dest.Size());
}

// A destination that takes fewer bytes than given is the write error (46), never a short entry (34),
// in the data and in the cipher header alike.
TEST_F(CompressFile, CancelReturnsFalseAndShortWritesRaise46)
{
    const std::string data = TextBytes(2000000);
    zip_.OnFileProgress = [](TZABaseArchiver*, const std::string&, double progress, TZAProcessOperation,
                             TZAProgressPhase, bool& cancel) { cancel = progress > 10; };
    StreamOf source(data);
    rtl::TMemoryStream dest;
    TDirItem item = EntryFor(1);
    EXPECT_FALSE(zip_.CompressFile(source, dest, item));
    EXPECT_TRUE(zip_.CancelRequested);

    zip_.OnFileProgress = nullptr;
    zip_.CancelRequested = false;
    for (const int64_t room : {int64_t{1000}, int64_t{5}}) {
        TShortStream full(room);
        TDirItem other = EntryFor(1);
        other.Password = "secret";
        EXPECT_EQ(NativeErrorOf([&] { zip_.CompressFile(source, full, other); }), 46) << room;
    }
}

TEST_F(CompressFile, DeflateBlockOutputNeverOverflowsItsBuffer)
{
    // Incompressible blocks come out a little larger than they went in; all of it is kept.
    const std::string noise = RandomBytes(524288 * 2 + 100, 3);
    StreamOf source(noise);
    rtl::TMemoryStream dest;
    TDirItem item = EntryFor(9);
    ASSERT_TRUE(zip_.CompressFile(source, dest, item));
    EXPECT_GT(dest.Size(), static_cast<int64_t>(noise.size()));
    EXPECT_EQ(RawInflate(BytesOf(dest)), noise);
}

namespace {

// size bytes of zeros, produced on demand.
class TZeroStream : public rtl::TStream {
public:
    explicit TZeroStream(int64_t size) : size_(size) {}
    int64_t Read(void* buffer, int64_t count) override
    {
        const int64_t n = std::max<int64_t>(0, std::min(count, size_ - position_));
        std::memset(buffer, 0, static_cast<size_t>(n));
        position_ += n;
        return n;
    }
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override
    {
        position_ = origin == rtl::soBeginning ? offset : origin == rtl::soCurrent ? position_ + offset : size_ + offset;
        return position_;
    }
    int64_t Size() override { return size_; }
    void SetSize(int64_t) override {}

private:
    int64_t size_;
    int64_t position_ = 0;
};

// Counts what is written and keeps nothing.
class TCountingStream : public TZeroStream {
public:
    TCountingStream() : TZeroStream(0) {}
    int64_t Write(const void*, int64_t count) override
    {
        written_ += count;
        return count;
    }
    int64_t Written() const { return written_; }

private:
    int64_t written_ = 0;
};

}  // namespace

// A source past 4 GiB needs the ZIP64 sizes: with ZIP64 disabled that is code 41, raised once all
// the data were written; otherwise the entry carries them.
TEST_F(CompressFile, SourcesPast4GiBNeedZip64)
{
    constexpr int64_t kSize = (int64_t{1} << 32) + 10;
    for (TZip64Mode mode : {zmDisabled, zmAuto}) {
        zip_.Zip64Mode = mode;
        TZeroStream source(kSize);
        TCountingStream dest;
        TDirItem item = EntryFor(0);
        if (mode == zmDisabled) {
            EXPECT_EQ(NativeErrorOf([&] { zip_.CompressFile(source, dest, item); }), 41);
            EXPECT_EQ(dest.Written(), kSize);
            continue;
        }
        ASSERT_TRUE(zip_.CompressFile(source, dest, item));
        EXPECT_TRUE(item.HasZip64Extra);
        EXPECT_EQ(item.UncompressedSize, kNo32);
        EXPECT_EQ(item.CompressedSize, kNo32);
        EXPECT_EQ(item.Zip64UncompressedSize, kSize);
        EXPECT_EQ(item.Zip64CompressedSize, kSize);
        EXPECT_EQ(item.Crc32, 0x6B87B1ECu);  // zlib.crc32 of that many zeros
    }
}
