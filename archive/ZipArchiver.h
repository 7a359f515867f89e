// The archiver component: one open ZIP archive (a file, a set of volumes or an archive in memory),
// its options, its events and the operations run on it.
//
// Files of this unit:
//   ZipArchiver.cpp  creation, properties, options, open and close
//   ZAArchiveFile.cpp the archive's own file: regular files only, held by a lock while writable
//   ZAVolumes.cpp    volume numbering, volume names, switching volumes, split/spanned detection
//   ZAEvents.cpp     event dispatchers and the default prompts (through rtl::Dialogs())
//   ZADirWriter.cpp  the volume-aware writes (and TZADirManager::SaveDirectory)
//   ZACompress.cpp   compression and encryption of one entry's data
//   ZAUpdate.cpp     stored names and batches of changes: add, update, delete
//   ZACommit.cpp     applying a batch to the archive (CommitUpdate)
//   ZAExtract.cpp, ZAProcess.cpp  decompression, selection and extraction of entries
#pragma once

#include <cstdint>
#include <ctime>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "archive/ZADirManager.h"

namespace rtl {
class TStream;
class TMemoryStream;
class TFileStream;
}  // namespace rtl

struct CipherKeys;
class EZAException;
class TZABaseArchiver;
class TZAExtractFolders;
class TZAStagedFiles;

// ---------------------------------------------------------------------------------------------
// Enumerations (values in declared order, from 0)

enum TZACompressionLevel : uint8_t { clNone, clFastest, clNormal, clMax };
enum TZASpanningMode : uint8_t { smNone, smSpanning, smSplitting };
enum TZip64Mode : uint8_t { zmDisabled, zmAuto, zmAlways };
enum TZAStorePathMode : uint8_t { spNoPath, spRelativePath, spFullPath, spFullPathWithDrive };
enum TZAFileShareMode : uint8_t {
    smShareCompat, smShareExclusive, smShareDenyWrite, smShareDenyRead, smShareDenyNone
};
enum TZAOverwriteMode : uint8_t { omPrompt, omAlways, omNever, omIfNewer, omIfOlder };
enum TZAVolumeSize : uint8_t {
    vsAutoDetect, vsCustom, vs1_44MB, vs100MB, vs200MB, vs250MB, vs600MB, vs650MB, vs700MB, vs4700MB
};
enum TZAProcessOperation : uint8_t {
    poAdd, poMove, poDelete, poUpdate, poExtract, poTest, poRename, poChangeAttr, poChangeComment, poMakeSFX
};
enum TZAProgressPhase : uint8_t { ppStart, ppProcess, ppEnd };
enum TZAAction : uint8_t { fxaRetry, fxaIgnore, fxaAbort };

// File modes of the open archive (TZABaseArchiver::OpenMode).
constexpr uint16_t ZA_MODE_CREATE = 0xFFFF;     // create (or empty) the file
constexpr uint16_t ZA_MODE_READWRITE = 34;      // read-write, others denied writing
constexpr uint16_t ZA_MODE_READONLY = 64;       // read-only, nothing denied

// ---------------------------------------------------------------------------------------------
// Persistent objects: option sets that copy themselves through Assign.

class TZAPersistent {
public:
    virtual ~TZAPersistent() = default;
    virtual const char* ClassName() const = 0;
    // Copies source into this object; an unlike (or missing) source raises rtl::EConvertError
    // "Cannot assign a <source class> to a <this class>".
    virtual void Assign(const TZAPersistent* source);

protected:
    void AssignError(const TZAPersistent* source) const;
};

class TZAOptions : public TZAPersistent {
public:
    TZAStorePathMode StorePath = spRelativePath;
    bool Recurse = true;
    TZAFileShareMode ShareMode = smShareDenyNone;
    TZAOverwriteMode OverwriteMode = omAlways;
    bool CreateDirs = true;
    bool ReplaceReadOnly = true;
    bool SetAttributes = true;
    int32_t SearchAttr = 10431;  // 0x28BF
    bool FlushBuffers = true;
    bool OEMFileNames = true;

    const char* ClassName() const override { return "TZAOptions"; }
    void Assign(const TZAPersistent* source) override;
};

// Which volume of an archive a stream is on, or which one is wanted.
class TZAVolumeNumberInfo {
public:
    static constexpr uint8_t vrFirst = 0;
    static constexpr uint8_t vrLast = 1;
    static constexpr uint8_t vrNumbered = 2;
    static constexpr uint8_t vrNotSet = 3;

    uint8_t VolumeRole = vrNotSet;
    int32_t VolumeNumber = -1;       // zero-based; -1 not set
    int32_t FinalVolumeNumber = -1;  // the archive's last volume; -1 not set

    bool IsFirst() const { return VolumeNumber == 0; }
    void SetFirst(bool value);
    bool IsLast() const;
    void SetLast(bool value);
    void SetNumber(int32_t number);
    bool SameVolume(const TZAVolumeNumberInfo& other) const;
    void Reset();
};

class TZASpanningOptions : public TZAPersistent {
public:
    static constexpr int64_t MinCustomVolumeSize = 65536;

    bool AdvancedNaming = true;
    int64_t FirstVolumeSize = 0;
    TZAVolumeSize VolumeSize = vsAutoDetect;

    int64_t CustomVolumeSize() const { return customVolumeSize_; }
    void SetCustomVolumeSize(int64_t value);
    // Size limit of the volume info names: FirstVolumeSize for the first volume when positive,
    // otherwise the limit of VolumeSize (-1: no limit, the free space decides).
    int64_t VolumeSizeFor(const TZAVolumeNumberInfo& info) const;
    // Limit in bytes of one TZAVolumeSize value.
    int64_t LimitOf(TZAVolumeSize size) const;

    const char* ClassName() const override { return "TZASpanningOptions"; }
    void Assign(const TZAPersistent* source) override;

private:
    int64_t customVolumeSize_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Search results (selection of entries by mask)

struct TInternalSearchRec {
    int32_t Index = 0;            // where the next search step starts; after a hit, the hit
    std::string Mask;             // in archive form ("/" separators), at most 259 bytes
    bool HasWildcards = false;
    int32_t SearchAttr = 0;
    std::string ExclusionMask;
    bool UseMaskLists = false;    // test against FileMasks/ExclusionMasks instead of Mask
};

struct TZAArchiveItem {
    std::string FileName;         // file-name part, backslash form
    std::string FolderPath;       // folder part with its trailing backslash
    int64_t PackedSize = 0;
    int64_t UnpackedSize = 0;
    double RatePercent = 0;
    bool IsEncrypted = false;
    uint16_t FileDate = 0;
    uint16_t FileTime = 0;
    uint32_t Crc32 = 0;
    uint32_t Attributes = 0;
    std::string Comment;
    TInternalSearchRec Search;
};

// ---------------------------------------------------------------------------------------------
// Events. Sender is the archiver; reference parameters are the ones a handler may change.

using TZANotifyEvent = std::function<void(TZABaseArchiver* Sender)>;
using TZAFileProgressEvent = std::function<void(TZABaseArchiver* Sender, const std::string& FileName,
    double Progress, TZAProcessOperation Operation, TZAProgressPhase ProgressPhase, bool& Cancel)>;
using TZAProgressEvent = std::function<void(TZABaseArchiver* Sender, double Progress,
    TZAProcessOperation Operation, TZAProgressPhase ProgressPhase, bool& Cancel)>;
using TZACopyTempFileProgressEvent = std::function<void(TZABaseArchiver* Sender, double Progress,
    TZAProgressPhase ProgressPhase, bool& Cancel)>;
using TZAConfirmOverwriteEvent = std::function<void(TZABaseArchiver* Sender,
    const std::string& SourceFileName, std::string& DestFileName, bool& Confirm)>;
using TZAConfirmProcessFileEvent = std::function<void(TZABaseArchiver* Sender,
    const std::string& FileName, TZAProcessOperation Operation, bool& Confirm)>;
using TZAOnPasswordEvent = std::function<void(TZABaseArchiver* Sender, const std::string& FileName,
    std::string& NewPassword, bool& SkipFile)>;
using TZAProcessFileFailureEvent = std::function<void(TZABaseArchiver* Sender,
    const std::string& FileName, TZAProcessOperation Operation, int32_t NativeError, int32_t ErrorCode,
    const std::string& ErrorMessage, TZAAction& Action)>;
using TZAOnRequestBlankVolumeEvent = std::function<void(TZABaseArchiver* Sender, int32_t VolumeNumber,
    std::string& VolumeFileName, bool& Cancel)>;
using TZAOnRequestFirstVolumeEvent =
    std::function<void(TZABaseArchiver* Sender, std::string& VolumeFileName, bool& Cancel)>;
using TZAOnRequestLastVolumeEvent =
    std::function<void(TZABaseArchiver* Sender, std::string& VolumeFileName, bool& Cancel)>;
using TZAOnRequestMiddleVolumeEvent = std::function<void(TZABaseArchiver* Sender, int32_t VolumeNumber,
    std::string& VolumeFileName, bool& Cancel)>;
using TZAOnDiskFullEvent = std::function<void(TZABaseArchiver* Sender, int32_t VolumeNumber,
    const std::string& VolumeFileName, bool& Cancel)>;
using TZAOnStoreFileEvent = std::function<void(TZABaseArchiver* Sender, std::string& FileName,
    uint32_t& FileAttr, std::string& Comment, const std::string& OriginalFileName)>;
using TZAOnExtractFileEvent = std::function<void(TZABaseArchiver* Sender, std::string& FileName,
    uint32_t& FileAttr, const std::string& Comment)>;
using TZAHiddenEvent =
    std::function<void(TZABaseArchiver* Sender, uint8_t Kind, int32_t A, int32_t B, int32_t C)>;

// ---------------------------------------------------------------------------------------------
// The archiver

class TZABaseArchiver : public IZADirHost {
public:
    // owner: the component that owns this one (opaque here; the form layer manages ownership).
    explicit TZABaseArchiver(void* owner = nullptr);
    virtual ~TZABaseArchiver();
    TZABaseArchiver(const TZABaseArchiver&) = delete;
    TZABaseArchiver& operator=(const TZABaseArchiver&) = delete;

    // --- Component -----------------------------------------------------------------------------
    void* Owner = nullptr;
    std::string Name;  // prefixes the messages of the archiver's exceptions

    // --- Published properties --------------------------------------------------------------------
    bool ExtractCorruptedFiles = false;
    TZACompressionLevel CompressionLevel() const { return compressionLevel_; }
    void SetCompressionLevel(TZACompressionLevel value);
    uint8_t CompressionMode() const { return compressionMode_; }
    void SetCompressionMode(uint8_t value);  // above 9: code 5, nothing changes
    std::string CurrentVersion() const;      // "2.67 "
    void SetCurrentVersion(const std::string& value);  // no effect
    std::string Password;
    std::string FileName;  // the archive (the last volume of a split or spanned archive)
    std::string BaseDir;   // target folder of extraction
    std::string TempDir;   // folder of temporary files
    TZASpanningMode SpanningMode() const { return spanningMode_; }
    // Raises rtl::Exception "Cannot set spanning mode on open archive" while an archive is open.
    void SetSpanningMode(TZASpanningMode value);
    TZASpanningOptions& SpanningOptions() { return *spanningOptions_; }
    const TZASpanningOptions& SpanningOptions() const { return *spanningOptions_; }
    void SetSpanningOptions(const TZASpanningOptions& value) { spanningOptions_->Assign(&value); }
    std::string SFXStub;
    TZAOptions& Options() { return *options_; }
    const TZAOptions& Options() const { return *options_; }
    void SetOptions(const TZAOptions& value) { options_->Assign(&value); }
    const std::vector<std::string>& FileMasks() const { return fileMasks_; }
    void SetFileMasks(const std::vector<std::string>& value) { fileMasks_ = value; }
    const std::vector<std::string>& ExclusionMasks() const { return exclusionMasks_; }
    void SetExclusionMasks(const std::vector<std::string>& value) { exclusionMasks_ = value; }
    const std::vector<std::string>& NoCompressionMasks() const { return noCompressionMasks_; }
    void SetNoCompressionMasks(const std::vector<std::string>& value) { noCompressionMasks_ = value; }
    bool InMemory() const { return inMemory_; }
    void SetInMemory(bool value);
    TZip64Mode Zip64Mode = zmAuto;  // published by TZipArchiver

    // --- Events -------------------------------------------------------------------------------
    TZAFileProgressEvent OnFileProgress;
    TZAProgressEvent OnOverallProgress;
    TZACopyTempFileProgressEvent OnCopyTempFileProgress;
    TZAConfirmOverwriteEvent OnConfirmOverwrite;
    TZAConfirmProcessFileEvent OnConfirmProcessFile;
    TZANotifyEvent AfterOpen;
    TZAOnPasswordEvent OnPassword;
    TZAProcessFileFailureEvent OnProcessFileFailure;
    TZAOnRequestBlankVolumeEvent OnRequestBlankVolume;
    TZAOnRequestFirstVolumeEvent OnRequestFirstVolume;
    TZAOnRequestLastVolumeEvent OnRequestLastVolume;
    TZAOnRequestMiddleVolumeEvent OnRequestMiddleVolume;
    TZAOnDiskFullEvent OnDiskFull;
    TZAOnStoreFileEvent OnStoreFile;
    TZAOnExtractFileEvent OnExtractFile;
    TZAHiddenEvent HiddenEvent;  // unpublished; nothing sets it

    // --- State shared with the directory manager and the processing code -----------------------
    int32_t PendingUpdateCount = 0;  // nesting count of a batch of changes
    bool IsOpen = false;
    bool UsesZipFormat = false;
    std::string CurrentVolumeName;   // file of the volume ArchiveStream is on
    TZAVolumeNumberInfo VolumeInfo;  // which volume ArchiveStream is on
    uint16_t OpenMode = 0;           // ZA_MODE_CREATE, ZA_MODE_READWRITE or ZA_MODE_READONLY
    bool RebuildDamagedDirectory = true;
    std::unique_ptr<TZADirManager> DirManager;
    int16_t CompressionMethod = -1;  // method of new entries: 8, 0, or -1 (no method)
    std::unique_ptr<rtl::TStream> ArchiveStream;

    // Working fields of processing and extraction.
    bool CancelRequested = false;
    bool ProgressEnabled = true;
    int32_t ProcessedFileNo = 0;
    int32_t ProcessedFileCount = 0;
    double FileBytesDone = 0;
    double FileBytesTotal = 0;
    bool SkipCurrentFile = false;

    // --- What the directory manager sees of the archiver (ZipArchiver.cpp) ----------------------
    bool DirSpanned() const override { return spanningMode_ != smNone; }
    bool DirRebuildDamaged() const override { return RebuildDamagedDirectory; }
    bool DirOemNames() const override { return options_->OEMFileNames; }
    bool DirUsesZipFormat() const override { return UsesZipFormat; }
    bool DirReadOnly() const override { return OpenMode == ZA_MODE_READONLY; }
    std::string DirArchiverName() const override { return Name; }
    rtl::TStream* DirArchiveStream() override { return ArchiveStream.get(); }
    void DirOpenVolume(int32_t volumeNumber, int32_t finalVolumeNumber) override;
    void DirMarkFirstVolume() override { VolumeInfo.SetFirst(true); }
    std::string DirSFXStub() const override { return SFXStub; }
    int64_t DirFirstVolumeLimit() const override;

    // --- Open and close (ZipArchiver.cpp) --------------------------------------------------------
    // Opens FileName (read-write when possible, read-only otherwise), or creates it when missing;
    // with InMemory creates an archive in memory.
    void OpenArchive();
    // mode: ZA_MODE_CREATE creates; other modes open an existing archive.
    void OpenArchiveWithMode(uint16_t mode);
    // Finishes closing in every case, then raises the first error of the commit or of writing the
    // empty directory.
    void CloseArchive();
    void ExtractFiles(const std::string& FileMask, int32_t SearchAttr, const std::string& ExclusionMask);

    void CheckActive() const;   // code 13 when no archive is open
    bool InUpdate() const { return PendingUpdateCount > 0; }
    void CheckNoUpdate() const; // code 26 inside a batch
    void DropPendingUpdate();

    static void LockArchivers();
    static void UnlockArchivers();
    static bool IsExeName(const std::string& name);

    virtual void UpdateCompressionMethod();

    // --- Event dispatchers (ZAEvents.cpp) --------------------------------------------------------
    virtual void DoOnOverallProgress(double Progress, TZAProcessOperation Operation,
        TZAProgressPhase ProgressPhase, bool& Cancel);
    virtual void DoOnFileProgress(const std::string& FileName, double Progress,
        TZAProcessOperation Operation, TZAProgressPhase ProgressPhase, bool& Cancel);
    virtual void DoOnCopyTempFileProgress(double Progress, TZAProgressPhase ProgressPhase, bool& Cancel);
    virtual void DoOnConfirmOverwrite(const std::string& SourceFileName, std::string& DestFileName,
        bool& Confirm);
    virtual void DoOnConfirmProcessFile(const std::string& FileName, TZAProcessOperation Operation,
        bool& Confirm);
    virtual void DoOnPassword(const std::string& FileName, std::string& NewPassword, bool& SkipFile);
    virtual void DoOnProcessFileFailure(const std::string& FileName, TZAProcessOperation Operation,
        int32_t NativeError, int32_t ErrorCode, const std::string& ErrorMessage, TZAAction& Action);
    // Volume numbers are zero-based here; handlers see them counted from 1. The name given is
    // FileName; the dispatcher forms the volume's name from it.
    virtual void DoOnRequestBlankVolume(int32_t VolumeNumber, std::string& VolumeFileName, bool& Cancel);
    virtual void DoOnRequestFirstVolume(std::string& VolumeFileName, bool& Cancel);
    virtual void DoOnRequestLastVolume(std::string& VolumeFileName, bool& Cancel);
    virtual void DoOnRequestMiddleVolume(int32_t VolumeNumber, std::string& VolumeFileName, bool& Cancel);
    virtual void DoOnDiskFull(int32_t VolumeNumber, const std::string& VolumeFileName, bool& Cancel);
    virtual void DoHiddenEvent(uint8_t Kind, int32_t A, int32_t B, int32_t C);
    virtual void DoOnStoreFile(std::string& FileName, uint32_t& FileAttr, std::string& Comment,
        const std::string& OriginalFileName);
    virtual void DoOnExtractFile(std::string& FileName, uint32_t& FileAttr, const std::string& Comment);
    void DoAfterOpen();

    // --- Volumes (ZAVolumes.cpp) -----------------------------------------------------------------
    // Turns the archive's file name into the name of volume Number (-1: the last volume).
    void VolumeFileName(std::string& Name, int32_t Number, bool CheckExists) const;
    // Frees ArchiveStream and opens name with OpenMode (ZA_MODE_CREATE creates or empties it).
    void OpenVolumeStream(const std::string& name);

    // --- The archive's own file (ZAArchiveFile.cpp) ----------------------------------------------
    // Code 33 when name is there but is no regular file (a folder, device, FIFO or socket), which
    // no open may read as an archive or replace.
    void CheckArchiveIsFile(const std::string& name) const;
    // Opens name with OpenMode. A mode that writes holds the file with the writers' lock until the
    // stream is freed; code 36 at once when another open holds it.
    std::unique_ptr<rtl::TFileStream> OpenArchiveFile(const std::string& name);
    // Opens name for writing and holds it with the writers' lock, checked to be the file the name
    // still leads to; with create a missing file is made first (made tells). Code 36 while another
    // writer holds it, 33 when it is no regular file.
    std::unique_ptr<rtl::TFileStream> HoldArchiveFile(const std::string& name, bool create, bool& made);
    // The name of the file the open archive stream reads: the current volume's, else FileName.
    const std::string& ArchiveFileName() const { return CurrentVolumeName.empty() ? FileName : CurrentVolumeName; }
    // True when path is the open archive's own file, whatever the spelling of either name.
    bool IsArchiveFile(const std::string& path) const;
    // True when name leads (through its links) to the file open as file.
    static bool NameLeadsTo(const std::string& name, const rtl::TFileStream& file);
    // The archive file becomes a copy of source, under the writers' lock (code 36 while another
    // writer holds it), in one rename; the next open of FileName takes the new file as it is held.
    void ReplaceArchiveFile(rtl::TStream& source);
    // Bytes available on the drive of path.
    static int64_t DriveFreeSpace(const std::string& path);
    // True for drives A: and B: and for drives the platform reports as removable.
    static bool IsRemovableDrive(const std::string& path);
    // Makes the volume info names the archive stream; code 45 when the user cancels.
    void OpenVolume(const TZAVolumeNumberInfo& info);
    // Sets SpanningMode after a volume was opened and its end record searched.
    void DetectSpanningMode();

    // --- Volume-aware writes (ZADirWriter.cpp) ---------------------------------------------------
    // Writes Count bytes to Stream (or into Buffer), moving on to the next volume when the current
    // one is full; Stream then is the new volume's stream. KeepTogether: bytes that must follow on
    // the same volume (-1 none). Returns the bytes written.
    int32_t WriteWithVolumes(const void* Data, int32_t Count, rtl::TMemoryStream* Buffer,
        int32_t KeepTogether, TZAVolumeNumberInfo& Info, rtl::TStream*& Stream);
    // Copies Count bytes (-1: the rest) of Source through WriteWithVolumes. Returns 0.
    int32_t CopyWithVolumes(rtl::TStream& Source, rtl::TStream*& Stream, bool ReportProgress,
        rtl::TMemoryStream* Buffer, int32_t KeepTogether, int64_t Count, bool& Cancel,
        TZAVolumeNumberInfo& Info);
    // WriteWithVolumes that raises code 46 unless all Count bytes were written.
    void WriteOrFail(const void* Data, int32_t Count, rtl::TMemoryStream* Buffer, int32_t KeepTogether,
        TZAVolumeNumberInfo& Info, rtl::TStream*& Stream);

    // Compression and updating (ZACompress.cpp, ZAUpdate.cpp)
    // (CommitUpdate is in ZACommit.cpp.)
    // Writes Source (from its start to its size) as the data of Item at Dest's position: stored or
    // deflated block by block, encrypted behind a 12-byte header when Item.Password is set. Sets the
    // entry's CRC-32, sizes and ZIP64 values. False when the user cancelled; code 34 for a short read
    // or write, 41 when the sizes need ZIP64 and Zip64Mode is zmDisabled; ECompressionError from zlib.
    bool CompressFile(rtl::TStream& Source, rtl::TStream& Dest, TDirItem& Item);
    // The name a disk file is stored under ('/' separators, never absolute, no "." or ".."
    // components), or "" when nothing is left of it.
    static std::string MakeStoredName(const std::string& FileName, const std::string& BaseDir,
        TZAStorePathMode Mode);
    // Starts a batch (or nests one more level); the outermost start takes the directory as stored
    // into DirManager->BackupDir.
    void BeginUpdate();
    // Ends one level of a batch; ending the outermost one commits it.
    void EndUpdate();
    // Adds a disk file (a folder becomes a folder entry) inside a batch, as poAdd or poMove (the
    // file is deleted once the commit has written it). Returns the entry's index, or -1 when the
    // path gives no stored name. An entry of the same name is replaced (poUpdate), unless this batch
    // already fills it from another file (names differing in case or a trailing dot): that is
    // refused with code 23 through OnProcessFileFailure, and -1 when it says to go on.
    int32_t AddFile(const std::string& Path, TZAProcessOperation Operation = poAdd);
    // Adds an entry whose data come from Source (read from its start) under the stored name Name.
    int32_t AddStream(const std::string& Name, std::shared_ptr<rtl::TStream> Source);
    // Fills entry Index for a new write of the file Path (FromDisk: date and attributes of the file).
    void FillItemFromFile(int32_t Index, const std::string& Path, bool FromDisk);
    // Refreshes entry Index from the disk file Path (code 25 outside a batch, 24 bad index).
    TDirItem& UpdateItem(int32_t Index, const std::string& Path);
    // The poUpdate step of ProcessFiles: refreshes the entry from Folder + Name when the options and
    // dates say so.
    void UpdateItemFromDisk(int32_t Index, const std::string& Name, const std::string& Folder);
    // Applies a pending batch of changes; returns at once when none is pending. The archive file is
    // replaced only by a complete new archive: on any failure, cancel or abort it stays as it was.
    void CommitUpdate();
    // Removes entry Index from the directory inside a batch (code 22 outside one, 21 bad index).
    void DeleteItem(int32_t Index);
    // Removes the entries at Indexes (any order, repeats allowed) in one pass; codes as DeleteItem,
    // and then nothing is removed.
    void DeleteItems(std::vector<int32_t> Indexes);
    void DeleteStep(int32_t Index) { DeleteItem(Index); }
    // Sets every field of entry Index for a new write of Source under the listed name Listed.
    void FillEntry(int32_t Index, const std::string& Listed, const std::string& Source, bool IsDirectory,
        int32_t DosTime, uint32_t Attributes);
    // Code 33 for a name the OEM code page cannot hold when names are stored in it.
    void CheckStorableName(const std::string& Stored) const;
    // Fills entry Found (-1: a new one at the end of the directory) as FillEntry does, for a new write
    // of Source under the name Stored, and returns its index. An entry listed under that name keeps the
    // bytes it stores the name with; otherwise the name is stored as given (code 33 as
    // CheckStorableName).
    int32_t FillNamedEntry(int32_t Found, const std::string& Stored, const std::string& Source, bool IsDirectory,
        int32_t DosTime, uint32_t Attributes);
    // False when this batch fills Entry from another source than the file Path and the failure
    // event (code 23) says to go on without Path; its abort raises the refusal.
    bool MayFillFrom(const TDirItem& Entry, const std::string& Path, TZAProcessOperation Operation);
    // End of compression and updating

    // --- Selection and processing (ZAProcess.cpp) ------------------------------------------------
    bool FindFirst(const std::string& Mask, TZAArchiveItem& Item, int32_t SearchAttr,
        const std::string& ExclusionMask);
    bool FindNext(TZAArchiveItem& Item);
    bool FindNextMatch(TZAArchiveItem& Item);
    bool MatchesMasks(int32_t Index, const TZAArchiveItem& Item) const;
    static bool AttributesMatch(uint32_t EntryAttr, uint32_t SearchAttr);
    void MarkFiles(const std::string& Mask, int32_t SearchAttr, const std::string& ExclusionMask);
    void ProcessFiles(TZAProcessOperation Op);
    void ExtractItemToFile(int32_t Index, const std::string& Name, const std::string& Folder);
    time_t FileTimeOf(int32_t dosTime);  // -1 for a time no file can have
    void TestItem(int32_t Index, const std::string& Name);
    void ExtractToStream(int32_t Index, rtl::TStream& Dest);
    std::string MakeTempFileName() const;

    // --- Decompression (ZAExtract.cpp) -----------------------------------------------------------
    // True when the entry whose local header starts at HeaderPos of Archive (of ArchiveSize bytes)
    // had its bytes written to Dest and passed the size and CRC-32 checks.
    bool DecompressFile(rtl::TStream& Archive, rtl::TStream& Dest, const TDirItem& Item, int64_t HeaderPos,
                        int64_t ArchiveSize);

    // Extraction (ZAExtract.cpp, ZAProcess.cpp)
    // Input block of one read while decompressing.
    static constexpr int64_t MaxChunk = 1048576;
    // Results of the last ProcessFiles run that a caller must not take for success: failures the
    // failure event answered with fxaIgnore, and encrypted entries skipped for want of a password.
    int32_t IgnoredFailureCount = 0;
    int32_t PasswordSkipCount = 0;
    int32_t IgnoredFailures() const { return IgnoredFailureCount; }
    int32_t PasswordSkips() const { return PasswordSkipCount; }

    // Staged extraction (ZAStagedFiles.cpp). Set, an extraction run keeps each entry's checked file,
    // synced to the disk, beside its target and changes no target; CommitStagedFiles then puts them
    // all in place. A run that is cancelled or aborted, the next run, DiscardStagedFiles and
    // CloseArchive delete the files not put in place; folders made on the way stay. Clear (the
    // default), each entry replaces its target as soon as it is checked.
    bool StageExtraction = false;
    // Puts the staged files in place in the order of their entries. One that cannot be raises
    // code 19 (46 for a full disk) with its target's name; the files after it are deleted.
    void CommitStagedFiles();
    void DiscardStagedFiles();

    // Reads the 12-byte encryption header, starts the cipher with password and compares the check
    // byte (high byte of localTime when bit 3 of localFlags is set, else of localCrc).
    bool CheckCipherHeader(rtl::TStream& Archive, const std::string& Password, CipherKeys& Keys,
        uint32_t LocalCrc, uint16_t LocalTime, uint16_t LocalFlags);
    // One mask against one name ("*.*" is "*"; a trailing "." asks for a name without extension).
    static bool MatchesMask(const std::string& Name, const std::string& Mask);
    // The volume an entry starts on, with the archive's last volume as its final number.
    TZAVolumeNumberInfo EntryVolume(const TDirItem& Item) const;
    // True when an entry name stays under the target folder: not absolute, no drive or UNC part,
    // no ".." component (with "\\" and "/" both taken as separators), not empty.
    static bool IsSafeEntryName(const std::string& Name);
    // The processing loop under the lock; returns the error that an abort ended it with.
    std::exception_ptr RunOperation(TZAProcessOperation Op);
    // One attempt at one marked entry: confirmation, progress events and the operation's step.
    void ProcessEntry(int32_t Index, TZAProcessOperation Op, const std::string& Name);
    // Whether the existing file Target may be replaced by the entry (options, overwrite prompt).
    bool MayReplaceTarget(const std::string& Name, std::string& Target, const TDirItem& Entry);
    // End of extraction block

protected:
    bool OpenedForCreate() const { return OpenMode == ZA_MODE_CREATE; }

private:
    // Open paths (ZipArchiver.cpp).
    void InternalOpen();
    void CreateNewArchive();
    void OpenPlainArchive();
    void OpenSfxArchive();
    void SearchEndRecordOnVolumes(bool spanRemovableDrives);
    void ReleaseArchive();
    void MoveMemoryArchiveToFile();

    // Volume paths (ZAVolumes.cpp).
    void OpenVolumeForWriting(const TZAVolumeNumberInfo& info);
    void OpenVolumeForReading(const TZAVolumeNumberInfo& info);
    void MoveToNextVolume(rtl::TMemoryStream* Buffer, TZAVolumeNumberInfo& Info, rtl::TStream*& Stream);
    bool HasStub(const std::string& name) const;
    void FollowArchiveStream();
    void TakeVolume(const TZAVolumeNumberInfo& info);
    bool PreviousVolumeExists(int64_t disk) const;
    int64_t EndRecordDiskNumber();

    // Event defaults (ZAEvents.cpp).
    bool AsksForDisks() const { return spanningMode_ == smSpanning; }

    // Files written by the running extraction: two entries never go into one file (names alike but
    // for case, the same name twice, folders dropped).
    std::unordered_set<std::string> extractedTargets_;
    // Entries the poDelete steps of the running ProcessFiles took: checked as DeleteItem checks
    // them, and removed together when the run ends, so a run costs one pass over the directory.
    std::vector<int32_t> deletedInRun_;
    void TakeForDeletion(int32_t Index);
    // Codes 22 and 21 of DeleteItem.
    void CheckDeletable(int32_t Index);
    // Within one run: the folders held open for entries, and the last entry time turned into a
    // file time; entries of one folder and one time are the rule, and each costs calls.
    std::shared_ptr<TZAExtractFolders> folders_;
    // The files of a staged run, until they are committed or discarded.
    std::unique_ptr<TZAStagedFiles> staged_;
    int32_t convertedDosTime_ = 0;
    time_t convertedTime_ = -1;
    // The size of a single-file archive, taken once per extraction or test run (-1: not taken, or
    // outside a run, where each entry takes it).
    int64_t runArchiveSize_ = -1;
    bool inRun_ = false;
    int64_t ArchiveSizeForEntry();
    bool endRecordFound_ = false;  // the last search of the open paths found a real end record
    // OpenArchive creates only a missing file: one another writer made and filled meanwhile raises
    // TArchiveAppeared, and the open starts again as for an existing file.
    bool createMissingOnly_ = false;
    struct TArchiveAppeared {};
    // OpenArchive fell back to read-only because another writer holds the archive.
    bool heldByAnother_ = false;
    // What the open did to the archive file of a new archive: only a file it made or emptied is
    // finished as the empty archive on close; an empty file that was there stays as it is.
    enum TFileMadeByOpen { kFileKept, kFileMade, kFileEmptied };
    TFileMadeByOpen fileMadeByOpen_ = kFileKept;
    // A batch was dropped or taken back since the open: a file the open made and no commit filled
    // is then removed on close, so a failed add leaves no archive where none was.
    bool updateAbandoned_ = false;
    // The file ReplaceArchiveFile wrote, held under the writers' lock until the next open takes it.
    std::unique_ptr<rtl::TFileStream> heldFile_;
    void EmptyNewArchive(rtl::TFileStream& file, bool made);
    void CheckOpenedIsFile(const rtl::TFileStream& file, const std::string& name) const;
    void RemoveUnfilledArchive();
    void FinishNewArchive();
    uint16_t ChooseOpenMode() const;
    void OpenHeldArchiveForReading(const EZAException& held);
    TZACompressionLevel compressionLevel_ = clFastest;
    uint8_t compressionMode_ = 1;
    TZASpanningMode spanningMode_ = smNone;
    bool inMemory_ = false;
    std::unique_ptr<TZASpanningOptions> spanningOptions_;
    std::unique_ptr<TZAOptions> options_;
    std::vector<std::string> fileMasks_;
    std::vector<std::string> exclusionMasks_;
    std::vector<std::string> noCompressionMasks_;

};

class TZipArchiver : public TZABaseArchiver {
public:
    explicit TZipArchiver(void* owner = nullptr);
    ~TZipArchiver() override;
    void UpdateCompressionMethod() override;
};
