// Rebuilding a directory that is missing or damaged from the local headers in the stream, and
// telling a stub in front of an archive from entries the directory does not list.
#include <algorithm>
#include <limits>
#include <string>
#include <unordered_map>

#include "archive/ZADirManager.h"
#include "archive/ZADirScan.h"
#include "archive/ZAExcept.h"
#include "platform/rtl/streams.h"

namespace {

constexpr uint16_t kMaxLocalExtraLength = 260;

// The ZIP64 sizes of a local extra field (tag 1: uncompressed, then compressed, each present when
// the header's field is all ones). Values that are not sizes leave the header's values alone.
void TakeLocalZip64(const std::vector<uint8_t>& field, const TLocalHeader& local, int64_t& uncompressed,
                    int64_t& compressed, bool& found)
{
    size_t pos = 0;
    while (field.size() - pos >= kExtraBlockHeaderSize) {
        TExtraBlockHeader header;
        LoadRecord(field.data() + pos, header);
        pos += kExtraBlockHeaderSize;
        size_t size = std::min<size_t>(header.DataSize, field.size() - pos);
        if (header.Tag == kZip64ExtraTag) {
            found = true;
            size_t p = 0;
            auto take = [&](bool wanted, int64_t& target) {
                if (wanted && size - p >= 8) {
                    uint64_t v = GetU64(field.data() + pos + p);
                    if (v <= static_cast<uint64_t>(INT64_MAX))
                        target = static_cast<int64_t>(v);
                    p += 8;
                }
            };
            take(local.UncompressedSize == kNo32, uncompressed);
            take(local.CompressedSize == kNo32, compressed);
        }
        pos += size;
    }
}

void SetSizes(TDirItem& item, int64_t uncompressed, int64_t compressed)
{
    bool wide = uncompressed >= static_cast<int64_t>(kNo32) || compressed >= static_cast<int64_t>(kNo32);
    item.UncompressedSize = wide ? kNo32 : static_cast<uint32_t>(uncompressed);
    item.CompressedSize = wide ? kNo32 : static_cast<uint32_t>(compressed);
    item.Zip64UncompressedSize = wide ? uncompressed : 0;
    item.Zip64CompressedSize = wide ? compressed : 0;
    item.HasZip64Extra = item.HasZip64Extra || wide;
}

bool EndsWithSeparator(const std::string& name)
{
    return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

}  // namespace

// The scan buffer and descriptor index of one pass over the local headers, released with it.
struct TZADirManager::TScanPass {
    TZADirManager& manager;
    explicit TScanPass(TZADirManager& m) : manager(m) { manager.scan_ = std::make_unique<TZAScanBuffer>(*manager.Stream); }
    TScanPass(const TScanPass&) = delete;
    TScanPass& operator=(const TScanPass&) = delete;
    ~TScanPass()
    {
        manager.scan_.reset();
        manager.descriptors_.reset();
    }
};

void TZADirManager::RebuildDirectory()
{
    CurrentDir.Clear();
    if (Spanned())
        throw EZAException::CreateWithCode(44);
    IsZip64 = false;
    PrefixSize = 0;
    OffsetShift = 0;
    Rebuilt = true;
    SkippedHeaders = 0;
    RebuildFromLocalHeaders();
    DirectoryStart = StreamSize();
}

void TZADirManager::RebuildFromLocalHeaders()
{
    const TScanPass pass(*this);

    int64_t offset = FindLocalHeader(0);
    if (offset < 0)
        throw EZAException::CreateWithCode(35);
    while (offset >= 0) {
        int64_t next = offset + 4;
        if (!TakeLocalEntry(offset, next))
            ++SkippedHeaders;
        offset = FindLocalHeader(next);
    }
    // Signatures without a single usable entry behind them are a damaged archive, not an empty one:
    // an entry that claims more data than the whole stream is not usable.
    const int64_t size = StreamSize();
    bool usable = false;
    for (int i = 0; i < CurrentDir.Count() && !usable; ++i)
        usable = CurrentDir.ItemAt(i).CompressedSize64() < size;
    if (!usable)
        throw EZAException::CreateWithCode(57);
    MarkOverlappedRebuiltEntries();
}

// An entry whose claimed data runs over the header of an entry found after it has a damaged size:
// it fails its check rather than hand out bytes that belong to the other.
void TZADirManager::MarkOverlappedRebuiltEntries()
{
    int64_t nextHeader = std::numeric_limits<int64_t>::max();
    for (int i = CurrentDir.Count() - 1; i >= 0; --i) {
        TDirItem& item = CurrentDir.ItemAt(i);
        const int64_t offset = item.LocalHeaderOffset64();
        const int64_t dataStart = offset + static_cast<int64_t>(TLocalHeader::Size) + item.NameLength + item.ExtraLength;
        if (!item.SizesUnknown && item.CompressedSize64() > nextHeader - dataStart)
            item.SizesUnknown = true;
        nextHeader = std::min(nextHeader, offset);
    }
}

// Appends the entry of the local header at offset when the header is plausible. next is where the
// scan goes on: behind the entry's data when its size is known (so that the headers of an archive
// stored inside it are never taken for entries), else 4 bytes after the signature.
bool TZADirManager::TakeLocalEntry(int64_t offset, int64_t& next)
{
    int64_t size = StreamSize();
    uint8_t bytes[TLocalHeader::Size];
    ReadAt(offset, bytes, sizeof bytes);
    TLocalHeader local;
    LoadRecord(bytes, local);

    int64_t nameStart = offset + static_cast<int64_t>(TLocalHeader::Size);
    int64_t extraStart = nameStart + local.NameLength;
    int64_t dataStart = extraStart + local.ExtraLength;
    int64_t uncompressed = local.UncompressedSize;
    int64_t compressed = local.CompressedSize;
    bool zip64 = false;
    if (local.ExtraLength > kMaxLocalExtraLength)
        return false;
    if (dataStart <= size) {
        std::vector<uint8_t> extra(local.ExtraLength);
        ReadAt(extraStart, extra.data(), static_cast<int64_t>(extra.size()));
        TakeLocalZip64(extra, local, uncompressed, compressed, zip64);
    }
    // An empty name, one cut off by the end of the stream or one holding a zero byte is damage:
    // such a header is no entry (a name cut at the zero would hand the data out under another name).
    if (local.NameLength == 0 || size - nameStart < local.NameLength)
        return false;
    std::string name(local.NameLength, '\0');
    ReadAt(nameStart, name.data(), local.NameLength);
    if (name.find('\0') != std::string::npos)
        return false;

    int index = CurrentDir.Count();
    CurrentDir.Resize(index + 1);
    TDirItem& item = CurrentDir.ItemAt(index);
    item.Signature = CentralSignature();
    item.VersionMadeBy = local.VersionNeeded;
    item.VersionNeeded = local.VersionNeeded;
    item.Flags = local.Flags;
    item.CompressionMethod = local.CompressionMethod;
    item.ModTime = local.ModTime;
    item.ModDate = local.ModDate;
    item.Crc32 = local.Crc32;
    item.NameLength = local.NameLength;
    item.ExtraLength = local.ExtraLength;
    item.HasZip64Extra = zip64;
    SetSizes(item, uncompressed, compressed);
    item.SetLocalHeaderOffset64(offset);

    NameItem(index, std::move(name), false);  // a local header does not say which host made it

    TDirItem& entry = CurrentDir.ItemAt(index);
    bool known = !(local.Flags & kFlagDataDescriptor);
    if (!known && dataStart <= size) {
        TZip64DataDescriptor descriptor;
        int64_t descriptorEnd = 0;
        if (descriptors_ == nullptr) {
            descriptors_ = std::make_unique<TZADescriptorIndex>();
            BuildDescriptorIndex(*descriptors_, 0);
        }
        if (FindDataDescriptor(dataStart, descriptor, descriptorEnd, zip64)) {
            entry.Crc32 = descriptor.Crc32;
            entry.SizesFromDescriptor = true;
            SetSizes(entry, static_cast<int64_t>(descriptor.UncompressedSize),
                     static_cast<int64_t>(descriptor.CompressedSize));
            next = descriptorEnd;
        } else {
            entry.SizesUnknown = true;  // the header's zeros are no sizes: nothing to check against
        }
    } else if (!known) {
        entry.SizesUnknown = true;
    }
    // Data said to reach past the end of the stream: the entry is kept, so that it is reported, with
    // sizes nothing can pass a check against. A streamed entry's header holds no sizes to go by.
    if (known && compressed >= size)
        entry.SizesUnknown = true;
    bool folder = entry.UncompressedSize64() == 0 && known && EndsWithSeparator(entry.FileName);
    entry.ExternalAttributes = folder ? kAttrDirectory : kAttrArchive;
    // A size field that points anywhere but at the next record (or the end) is damaged: the scan
    // then goes on right after this header's signature, so no later entry is lost.
    if (known && dataStart <= size && size - dataStart >= compressed && IsRecordBoundary(dataStart + compressed))
        next = dataStart + compressed;
    return true;
}

// True when a whole local entry starts before end. One forward pass over the local header
// signatures, each looked at once; the streamed entries among them, whose ends only a descriptor
// tells, are then matched in one pass over the descriptor signatures.
bool TZADirManager::HoldsLocalEntryBefore(int64_t end)
{
    const TScanPass pass(*this);
    std::vector<int64_t> streamed;
    for (int64_t at = FindLocalHeader(0); at >= 0 && at < end; at = FindLocalHeader(at + 4))
        if (IsWholeLocalEntryAt(at, streamed))
            return true;
    return DescriptorEndsStreamedEntry(streamed, end);
}

// A local header with a name whose data, as long as the header or its ZIP64 block says, end where
// another record starts or the stream ends: a signature that a program happens to hold is followed
// by no such entry. A streamed entry's data start goes to streamed instead.
bool TZADirManager::IsWholeLocalEntryAt(int64_t offset, std::vector<int64_t>& streamed)
{
    const int64_t size = scan_->StreamSize();
    const uint8_t* bytes = scan_->Peek(offset, TLocalHeader::Size);
    if (bytes == nullptr)
        return false;
    TLocalHeader local;
    LoadRecord(bytes, local);
    const int64_t extraStart = offset + static_cast<int64_t>(TLocalHeader::Size) + local.NameLength;
    const int64_t dataStart = extraStart + local.ExtraLength;
    if (local.NameLength == 0 || dataStart > size)
        return false;
    int64_t uncompressed = local.UncompressedSize;
    int64_t compressed = local.CompressedSize;
    // The extra field is read only for the ZIP64 sizes, and only as long as a rebuild would take it,
    // so that no header makes the pass read more than a few hundred bytes.
    if ((compressed == kNo32 || uncompressed == kNo32) && local.ExtraLength <= kMaxLocalExtraLength) {
        std::vector<uint8_t> extra(local.ExtraLength);
        ReadAt(extraStart, extra.data(), static_cast<int64_t>(extra.size()));
        bool zip64 = false;
        TakeLocalZip64(extra, local, uncompressed, compressed, zip64);
    }
    if (local.Flags & kFlagDataDescriptor) {
        streamed.push_back(dataStart);
        if (compressed == 0)
            return false;  // its sizes went to the descriptor
    }
    return size - dataStart >= compressed && IsScannedRecordBoundary(dataStart + compressed);
}

// True when a data descriptor before end, in either form, gives one of the data starts its
// compressed size points back to and is followed by another record or the end of the stream.
bool TZADirManager::DescriptorEndsStreamedEntry(std::vector<int64_t>& starts, int64_t end)
{
    if (starts.empty())
        return false;
    std::sort(starts.begin(), starts.end());
    const auto claims = [&starts](uint64_t compressed, int64_t at) {
        return compressed <= static_cast<uint64_t>(at) &&
               std::binary_search(starts.begin(), starts.end(), at - static_cast<int64_t>(compressed));
    };
    uint8_t pattern[4];
    PutU32(pattern, kDataDescriptorSig);
    for (int64_t at = scan_->Find(starts.front(), pattern, 4); at >= 0 && at < end; at = scan_->Find(at + 4, pattern, 4)) {
        const uint8_t* bytes = scan_->Peek(at, TDataDescriptor::Size);
        if (bytes != nullptr && claims(GetU32(bytes + 8), at) && IsScannedRecordBoundary(at + static_cast<int64_t>(TDataDescriptor::Size)))
            return true;
        bytes = scan_->Peek(at, TZip64DataDescriptor::Size);
        if (bytes != nullptr && claims(GetU64(bytes + 8), at) && IsScannedRecordBoundary(at + static_cast<int64_t>(TZip64DataDescriptor::Size)))
            return true;
    }
    return false;
}

int64_t TZADirManager::FindLocalHeader(int64_t start)
{
    uint8_t pattern[4];
    PutU32(pattern, LocalSignature());
    std::unique_ptr<TZAScanBuffer> own;
    TZAScanBuffer* scan = scan_.get();
    if (scan == nullptr) {
        own = std::make_unique<TZAScanBuffer>(*Stream);
        scan = own.get();
    }
    int64_t found = scan->Find(start, pattern, 4);
    if (found < 0 || scan->StreamSize() - found < static_cast<int64_t>(TLocalHeader::Size))
        return -1;
    return found;
}

void TZADirManager::BuildDescriptorIndex(TZADescriptorIndex& index, int64_t from)
{
    uint8_t pattern[4];
    PutU32(pattern, kDataDescriptorSig);
    std::unique_ptr<TZAScanBuffer> own;
    TZAScanBuffer* scan = scan_.get();
    if (scan == nullptr) {
        own = std::make_unique<TZAScanBuffer>(*Stream);
        scan = own.get();
    }
    int64_t size = StreamSize();
    for (int64_t at = scan->Find(from, pattern, 4); at >= 0; at = scan->Find(at + 1, pattern, 4)) {
        uint8_t bytes[TZip64DataDescriptor::Size] = {};
        int64_t have = std::min<int64_t>(size - at, sizeof bytes);
        ReadAt(at, bytes, have);
        if (have >= static_cast<int64_t>(TDataDescriptor::Size)) {
            TDataDescriptor d;
            LoadRecord(bytes, d);
            if (d.CompressedSize <= static_cast<uint64_t>(at))
                index.shortForm.try_emplace(at - d.CompressedSize,
                    TZADescriptorIndex::TFound{{d.Signature, d.Crc32, d.CompressedSize, d.UncompressedSize},
                                               at + static_cast<int64_t>(TDataDescriptor::Size)});
        }
        if (have >= static_cast<int64_t>(TZip64DataDescriptor::Size)) {
            TZip64DataDescriptor d;
            LoadRecord(bytes, d);
            if (d.CompressedSize <= static_cast<uint64_t>(at) && d.UncompressedSize <= static_cast<uint64_t>(INT64_MAX))
                index.longForm.try_emplace(at - static_cast<int64_t>(d.CompressedSize),
                    TZADescriptorIndex::TFound{d, at + static_cast<int64_t>(TZip64DataDescriptor::Size)});
        }
    }
}

// True when a ZIP record (or the end of the stream) follows at offset: what comes after a descriptor.
bool TZADirManager::IsRecordBoundary(int64_t offset)
{
    int64_t size = StreamSize();
    if (offset == size)
        return true;
    if (size - offset < 4)
        return false;
    uint8_t bytes[4];
    ReadAt(offset, bytes, 4);
    return StartsRecord(GetU32(bytes), size - offset);
}

bool TZADirManager::StartsRecord(uint32_t sig, int64_t remaining) const
{
    if (sig == LocalSignature())
        return remaining >= static_cast<int64_t>(TLocalHeader::Size);
    return sig == CentralSignature() || sig == kDataDescriptorSig || sig == EndSignature() ||
           sig == kZip64EndRecordSig || sig == kZip64LocatorSig;
}

// IsRecordBoundary from the scan buffer where it holds the bytes, so that a pass over many headers
// close together reads nothing more.
bool TZADirManager::IsScannedRecordBoundary(int64_t offset)
{
    const uint8_t* bytes = scan_->Held(offset, 4);
    if (bytes == nullptr)
        return IsRecordBoundary(offset);
    return StartsRecord(GetU32(bytes), scan_->StreamSize() - offset);
}

bool TZADirManager::FindDataDescriptor(int64_t dataStart, TZip64DataDescriptor& descriptor,
                                       int64_t& descriptorEnd, bool zip64)
{
    std::unique_ptr<TZADescriptorIndex> own;
    TZADescriptorIndex* index = descriptors_.get();
    if (index == nullptr) {
        own = std::make_unique<TZADescriptorIndex>();
        BuildDescriptorIndex(*own, dataStart);
        index = own.get();
    }
    int64_t saved = Stream->Position();
    auto shortHit = index->shortForm.find(dataStart);
    auto longHit = index->longForm.find(dataStart);
    const TZADescriptorIndex::TFound* chosen = nullptr;
    bool haveShort = shortHit != index->shortForm.end();
    bool haveLong = longHit != index->longForm.end();
    if (haveShort && haveLong) {
        bool shortFits = IsRecordBoundary(shortHit->second.end);
        bool longFits = IsRecordBoundary(longHit->second.end);
        bool preferLong = shortFits == longFits ? zip64 : longFits;
        chosen = preferLong ? &longHit->second : &shortHit->second;
    } else if (haveShort) {
        chosen = &shortHit->second;
    } else if (haveLong) {
        chosen = &longHit->second;
    }
    Stream->Seek(saved, rtl::soBeginning);
    if (chosen == nullptr)
        return false;
    descriptor = chosen->descriptor;
    descriptorEnd = chosen->end;
    return true;
}
