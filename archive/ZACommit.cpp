// Applying a batch of changes: CommitUpdate.
//
// A commit builds the new archive beside the old one (a temporary file in the archive's folder, or
// a new memory stream for an archive in memory): the unchanged front is copied, every later entry is
// compressed anew or copied from the old archive, the new directory follows, and only the complete
// new archive replaces the old one, in one rename. A failure, a cancel or an abort before that point
// leaves the old archive and its directory exactly as they were. A multi-volume archive is written
// in place through its volumes, and only when it is new.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <string_view>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <limits>
#include <vector>

#include "archive/ZAArchiveFile.h"
#include "archive/ZADiscardStream.h"
#include "archive/ZAExcept.h"
#include "archive/ZASiblingFile.h"
#include "archive/ZAStrFunc.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/locks.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/tempfiles.h"

namespace {

constexpr int64_t kZip64Limit = int64_t{kNo32};
constexpr uint16_t kVersionZip64 = 45;
constexpr uint16_t kVersionOem = 20;
constexpr uint16_t kVersionDeflate = 20;  // also folders and the traditional cipher
constexpr uint16_t kVersionAnsi = 0x0B14;
constexpr uint16_t kLocalZip64ExtraSize = 20;  // tag, size, two 64-bit sizes
constexpr int64_t kCopyChunk = 1 << 20;

}  // namespace

namespace {

// The writer's process id in "<archive>.FC<pid>.<4 hex>.tmp"; 0 for any other name.
pid_t SiblingTempOwner(std::string_view name, const std::string& archiveName)
{
    const std::string prefix = archiveName + ".FC";
    constexpr std::string_view suffix = ".tmp";
    if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) || !name.ends_with(suffix))
        return 0;
    const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const size_t dot = middle.find('.');
    uint64_t pid = 0;
    if (dot == std::string_view::npos || middle.size() - dot != 5 || !rtl::ParseCanonicalNumber(middle.substr(0, dot), pid) ||
        pid == 0 || pid > INT32_MAX)
        return 0;
    for (const char c : middle.substr(dot + 1))
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return 0;
    return static_cast<pid_t>(pid);
}

// Removes what killed writers of this archive left in its folder (open as folder). Only a writer
// that holds the archive calls this; files of processes that still run, or that their writer holds,
// are kept whatever they are doing.
void RemoveKilledSiblingTemps(int folder, const std::filesystem::path& parent, const std::string& archiveName)
{
    const pid_t self = ::getpid();
    rtl::RemoveEndedTemps(folder, parent.string() + "/", [&](std::string_view name) {
        const pid_t owner = SiblingTempOwner(name, archiveName);
        return owner == self ? 0 : owner;
    });
}

// Where the archive's name leaves no room for more: a plain temporary name in its folder.
std::unique_ptr<rtl::TFileStream> MakePlainTemp(const std::filesystem::path& folder, std::string& name)
{
    const std::string plain = rtl::GetTempFileName(rtl::FromNativePath(folder.string()), "FC");
    if (plain.empty())
        return nullptr;
    try {
        auto file = std::make_unique<rtl::TFileStream>(plain, rtl::fmOpenReadWrite);
        rtl::TryLockFile(file->Handle());
        name = plain;
        return file;
    } catch (const rtl::Exception&) {
        rtl::DeleteFile(plain);
        return nullptr;
    }
}

}  // namespace

std::unique_ptr<rtl::TFileStream> MakeSiblingTemp(const std::filesystem::path& archive, std::string& name)
{
    const std::filesystem::path parent = archive.has_parent_path() ? archive.parent_path() : ".";
    const int folder = rtl::OpenFolderToWrite(parent.string());
    if (folder < 0)
        return nullptr;
    const std::string archiveName = archive.filename().string();
    RemoveKilledSiblingTemps(folder, parent, archiveName);
    const std::string stem = archiveName + ".FC" + std::to_string(::getpid()) + ".";
    unsigned next = static_cast<unsigned>(::time(nullptr)) * 2654435761u;
    const auto nextName = [&] {
        char unique[8];
        std::snprintf(unique, sizeof unique, "%04X", next++ & 0xFFFF);
        return stem + unique + ".tmp";
    };
    std::string onDisk;
    std::unique_ptr<rtl::TLiveTemp> live;
    const int fd = rtl::CreateWriterTemp(folder, nextName, O_RDWR, 0600, onDisk, live);
    const int error = errno;
    ::close(folder);
    if (fd < 0)
        return error == ENAMETOOLONG ? MakePlainTemp(parent, name) : nullptr;
    name = rtl::FromNativePath(std::filesystem::path(archive).replace_filename(onDisk).string());
    // The stream's open of the file holds the lock on from here.
    return std::make_unique<rtl::TFileStream>(fd, name);
}

void CopyOwnerAndMode(const std::filesystem::path& from, const std::filesystem::path& to)
{
    struct stat old {};
    if (rtl::sys::Stat(from.c_str(), old) != 0)
        return;
    if (rtl::sys::Chown(to.c_str(), old.st_uid, old.st_gid) != 0)
        (void)rtl::sys::Chown(to.c_str(), static_cast<uid_t>(-1), old.st_gid);
    (void)rtl::sys::Chmod(to.c_str(), old.st_mode & 07777);
}

namespace {

// A copied entry's record takes the form its new place needs: each size and the offset below 4 GiB
// in its 32-bit field, one at or past it in the ZIP64 values; and the version needed follows: 45
// while the record or the entry's local record (header or descriptor) holds ZIP64 values, that of
// deflate once neither does.
void FitZip64Fields(TDirItem& item, bool localZip64, int64_t offset)
{
    const auto fit = [](uint32_t& field, int64_t& wide, int64_t value) {
        const bool fits = value < kZip64Limit;
        field = fits ? static_cast<uint32_t>(value) : kNo32;
        wide = fits ? 0 : value;
        return !fits;
    };
    bool zip64 = fit(item.UncompressedSize, item.Zip64UncompressedSize, item.UncompressedSize64());
    zip64 = fit(item.CompressedSize, item.Zip64CompressedSize, item.CompressedSize64()) || zip64;
    zip64 = fit(item.LocalHeaderOffset, item.Zip64LocalHeaderOffset, offset) || zip64;
    zip64 = zip64 || item.DiskNumberStart == kNo16;
    item.HasZip64Extra = zip64;
    const auto needed = static_cast<uint8_t>(item.VersionNeeded & 0xFF);
    const auto host = static_cast<uint16_t>(item.VersionNeeded & 0xFF00);
    if ((zip64 || localZip64) && needed < kVersionZip64)
        item.VersionNeeded = host | kVersionZip64;
    else if (!zip64 && !localZip64 && needed == kVersionZip64)
        item.VersionNeeded = host | kVersionDeflate;
}

bool IsMetadataChange(uint8_t operation)
{
    return operation == poRename || operation == poChangeAttr || operation == poChangeComment;
}

// A source file opened for reading, or none when it cannot be. Only a regular file is read: a FIFO
// would never end and a device holds no file's data; neither is even opened when seen first.
std::unique_ptr<rtl::TFileStream> OpenRegularFile(const std::string& name, uint16_t mode)
{
    if (!rtl::FileExists(name))
        return nullptr;
    try {
        auto file = std::make_unique<rtl::TFileStream>(name, mode);
        struct stat st {};
        if (::fstat(file->Handle(), &st) == 0 && S_ISREG(st.st_mode))
            return file;
    } catch (const rtl::Exception&) {
    }
    return nullptr;
}

// The source of an entry written anew: the caller's stream (its position given back afterwards), a
// disk file opened here, or nothing for a folder.
class TEntrySource {
public:
    TEntrySource(TZABaseArchiver& archiver, TDirItem& item) : item_(item)
    {
        if (item.SourceStream) {
            stream_ = item.SourceStream.get();
            notedPosition_ = stream_->Position();
        } else if (!item.IsDirectory()) {
            const int mode = rtl::fmOpenRead | ShareModeFlags(archiver.Options().ShareMode);
            file_ = OpenRegularFile(item.SourceFileName, static_cast<uint16_t>(mode));
            if (!file_)
                throw EZAException::CreateWithCodeFmt(33, {item.SourceFileName}, &archiver);
            stream_ = file_.get();
        }
    }
    ~TEntrySource() { Release(false); }
    TEntrySource(const TEntrySource&) = delete;
    TEntrySource& operator=(const TEntrySource&) = delete;

    rtl::TStream* Stream() const { return stream_; }
    int64_t Size() const { return stream_ != nullptr ? std::max<int64_t>(stream_->Size(), 0) : 0; }

    // Closes a file opened here. A stream the entry owns is let go once its data are written;
    // otherwise (a caller's stream, or a write to be retried) it gets its position back.
    void Release(bool written)
    {
        if (file_) {
            file_.reset();
        } else if (stream_ != nullptr) {
            if (written && item_.OwnsSourceStream)
                item_.SourceStream.reset();
            else
                stream_->Seek(notedPosition_, rtl::soBeginning);
        }
        stream_ = nullptr;
    }

private:
    TDirItem& item_;
    rtl::TStream* stream_ = nullptr;
    std::unique_ptr<rtl::TFileStream> file_;
    int64_t notedPosition_ = 0;
};

// A temporary file deleted with the object.
class TTempFile {
public:
    explicit TTempFile(std::string name) : name_(std::move(name)) {}
    ~TTempFile() { Discard(); }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    const std::string& Name() const { return name_; }
    void Discard()
    {
        stream_.reset();
        if (!name_.empty())
            rtl::DeleteFile(name_);
        name_.clear();
    }
    std::unique_ptr<rtl::TFileStream> stream_;

private:
    std::string name_;
};

// The layout of one entry's local record in the old archive.
struct TLocalRecord {
    int64_t Offset = 0;
    TLocalHeader Header;
    int64_t Length = 0;  // header, name, extra field, data and data descriptor
    bool Zip64 = false;  // the header or the descriptor holds ZIP64 values
};

// The length of a ZIP64 data descriptor with its signature.
constexpr int64_t kWideDescriptor = 24;

// True when an extra field holds a ZIP64 block (whole or not).
bool HasZip64Block(const std::vector<uint8_t>& field)
{
    size_t pos = 0;
    while (field.size() - pos >= kExtraBlockHeaderSize) {
        TExtraBlockHeader header;
        LoadRecord(field.data() + pos, header);
        if (header.Tag == kZip64ExtraTag)
            return true;
        pos += std::min<size_t>(kExtraBlockHeaderSize + header.DataSize, field.size() - pos);
    }
    return false;
}

class TUpdateCommit {
public:
    explicit TUpdateCommit(TZABaseArchiver& archiver)
        : a_(archiver), m_(*archiver.DirManager), dir_(m_.CurrentDir), old_(m_.BackupDir)
    {
    }

    void Run();

private:
    void CheckEveryBytePlaced();
    bool RecoveredWhole(TDirItem& record);
    void ConfirmKeptSizes();
    bool DataMatchSizes(const TDirItem& record);
    bool Cancelled() const { return a_.CancelRequested || action_ == fxaAbort; }
    bool Unchanged() const { return start_ == old_.Count() && start_ == dir_.Count(); }
    bool KeptAsStored() const;
    TZAProcessOperation ProgressOperation() const;
    int32_t FindStartIndex() const;
    void ComputeCut();
    int64_t LowestOffset(int from) const;
    void Prepare();
    void PrepareFile();
    void PrepareVolumes();
    void EntryLoop();
    bool WriteAnew(int index);
    void WriteEntryTo(TDirItem& item, TEntrySource& source, rtl::TStream& target, bool& cancelled);
    bool MoveIntoVolumes(TDirItem& item, rtl::TStream& entryFile);
    void CopyOld(int index);
    int FindOldRecord(const TDirItem& item) const;
    TLocalRecord ReadLocalRecord(const TDirItem& record);
    int64_t DescriptorLength(const TDirItem& record, int64_t offset, bool& wide);
    void CopyRange(int64_t from, int64_t count, rtl::TStream& target);
    void WriteDirectory();
    void Install();
    void TakeBack();
    void DiscardVolumes();
    void MovePass();
    rtl::TStream& Target()
    {
        if (volumes_)
            return *a_.ArchiveStream;
        return target_ ? *target_ : newFile_->Stream();
    }

    TZABaseArchiver& a_;
    TZADirManager& m_;
    TZADirArray& dir_;
    TZADirArray& old_;
    rtl::TStream* oldStream_ = nullptr;
    std::unique_ptr<rtl::TStream> target_;  // the new archive of an archive in memory
    std::unique_ptr<TZANewArchiveFile> newFile_;  // the new archive of a file archive
    bool volumes_ = false;
    bool installed_ = false;  // the new archive has replaced the old file
    std::unique_ptr<rtl::TMemoryStream> diskBuffer_;
    TZAAction action_ = fxaIgnore;
    bool changedEntry_ = false;  // an entry was written anew or given a new name, attributes or comment
    TZAProcessOperation operation_ = poDelete;
    int32_t start_ = 0;
    int64_t cut_ = 0;
    std::vector<std::string> movedSources_;

    // The manager's record images, given back when the commit is taken back.
    TEndRecord savedEnd_;
    TZip64EndRecord savedZip64End_;
    TZip64Locator savedLocator_;
    int64_t savedDirectoryStart_ = 0;
    bool savedZip64_ = false;
};

TZAProcessOperation TUpdateCommit::ProgressOperation() const
{
    for (int i = 0; i < dir_.Count(); ++i)
        if (dir_.ItemAt(i).Modified)
            return static_cast<TZAProcessOperation>(dir_.ItemAt(i).PendingOperation);
    return poDelete;
}

// The first entry at which the new directory differs from the stored one. Entries are told by
// their place in the stored directory, never by name: names may repeat.
int32_t TUpdateCommit::FindStartIndex() const
{
    const int common = std::min(old_.Count(), dir_.Count());
    for (int i = 0; i < common; ++i)
        if (dir_.ItemAt(i).Modified || dir_.ItemAt(i).StoredIndex != i)
            return i;
    return common;
}

int64_t TUpdateCommit::LowestOffset(int from) const
{
    int64_t lowest = std::numeric_limits<int64_t>::max();
    for (int i = from; i < old_.Count(); ++i)
        lowest = std::min(lowest, old_.ItemAt(i).LocalHeaderOffset64());
    return lowest;
}

// Everything before the cut point stays as it is. It is the lowest offset of the stored entries from
// the start index on, or the end of the last entry's data when the commit only appends. An archive
// whose entries lie out of order is rewritten from its first entry, so nothing kept is cut off.
void TUpdateCommit::ComputeCut()
{
    const int64_t size = oldStream_->Size();
    if (old_.Count() == 0) {
        cut_ = std::clamp<int64_t>(m_.PrefixSize, 0, size);
        return;
    }
    if (start_ < old_.Count()) {
        cut_ = LowestOffset(start_);
        for (int i = 0; i < start_; ++i) {
            if (old_.ItemAt(i).LocalHeaderOffset64() >= cut_) {
                start_ = 0;
                cut_ = LowestOffset(0);
                break;
            }
        }
    } else {
        int last = 0;
        for (int i = 1; i < old_.Count(); ++i)
            if (old_.ItemAt(i).LocalHeaderOffset64() > old_.ItemAt(last).LocalHeaderOffset64())
                last = i;
        const TLocalRecord record = ReadLocalRecord(old_.ItemAt(last));
        cut_ = record.Offset + record.Length;
    }
    if (cut_ < 0 || cut_ > size)
        throw EZAException::CreateWithCode(35, &a_);
}

void TUpdateCommit::Run()
{
    a_.PendingUpdateCount = 0;
    a_.ProcessedFileNo = 0;
    a_.ProcessedFileCount = 0;
    a_.CancelRequested = false;
    a_.ProgressEnabled = true;
    savedEnd_ = m_.EndRecord;
    savedZip64End_ = m_.Zip64EndRecord;
    savedLocator_ = m_.Zip64Locator;
    savedDirectoryStart_ = m_.DirectoryStart;
    savedZip64_ = m_.IsZip64;
    oldStream_ = a_.ArchiveStream.get();

    try {
        if (a_.OpenMode == ZA_MODE_READONLY)
            throw EZAException::CreateWithCode(32, &a_);
        for (int i = 0; i < dir_.Count(); ++i)
            a_.ProcessedFileCount += dir_.ItemAt(i).Modified ? 1 : 0;
        start_ = FindStartIndex();
        operation_ = ProgressOperation();
        a_.DoOnOverallProgress(0, operation_, ppStart, a_.CancelRequested);
        if (a_.CancelRequested) {
            TakeBack();
            return;
        }
        if (Unchanged()) {  // nothing to write: the archive file is not touched
            a_.DoOnOverallProgress(100, operation_, ppEnd, a_.CancelRequested);
            return;
        }
        const bool singleFile = a_.SpanningMode() == smNone;
        if (singleFile && m_.Rebuilt)  // a guess at the archive is refused before its entries are judged
            CheckEveryBytePlaced();
        ConfirmKeptSizes();
        if (singleFile && !m_.Rebuilt && !a_.CancelRequested)
            CheckEveryBytePlaced();
        if (a_.CancelRequested) {
            TakeBack();
            return;
        }
        Prepare();
        EntryLoop();
        if (diskBuffer_) {
            if (!Cancelled()) {
                rtl::TStream* stream = a_.ArchiveStream.get();
                a_.WriteOrFail(diskBuffer_->Memory(), static_cast<int32_t>(diskBuffer_->Size()), nullptr, -1,
                               a_.VolumeInfo, stream);
            }
            diskBuffer_.reset();
        }
        if (Cancelled()) {
            TakeBack();
            return;
        }
        if (KeptAsStored()) {  // every change was skipped: the archive file is not touched
            TakeBack();
            a_.DoOnOverallProgress(100, operation_, ppEnd, a_.CancelRequested);
            return;
        }
        WriteDirectory();
        Install();
        m_.Rebuilt = false;  // the archive has a directory of its own now
        m_.SkippedHeaders = 0;
    } catch (...) {
        if (!installed_)  // once the new archive is in place there is nothing to take back
            TakeBack();
        throw;
    }
    // The new archive is in place from here on; what follows never takes it back, so the sources
    // of moved entries, once deleted, are always in the archive.
    MovePass();
    if (!Cancelled())
        a_.DoOnOverallProgress(100, operation_, ppEnd, a_.CancelRequested);
    if (volumes_ && a_.Options().FlushBuffers)
        if (auto* file = dynamic_cast<rtl::TFileStream*>(a_.ArchiveStream.get()))
            file->Flush();
}

// A commit rewrites the old archive, and a byte that belongs to no entry, to no directory and to no
// stub in front has no place in the new one: the commit goes ahead only when there is none (35
// otherwise, before anything is written). A directory rebuilt from local headers is a guess at what
// the file holds: then the entries found must fill the whole file, from its first byte to its last,
// each one recovered whole. Entries in front of the ones a directory places are no stub, and an entry
// said to reach into the directory has no known end: both are refused.
void TUpdateCommit::CheckEveryBytePlaced()
{
    const bool rebuilt = m_.Rebuilt;
    if (!rebuilt && old_.Count() == 0 && !m_.EntriesInFront)
        return;  // nothing but a stub in front of the directory
    const int64_t from = rebuilt ? 0 : std::max<int64_t>(m_.PrefixSize, 0);
    const int64_t to = rebuilt ? oldStream_->Size() : m_.DirectoryStart;
    const auto refuse = [this](const std::string& what) {
        EZAException e = EZAException::CreateWithCode(35, &a_);
        e.SetMessage(what + ", so no change is written. " + e.Message());
        return e;
    };
    if (!rebuilt && m_.EntriesInFront)
        throw refuse("the file holds entries in front of those its directory lists");
    std::vector<std::pair<int64_t, int64_t>> records;
    for (int i = 0; i < old_.Count() && !a_.CancelRequested; ++i) {
        TDirItem& record = old_.ItemAt(i);
        if (record.LocalHeaderOffset64() < from)
            continue;  // inside the stub
        if (record.SizeCut)
            throw refuse("the directory says the entry " + record.FileName + " reaches into the directory");
        if (rebuilt && !RecoveredWhole(record))
            throw refuse("the directory was rebuilt, and the entry " + record.FileName + " could not be recovered whole");
        const TLocalRecord local = ReadLocalRecord(record);
        records.emplace_back(local.Offset, local.Offset + local.Length);
    }
    std::sort(records.begin(), records.end());
    int64_t reached = from;
    for (const auto& [start, end] : records) {
        if (start != reached)
            break;
        reached = end;
    }
    if (reached != to)
        throw refuse(rebuilt ? "the directory was rebuilt, and its entries do not account for every byte of the file"
                             : "the file holds data that belongs to no entry");
}

// An entry of a rebuilt directory is whole when its sizes are known and its data decode to them
// (encrypted data cannot be decoded here: its sizes must come from its local header).
bool TUpdateCommit::RecoveredWhole(TDirItem& record)
{
    if (record.SizesUnknown)
        return false;
    if ((record.Flags & kFlagEncrypted) != 0)
        return !record.SizesFromDescriptor;
    if (!DataMatchSizes(record))
        return false;
    record.SizesFromDescriptor = false;
    return true;
}

// A directory rebuilt from local headers knows the CRC and sizes of a streamed entry only from a
// data descriptor found by its signature, or not at all; a directory record may give all ones for a
// size with no ZIP64 value behind them. A kept entry goes into the new directory only once its data
// decode to exactly what its descriptor says; any other refuses the batch before anything is written
// (code 8), because its record would claim sizes that nobody knows.
void TUpdateCommit::ConfirmKeptSizes()
{
    for (int i = 0; i < dir_.Count() && !a_.CancelRequested; ++i) {
        TDirItem& item = dir_.ItemAt(i);
        const int old = FindOldRecord(item);
        if (old < 0 || (item.Modified && !IsMetadataChange(item.PendingOperation)))
            continue;  // new data replaces it
        TDirItem& record = old_.ItemAt(old);
        if (record.SizesFromDescriptor && !record.SizesUnknown && DataMatchSizes(record))
            record.SizesFromDescriptor = false;
        if (a_.CancelRequested)
            return;
        if (record.SizesUnknown || record.SizesFromDescriptor) {
            EZAException e = EZAException::CreateWithCode(8, &a_);
            e.SetMessage(item.FileName + ": " + e.Message());
            throw e;
        }
        item.SizesFromDescriptor = false;
    }
}

// True when the entry's data decode to its sizes and CRC. Encrypted data cannot be checked here.
bool TUpdateCommit::DataMatchSizes(const TDirItem& record)
{
    if ((record.Flags & kFlagEncrypted) != 0)
        return false;
    TZADiscardStream sink;
    return a_.DecompressFile(*oldStream_, sink, record, record.LocalHeaderOffset64(), oldStream_->Size());
}

void TUpdateCommit::Prepare()
{
    if (a_.SpanningMode() != smNone) {
        PrepareVolumes();
        return;
    }
    // Whatever volume an extraction last switched to, the new archive is written from the first,
    // and a single-file archive holds every entry on it.
    a_.VolumeInfo.SetNumber(0);
    for (int i = 0; i < dir_.Count(); ++i) {
        dir_.ItemAt(i).DiskNumberStart = 0;
        dir_.ItemAt(i).Zip64DiskNumberStart = 0;
    }
    PrepareFile();
}

// A new archive: the unchanged front of the old one, then the rest as the commit writes it.
void TUpdateCommit::PrepareFile()
{
    ComputeCut();
    if (a_.InMemory() || a_.FileName.empty()) {
        target_ = std::make_unique<rtl::TMemoryStream>();
    } else {
        newFile_ = std::make_unique<TZANewArchiveFile>(a_.ArchiveFileName(), a_);
    }
    CopyRange(0, cut_, Target());
}

// Volumes are written in place: only a new multi-volume archive can be made, in one batch.
void TUpdateCommit::PrepareVolumes()
{
    // A refused archive is left alone: nothing is cut or taken back.
    if (old_.Count() > 0 || oldStream_->Size() > m_.PrefixSize || a_.VolumeInfo.VolumeNumber > 0)
        throw EZAException::CreateWithCode(52, &a_);
    volumes_ = true;
    cut_ = std::max<int64_t>(m_.PrefixSize, 0);
    oldStream_->Seek(cut_, rtl::soBeginning);
    oldStream_->SetSize(cut_);
    a_.VolumeInfo.SetNumber(0);
    if (a_.SpanningMode() == smSpanning && IsFloppyName(a_.FileName))
        diskBuffer_ = std::make_unique<rtl::TMemoryStream>();
}

// True when the entries written are the stored ones, each in its place and as it was stored: the
// batch's changes were all skipped (sources that could not be read, names taken), so it changes
// nothing and the new archive would only be a copy of the old.
bool TUpdateCommit::KeptAsStored() const
{
    if (changedEntry_ || dir_.Count() != old_.Count())
        return false;
    for (int i = 0; i < dir_.Count(); ++i)
        if (dir_.ItemAt(i).StoredIndex != i)
            return false;
    return true;
}

void TUpdateCommit::EntryLoop()
{
    for (int i = start_; i < dir_.Count() && !a_.CancelRequested;) {
        bool written = true;
        do {
            action_ = fxaIgnore;
            written = true;
            const TDirItem& item = dir_.ItemAt(i);
            if (item.Modified && !IsMetadataChange(item.PendingOperation))
                written = WriteAnew(i);
            else
                CopyOld(i);
        } while (action_ == fxaRetry);
        if (Cancelled())
            return;
        changedEntry_ = changedEntry_ || (written && dir_.ItemAt(i).Modified);
        if (written) {
            ++a_.ProcessedFileNo;
            ++i;
        } else if (FindOldRecord(dir_.ItemAt(i)) < 0) {
            dir_.RemoveItem(i);  // a new entry that could not be written is left out
        } else {
            CopyOld(i);  // the entry keeps its old data and record
            ++i;
        }
    }
}

bool TUpdateCommit::WriteAnew(int index)
{
    TDirItem& item = dir_.ItemAt(index);
    const auto op = static_cast<TZAProcessOperation>(item.PendingOperation);
    const std::string progressName = op == poAdd || op == poMove ? item.SourceFileName : item.FileName;
    a_.DoOnFileProgress(progressName, 0, op, ppStart, a_.CancelRequested);
    if (a_.CancelRequested)
        return false;

    // Volumes take an entry only once it is complete: it is written to a file of its own first.
    std::unique_ptr<TTempFile> entryFile;
    rtl::TStream* target = nullptr;
    int64_t entryStart = 0;
    if (volumes_) {
        entryFile = std::make_unique<TTempFile>(a_.MakeTempFileName());
        if (entryFile->Name().empty())
            throw EZAException::CreateWithCodeFmt(19, {a_.TempDir}, &a_);
        entryFile->stream_ = std::make_unique<rtl::TFileStream>(entryFile->Name(), rtl::fmOpenReadWrite);
        target = entryFile->stream_.get();
    } else {
        target = &Target();
        entryStart = target->Seek(0, rtl::soEnd);
    }
    const auto dropPartialEntry = [&] {
        target->Seek(entryStart, rtl::soBeginning);
        target->SetSize(entryStart);
    };

    bool cancelled = false;
    try {
        item.HasZip64Extra = false;
        TEntrySource source(a_, item);
        WriteEntryTo(item, source, *target, cancelled);
        source.Release(!cancelled);
    } catch (const EZAException& e) {
        dropPartialEntry();
        a_.DoOnProcessFileFailure(op == poUpdate ? item.FileName : item.SourceFileName, op, e.NativeError,
                                  e.ErrorCode, e.Message(), action_);
        return false;
    }
    if (cancelled) {
        dropPartialEntry();
        return false;
    }
    // A failure while the entry goes into the volumes is not the entry's: it ends the commit.
    if (volumes_ && !MoveIntoVolumes(item, *target)) {
        action_ = fxaAbort;
        return false;
    }
    if (op == poMove && !item.IsDirectory())
        movedSources_.push_back(item.SourceFileName);
    bool cancel = false;
    a_.DoOnFileProgress(progressName, 100, op, ppEnd, cancel);
    a_.CancelRequested = a_.CancelRequested || cancel;
    return true;
}

// The local header, the name, room for the ZIP64 sizes when they may be needed, and the data; then
// the header again with the final CRC and sizes (no data descriptor is written).
void TUpdateCommit::WriteEntryTo(TDirItem& item, TEntrySource& source, rtl::TStream& target, bool& cancelled)
{
    const bool always = a_.Zip64Mode == zmAlways;
    const bool disabled = a_.Zip64Mode == zmDisabled;
    const int64_t size = source.Size();
    const int64_t headerStart = target.Seek(0, rtl::soEnd);
    const int64_t offset = volumes_ ? a_.ArchiveStream->Size() : headerStart;
    item.DiskNumberStart = 0;
    item.SizesUnknown = item.SizesFromDescriptor = false;  // the sizes are this data's
    if (offset >= kZip64Limit || always) {
        item.HasZip64Extra = true;
        item.LocalHeaderOffset = kNo32;
        item.Zip64LocalHeaderOffset = offset;
    } else {
        item.LocalHeaderOffset = static_cast<uint32_t>(offset);
    }
    // Deflate output (and the cipher header) can outgrow the source by a little: a source close to
    // 4 GiB gets the ZIP64 sizes in its local header too, so the header can hold what is written.
    const bool nearLimit = !disabled && size + size / 10 + 64 >= kZip64Limit;
    const bool hugeSource = size >= kZip64Limit;
    const bool localZip64 = source.Stream() != nullptr && (always || hugeSource || nearLimit);
    if (source.Stream() != nullptr && (always || hugeSource))
        item.HasZip64Extra = true;

    const bool otherFormat = m_.EndRecord.Signature == kAltEndRecordSig;
    const bool oem = a_.Options().OEMFileNames;
    uint16_t version = item.HasZip64Extra || hugeSource || localZip64 ? kVersionZip64 : oem ? kVersionOem : kVersionAnsi;
    if (otherFormat)
        version = version == kVersionZip64 ? 0x412D : 0x4114;
    item.VersionNeeded = version;
    item.VersionMadeBy = version;
    if (disabled && item.HasZip64Extra)
        throw EZAException::CreateWithCodeFmt(43, {item.SourceFileName}, &a_);

    const std::string name = item.NameBytes(oem);
    if (name.size() > 0xFFFF)
        throw EZAException::CreateWithCode(46, &a_);
    TLocalHeader header;
    header.Signature = otherFormat ? kAltLocalHeaderSig : kLocalHeaderSig;
    header.VersionNeeded = version;
    header.Flags = item.Flags;
    header.CompressionMethod = item.CompressionMethod;
    header.ModTime = item.ModTime;
    header.ModDate = item.ModDate;
    header.Crc32 = item.Crc32;
    header.UncompressedSize = localZip64 ? kNo32 : static_cast<uint32_t>(size);
    header.NameLength = static_cast<uint16_t>(name.size());
    header.ExtraLength = localZip64 ? kLocalZip64ExtraSize : 0;
    item.NameLength = header.NameLength;

    std::vector<uint8_t> bytes(TLocalHeader::Size + name.size() + header.ExtraLength, 0);
    StoreRecord(header, bytes.data());
    std::copy(name.begin(), name.end(), bytes.begin() + TLocalHeader::Size);
    if (target.Write(bytes.data(), static_cast<int64_t>(bytes.size())) != static_cast<int64_t>(bytes.size()))
        throw EZAException::CreateWithCode(46, &a_);
    if (source.Stream() == nullptr)
        return;

    if (!a_.CompressFile(*source.Stream(), target, item)) {
        cancelled = true;
        return;
    }
    header.Crc32 = item.Crc32;
    header.CompressionMethod = item.CompressionMethod;
    header.CompressedSize = localZip64 ? kNo32 : item.CompressedSize;
    StoreRecord(header, bytes.data());
    if (localZip64) {
        uint8_t* extra = bytes.data() + TLocalHeader::Size + name.size();
        PutU16(extra, kZip64ExtraTag);
        PutU16(extra + 2, 16);
        PutU64(extra + 4, static_cast<uint64_t>(item.UncompressedSize64()));
        PutU64(extra + 12, static_cast<uint64_t>(item.CompressedSize64()));
    }
    target.Seek(headerStart, rtl::soBeginning);
    if (target.Write(bytes.data(), static_cast<int64_t>(bytes.size())) != static_cast<int64_t>(bytes.size()))
        throw EZAException::CreateWithCode(46, &a_);
    target.Seek(0, rtl::soEnd);
}

// Copies an entry's own temporary file into the volumes: its local header never straddles two
// volumes. False when the user cancelled the copy.
bool TUpdateCommit::MoveIntoVolumes(TDirItem& item, rtl::TStream& entryFile)
{
    uint8_t raw[TLocalHeader::Size];
    entryFile.Seek(0, rtl::soBeginning);
    entryFile.ReadBuffer(raw, TLocalHeader::Size);
    TLocalHeader header;
    LoadRecord(raw, header);
    const int64_t headerSize = int64_t{TLocalHeader::Size} + header.NameLength + header.ExtraLength;
    entryFile.Seek(0, rtl::soBeginning);
    rtl::TStream* stream = a_.ArchiveStream.get();
    bool cancel = false;
    a_.CopyWithVolumes(entryFile, stream, false, diskBuffer_.get(), 0, headerSize, cancel, a_.VolumeInfo);
    const int32_t volume = std::max(a_.VolumeInfo.VolumeNumber, 0);
    if (volume >= 0xFFFF) {
        item.DiskNumberStart = kNo16;
        item.Zip64DiskNumberStart = static_cast<uint32_t>(volume);
        item.HasZip64Extra = true;
    } else {
        item.DiskNumberStart = static_cast<uint16_t>(volume);
    }
    const int64_t buffered = diskBuffer_ ? diskBuffer_->Size() : 0;
    const int64_t offset = stream->Size() + buffered - headerSize;
    if (offset >= kZip64Limit || a_.Zip64Mode == zmAlways) {
        item.HasZip64Extra = true;
        item.LocalHeaderOffset = kNo32;
        item.Zip64LocalHeaderOffset = offset;
    } else {
        item.LocalHeaderOffset = static_cast<uint32_t>(offset);
    }
    a_.CopyWithVolumes(entryFile, stream, true, diskBuffer_.get(), -1, -1, cancel, a_.VolumeInfo);
    return !cancel;
}

// The stored record of an entry that the archive already holds, or -1 for a new entry.
int TUpdateCommit::FindOldRecord(const TDirItem& item) const
{
    return item.StoredIndex >= 0 && item.StoredIndex < old_.Count() ? item.StoredIndex : -1;
}

// The local record of a stored entry, checked to lie inside the old archive.
TLocalRecord TUpdateCommit::ReadLocalRecord(const TDirItem& record)
{
    TLocalRecord r;
    r.Offset = record.LocalHeaderOffset64();
    const int64_t size = oldStream_->Size();
    const int64_t compressed = record.CompressedSize64();
    if (r.Offset < 0 || compressed < 0 || size - r.Offset < static_cast<int64_t>(TLocalHeader::Size))
        throw EZAException::CreateWithCode(35, &a_);
    uint8_t raw[TLocalHeader::Size];
    oldStream_->Seek(r.Offset, rtl::soBeginning);
    oldStream_->ReadBuffer(raw, TLocalHeader::Size);
    LoadRecord(raw, r.Header);
    if (r.Header.Signature != kLocalHeaderSig && r.Header.Signature != kAltLocalHeaderSig)
        throw EZAException::CreateWithCode(35, &a_);
    const int64_t extraStart = r.Offset + static_cast<int64_t>(TLocalHeader::Size) + r.Header.NameLength;
    const int64_t dataStart = extraStart + r.Header.ExtraLength;
    if (dataStart > size || size - dataStart < compressed)
        throw EZAException::CreateWithCode(35, &a_);
    std::vector<uint8_t> extra(r.Header.ExtraLength);
    oldStream_->Seek(extraStart, rtl::soBeginning);
    oldStream_->ReadBuffer(extra.data(), static_cast<int64_t>(extra.size()));
    r.Zip64 = r.Header.CompressedSize == kNo32 || r.Header.UncompressedSize == kNo32 || HasZip64Block(extra);
    int64_t descriptor = 0;
    if ((r.Header.Flags & kFlagDataDescriptor) != 0) {
        bool wide = r.Zip64 || compressed >= kZip64Limit || record.UncompressedSize64() >= kZip64Limit;
        descriptor = DescriptorLength(record, dataStart + compressed, wide);
        r.Zip64 = r.Zip64 || wide;
    }
    r.Length = dataStart - r.Offset + compressed + descriptor;
    return r;
}

// The length of the data descriptor that follows an entry's data at offset: its signature (written by
// most, not all) and 12 bytes of CRC and sizes, or 20 in the ZIP64 form. The form whose values are
// the entry's, followed by the next record, is taken; wide is the guess when the values tell nothing,
// and tells the form taken.
int64_t TUpdateCommit::DescriptorLength(const TDirItem& record, int64_t offset, bool& wide)
{
    const int64_t size = oldStream_->Size();
    uint8_t bytes[kWideDescriptor] = {};
    const int64_t have = std::min<int64_t>(size - offset, kWideDescriptor);
    oldStream_->Seek(offset, rtl::soBeginning);
    oldStream_->ReadBuffer(bytes, have);
    const bool signature = have >= 4 && GetU32(bytes) == kDataDescriptorSig;
    const uint8_t* values = bytes + (signature ? 4 : 0);
    const auto compressed = static_cast<uint64_t>(record.CompressedSize64());
    const auto uncompressed = static_cast<uint64_t>(record.UncompressedSize64());
    const int64_t base = signature ? 4 : 0;
    const auto agrees = [&](bool zip64) {
        const int64_t length = base + (zip64 ? 20 : 12);
        if (have < length || GetU32(values) != record.Crc32)
            return false;
        return zip64 ? GetU64(values + 4) == compressed && GetU64(values + 12) == uncompressed
                     : GetU32(values + 4) == compressed && GetU32(values + 8) == uncompressed;
    };
    const bool shortForm = agrees(false);
    const bool longForm = agrees(true);
    if (shortForm && longForm) {  // only with sizes that leave the long form's upper halves zero
        const bool shortEnds = m_.IsRecordBoundary(offset + base + 12);
        const bool longEnds = m_.IsRecordBoundary(offset + base + 20);
        wide = shortEnds == longEnds ? wide : longEnds;
    } else if (shortForm || longForm) {
        wide = longForm;
    }
    return std::min<int64_t>(base + (wide ? 20 : 12), size - offset);
}

void TUpdateCommit::CopyRange(int64_t from, int64_t count, rtl::TStream& target)
{
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(count, 1), kCopyChunk)));
    oldStream_->Seek(from, rtl::soBeginning);
    target.Seek(0, rtl::soEnd);
    while (count > 0) {
        const int64_t piece = std::min<int64_t>(count, static_cast<int64_t>(buffer.size()));
        if (oldStream_->Read(buffer.data(), piece) != piece)
            throw EZAException::CreateWithCode(35, &a_);
        if (target.Write(buffer.data(), piece) != piece)
            throw EZAException::CreateWithCode(46, &a_);
        count -= piece;
    }
}

// An entry that keeps its data: its local record is copied from the old archive (under its new name
// when it was renamed). Unchanged entries are found by their own record, changed ones by name.
void TUpdateCommit::CopyOld(int index)
{
    TDirItem* item = &dir_.ItemAt(index);
    TDirItem record = *item;
    if (item->Modified) {
        const int old = FindOldRecord(*item);
        if (old < 0)
            throw EZAException::CreateWithCode(7, &a_);
        record = old_.ItemAt(old);
        if (item->PendingOperation == poUpdate || !IsMetadataChange(item->PendingOperation)) {
            dir_.StoreItem(index, record);
            item = &dir_.ItemAt(index);
        }
    }
    if (record.SizesUnknown || record.SizesFromDescriptor)  // an update that fell back to its old data
        throw EZAException::CreateWithCode(8, &a_);
    const TLocalRecord local = ReadLocalRecord(record);
    rtl::TStream& target = Target();
    const int64_t position = target.Seek(0, rtl::soEnd);
    const uint16_t version = item->VersionNeeded;
    FitZip64Fields(*item, local.Zip64, position);
    TLocalHeader header = local.Header;
    if (header.VersionNeeded == version)  // a local header that agreed with the record goes on agreeing
        header.VersionNeeded = item->VersionNeeded;
    else if (local.Zip64 && (header.VersionNeeded & 0xFF) < kVersionZip64)
        header.VersionNeeded = static_cast<uint16_t>((header.VersionNeeded & 0xFF00) | kVersionZip64);

    std::string name;  // a new name in place of the old one; none when the entry keeps its name
    const bool renamed = item->Modified && item->PendingOperation == poRename;
    if (renamed) {
        // The new name is encoded afresh, so it no longer carries the UTF-8 flag of the old one.
        name = a_.Options().OEMFileNames ? rtl::AnsiToOem(item->FileName) : item->FileName;
        if (name.size() > 0xFFFF)
            throw EZAException::CreateWithCode(46, &a_);
        item->Flags &= static_cast<uint16_t>(~kFlagUtf8Name);
        header.Flags &= static_cast<uint16_t>(~kFlagUtf8Name);
        header.NameLength = static_cast<uint16_t>(name.size());
    }
    std::vector<uint8_t> bytes(TLocalHeader::Size + name.size());
    StoreRecord(header, bytes.data());
    std::copy(name.begin(), name.end(), bytes.begin() + TLocalHeader::Size);
    if (target.Write(bytes.data(), static_cast<int64_t>(bytes.size())) != static_cast<int64_t>(bytes.size()))
        throw EZAException::CreateWithCode(46, &a_);
    const int64_t skipped = static_cast<int64_t>(TLocalHeader::Size) + (renamed ? local.Header.NameLength : 0);
    CopyRange(local.Offset + skipped, local.Length - skipped, target);
}

void TUpdateCommit::WriteDirectory()
{
    if (volumes_) {
        m_.SaveDirectory(true, a_.ArchiveStream.get());
        return;
    }
    m_.SaveDirectory(true, &Target());
}

// The complete new archive takes the old one's place: a memory stream is swapped in; a file is
// pushed to the disk, given the old file's permissions and renamed over it in one step.
void TUpdateCommit::Install()
{
    if (volumes_) {
        m_.Stream = a_.ArchiveStream.get();
        return;
    }
    if (target_) {
        a_.ArchiveStream = std::move(target_);
        m_.Stream = a_.ArchiveStream.get();
        return;
    }
    const auto* held = dynamic_cast<const rtl::TFileStream*>(oldStream_);
    if (held == nullptr)
        throw EZAException::CreateWithCodeFmt(19, {a_.FileName}, &a_);
    // The stream that wrote the new archive goes on as the archive's, keeping its lock.
    a_.ArchiveStream = newFile_->Replace(*held);
    installed_ = true;
    m_.Stream = a_.ArchiveStream.get();
}

// The old archive was never touched (volumes excepted, which only a new archive has): the directory
// in memory and the manager's records go back to what the file holds.
void TUpdateCommit::TakeBack()
{
    diskBuffer_.reset();
    target_.reset();
    newFile_.reset();
    dir_.CopyFrom(old_);
    m_.EndRecord = savedEnd_;
    m_.Zip64EndRecord = savedZip64End_;
    m_.Zip64Locator = savedLocator_;
    m_.DirectoryStart = savedDirectoryStart_;
    m_.IsZip64 = savedZip64_;
    if (volumes_)
        DiscardVolumes();
    m_.Stream = a_.ArchiveStream.get();
}

// A new multi-volume archive that is taken back loses the volumes written after its first one, and
// the first goes back to holding only its stub, as it was made.
void TUpdateCommit::DiscardVolumes()
{
    const int32_t last = a_.VolumeInfo.VolumeNumber;
    if (last > 0) {
        a_.ArchiveStream.reset();
        m_.Stream = nullptr;
        for (int32_t n = last; n > 0; --n) {
            std::string name = a_.FileName;
            a_.VolumeFileName(name, n, false);
            rtl::DeleteFile(name);
        }
        try {
            TZAVolumeNumberInfo first;
            first.SetFirst(true);
            a_.OpenVolume(first);  // made anew, empty
            a_.VolumeInfo.SetFirst(true);
            m_.Stream = a_.ArchiveStream.get();
            if (cut_ > 0 && !a_.SFXStub.empty()) {
                m_.WriteStub();
                return;
            }
        } catch (const std::exception&) {
            return;  // the error that ended the commit is the one to report
        }
    }
    if (a_.ArchiveStream) {
        a_.ArchiveStream->Seek(cut_, rtl::soBeginning);
        a_.ArchiveStream->SetSize(cut_);
    }
}

// Sources of moved entries are deleted once the new archive holding them is in place.
void TUpdateCommit::MovePass()
{
    for (const std::string& source : movedSources_) {
        do {
            action_ = fxaIgnore;
            if (!rtl::DeleteFile(source)) {
                const EZAException e = EZAException::CreateWithCodeFmt(27, {source}, &a_);
                a_.DoOnProcessFileFailure(source, poMove, e.NativeError, e.ErrorCode, e.Message(), action_);
            }
        } while (action_ == fxaRetry);
        if (action_ == fxaAbort)
            return;
    }
}

}  // namespace

void TZABaseArchiver::CommitUpdate()
{
    if (!InUpdate())
        return;
    CheckActive();
    TUpdateCommit commit(*this);
    try {
        commit.Run();
    } catch (...) {
        updateAbandoned_ = true;
        throw;
    }
    // A commit that leaves the archive empty wrote nothing: it was cancelled, taken back or empty.
    if (!ArchiveStream || ArchiveStream->Size() == 0)
        updateAbandoned_ = true;
}
