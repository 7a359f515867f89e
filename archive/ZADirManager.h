// The directory manager: finds the end records of an archive (ZIP64 included), reads the central
// directory into CurrentDir, works out the self-extractor stub in front of the archive, and rebuilds
// the directory from the local headers when the central one is missing or damaged.
//
// The manager reads a handful of the archiver's settings and asks it to switch volumes. So that it
// does not depend on ZipArchiver.h, it sees the archiver only through IZADirHost below:
//   - DirSpanned():          SpanningMode is not smNone
//   - DirRebuildDamaged():   RebuildDamagedDirectory
//   - DirOemNames():         Options->OEMFileNames (names stored in the OEM code page, cp866)
//   - DirUsesZipFormat():    UsesZipFormat (False selects the other format's signatures)
//   - DirReadOnly():         the archive was opened read-only (OpenMode 64)
//   - DirArchiverName():     the component's Name (for messages; the reading side raises unprefixed)
//   - DirArchiveStream():    the archiver's ArchiveStream (the current volume), or null
//   - DirOpenVolume(n, f):   make volume n of an archive whose last volume is f the ArchiveStream
//                            (TZABaseArchiver::OpenVolume with a TZAVolumeNumberInfo numbered n whose
//                            FinalVolumeNumber is f; code 45 when the user cancels)
//   - DirMarkFirstVolume():  VolumeInfo->SetFirst(true) (a new archive starts on its first volume)
//   - DirSFXStub():          SFXStub, the file put in front of a new archive ("" for none)
//   - DirFirstVolumeLimit(): SpanningOptions->VolumeSizeFor(first volume): -1 or a byte limit
// TZABaseArchiver implements it; TZADirSettings is a plain implementation for a manager used on its
// own (tests, the zipdir driver): fixed settings, a single stream, no volume switching.
//
// Codes (EZAException, raised without a component): 35 nothing to rebuild from, 40 a ZIP64 locator
// without its end record, 44 rebuild of a multi-volume archive, 47 stub larger than the first
// volume, 57 compressed sizes beyond the archive (rebuilding off). Stream errors pass through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/ZADirArray.h"
#include "archive/ZARecords.h"

namespace rtl {
class TStream;
}
class TZAScanBuffer;
struct TZADescriptorIndex;

class IZADirHost {
public:
    virtual ~IZADirHost() = default;
    virtual bool DirSpanned() const = 0;
    virtual bool DirRebuildDamaged() const = 0;
    virtual bool DirOemNames() const = 0;
    virtual bool DirUsesZipFormat() const = 0;
    virtual bool DirReadOnly() const = 0;
    virtual std::string DirArchiverName() const = 0;
    virtual rtl::TStream* DirArchiveStream() = 0;
    virtual void DirOpenVolume(int32_t volumeNumber, int32_t finalVolumeNumber) = 0;
    virtual void DirMarkFirstVolume() = 0;
    virtual std::string DirSFXStub() const = 0;
    virtual int64_t DirFirstVolumeLimit() const = 0;
};

// Fixed settings for a manager that works on one stream of its own.
struct TZADirSettings : IZADirHost {
    bool Spanned = false;
    bool RebuildDamagedDirectory = true;
    bool OEMFileNames = true;
    bool UsesZipFormat = true;
    bool ReadOnly = true;
    std::string Name;
    rtl::TStream* ArchiveStream = nullptr;
    std::string SFXStub;
    int64_t FirstVolumeLimit = -1;

    bool DirSpanned() const override { return Spanned; }
    bool DirRebuildDamaged() const override { return RebuildDamagedDirectory; }
    bool DirOemNames() const override { return OEMFileNames; }
    bool DirUsesZipFormat() const override { return UsesZipFormat; }
    bool DirReadOnly() const override { return ReadOnly; }
    std::string DirArchiverName() const override { return Name; }
    rtl::TStream* DirArchiveStream() override { return ArchiveStream; }
    void DirOpenVolume(int32_t, int32_t) override {}
    void DirMarkFirstVolume() override {}
    std::string DirSFXStub() const override { return SFXStub; }
    int64_t DirFirstVolumeLimit() const override { return FirstVolumeLimit; }
};

class TZADirManager {
public:
    // stream: the archive's stream (not owned); archiver: the settings and volume source (not
    // owned, must outlive the manager); createMode: made for a new archive (writes the SFX stub).
    TZADirManager(rtl::TStream* stream, IZADirHost* archiver, bool createMode);
    ~TZADirManager();
    TZADirManager(const TZADirManager&) = delete;
    TZADirManager& operator=(const TZADirManager&) = delete;

    // Searches the end record into EndRecord; True when found, or whenever rebuilding is on.
    bool HasEndRecord();
    // Reads the central directory (or rebuilds it) into CurrentDir; see the file comment for codes.
    void LoadDirectory();
    // Searches the last 65,600 bytes backwards for an end record with the given signature whose
    // comment reaches exactly to the end of the stream. Fills record, position (-1 when none) and
    // Comment.
    bool FindEndRecord(TEndRecord& record, int64_t& position, uint32_t signature);
    void ResetEndRecord();
    void WriteStub();
    void RequestVolume(int32_t volumeNumber, int32_t finalVolumeNumber);
    // Finds how far the archive was moved by data put in front of it (OffsetShift) and where its first
    // local header stands (PrefixSize).
    void DetectStubSize(int64_t endPosition);
    bool OffsetsIncludePrefix() const;  // no shift to apply
    void AddStubSizeToOffsets();        // applies OffsetShift to every entry's 64-bit offset
    void RebuildDirectory();
    void RebuildFromLocalHeaders();
    void CheckTotalSize() const;
    // Offset of the next local header signature at or after start with a whole header behind it,
    // or -1.
    int64_t FindLocalHeader(int64_t start);
    // The data descriptor (16-byte or ZIP64 24-byte form) of an entry whose data starts at dataStart:
    // the first descriptor signature whose compressed size equals its distance from dataStart; the
    // ZIP64 form is preferred when the entry's local header carries a ZIP64 block (zip64) and both
    // forms fit. descriptorEnd is the offset just after it.
    bool FindDataDescriptor(int64_t dataStart, TZip64DataDescriptor& descriptor, int64_t& descriptorEnd,
                            bool zip64 = false);
    // Searches stream from start for the pattern; on success start is where it was found.
    static bool SearchPattern(rtl::TStream& stream, int64_t& start, int length, const uint8_t* pattern);

    int64_t StreamSize() const;
    // True when a ZIP record (or the end of the stream) follows at offset: what comes after a descriptor.
    bool IsRecordBoundary(int64_t offset);

    // Directory writing (ZADirWriter.cpp)
    // Writes the central directory, the ZIP64 records when needed, the end record and the comment:
    // at the end of the stream (AtEnd) or over the old directory. A given stream first becomes
    // Stream. Through a TZABaseArchiver host the directory goes through its volumes.
    void SaveDirectory(bool AtEnd, rtl::TStream* stream = nullptr);
    // End of directory writing

    rtl::TStream* Stream = nullptr;
    bool CreateMode = false;
    bool DetachedStream = false;
    IZADirHost* Archiver = nullptr;
    TZADirArray BackupDir;
    TZADirArray CurrentDir;
    std::string Comment;
    TZip64Locator Zip64Locator;
    TZip64EndRecord Zip64EndRecord;
    TEndRecord EndRecord;
    int64_t PrefixSize = 0;
    bool IsZip64 = false;
    int64_t DirectoryStart = 0;
    // Where the end records say the directory starts, and how far the entries' recorded offsets
    // were moved to count from the start of Stream (0 unless data was put in front of the archive).
    int64_t RecordedDirectoryOffset = 0;
    int64_t OffsetShift = 0;
    // The last load rebuilt the directory from local headers: CurrentDir is a guess at the archive.
    bool Rebuilt = false;
    // The bytes in front of the first entry the directory places hold a whole local entry: they are
    // no self-extractor's stub but entries the directory does not list.
    bool EntriesInFront = false;
    // Local header signatures that rebuild found but could not take as entries.
    int SkippedHeaders = 0;

private:
    struct TWalk;      // state of one directory walk
    struct TScanPass;  // scan buffer and descriptor index of one pass over local headers

    bool UsesZipFormat() const;
    bool RebuildAllowed() const;
    bool Spanned() const;
    uint32_t LocalSignature() const;
    uint32_t CentralSignature() const;
    uint32_t EndSignature() const;
    int32_t StartDisk() const;
    int32_t LastDisk() const;
    void ReadAt(int64_t offset, void* buffer, int64_t count);

    bool ReadZip64Locator(int64_t& endPosition);
    void ReadZip64EndRecord(int64_t& endPosition);
    void ReadEntries(TWalk& walk, int64_t endPosition);
    void ReadSpannedEntries(TWalk& walk, int count);
    void TakeBytes(TWalk& walk, void* buffer, size_t count);
    void ReadEntry(TWalk& walk, int index);
    // Names the item from its raw name bytes (converted, and kept apart from the names of other
    // bytes), keeping the bytes. hostKnown: the item's "version made by" comes from its central record.
    void NameItem(int index, std::string raw, bool hostKnown);
    std::string ConvertName(const std::string& raw, const TDirItem& item, bool hostKnown, bool& lossy, bool& utf8) const;
    bool OemNames() const;
    static void ParseExtraField(TDirItem& item, const std::vector<uint8_t>& field);
    static void TakeZip64Values(TDirItem& item, const std::vector<uint8_t>& data);

    bool IsLocalHeaderAt(int64_t offset, TLocalHeader* header = nullptr);
    int64_t SearchFirstLocalHeader(int64_t first);
    static bool AgreesWith(const TLocalHeader& local, const TDirItem& item);
    void CheckEntryBounds();
    void CheckOverlaps();
    void MarkOverlappedRebuiltEntries();

    bool TakeLocalEntry(int64_t offset, int64_t& next);
    bool StartsRecord(uint32_t signature, int64_t remaining) const;
    bool IsScannedRecordBoundary(int64_t offset);
    bool HoldsLocalEntryBefore(int64_t end);
    bool IsWholeLocalEntryAt(int64_t offset, std::vector<int64_t>& streamed);
    bool DescriptorEndsStreamedEntry(std::vector<int64_t>& starts, int64_t end);
    void BuildDescriptorIndex(TZADescriptorIndex& index, int64_t from);

    // Shared by the searches of one rebuild.
    std::unique_ptr<TZAScanBuffer> scan_;
    std::unique_ptr<TZADescriptorIndex> descriptors_;
};
