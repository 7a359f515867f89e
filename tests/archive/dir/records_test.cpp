// Byte layouts of the ZIP records: every field at its offset, little-endian, whatever the host.
#include <gtest/gtest.h>

#include <vector>

#include "archive/ZARecords.h"

namespace {

template <class R>
std::vector<uint8_t> Stored(const R& record)
{
    std::vector<uint8_t> bytes(R::Size, 0xEE);
    StoreRecord(record, bytes.data());
    return bytes;
}

template <class R>
R Loaded(const std::vector<uint8_t>& bytes)
{
    R r;
    LoadRecord(bytes.data(), r);
    return r;
}

TEST(ZipRecords, LittleEndianHelpersReadAndWriteByteByByte)
{
    uint8_t b[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88};
    EXPECT_EQ(GetU16(b), 0x0201u);
    EXPECT_EQ(GetU32(b + 1), 0x05040302u);  // unaligned
    EXPECT_EQ(GetU64(b), 0x8807060504030201ull);
    uint8_t out[8] = {};
    PutU32(out + 3, 0xA1B2C3D4);
    EXPECT_EQ(out[3], 0xD4);
    EXPECT_EQ(out[6], 0xA1);
}

TEST(ZipRecords, LocalHeaderIs30BytesInStoredOrder)
{
    TLocalHeader h;
    h.Signature = kLocalHeaderSig;
    h.VersionNeeded = 0x0014;
    h.Flags = 0x0809;
    h.CompressionMethod = 8;
    h.ModTime = 0x1234;
    h.ModDate = 0x5678;
    h.Crc32 = 0xDEADBEEF;
    h.CompressedSize = 0x01020304;
    h.UncompressedSize = 0x05060708;
    h.NameLength = 0x0A0B;
    h.ExtraLength = 0x0C0D;
    std::vector<uint8_t> expected = {0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x09, 0x08, 0x08, 0x00,
                                     0x34, 0x12, 0x78, 0x56, 0xEF, 0xBE, 0xAD, 0xDE, 0x04, 0x03,
                                     0x02, 0x01, 0x08, 0x07, 0x06, 0x05, 0x0B, 0x0A, 0x0D, 0x0C};
    EXPECT_EQ(Stored(h), expected);
    TLocalHeader back = Loaded<TLocalHeader>(expected);
    EXPECT_EQ(back.ExtraLength, 0x0C0D);
    EXPECT_EQ(back.Crc32, 0xDEADBEEFu);
}

TEST(ZipRecords, CentralHeaderIs46BytesInStoredOrder)
{
    TCentralHeader h;
    h.Signature = kCentralHeaderSig;
    h.VersionMadeBy = 0x031E;
    h.VersionNeeded = 0x0014;
    h.Flags = 0x0001;
    h.CompressionMethod = 0x0008;
    h.ModTime = 0x2211;
    h.ModDate = 0x4433;
    h.Crc32 = 0x88776655;
    h.CompressedSize = 0xCCBBAA99;
    h.UncompressedSize = 0x100FFEDD;
    h.NameLength = 0x1211;
    h.ExtraLength = 0x1413;
    h.CommentLength = 0x1615;
    h.DiskNumberStart = 0x1817;
    h.InternalAttributes = 0x1A19;
    h.ExternalAttributes = 0x1E1D1C1B;
    h.LocalHeaderOffset = 0x2221201F;
    std::vector<uint8_t> expected = {0x50, 0x4B, 0x01, 0x02, 0x1E, 0x03, 0x14, 0x00, 0x01, 0x00, 0x08, 0x00,
                                     0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC,
                                     0xDD, 0xFE, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,
                                     0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x22};
    EXPECT_EQ(Stored(h), expected);
    EXPECT_EQ(Loaded<TCentralHeader>(expected).LocalHeaderOffset, 0x2221201Fu);
}

TEST(ZipRecords, EndRecordIs22Bytes)
{
    TEndRecord e;
    e.Signature = kEndRecordSig;
    e.DiskNumber = 0x0201;
    e.DirectoryDisk = 0x0403;
    e.EntriesOnDisk = 0x0605;
    e.TotalEntries = 0x0807;
    e.DirectorySize = 0x0C0B0A09;
    e.DirectoryOffset = 0x100F0E0D;
    e.CommentLength = 0xFFFF;
    std::vector<uint8_t> expected = {0x50, 0x4B, 0x05, 0x06, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                     0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0xFF, 0xFF};
    EXPECT_EQ(Stored(e), expected);
}

TEST(ZipRecords, Zip64EndRecordIs56BytesAndLocator20)
{
    TZip64EndRecord z;
    z.Signature = kZip64EndRecordSig;
    z.RecordSize = TZip64EndRecord::kRestSize;
    z.VersionMadeBy = 45;
    z.VersionNeeded = 45;
    z.DiskNumber = 1;
    z.DirectoryDisk = 2;
    z.EntriesOnDisk = 3;
    z.TotalEntries = 0x0102030405060708ull;
    z.DirectorySize = 5;
    z.DirectoryOffset = 0x1122334455667788ull;
    std::vector<uint8_t> bytes = Stored(z);
    ASSERT_EQ(bytes.size(), 56u);
    EXPECT_EQ(GetU32(bytes.data()), 0x06064B50u);
    EXPECT_EQ(GetU64(bytes.data() + 4), 44u);
    EXPECT_EQ(GetU16(bytes.data() + 12), 45);
    EXPECT_EQ(GetU16(bytes.data() + 14), 45);
    EXPECT_EQ(GetU32(bytes.data() + 16), 1u);
    EXPECT_EQ(GetU32(bytes.data() + 20), 2u);
    EXPECT_EQ(GetU64(bytes.data() + 24), 3u);
    EXPECT_EQ(GetU64(bytes.data() + 32), 0x0102030405060708ull);
    EXPECT_EQ(GetU64(bytes.data() + 40), 5u);
    EXPECT_EQ(GetU64(bytes.data() + 48), 0x1122334455667788ull);

    TZip64Locator l;
    l.Signature = kZip64LocatorSig;
    l.EndRecordDisk = 7;
    l.EndRecordOffset = 0x0000000123456789ull;
    l.TotalDisks = 9;
    std::vector<uint8_t> lb = Stored(l);
    ASSERT_EQ(lb.size(), 20u);
    EXPECT_EQ(GetU32(lb.data()), 0x07064B50u);
    EXPECT_EQ(GetU32(lb.data() + 4), 7u);
    EXPECT_EQ(GetU64(lb.data() + 8), 0x123456789ull);
    EXPECT_EQ(GetU32(lb.data() + 16), 9u);
}

TEST(ZipRecords, DescriptorsAndExtraBlockHeader)
{
    TDataDescriptor d{kDataDescriptorSig, 0xAABBCCDD, 10, 20};
    std::vector<uint8_t> db = Stored(d);
    std::vector<uint8_t> expected = {0x50, 0x4B, 0x07, 0x08, 0xDD, 0xCC, 0xBB, 0xAA,
                                     10, 0, 0, 0, 20, 0, 0, 0};
    EXPECT_EQ(db, expected);

    TZip64DataDescriptor d64{kDataDescriptorSig, 1, 0x100000000ull, 0x200000000ull};
    std::vector<uint8_t> b64 = Stored(d64);
    ASSERT_EQ(b64.size(), 24u);
    EXPECT_EQ(GetU64(b64.data() + 8), 0x100000000ull);
    EXPECT_EQ(GetU64(b64.data() + 16), 0x200000000ull);

    TExtraBlockHeader x{kZip64ExtraTag, 28};
    std::vector<uint8_t> xb = Stored(x);
    EXPECT_EQ(xb, (std::vector<uint8_t>{0x01, 0x00, 28, 0x00}));
}

}  // namespace
