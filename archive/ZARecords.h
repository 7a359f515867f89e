// Byte layouts of the ZIP records the archive library reads and writes.
//
// Every record is a plain struct whose fields are listed once, in stored order, by its Fields()
// function; loading, storing and the layout size are all derived from that one list, so the order and
// widths cannot drift apart. All integers are little-endian on disk and are read and written byte by
// byte (never through a cast of an unaligned pointer), so the code works on any host.
//
//   TRecord r;  LoadRecord(bytes, r);      // bytes: at least TRecord::Size readable bytes
//   StoreRecord(r, bytes);                 // bytes: at least TRecord::Size writable bytes
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// ---- Little-endian access --------------------------------------------------------------------------

template <class T>
constexpr T GetLE(const uint8_t* p) {
    static_assert(std::is_unsigned_v<T>);
    T v = 0;
    for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<T>(static_cast<T>(p[i]) << (8 * i));
    return v;
}

template <class T>
constexpr void PutLE(uint8_t* p, T v) {
    static_assert(std::is_unsigned_v<T>);
    for (size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint16_t GetU16(const uint8_t* p) { return GetLE<uint16_t>(p); }
inline uint32_t GetU32(const uint8_t* p) { return GetLE<uint32_t>(p); }
inline uint64_t GetU64(const uint8_t* p) { return GetLE<uint64_t>(p); }
inline void PutU16(uint8_t* p, uint16_t v) { PutLE(p, v); }
inline void PutU32(uint8_t* p, uint32_t v) { PutLE(p, v); }
inline void PutU64(uint8_t* p, uint64_t v) { PutLE(p, v); }

// ---- Signatures and constants ----------------------------------------------------------------------

constexpr uint32_t kLocalHeaderSig = 0x04034B50;
constexpr uint32_t kCentralHeaderSig = 0x02014B50;
constexpr uint32_t kEndRecordSig = 0x06054B50;
constexpr uint32_t kZip64EndRecordSig = 0x06064B50;
constexpr uint32_t kZip64LocatorSig = 0x07064B50;
constexpr uint32_t kDataDescriptorSig = 0x08074B50;

// The archiver's other format (UsesZipFormat False) carries these instead; never written here.
constexpr uint32_t kAltLocalHeaderSig = 0x05045C61;
constexpr uint32_t kAltCentralHeaderSig = 0x03025C61;
constexpr uint32_t kAltEndRecordSig = 0x06054141;
constexpr uint16_t kAltVersionNeeded = 0x4114;

constexpr uint16_t kZip64ExtraTag = 0x0001;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8Name = 0x0800;  // name and comment are UTF-8
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint16_t kNo16 = 0xFFFF;          // 16-bit field whose value lives in a ZIP64 record
constexpr uint32_t kNo32 = 0xFFFFFFFF;      // 32-bit field whose value lives in a ZIP64 record
constexpr size_t kExtraBlockHeaderSize = 4;  // tag (2) + data size (2)

// ---- Field walkers ---------------------------------------------------------------------------------

struct TFieldLoader {
    const uint8_t* p;
    size_t pos = 0;
    template <class T>
    constexpr void operator()(T& field) {
        field = GetLE<T>(p + pos);
        pos += sizeof(T);
    }
};

struct TFieldStorer {
    uint8_t* p;
    size_t pos = 0;
    template <class T>
    constexpr void operator()(const T& field) {
        PutLE<T>(p + pos, field);
        pos += sizeof(T);
    }
};

struct TFieldCounter {
    size_t pos = 0;
    template <class T>
    constexpr void operator()(const T&) {
        pos += sizeof(T);
    }
};

template <class R>
constexpr size_t LayoutSize() {
    R r{};
    TFieldCounter c;
    R::Fields(r, c);
    return c.pos;
}

template <class R>
constexpr void LoadRecord(const uint8_t* p, R& r) {
    TFieldLoader l{p};
    R::Fields(r, l);
}

template <class R>
constexpr void StoreRecord(const R& r, uint8_t* p) {
    TFieldStorer s{p};
    R::Fields(r, s);
}

// ---- Records ---------------------------------------------------------------------------------------

// Local file header; followed by the name, the extra field and the entry's data.
struct TLocalHeader {
    static constexpr size_t Size = 30;
    uint32_t Signature = 0;
    uint16_t VersionNeeded = 0;
    uint16_t Flags = 0;
    uint16_t CompressionMethod = 0;
    uint16_t ModTime = 0;
    uint16_t ModDate = 0;
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;

    template <class Self, class V>
    static constexpr void Fields(Self& s, V& v) {
        v(s.Signature), v(s.VersionNeeded), v(s.Flags), v(s.CompressionMethod), v(s.ModTime),
            v(s.ModDate), v(s.Crc32), v(s.CompressedSize), v(s.UncompressedSize), v(s.NameLength),
            v(s.ExtraLength);
    }
};

// Central directory header; followed by the name, the extra field and the entry comment.
// A directory item (ZADirArray.h) holds these 46 bytes unchanged as its header image.
struct TCentralHeader {
    static constexpr size_t Size = 46;
    uint32_t Signature = 0;
    uint16_t VersionMadeBy = 0;
    uint16_t VersionNeeded = 0;
    uint16_t Flags = 0;
    uint16_t CompressionMethod = 0;
    uint16_t ModTime = 0;
    uint16_t ModDate = 0;
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0;     // kNo32: in the ZIP64 extra block
    uint32_t UncompressedSize = 0;   // kNo32: in the ZIP64 extra block
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;
    uint16_t CommentLength = 0;
    uint16_t DiskNumberStart = 0;    // kNo16: in the ZIP64 extra block
    uint16_t InternalAttributes = 0;
    uint32_t ExternalAttributes = 0;
    uint32_t LocalHeaderOffset = 0;  // kNo32: in the ZIP64 extra block

    template <class Self, class V>
    static constexpr void Fields(Self& s, V& v) {
        v(s.Signature), v(s.VersionMadeBy), v(s.VersionNeeded), v(s.Flags), v(s.CompressionMethod),
            v(s.ModTime), v(s.ModDate), v(s.Crc32), v(s.CompressedSize), v(s.UncompressedSize),
            v(s.NameLength), v(s.ExtraLength), v(s.CommentLength), v(s.DiskNumberStart),
            v(s.InternalAttributes), v(s.ExternalAttributes), v(s.LocalHeaderOffset);
    }
};

// End of central directory record; followed by the archive comment, at the very end of the archive.
struct TEndRecord {
    static constexpr size_t Size = 22;
    uint32_t Signature = 0;
    uint16_t DiskNumber = 0;        // kNo16: from the ZIP64 locator
    uint16_t DirectoryDisk = 0;     // kNo16: from the ZIP64 end record
    uint16_t EntriesOnDisk = 0;
    uint16_t TotalEntries = 0;      // kNo16: from the ZIP64 end record
    uint32_t DirectorySize = 0;
    uint32_t DirectoryOffset = 0;
    uint16_t CommentLength = 0;

    template <class Self, class V>
    static constexpr void Fields(Self& s, V& v) {
        v(s.Signature), v(s.DiskNumber), v(s.DirectoryDisk), v(s.EntriesOnDisk), v(s.TotalEntries),
            v(s.DirectorySize), v(s.DirectoryOffset), v(s.CommentLength);
    }
};

// ZIP64 end of central directory record (no extensible data is read or written after it).
struct TZip64EndRecord {
    static constexpr size_t Size = 56;
    static constexpr uint64_t kRestSize = 44;
    static constexpr uint16_t kVersion = 45;
    uint32_t Signature = 0;
    uint64_t RecordSize = 0;  // size of the rest of the record: 44
    uint16_t VersionMadeBy = 0;
    uint16_t VersionNeeded = 0;
    uint32_t DiskNumber = 0;
    uint32_t DirectoryDisk = 0;
    uint64_t EntriesOnDisk = 0;
    uint64_t TotalEntries = 0;
    uint64_t DirectorySize = 0;
    uint64_t DirectoryOffset = 0;

    template <class Self, class V>
    static constexpr void Fields(Self& s, V& v) {
        v(s.Signature), v(s.RecordSize), v(s.VersionMadeBy), v(s.VersionNeeded), v(s.DiskNumber),
            v(s.DirectoryDisk), v(s.EntriesOnDisk), v(s.TotalEntries), v(s.DirectorySize),
            v(s.DirectoryOffset);
    }
};

// ZIP64 end of central directory locator, immediately before the end record.
struct TZip64Locator {
    static constexpr size_t Size = 20;
    uint32_t Signature = 0;
    uint32_t EndRecordDisk = 0;
    uint64_t EndRecordOffset = 0;
    uint32_t TotalDisks = 0;

    template <class Self, class V>
    static constexpr void Fields(Self& s, V& v) {
        v(s.Signature), v(s.EndRecordDisk), v(s.EndRecordOffset), v(s.TotalDisks);
    }
};

// Data descriptor after an entry's data when flag bit 3 is set.
struct TDataDescriptor {
    static constexpr size_t Size = 16;
    uint32_t Signature = 0;
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;

    template <class Self, class V>
    static constexpr void Fields(Self& s, V& v) {
        v(s.Signature), v(s.Crc32), v(s.CompressedSize), v(s.UncompressedSize);
    }
};

// The descriptor's ZIP64 form (written for entries whose local header carries a ZIP64 extra block).
struct TZip64DataDescriptor {
    static constexpr size_t Size = 24;
    uint32_t Signature = 0;
    uint32_t Crc32 = 0;
    uint64_t CompressedSize = 0;
    uint64_t UncompressedSize = 0;

    template <class Self, class V>
    static constexpr void Fields(Self& s, V& v) {
        v(s.Signature), v(s.Crc32), v(s.CompressedSize), v(s.UncompressedSize);
    }
};

// Header of one extra-field block; Size bytes of data follow.
struct TExtraBlockHeader {
    static constexpr size_t Size = kExtraBlockHeaderSize;
    uint16_t Tag = 0;
    uint16_t DataSize = 0;

    template <class Self, class V>
    static constexpr void Fields(Self& s, V& v) {
        v(s.Tag), v(s.DataSize);
    }
};

static_assert(LayoutSize<TLocalHeader>() == TLocalHeader::Size);
static_assert(LayoutSize<TCentralHeader>() == TCentralHeader::Size);
static_assert(LayoutSize<TEndRecord>() == TEndRecord::Size);
static_assert(LayoutSize<TZip64EndRecord>() == TZip64EndRecord::Size);
static_assert(LayoutSize<TZip64Locator>() == TZip64Locator::Size);
static_assert(LayoutSize<TDataDescriptor>() == TDataDescriptor::Size);
static_assert(LayoutSize<TZip64DataDescriptor>() == TZip64DataDescriptor::Size);
static_assert(LayoutSize<TExtraBlockHeader>() == TExtraBlockHeader::Size);
