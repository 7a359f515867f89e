// Selection of entries by mask and attributes, the processing loop with its events, extraction of
// an entry into a file under the target folder, and the test step.
#include <sys/stat.h>

#include <cerrno>

#include <algorithm>
#include <memory>
#include <system_error>

#include "archive/ZADirManager.h"
#include "archive/ZADiscardStream.h"
#include "archive/ZAExcept.h"
#include "archive/ZAScratchFile.h"
#include "archive/ZAStagedFiles.h"
#include "archive/ZAStrFunc.h"
#include "archive/ZATargetFolder.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace {

std::string Backslashed(std::string name)
{
    for (char& c : name)
        if (c == '/')
            c = '\\';
    return name;
}

std::string Slashed(std::string name)
{
    for (char& c : name)
        if (c == '\\')
            c = '/';
    return name;
}

bool EndsWith(const std::string& s, char c)
{
    return !s.empty() && s.back() == c;
}

std::string WithoutTrailingSeparator(std::string name)
{
    if (EndsWith(name, '/') || EndsWith(name, '\\'))
        name.pop_back();
    return name;
}

// Lower-cased folder part of a name in backslash form, as the non-recursive search compares it.
std::string FolderKey(const std::string& name)
{
    std::string n = Backslashed(name);
    if (EndsWith(n, '\\'))
        n.pop_back();
    return rtl::AnsiLowerCase(rtl::ExtractFilePath(n));
}

// The permission bits a new file of the entry asks for, which the umask then masks as for any new
// file: those an entry made on Unix stores for a regular file (never setuid, setgid or sticky);
// else the default, without write permission when the attributes say read-only. An entry of a
// link or any other special file becomes a plain file with the default.
mode_t NewFileMode(const TDirItem& item, uint32_t attr, bool setAttributes)
{
    constexpr mode_t kDefault = 0666;
    constexpr uint16_t kMadeOnUnix = 3;
    if (!setAttributes)
        return kDefault;
    const uint32_t unixMode = attr >> 16;
    if ((item.VersionMadeBy >> 8) == kMadeOnUnix && unixMode != 0) {
        const uint32_t type = unixMode & S_IFMT;
        return type == S_IFREG || type == 0 ? static_cast<mode_t>(unixMode & 0777) : kDefault;
    }
    return (attr & 0x01) != 0 ? kDefault & ~mode_t{0222} : kDefault;
}

// A full disk or a file-size limit is the write error whichever step met it, so that it is never
// taken for a damaged entry or a bad name; any other failure is the step's own code.
int32_t FileErrorCode(int error, int32_t stepCode)
{
    constexpr int32_t kWriteError = 46;
    return error == ENOSPC || error == EDQUOT || error == EFBIG ? kWriteError : stepCode;
}

uint32_t DosDateTime(const TDirItem& item)
{
    return (uint32_t{item.ModDate} << 16) | item.ModTime;
}

class TArchiverLock {
public:
    TArchiverLock() { TZABaseArchiver::LockArchivers(); }
    ~TArchiverLock() { TZABaseArchiver::UnlockArchivers(); }
    TArchiverLock(const TArchiverLock&) = delete;
    TArchiverLock& operator=(const TArchiverLock&) = delete;
};

}  // namespace

// ---- Selection -------------------------------------------------------------------------------------

bool TZABaseArchiver::MatchesMask(const std::string& Name, const std::string& Mask)
{
    if (Mask.empty())
        return false;
    std::string m = Mask;
    if (const size_t star = m.find("*.*"); star != std::string::npos)
        m.erase(star + 1, 2);  // "*.*" -> "*"
    const bool wantsNoExtension = EndsWith(Mask, '.');
    if (wantsNoExtension && !m.empty())
        m.pop_back();
    std::string name = Name;
    if (EndsWith(name, '.'))
        name.pop_back();
    if (!MatchWildcard(name, m, true))
        return false;
    if (!wantsNoExtension)
        return true;
    const std::string ext = rtl::ExtractFileExt(Name);
    return ext.empty() || ext == ".";
}

bool TZABaseArchiver::AttributesMatch(uint32_t EntryAttr, uint32_t SearchAttr)
{
    return (EntryAttr & 0x1E & ~SearchAttr) == 0;
}

bool TZABaseArchiver::MatchesMasks(int32_t Index, const TZAArchiveItem& Item) const
{
    const TDirItem& entry = DirManager->CurrentDir.ItemAt(Index);
    if (!Item.Search.UseMaskLists) {
        const std::string n = WithoutTrailingSeparator(entry.FileName);
        return MatchesMask(n, Item.Search.Mask) ||
               MatchesMask(rtl::ExtractFileName(Backslashed(n)), Item.Search.Mask);
    }
    const std::string n = Backslashed(entry.FileName);
    for (const std::string& mask : FileMasks()) {
        if (!MatchesMask(n, mask))
            continue;
        for (const std::string& exclusion : ExclusionMasks())
            if (MatchesMask(n, exclusion))
                return false;
        return true;
    }
    return false;
}

bool TZABaseArchiver::FindFirst(const std::string& Mask, TZAArchiveItem& Item, int32_t SearchAttr,
    const std::string& ExclusionMask)
{
    std::string mask = Mask;
    const std::string drive = rtl::ExtractFileDrive(mask);
    if (!drive.empty() && Options().StorePath != spFullPathWithDrive)
        mask.erase(0, drive.size());
    Item.Search.Mask = Slashed(mask);
    Item.Search.ExclusionMask = ExclusionMask;
    Item.Search.SearchAttr = SearchAttr;
    Item.Search.UseMaskLists = false;
    Item.Search.HasWildcards = mask.find_first_of("*?") != std::string::npos;
    Item.Search.Index = 0;
    return FindNextMatch(Item);
}

bool TZABaseArchiver::FindNext(TZAArchiveItem& Item)
{
    ++Item.Search.Index;
    return FindNextMatch(Item);
}

bool TZABaseArchiver::FindNextMatch(TZAArchiveItem& Item)
{
    if (!DirManager)
        return false;
    const TZADirArray& dir = DirManager->CurrentDir;
    const std::string maskFolder = FolderKey(Item.Search.Mask);
    for (int32_t i = std::max(Item.Search.Index, 0); i < dir.Count(); ++i) {
        const TDirItem& entry = dir.ItemAt(i);
        if (!Options().Recurse && FolderKey(entry.FileName) != maskFolder)
            continue;
        if (!MatchesMasks(i, Item) ||
            !AttributesMatch(entry.ExternalAttributes, static_cast<uint32_t>(Item.Search.SearchAttr)))
            continue;
        Item.Search.Index = i;
        const std::string name = RemoveTrailingBackslash(Backslashed(entry.FileName));
        Item.FileName = rtl::ExtractFileName(name);
        Item.FolderPath = rtl::ExtractFilePath(name);
        Item.PackedSize = entry.CompressedSize64();
        Item.UnpackedSize = entry.UncompressedSize64();
        Item.RatePercent = 100;
        if (Item.UnpackedSize > 0)
            Item.RatePercent = std::max(0.0,
                (1 - static_cast<double>(Item.PackedSize) / static_cast<double>(Item.UnpackedSize)) * 100);
        Item.IsEncrypted = (entry.Flags & kFlagEncrypted) != 0;
        Item.FileDate = entry.ModDate;
        Item.FileTime = entry.ModTime;
        Item.Crc32 = entry.Crc32;
        Item.Attributes = entry.ExternalAttributes;
        Item.Comment = entry.Comment;
        return true;
    }
    return false;
}

void TZABaseArchiver::MarkFiles(const std::string& Mask, int32_t SearchAttr, const std::string& ExclusionMask)
{
    if (!DirManager)
        return;
    TZADirArray& dir = DirManager->CurrentDir;
    dir.ClearMarks();
    TZAArchiveItem item;
    for (bool hit = FindFirst(Mask, item, SearchAttr, ExclusionMask); hit; hit = FindNext(item))
        dir.ItemAt(item.Search.Index).MarkedForProcessing = 1;
}

// ---- Processing ------------------------------------------------------------------------------------

void TZABaseArchiver::ProcessFiles(TZAProcessOperation Op)
{
    std::exception_ptr abortCause;
    {
        TArchiverLock lock;
        // Only runs that read the archive and never write it may keep its size.
        inRun_ = Op == poExtract || Op == poTest;
        runArchiveSize_ = -1;
        struct TRunEnd {
            bool& inRun;
            ~TRunEnd() { inRun = false; }
        } runEnd{inRun_};
        abortCause = RunOperation(Op);
    }
    // An abort is a failure: the caller sees the error that caused it, never a quiet return.
    if (abortCause)
        std::rethrow_exception(abortCause);
}

std::exception_ptr TZABaseArchiver::RunOperation(TZAProcessOperation Op)
{
    CheckActive();
    TZADirArray& dir = DirManager->CurrentDir;
    ProcessedFileNo = 0;
    ProcessedFileCount = 0;
    for (int i = 0; i < dir.Count(); ++i)
        ProcessedFileCount += dir.ItemAt(i).MarkedForProcessing != 0 ? 1 : 0;
    CancelRequested = false;
    extractedTargets_.clear();
    deletedInRun_.clear();
    folders_ = std::make_shared<TZAExtractFolders>();
    staged_.reset();
    if (StageExtraction && Op == poExtract)
        staged_ = std::make_unique<TZAStagedFiles>();
    convertedTime_ = -1;
    IgnoredFailureCount = 0;
    PasswordSkipCount = 0;
    const bool reportsProgress = Op == poExtract || Op == poTest;
    if (reportsProgress)
        DoOnOverallProgress(0.0, Op, ppStart, CancelRequested);

    std::exception_ptr abortCause;
    TZAAction action = fxaRetry;
    for (int32_t i = 0; !CancelRequested && i < dir.Count();) {
        if (dir.ItemAt(i).MarkedForProcessing == 0) {
            ++i;
            continue;
        }
        dir.ItemAt(i).PendingOperation = Op;
        action = fxaRetry;
        while (action == fxaRetry) {
            action = fxaIgnore;
            const std::string name = Backslashed(dir.ItemAt(i).FileName);
            try {
                ProcessEntry(i, Op, name);
            } catch (const EZAException& e) {
                action = fxaIgnore;
                DoOnProcessFileFailure(name, Op, e.NativeError, e.ErrorCode, e.Message(), action);
                if (action == fxaIgnore)
                    ++IgnoredFailureCount;
                else if (action == fxaAbort)
                    abortCause = std::current_exception();
            }
        }
        if (action == fxaAbort || CancelRequested)
            break;
        ++i;
    }

    if (reportsProgress) {
        const bool cancelled = CancelRequested;
        DoOnOverallProgress(100.0, Op, ppEnd, CancelRequested);
        CancelRequested = CancelRequested || cancelled;
    }
    if (CancelRequested || action == fxaAbort) {
        DropPendingUpdate();
        staged_.reset();
    } else if (!deletedInRun_.empty()) {
        dir.RemoveItems(deletedInRun_);
    }
    deletedInRun_.clear();
    extractedTargets_.clear();
    folders_.reset();
    return abortCause;
}

// One attempt at one entry (confirmation, progress, the step of the operation).
void TZABaseArchiver::ProcessEntry(int32_t Index, TZAProcessOperation Op, const std::string& Name)
{
    bool confirm = true;
    DoOnConfirmProcessFile(Name, Op, confirm);
    if (!confirm)
        return;
    const std::string folder = ResolveBaseDir(BaseDir);
    const bool reportsProgress = Op == poExtract || Op == poTest;
    const std::string stored = DirManager->CurrentDir.ItemAt(Index).FileName;
    if (reportsProgress)
        DoOnFileProgress(stored, 0.0, Op, ppStart, CancelRequested);
    if (CancelRequested)
        return;

    SkipCurrentFile = false;
    switch (Op) {
    case poDelete:
        TakeForDeletion(Index);
        break;
    case poExtract:
        ExtractItemToFile(Index, Name, folder);
        break;
    case poTest:
        TestItem(Index, Name);
        break;
    case poUpdate:
        UpdateItemFromDisk(Index, Name, folder);
        break;
    default:
        break;
    }
    if (SkipCurrentFile)
        ++PasswordSkipCount;

    if (reportsProgress) {
        const bool cancelledInStep = CancelRequested;
        DoOnFileProgress(stored, 100.0, Op, ppEnd, CancelRequested);
        CancelRequested = CancelRequested || cancelledInStep;
    }
    if (!CancelRequested)
        ++ProcessedFileNo;
}

// ---- Extraction to files ---------------------------------------------------------------------------

bool TZABaseArchiver::IsSafeEntryName(const std::string& Name)
{
    if (Name.empty() || Name.find(':') != std::string::npos)
        return false;
    if (Name.front() == '\\' || Name.front() == '/')
        return false;
    const std::string n = Slashed(Name);
    if (n.find("//") != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= n.size()) {
        size_t end = n.find('/', start);
        if (end == std::string::npos)
            end = n.size();
        if (n.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

// Whether an existing target may be replaced, by the options (and the overwrite prompt).
bool TZABaseArchiver::MayReplaceTarget(const std::string& Name, std::string& Target, const TDirItem& Entry)
{
    const int attr = rtl::FileGetAttr(Target);
    if (!Options().ReplaceReadOnly && attr >= 0 && (attr & 0x01) != 0)
        return false;
    // DOS date-times compare as unsigned numbers: dates from 2044 on have the top bit set.
    const uint32_t entryTime = DosDateTime(Entry);
    const auto targetTime = static_cast<uint32_t>(rtl::FileAge(Target));
    switch (Options().OverwriteMode) {
    case omPrompt: {
        bool confirm = false;
        DoOnConfirmOverwrite(Name, Target, confirm);
        return confirm;
    }
    case omAlways: return true;
    case omNever: return false;
    case omIfNewer: return entryTime > targetTime;
    case omIfOlder: return entryTime < targetTime;
    }
    return false;
}

time_t TZABaseArchiver::FileTimeOf(int32_t dosTime)
{
    if (convertedTime_ == -1 || dosTime != convertedDosTime_) {
        convertedTime_ = rtl::DosDateTimeToTime(dosTime);
        convertedDosTime_ = dosTime;
    }
    return convertedTime_;
}

void TZABaseArchiver::ExtractItemToFile(int32_t Index, const std::string& Name, const std::string& Folder)
{
    const TDirItem entry = DirManager->CurrentDir.FetchItem(Index);
    uint32_t attr = entry.ExternalAttributes;
    std::string name = Name;
    DoOnExtractFile(name, attr, entry.Comment);
    // Nothing an archive names may land outside the target folder; refused before any folder is made.
    if (!IsSafeEntryName(name))
        throw EZAException::CreateWithCodeFmt(19, {name}, this);

    if (!Options().CreateDirs)
        name = rtl::ExtractFileName(name);
    // Every folder on the way is a folder under the target, never a link to one.
    if (!folders_)
        folders_ = std::make_shared<TZAExtractFolders>();
    const std::string below = rtl::ExtractFilePath(name);
    std::shared_ptr<const TZATargetFolder> folder = folders_->Folder(Folder, below);
    if (!folder)
        throw EZAException::CreateWithCodeFmt(FileErrorCode(errno, 20), {Folder + below}, this);
    if (entry.IsDirectory() || EndsWith(entry.FileName, '/'))
        return;
    if (name.empty() || EndsWith(name, '\\'))
        throw EZAException::CreateWithCodeFmt(19, {Name}, this);

    std::string target = Folder + name;
    std::string stagedIn;  // the folder's key in a staged run
    const auto nameOnDisk = [&](bool& exists) {
        if (!staged_)
            return folder->NameOnDisk(rtl::ExtractFileName(target), exists);
        folder = staged_->Hold(std::move(folder), stagedIn);
        return staged_->NameOnDisk(*folder, stagedIn, rtl::ExtractFileName(target), exists);
    };
    bool exists = false;
    std::string onDisk = nameOnDisk(exists);
    std::string nativeTarget = folder->NativePathOf(onDisk);
    // Entries whose names meet on disk (alike but for case, the same name twice, folders dropped):
    // the first keeps its file, a later one that would replace it is refused.
    if (extractedTargets_.count(nativeTarget) != 0)
        throw EZAException::CreateWithCodeFmt(19, {target}, this);
    if (exists) {
        const std::string asked = target;
        if (!MayReplaceTarget(name, target, entry))
            return;
        // The overwrite handler named another file: its folder is the handler's choice.
        if (target != asked) {
            folder = TZATargetFolder::Open(rtl::ToNativePath(rtl::ExtractFilePath(target)));
            if (!folder)
                throw EZAException::CreateWithCodeFmt(FileErrorCode(errno, 19), {target}, this);
            onDisk = nameOnDisk(exists);
            nativeTarget = folder->NativePathOf(onDisk);
        }
    }

    // The entry goes into a scratch file beside the target, which replaces the target only once
    // the data is complete and checked (in a staged run, only at the commit); a failed, skipped or
    // cancelled entry leaves it as it was.
    // A link of the target's name is replaced, never followed.
    auto scratch = TZAScratchFile::CreateIn(folder, NewFileMode(entry, attr, Options().SetAttributes));
    if (!scratch)
        throw EZAException::CreateWithCodeFmt(FileErrorCode(errno, 19), {target}, this);
    ExtractToStream(Index, *scratch);
    if (SkipCurrentFile || CancelRequested)
        return;
    if (Options().FlushBuffers && IsRemovableName(target) && !scratch->Sync())
        throw EZAException::CreateWithCodeFmt(FileErrorCode(errno, 19), {target}, this);
    if (const time_t modified = FileTimeOf(static_cast<int32_t>(DosDateTime(entry))); modified != -1)
        scratch->SetModified(modified);
    const bool placed = staged_
        ? staged_->Add(stagedIn, rtl::ExtractFileName(target), std::move(scratch), onDisk, target)
        : scratch->ReplaceTarget(onDisk);
    if (!placed)
        throw EZAException::CreateWithCodeFmt(FileErrorCode(errno, 19), {target}, this);
    extractedTargets_.insert(nativeTarget);
}

void TZABaseArchiver::ExtractToStream(int32_t Index, rtl::TStream& Dest)
{
    if (!DirManager || Index < 0 || Index >= DirManager->CurrentDir.Count())
        throw EZAException::CreateWithCode(16, this);
    const TDirItem entry = DirManager->CurrentDir.FetchItem(Index);
    OpenVolume(EntryVolume(entry));
    if (!ArchiveStream)
        throw EZAException::CreateWithCode(8, this);
    const int64_t offset = entry.LocalHeaderOffset64();
    const int64_t archiveSize = ArchiveSizeForEntry();
    const bool ok = offset >= 0 && offset < archiveSize && DecompressFile(*ArchiveStream, Dest, entry, offset, archiveSize);
    if (!ok && !CancelRequested && !ExtractCorruptedFiles && !SkipCurrentFile)
        throw EZAException::CreateWithCode(8, this);
}

// A single-file archive keeps its size through a run that only reads it; the volumes of a split
// archive are taken one by one. A size that has gone stale can only cut an entry short, which its
// size and CRC checks then catch.
int64_t TZABaseArchiver::ArchiveSizeForEntry()
{
    if (!inRun_ || spanningMode_ != smNone)
        return ArchiveStream->Size();
    if (runArchiveSize_ < 0)
        runArchiveSize_ = ArchiveStream->Size();
    return runArchiveSize_;
}

void TZABaseArchiver::TestItem(int32_t Index, const std::string& /*Name*/)
{
    if (DirManager->CurrentDir.ItemAt(Index).IsDirectory())
        return;
    TZADiscardStream sink;  // a test keeps nothing of what it decodes
    ExtractToStream(Index, sink);
}

std::string TZABaseArchiver::MakeTempFileName() const
{
    return rtl::GetTempFileName(TempDir.empty() ? rtl::GetTempDir() : TempDir, "FC");
}
