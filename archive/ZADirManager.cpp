// Reading the central directory: end records, ZIP64, the entries, and the stub in front.
// The rebuild from local headers lives in ZADirRebuild.cpp.
#include "archive/ZADirManager.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "archive/ZADirScan.h"
#include "archive/ZAEntryNames.h"
#include "archive/ZAExcept.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/streams.h"

namespace {

constexpr int64_t kEndRecordWindow = 65600;
constexpr int kDamagedCode = 57;  // "Archive is damaged. Open failed"

// Raised inside the directory walk when a record does not check out; leads to the rebuild.
struct EDirectoryDamaged : EZAException {
    EDirectoryDamaged() : EZAException(kDamagedCode, std::string_view{}) {}
};

[[noreturn]] void Damaged() { throw EDirectoryDamaged(); }

// A 64-bit value read from the archive that must be a non-negative offset or size.
int64_t CheckedValue(uint64_t v)
{
    if (v > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        Damaged();
    return static_cast<int64_t>(v);
}

}  // namespace

// One walk over the central directory. A single-volume directory is read into memory in one piece
// and every record is taken from there, bounded by the directory; a multi-volume one is read from
// the stream, switching volumes when a header no longer fits the current one.
struct TZADirManager::TWalk {
    bool spanned = false;
    int32_t volume = 0;
    int32_t lastVolume = 0;
    std::vector<uint8_t> directory;
    size_t pos = 0;

    size_t Remaining() const { return directory.size() - pos; }
};

TZADirManager::TZADirManager(rtl::TStream* stream, IZADirHost* archiver, bool createMode)
    : Stream(stream), CreateMode(createMode), Archiver(archiver)
{
    DetachedStream = archiver == nullptr || stream != archiver->DirArchiveStream();
    ResetEndRecord();
    if (createMode && archiver != nullptr) {
        archiver->DirMarkFirstVolume();
        if (!archiver->DirSFXStub().empty())
            WriteStub();
    }
}

TZADirManager::~TZADirManager() = default;

uint32_t TZADirManager::LocalSignature() const
{
    return UsesZipFormat() ? kLocalHeaderSig : kAltLocalHeaderSig;
}

uint32_t TZADirManager::CentralSignature() const
{
    return UsesZipFormat() ? kCentralHeaderSig : kAltCentralHeaderSig;
}

uint32_t TZADirManager::EndSignature() const { return UsesZipFormat() ? kEndRecordSig : kAltEndRecordSig; }

bool TZADirManager::UsesZipFormat() const { return Archiver == nullptr || Archiver->DirUsesZipFormat(); }

bool TZADirManager::RebuildAllowed() const { return Archiver == nullptr || Archiver->DirRebuildDamaged(); }

bool TZADirManager::Spanned() const { return Archiver != nullptr && Archiver->DirSpanned(); }

int64_t TZADirManager::StreamSize() const { return Stream->Size(); }

void TZADirManager::ReadAt(int64_t offset, void* buffer, int64_t count)
{
    Stream->Seek(offset, rtl::soBeginning);
    Stream->ReadBuffer(buffer, count);
}

void TZADirManager::ResetEndRecord()
{
    CurrentDir.Resize(0);
    EndRecord = TEndRecord{};
    EndRecord.Signature = EndSignature();
}

void TZADirManager::WriteStub()
{
    rtl::TFileStream stub(Archiver->DirSFXStub(), rtl::fmOpenRead | rtl::fmShareDenyNone);
    int64_t stubSize = stub.Size();
    if (Spanned()) {
        int64_t limit = Archiver->DirFirstVolumeLimit();
        if (limit != -1 && limit < stubSize)
            throw EZAException::CreateWithCode(47);
    }
    Stream->SetSize(0);
    Stream->Seek(0, rtl::soBeginning);
    if (stubSize > 0)
        Stream->CopyFrom(stub, 0);
    PrefixSize = stubSize;
}

void TZADirManager::RequestVolume(int32_t volumeNumber, int32_t finalVolumeNumber)
{
    if (DetachedStream)
        return;
    Archiver->DirOpenVolume(volumeNumber, finalVolumeNumber);
    Stream = Archiver->DirArchiveStream();
}

// ---- End records -----------------------------------------------------------------------------------

bool TZADirManager::FindEndRecord(TEndRecord& record, int64_t& position, uint32_t signature)
{
    position = -1;
    Comment.clear();
    record = TEndRecord{};
    int64_t size = StreamSize();
    int64_t window = std::min(size, kEndRecordWindow);
    if (window < static_cast<int64_t>(TEndRecord::Size))
        return false;
    std::vector<uint8_t> buffer(static_cast<size_t>(window));
    ReadAt(size - window, buffer.data(), window);

    uint8_t sig[4];
    PutU32(sig, signature);
    // Candidates nearest the end first; a signature inside the comment fails its length test.
    for (int64_t i = window - static_cast<int64_t>(TEndRecord::Size); i >= 0; --i) {
        const uint8_t* p = buffer.data() + i;
        if (p[3] != sig[3] || p[2] != sig[2] || p[1] != sig[1] || p[0] != sig[0])
            continue;
        TEndRecord candidate;
        LoadRecord(p, candidate);
        int64_t after = window - i - static_cast<int64_t>(TEndRecord::Size);
        if (after != candidate.CommentLength)
            continue;
        record = candidate;
        position = size - window + i;
        const char* comment = reinterpret_cast<const char*>(p + TEndRecord::Size);
        Comment.assign(comment, candidate.CommentLength);
        return true;
    }
    return false;
}

bool TZADirManager::HasEndRecord()
{
    int64_t position = -1;
    bool found = FindEndRecord(EndRecord, position, EndSignature());
    if (!found)
        EndRecord.Signature = EndSignature();
    return found || RebuildAllowed();
}

bool TZADirManager::ReadZip64Locator(int64_t& endPosition)
{
    if (endPosition < static_cast<int64_t>(TZip64Locator::Size))
        return false;
    uint8_t bytes[TZip64Locator::Size];
    ReadAt(endPosition - static_cast<int64_t>(TZip64Locator::Size), bytes, sizeof bytes);
    TZip64Locator locator;
    LoadRecord(bytes, locator);
    if (locator.Signature != kZip64LocatorSig)
        return false;
    Zip64Locator = locator;
    IsZip64 = true;
    endPosition -= static_cast<int64_t>(TZip64Locator::Size);
    return true;
}

// The record is looked for where the locator says and, for an archive with data in front of it
// (whose recorded offsets are too small by that much), right before the locator. It must lie
// wholly before the locator; where it starts, the central directory ends.
void TZADirManager::ReadZip64EndRecord(int64_t& endPosition)
{
    constexpr int64_t kSize = TZip64EndRecord::Size;
    if (endPosition <= kSize)
        throw EZAException::CreateWithCode(40);
    int64_t candidates[2] = {-1, endPosition - kSize};
    if (Zip64Locator.EndRecordOffset <= static_cast<uint64_t>(endPosition - kSize))
        candidates[0] = static_cast<int64_t>(Zip64Locator.EndRecordOffset);
    for (int64_t at : candidates) {
        if (at < 0)
            continue;
        uint8_t bytes[TZip64EndRecord::Size];
        ReadAt(at, bytes, sizeof bytes);
        TZip64EndRecord record;
        LoadRecord(bytes, record);
        if (record.Signature == kZip64EndRecordSig) {
            Zip64EndRecord = record;
            endPosition = at;
            return;
        }
    }
    throw EZAException::CreateWithCode(40);
}

// ---- Loading ---------------------------------------------------------------------------------------

void TZADirManager::LoadDirectory()
{
    ResetEndRecord();
    Rebuilt = false;
    EntriesInFront = false;
    SkippedHeaders = 0;
    PrefixSize = 0;
    OffsetShift = 0;
    IsZip64 = false;

    TEndRecord record;
    int64_t endPosition = -1;
    bool found = false;
    if (!UsesZipFormat())
        found = FindEndRecord(record, endPosition, kAltEndRecordSig);
    if (!found)
        found = FindEndRecord(record, endPosition, kEndRecordSig);
    if (!found) {
        RebuildDirectory();
        return;
    }
    EndRecord = record;
    if (ReadZip64Locator(endPosition))
        ReadZip64EndRecord(endPosition);
    if (!IsZip64 && EndRecord.TotalEntries == kNo16) {
        RebuildDirectory();
        return;
    }

    TWalk walk;
    walk.spanned = Spanned();
    walk.volume = StartDisk();
    walk.lastVolume = LastDisk();
    if (walk.spanned)
        RequestVolume(walk.volume, walk.lastVolume);

    try {
        ReadEntries(walk, endPosition);
        if (walk.lastVolume == 0) {
            DetectStubSize(endPosition);
            if (!OffsetsIncludePrefix())
                AddStubSizeToOffsets();
            if (!walk.spanned)
                CheckEntryBounds();
        }
    } catch (const std::exception&) {
        if (!RebuildAllowed())
            throw;
        RebuildDirectory();
        return;
    }
    if (!RebuildAllowed() && !walk.spanned)
        CheckTotalSize();
    if (!walk.spanned)
        CheckOverlaps();  // refused outright: a rebuild would hand out the same bytes again
}

int32_t TZADirManager::StartDisk() const
{
    if (EndRecord.DirectoryDisk != kNo16)
        return EndRecord.DirectoryDisk;
    return IsZip64 ? static_cast<int32_t>(std::min<uint32_t>(Zip64EndRecord.DirectoryDisk, INT32_MAX)) : 0;
}

int32_t TZADirManager::LastDisk() const
{
    if (EndRecord.DiskNumber != kNo16)
        return EndRecord.DiskNumber;
    if (!IsZip64 || Zip64Locator.TotalDisks == 0)
        return 0;
    return static_cast<int32_t>(std::min<uint32_t>(Zip64Locator.TotalDisks - 1, INT32_MAX));
}

// Where the directory starts, how big it is and how many entries it claims, checked against the
// stream before anything is sized from them: each entry takes at least 46 bytes of the directory.
void TZADirManager::ReadEntries(TWalk& walk, int64_t endPosition)
{
    uint64_t count = IsZip64 ? Zip64EndRecord.TotalEntries : EndRecord.TotalEntries;
    int64_t size = CheckedValue(IsZip64 ? Zip64EndRecord.DirectorySize : EndRecord.DirectorySize);
    int64_t recorded = CheckedValue(IsZip64 ? Zip64EndRecord.DirectoryOffset : EndRecord.DirectoryOffset);
    RecordedDirectoryOffset = recorded;
    if (count > static_cast<uint64_t>(size) / TCentralHeader::Size ||
        count > static_cast<uint64_t>(std::numeric_limits<int>::max()))
        Damaged();

    if (walk.spanned) {
        if (recorded > StreamSize())
            Damaged();
        Stream->Seek(recorded, rtl::soBeginning);
        ReadSpannedEntries(walk, static_cast<int>(count));
        return;
    }
    int64_t start = endPosition - size;
    if (start < 0)
        Damaged();
    walk.directory.resize(static_cast<size_t>(size));
    ReadAt(start, walk.directory.data(), size);
    DirectoryStart = start;
    CurrentDir.Resize(static_cast<int>(count));
    for (int i = 0; i < static_cast<int>(count); ++i)
        ReadEntry(walk, i);
    if (walk.pos != walk.directory.size())
        Damaged();
}

// A multi-volume directory cannot be bounded by one stream; it grows as its headers are read.
void TZADirManager::ReadSpannedEntries(TWalk& walk, int count)
{
    for (int i = 0; i < count; ++i) {
        if (StreamSize() - Stream->Position() < static_cast<int64_t>(TCentralHeader::Size)) {
            if (walk.volume >= walk.lastVolume)
                Damaged();
            RequestVolume(++walk.volume, walk.lastVolume);
            Stream->Seek(0, rtl::soBeginning);
        }
        if (i == 0)
            DirectoryStart = Stream->Position();
        CurrentDir.Resize(i + 1);
        ReadEntry(walk, i);
    }
}

void TZADirManager::TakeBytes(TWalk& walk, void* buffer, size_t count)
{
    if (!walk.spanned) {
        if (walk.Remaining() < count)
            Damaged();
        if (count > 0)
            std::memcpy(buffer, walk.directory.data() + walk.pos, count);
        walk.pos += count;
        return;
    }
    if (StreamSize() - Stream->Position() < static_cast<int64_t>(count))
        Damaged();
    Stream->ReadBuffer(buffer, static_cast<int64_t>(count));
}

void TZADirManager::ReadEntry(TWalk& walk, int index)
{
    TDirItem& item = CurrentDir.ItemAt(index);
    uint8_t header[TCentralHeader::Size];
    TakeBytes(walk, header, sizeof header);
    LoadRecord(header, static_cast<TCentralHeader&>(item));
    if (item.Signature != CentralSignature())
        Damaged();

    std::string name(item.NameLength, '\0');
    TakeBytes(walk, name.data(), name.size());
    NameItem(index, std::move(name), true);

    std::vector<uint8_t> extra(item.ExtraLength);
    TakeBytes(walk, extra.data(), extra.size());
    ParseExtraField(CurrentDir.ItemAt(index), extra);

    TDirItem& entry = CurrentDir.ItemAt(index);
    // All ones with no ZIP64 value behind it is no size: the entry can neither be checked nor copied.
    if (!entry.HasZip64Extra && (entry.UncompressedSize == kNo32 || entry.CompressedSize == kNo32))
        entry.SizesUnknown = true;
    entry.Comment.assign(entry.CommentLength, '\0');
    TakeBytes(walk, entry.Comment.data(), entry.Comment.size());
}

void TZADirManager::NameItem(int index, std::string raw, bool hostKnown)
{
    bool lossy = false;
    bool utf8 = false;
    CurrentDir.RenameItem(index, ConvertName(raw, CurrentDir.ItemAt(index), hostKnown, lossy, utf8));
    TDirItem& item = CurrentDir.ItemAt(index);
    item.StoredName = std::move(raw);
    item.NameLossy = lossy;
    item.NameInUtf8 = utf8;
    KeepNameApart(CurrentDir, index, OemNames());
}

bool TZADirManager::OemNames() const
{
    return Archiver == nullptr || Archiver->DirOemNames();
}

// The name turned into the system's code page from the form it is stored in (ZAEntryNames.h); names
// not in UTF-8 are in the OEM code page when the archiver says names are stored so. lossy tells that
// some character had no place in the system's code page and is escaped; so is a zero byte, which
// ends no name: cutting there would show two stored names as one.
std::string TZADirManager::ConvertName(const std::string& raw, const TDirItem& item, bool hostKnown, bool& lossy,
                                      bool& utf8) const
{
    const TZANameForm form = StoredNameForm(raw, item.Flags, item.VersionMadeBy, hostKnown, OemNames());
    utf8 = form == TZANameForm::Utf8;
    return SystemNameOf(raw, form, lossy);
}

// Blocks are taken while a whole block header fits; a block whose size runs past the field is cut to
// what is left, and nothing past the field is ever read.
void TZADirManager::ParseExtraField(TDirItem& item, const std::vector<uint8_t>& field)
{
    item.ExtraFields.clear();
    if (field.empty())
        return;
    item.HasZip64Extra = false;
    size_t pos = 0;
    while (field.size() - pos >= kExtraBlockHeaderSize) {
        TExtraBlockHeader header;
        LoadRecord(field.data() + pos, header);
        pos += kExtraBlockHeaderSize;
        size_t size = std::min<size_t>(header.DataSize, field.size() - pos);
        TDirItemExtra block;
        block.Tag = header.Tag;
        block.Size = static_cast<uint16_t>(size);
        block.Data.assign(field.begin() + static_cast<std::ptrdiff_t>(pos),
                          field.begin() + static_cast<std::ptrdiff_t>(pos + size));
        pos += size;
        if (block.Tag == kZip64ExtraTag)
            TakeZip64Values(item, block.Data);
        item.ExtraFields.push_back(std::move(block));
    }
}

// The ZIP64 block holds, in order, each value whose central-header field is all ones.
void TZADirManager::TakeZip64Values(TDirItem& item, const std::vector<uint8_t>& data)
{
    size_t p = 0;
    auto take64 = [&](bool wanted, int64_t& target) {
        if (wanted && data.size() - p >= 8) {
            target = CheckedValue(GetU64(data.data() + p));
            p += 8;
            return true;
        }
        return !wanted;
    };
    const bool uncompressed = take64(item.UncompressedSize == kNo32, item.Zip64UncompressedSize);
    if (!take64(item.CompressedSize == kNo32, item.Zip64CompressedSize) || !uncompressed)
        item.SizesUnknown = true;  // a size the block does not hold is no size
    take64(item.LocalHeaderOffset == kNo32, item.Zip64LocalHeaderOffset);
    if (item.DiskNumberStart == kNo16 && data.size() - p >= 4)
        item.Zip64DiskNumberStart = GetU32(data.data() + p);
    item.HasZip64Extra = true;
}

// ---- Data in front of the archive ------------------------------------------------------------------

bool TZADirManager::IsLocalHeaderAt(int64_t offset, TLocalHeader* header)
{
    int64_t size = StreamSize();
    if (offset < 0 || size - offset < static_cast<int64_t>(TLocalHeader::Size))
        return false;
    uint8_t bytes[TLocalHeader::Size];
    int64_t saved = Stream->Position();
    ReadAt(offset, bytes, sizeof bytes);
    Stream->Seek(saved, rtl::soBeginning);
    TLocalHeader local;
    LoadRecord(bytes, local);
    if (header != nullptr)
        *header = local;
    return local.Signature == LocalSignature() &&
           size - offset - static_cast<int64_t>(TLocalHeader::Size) >= local.NameLength;
}

// Data put in front of an archive (a self-extractor stub) moves everything by the same amount:
// the directory stands that much later than recorded. The shift is taken when the first entry's
// local header is found at its recorded offset plus the shift; offsets already counted from the
// start of the file (the directory where it is recorded) need none. PrefixSize is where the
// archive's first local header now stands. What stands in front is a stub only while it holds no
// whole local entry: an end record that is not the archive's own (one inside a stored archive or
// a comment) leaves the archive's entries in front of the ones it places.
void TZADirManager::DetectStubSize(int64_t endPosition)
{
    OffsetShift = 0;
    if (CurrentDir.Count() == 0) {
        PrefixSize = endPosition;
        EntriesInFront = PrefixSize > 0 && HoldsLocalEntryBefore(PrefixSize);
        return;
    }
    int64_t shift = DirectoryStart - RecordedDirectoryOffset;
    int64_t first = CurrentDir.ItemAt(0).LocalHeaderOffset64();
    if (shift != 0 && IsLocalHeaderAt(first + shift))
        OffsetShift = shift;
    else if (!IsLocalHeaderAt(first))
        OffsetShift = SearchFirstLocalHeader(first) - first;
    int64_t lowest = std::numeric_limits<int64_t>::max();
    for (int i = 0; i < CurrentDir.Count(); ++i)
        lowest = std::min(lowest, CurrentDir.ItemAt(i).LocalHeaderOffset64());
    PrefixSize = std::max<int64_t>(0, lowest + OffsetShift);
    EntriesInFront = PrefixSize > 0 && HoldsLocalEntryBefore(PrefixSize);
}

// Last resort for an archive whose directory was moved as well: the first local header after the
// recorded offset that agrees with the first entry. Returns first itself when there is none.
int64_t TZADirManager::SearchFirstLocalHeader(int64_t first)
{
    const TDirItem& item = CurrentDir.ItemAt(0);
    uint8_t pattern[4];
    PutU32(pattern, LocalSignature());
    TZAScanBuffer scan(*Stream);
    for (int64_t at = scan.Find(std::max<int64_t>(first, 0), pattern, 4); at >= 0; at = scan.Find(at + 1, pattern, 4)) {
        TLocalHeader local;
        if (IsLocalHeaderAt(at, &local) && AgreesWith(local, item))
            return at;
    }
    return first;
}

// A local header agrees with a central one in method, flags and name length, and in CRC and sizes
// unless those went to a data descriptor.
bool TZADirManager::AgreesWith(const TLocalHeader& local, const TDirItem& item)
{
    if (local.CompressionMethod != item.CompressionMethod || local.NameLength != item.NameLength ||
        local.VersionNeeded != item.VersionNeeded)
        return false;
    if (item.Flags & kFlagDataDescriptor)
        return true;
    return local.Crc32 == item.Crc32 &&
           (local.CompressedSize == item.CompressedSize || local.CompressedSize == kNo32) &&
           (local.UncompressedSize == item.UncompressedSize || local.UncompressedSize == kNo32);
}

bool TZADirManager::OffsetsIncludePrefix() const { return OffsetShift == 0; }

// Every entry, folders included, moves by the shift; an offset that no longer fits 32 bits moves
// into the ZIP64 value.
void TZADirManager::AddStubSizeToOffsets()
{
    for (int i = 0; i < CurrentDir.Count(); ++i) {
        TDirItem& item = CurrentDir.ItemAt(i);
        int64_t offset = item.LocalHeaderOffset64() + OffsetShift;
        if (offset < 0)
            Damaged();
        item.SetLocalHeaderOffset64(offset);
    }
}

// In a single-volume archive every entry's local header and data lie before the directory. The
// data of the entry that stands last may be said to reach into the directory: they are read up to
// its start (SizeCut). Any other entry's data would then run over the entries after it: damaged.
void TZADirManager::CheckEntryBounds()
{
    int64_t last = -1;
    for (int i = 0; i < CurrentDir.Count(); ++i)
        last = std::max(last, CurrentDir.ItemAt(i).LocalHeaderOffset64());
    for (int i = 0; i < CurrentDir.Count(); ++i) {
        TDirItem& item = CurrentDir.ItemAt(i);
        int64_t offset = item.LocalHeaderOffset64();
        int64_t compressed = item.CompressedSize64();
        if (offset < 0 || compressed < 0 || item.UncompressedSize64() < 0)
            Damaged();
        if (DirectoryStart - offset < static_cast<int64_t>(TLocalHeader::Size))
            Damaged();
        item.SizeCut = DirectoryStart - offset - static_cast<int64_t>(TLocalHeader::Size) < compressed;
        if (item.SizeCut && offset != last)
            Damaged();
    }
}

// No two entries of a single-volume archive share bytes: each local record (at least its 30-byte
// header and its data) ends before the next one starts. Entries pointing into the same bytes or
// into another entry's data (an archive that extracts to far more than it holds) are damaged.
void TZADirManager::CheckOverlaps()
{
    std::vector<std::pair<int64_t, int64_t>> spans;
    spans.reserve(static_cast<size_t>(CurrentDir.Count()));
    for (int i = 0; i < CurrentDir.Count(); ++i) {
        const TDirItem& item = CurrentDir.ItemAt(i);
        const int64_t offset = item.LocalHeaderOffset64();
        const int64_t compressed = std::max<int64_t>(item.CompressedSize64(), 0);
        const int64_t room = std::numeric_limits<int64_t>::max() - static_cast<int64_t>(TLocalHeader::Size);
        spans.emplace_back(offset, offset + static_cast<int64_t>(TLocalHeader::Size) + std::min(compressed, room - std::max<int64_t>(offset, 0)));
    }
    std::sort(spans.begin(), spans.end());
    int64_t reached = std::numeric_limits<int64_t>::min();
    for (const auto& [start, end] : spans) {
        if (start < reached)
            throw EZAException::CreateWithCode(kDamagedCode);
        reached = end;
    }
}

void TZADirManager::CheckTotalSize() const
{
    int64_t size = StreamSize();
    int64_t total = 0;
    for (int i = 0; i < CurrentDir.Count(); ++i) {
        int64_t compressed = CurrentDir.ItemAt(i).CompressedSize64();
        if (compressed < 0 || compressed > size - total)
            throw EZAException::CreateWithCode(57);
        total += compressed;
    }
}

bool TZADirManager::SearchPattern(rtl::TStream& stream, int64_t& start, int length, const uint8_t* pattern)
{
    if (length <= 0 || start < 0)
        return false;
    TZAScanBuffer scan(stream);
    int64_t found = scan.Find(start, pattern, static_cast<size_t>(length));
    if (found < 0)
        return false;
    start = found;
    return true;
}
