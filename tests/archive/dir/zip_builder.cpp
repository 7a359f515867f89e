#include "zip_builder.h"

#include <zlib.h>

#include "archive/ZARecords.h"

namespace {

template <class R>
void Append(std::string& out, const R& record)
{
    uint8_t bytes[R::Size];
    StoreRecord(record, bytes);
    out.append(reinterpret_cast<const char*>(bytes), R::Size);
}

std::string Zip64Extra(uint64_t uncompressed, uint64_t compressed, uint64_t offset)
{
    std::string block(4 + 24, '\0');
    Put16(block, 0, 1);
    Put16(block, 2, 24);
    Put64(block, 4, uncompressed);
    Put64(block, 12, compressed);
    Put64(block, 20, offset);
    return block;
}

}  // namespace

void Put16(std::string& bytes, int64_t at, uint16_t v) { PutU16(reinterpret_cast<uint8_t*>(&bytes[at]), v); }
void Put32(std::string& bytes, int64_t at, uint32_t v) { PutU32(reinterpret_cast<uint8_t*>(&bytes[at]), v); }
void Put64(std::string& bytes, int64_t at, uint64_t v) { PutU64(reinterpret_cast<uint8_t*>(&bytes[at]), v); }

uint32_t Crc(const std::string& data)
{
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

TestZip BuildZip(const std::vector<TestEntry>& entries, const TestZipOptions& options)
{
    TestZip zip;
    std::string& out = zip.bytes;
    out = options.stub;
    int64_t base = options.offsetsCountFromFile ? 0 : static_cast<int64_t>(options.stub.size());

    for (const TestEntry& e : entries) {
        zip.localOffsets.push_back(static_cast<int64_t>(out.size()));
        TLocalHeader h;
        h.Signature = kLocalHeaderSig;
        h.VersionNeeded = 20;
        h.Flags = static_cast<uint16_t>(e.flags | (e.descriptor ? kFlagDataDescriptor : 0));
        h.ModTime = 0x6000;
        h.ModDate = 0x5821;
        if (!e.descriptor) {
            h.Crc32 = Crc(e.data);
            h.CompressedSize = h.UncompressedSize = static_cast<uint32_t>(e.data.size());
        }
        h.NameLength = static_cast<uint16_t>(e.name.size());
        Append(out, h);
        out += e.name;
        out += e.data;
        if (e.descriptor)
            Append(out, TDataDescriptor{kDataDescriptorSig, Crc(e.data), static_cast<uint32_t>(e.data.size()),
                                        static_cast<uint32_t>(e.data.size())});
    }

    zip.directoryStart = static_cast<int64_t>(out.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const TestEntry& e = entries[i];
        uint64_t offset = static_cast<uint64_t>(zip.localOffsets[i] - base);
        std::string extra = e.zip64 ? Zip64Extra(e.data.size(), e.data.size(), offset) : "";
        extra += e.centralExtra;
        TCentralHeader c;
        c.Signature = kCentralHeaderSig;
        c.VersionMadeBy = e.madeBy;
        c.VersionNeeded = 20;
        c.Flags = static_cast<uint16_t>(e.flags | (e.descriptor ? kFlagDataDescriptor : 0));
        c.ModTime = 0x6000;
        c.ModDate = 0x5821;
        c.Crc32 = Crc(e.data);
        c.CompressedSize = c.UncompressedSize = e.zip64 ? kNo32 : static_cast<uint32_t>(e.data.size());
        c.NameLength = static_cast<uint16_t>(e.name.size());
        c.ExtraLength = static_cast<uint16_t>(extra.size());
        c.ExternalAttributes = e.attributes;
        c.LocalHeaderOffset = e.zip64 ? kNo32 : static_cast<uint32_t>(offset);
        Append(out, c);
        out += e.name;
        out += extra;
    }
    zip.directorySize = static_cast<int64_t>(out.size()) - zip.directoryStart;
    uint64_t recordedStart = static_cast<uint64_t>(zip.directoryStart - base);

    if (options.zip64Records) {
        zip.zip64EndAt = static_cast<int64_t>(out.size());
        TZip64EndRecord z;
        z.Signature = kZip64EndRecordSig;
        z.RecordSize = TZip64EndRecord::kRestSize;
        z.VersionMadeBy = z.VersionNeeded = TZip64EndRecord::kVersion;
        z.EntriesOnDisk = z.TotalEntries = entries.size();
        z.DirectorySize = static_cast<uint64_t>(zip.directorySize);
        z.DirectoryOffset = recordedStart;
        Append(out, z);
        zip.locatorAt = static_cast<int64_t>(out.size());
        Append(out, TZip64Locator{kZip64LocatorSig, 0, static_cast<uint64_t>(zip.zip64EndAt - base), 1});
    }
    zip.endRecordAt = static_cast<int64_t>(out.size());
    TEndRecord end;
    end.Signature = kEndRecordSig;
    end.EntriesOnDisk = end.TotalEntries = options.zip64Records ? kNo16 : static_cast<uint16_t>(entries.size());
    end.DirectorySize = options.zip64Records ? kNo32 : static_cast<uint32_t>(zip.directorySize);
    end.DirectoryOffset = options.zip64Records ? kNo32 : static_cast<uint32_t>(recordedStart);
    end.CommentLength = static_cast<uint16_t>(options.comment.size());
    Append(out, end);
    out += options.comment;
    return zip;
}
