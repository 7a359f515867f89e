// The archiver component: creation, properties, options, opening and closing.
#include "archive/ZipArchiver.h"

#include <exception>
#include <mutex>

#include "archive/ZAExcept.h"
#include "archive/ZAStagedFiles.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace {

// The library's one lock: processing runs one archiver at a time in the process. Recursive, so an
// event handler may start another operation of the same thread.
std::recursive_mutex& ArchiverLock()
{
    static std::recursive_mutex lock;
    return lock;
}

// Restores a flag of the open paths however they are left.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag) : flag_(flag), saved_(flag) {}
    ~TFlagGuard() { flag_ = saved_; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& flag_;
    bool saved_;
};

// The code of an open refused because another writer holds the archive (ZAArchiveFile.cpp).
constexpr int32_t kArchiveHeld = 36;

bool HasFileNamePart(const std::string& fileName)
{
    return !rtl::ExtractFileName(fileName).empty();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Persistent objects

void TZAPersistent::Assign(const TZAPersistent* source)
{
    AssignError(source);
}

void TZAPersistent::AssignError(const TZAPersistent* source) const
{
    const std::string sourceName = source != nullptr ? source->ClassName() : "nil";
    throw rtl::EConvertError("Cannot assign a " + sourceName + " to a " + ClassName());
}

void TZAOptions::Assign(const TZAPersistent* source)
{
    const auto* other = dynamic_cast<const TZAOptions*>(source);
    if (other == nullptr) {
        TZAPersistent::Assign(source);
        return;
    }
    StorePath = other->StorePath;
    Recurse = other->Recurse;
    ShareMode = other->ShareMode;
    OverwriteMode = other->OverwriteMode;
    CreateDirs = other->CreateDirs;
    ReplaceReadOnly = other->ReplaceReadOnly;
    SetAttributes = other->SetAttributes;
    SearchAttr = other->SearchAttr;
    FlushBuffers = other->FlushBuffers;
    OEMFileNames = other->OEMFileNames;
}

// ---------------------------------------------------------------------------------------------
// Creation and destruction

TZABaseArchiver::TZABaseArchiver(void* owner)
    : Owner(owner),
      spanningOptions_(std::make_unique<TZASpanningOptions>()),
      options_(std::make_unique<TZAOptions>())
{
    SetCompressionLevel(clFastest);
}

TZABaseArchiver::~TZABaseArchiver()
{
    try {
        CloseArchive();
    } catch (...) {
        // A destructor cannot report; the archive is closed either way.
    }
}

TZipArchiver::TZipArchiver(void* owner) : TZABaseArchiver(owner)
{
    UsesZipFormat = true;
    Zip64Mode = zmDisabled;
    UpdateCompressionMethod();
}

TZipArchiver::~TZipArchiver()
{
    // Close while the object is still a TZipArchiver, so its own overrides take part.
    try {
        CloseArchive();
    } catch (...) {
    }
}

void TZABaseArchiver::UpdateCompressionMethod()
{
    CompressionMethod = -1;
}

void TZipArchiver::UpdateCompressionMethod()
{
    CompressionMethod = CompressionMode() != 0 ? 8 : 0;
}

// ---------------------------------------------------------------------------------------------
// Properties

void TZABaseArchiver::SetCompressionLevel(TZACompressionLevel value)
{
    static constexpr uint8_t kModeOfLevel[] = {0, 1, 6, 9};
    compressionLevel_ = value;
    compressionMode_ = kModeOfLevel[value <= clMax ? value : clNone];
    UpdateCompressionMethod();
}

void TZABaseArchiver::SetCompressionMode(uint8_t value)
{
    if (value > 9)
        throw EZAException::CreateWithCode(5, this);
    compressionMode_ = value;
    if (value == 0)
        compressionLevel_ = clNone;
    else if (value <= 3)
        compressionLevel_ = clFastest;
    else if (value <= 6)
        compressionLevel_ = clNormal;
    else
        compressionLevel_ = clMax;
    UpdateCompressionMethod();
}

std::string TZABaseArchiver::CurrentVersion() const
{
    // Fixed text: the version number always with "." whatever the locale, then an empty edition.
    return "2.67 ";
}

void TZABaseArchiver::SetCurrentVersion(const std::string&) {}

void TZABaseArchiver::SetSpanningMode(TZASpanningMode value)
{
    if (IsOpen)
        throw rtl::Exception("Cannot set spanning mode on open archive");
    spanningMode_ = value;
}

void TZABaseArchiver::SetInMemory(bool value)
{
    if (value == inMemory_)
        return;
    if (IsOpen) {
        if (inMemory_)
            MoveMemoryArchiveToFile();
        else {
            CloseArchive();
            inMemory_ = true;
            OpenArchive();
        }
    }
    inMemory_ = value;
}

// The in-memory archive becomes the file FileName: the archive is finished in memory first (so a
// new, empty one becomes a valid empty archive rather than a zero-byte file), written beside the
// file FileName leads to and renamed over it under the writers' lock, then opened from there.
void TZABaseArchiver::MoveMemoryArchiveToFile()
{
    if (FileName.empty())
        throw EZAException::CreateWithCode(29, this);
    CheckArchiveIsFile(FileName);
    CommitUpdate();
    FinishNewArchive();
    ReplaceArchiveFile(*ArchiveStream);
    CloseArchive();
    inMemory_ = false;
    try {
        OpenArchive();
    } catch (...) {
        heldFile_.reset();  // an open that fails lets go of the new file
        throw;
    }
}

// ---------------------------------------------------------------------------------------------
// State checks and the library lock

void TZABaseArchiver::CheckActive() const
{
    if (!IsOpen)
        throw EZAException::CreateWithCode(13, this);
}

void TZABaseArchiver::CheckNoUpdate() const
{
    if (InUpdate())
        throw EZAException::CreateWithCode(26, this);
}

void TZABaseArchiver::DropPendingUpdate()
{
    if (PendingUpdateCount > 0) {
        PendingUpdateCount = 0;
        updateAbandoned_ = true;
        // The dropped changes leave the directory in memory as the archive file holds it.
        if (DirManager)
            DirManager->CurrentDir.CopyFrom(DirManager->BackupDir);
    }
}

void TZABaseArchiver::LockArchivers()
{
    ArchiverLock().lock();
}

void TZABaseArchiver::UnlockArchivers()
{
    ArchiverLock().unlock();
}

bool TZABaseArchiver::IsExeName(const std::string& name)
{
    return rtl::Pos(".exe", rtl::LowerCase(rtl::ExtractFileExt(name))) > 0;
}

// ---------------------------------------------------------------------------------------------
// Directory manager host

void TZABaseArchiver::DirOpenVolume(int32_t volumeNumber, int32_t finalVolumeNumber)
{
    TZAVolumeNumberInfo info;
    info.FinalVolumeNumber = finalVolumeNumber;
    info.SetNumber(volumeNumber);
    // The loader has learnt the number of the last volume; the current one may be it.
    VolumeInfo.FinalVolumeNumber = finalVolumeNumber;
    if (VolumeInfo.VolumeRole == TZAVolumeNumberInfo::vrLast)
        VolumeInfo.VolumeNumber = finalVolumeNumber;
    OpenVolume(info);
}

int64_t TZABaseArchiver::DirFirstVolumeLimit() const
{
    TZAVolumeNumberInfo first;
    first.SetFirst(true);
    return spanningOptions_->VolumeSizeFor(first);
}

// ---------------------------------------------------------------------------------------------
// Opening

// Create for a missing file (or in memory); read-write when the file may be written, else read-only.
// An empty file is what a writer that is making the archive (or was killed making it) leaves: it
// holds nothing to lose and is made anew like a missing one, once a batch is committed to it.
uint16_t TZABaseArchiver::ChooseOpenMode() const
{
    if (inMemory_ || !rtl::FileExists(FileName))
        return ZA_MODE_CREATE;
    try {
        rtl::TFileStream probe(FileName, rtl::fmOpenReadWrite);
    } catch (const rtl::EStreamError&) {
        return ZA_MODE_READONLY;
    }
    return rtl::FileSizeOf(FileName) == 0 ? ZA_MODE_CREATE : ZA_MODE_READWRITE;
}

// An archive another writer holds is opened read-only, so reading it is never held up; a batch on
// it is then refused with the holder's code (BeginUpdate).
void TZABaseArchiver::OpenArchive()
{
    if (!inMemory_ && !HasFileNamePart(FileName))
        throw EZAException::CreateWithCode(9, this);
    for (int attempt = 1;; ++attempt) {
        const uint16_t mode = ChooseOpenMode();
        try {
            TFlagGuard restore(createMissingOnly_);
            createMissingOnly_ = mode == ZA_MODE_CREATE && attempt < 3;
            OpenArchiveWithMode(mode);
            return;
        } catch (const TArchiveAppeared&) {
            continue;  // another writer made the file meanwhile: open it as it now is
        } catch (const EZAException& e) {
            if (e.NativeError != kArchiveHeld || mode != ZA_MODE_READWRITE)
                throw;
            OpenHeldArchiveForReading(e);
            return;
        }
    }
}

// A file another writer holds may be half made: when it cannot be read, the holder is the reason.
void TZABaseArchiver::OpenHeldArchiveForReading(const EZAException& held)
{
    try {
        OpenArchiveWithMode(ZA_MODE_READONLY);
    } catch (const std::exception&) {
        throw held;
    }
    heldByAnother_ = true;
}

void TZABaseArchiver::OpenArchiveWithMode(uint16_t mode)
{
    if (!inMemory_ && !HasFileNamePart(FileName))
        throw EZAException::CreateWithCode(10, this);
    if (!inMemory_)
        CheckArchiveIsFile(FileName);
    if (mode != ZA_MODE_CREATE && !rtl::FileExists(FileName) && spanningMode_ != smSpanning &&
        !IsRemovableDrive(FileName))
        throw EZAException::CreateWithCodeFmt(12, {FileName}, this);
    if (mode != ZA_MODE_CREATE && inMemory_)
        throw EZAException::CreateWithCodeFmt(28, {FileName}, this);
    CloseArchive();
    OpenMode = mode;
    heldByAnother_ = false;
    fileMadeByOpen_ = kFileKept;
    updateAbandoned_ = false;
    try {
        InternalOpen();
    } catch (...) {
        // A failed open leaves nothing behind: no stream, no manager, the archive closed.
        IsOpen = false;
        ReleaseArchive();
        throw;
    }
    DoAfterOpen();
}

void TZABaseArchiver::InternalOpen()
{
    if (OpenMode == ZA_MODE_CREATE || inMemory_) {
        CreateNewArchive();
    } else {
        spanningMode_ = smNone;
        VolumeInfo.Reset();
        if (IsExeName(FileName))
            OpenSfxArchive();
        else
            OpenPlainArchive();
        if (!DirManager->HasEndRecord() && !RebuildDamagedDirectory)
            throw EZAException::CreateWithCode(48, this);
        DirManager->LoadDirectory();
    }
    IsOpen = true;
}

void TZABaseArchiver::CreateNewArchive()
{
    if (inMemory_) {
        ArchiveStream = std::make_unique<rtl::TMemoryStream>();
        CurrentVolumeName.clear();
    } else {
        TZAVolumeNumberInfo first;
        first.SetFirst(true);
        OpenVolume(first);
    }
    DirManager = std::make_unique<TZADirManager>(ArchiveStream.get(), this, true);
}

// Opens FileName, asking for the last disk of a spanned archive until one holds the end record.
// While searching, rebuilding is off so that only a real end record counts.
void TZABaseArchiver::OpenPlainArchive()
{
    TFlagGuard restore(RebuildDamagedDirectory);
    RebuildDamagedDirectory = false;
    SearchEndRecordOnVolumes(true);
}

void TZABaseArchiver::SearchEndRecordOnVolumes(bool spanRemovableDrives)
{
    bool found = false;
    do {
        DirManager.reset();
        VolumeInfo.Reset();
        TZAVolumeNumberInfo last;
        last.SetLast(true);
        if (spanRemovableDrives && !rtl::FileExists(FileName) && IsRemovableDrive(FileName))
            spanningMode_ = smSpanning;
        OpenVolume(last);
        DirManager = std::make_unique<TZADirManager>(ArchiveStream.get(), this, false);
        found = endRecordFound_ = DirManager->HasEndRecord();
        DetectSpanningMode();
    } while (!found && spanningMode_ != smNone);
}

// A self-extracting archive holds its directory itself, or is the first volume of a split archive
// whose last volume is the same name with ".ZIP".
void TZABaseArchiver::OpenSfxArchive()
{
    TFlagGuard restore(RebuildDamagedDirectory);
    TZAVolumeNumberInfo last;
    last.SetLast(true);
    OpenVolume(last);
    DirManager = std::make_unique<TZADirManager>(ArchiveStream.get(), this, false);
    RebuildDamagedDirectory = false;
    endRecordFound_ = DirManager->HasEndRecord();
    if (endRecordFound_) {
        DetectSpanningMode();
        return;
    }
    DirManager.reset();
    spanningMode_ = smSplitting;
    std::string lastVolume = FileName;
    VolumeFileName(lastVolume, -1, false);
    if (rtl::FileExists(lastVolume)) {
        VolumeInfo.Reset();
        OpenVolume(last);
    }
    spanningMode_ = smNone;
    SearchEndRecordOnVolumes(false);
}

// ---------------------------------------------------------------------------------------------
// Closing

void TZABaseArchiver::CloseArchive()
{
    DiscardStagedFiles();
    std::exception_ptr firstError;
    if (IsOpen) {
        try {
            CommitUpdate();
            FinishNewArchive();
        } catch (...) {
            firstError = std::current_exception();
        }
        IsOpen = false;
    }
    ReleaseArchive();
    if (firstError)
        std::rethrow_exception(firstError);
}

// A new archive with nothing added gets its (empty) central directory, the 22-byte end record, when
// it is in memory or in a file the open made or emptied; a file the open made for a batch that
// wrote nothing is removed. An empty file that was there already is left as it was.
void TZABaseArchiver::FinishNewArchive()
{
    if (!ArchiveStream || !DirManager || ArchiveStream->Size() != 0)
        return;
    const bool madeHere = inMemory_ || fileMadeByOpen_ != kFileKept;
    if (madeHere && !(updateAbandoned_ && fileMadeByOpen_ == kFileMade))
        DirManager->SaveDirectory(true, nullptr);
    else if (fileMadeByOpen_ == kFileMade)
        RemoveUnfilledArchive();
}

void TZABaseArchiver::ReleaseArchive()
{
    DirManager.reset();
    ArchiveStream.reset();
}

// ---------------------------------------------------------------------------------------------
// Extraction entry point

void TZABaseArchiver::ExtractFiles(const std::string& FileMask, int32_t SearchAttr,
                                   const std::string& ExclusionMask)
{
    CheckActive();
    CheckNoUpdate();
    MarkFiles(FileMask, SearchAttr, ExclusionMask);
    ProcessFiles(poExtract);
}
