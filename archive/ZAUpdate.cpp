// The updating side of the archiver: stored names, and batches of changes made to the directory in
// memory (add, update, delete) that CommitUpdate (ZACommit.cpp) then applies to the archive.
#include <algorithm>
#include <vector>

#include "archive/ZAEntryNames.h"
#include "archive/ZAExcept.h"
#include "archive/ZAStrFunc.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace {

constexpr uint16_t kVersionOem = 20;
constexpr uint16_t kVersionAnsi = 0x0B14;
constexpr uint16_t kDirectoryFlags = 2;

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// The rest of a path once its drive ("C:") or server ("\\server\") part is gone.
std::string WithoutDriveOrServer(const std::string& path)
{
    size_t start = 0;
    const size_t colon = path.find(':');
    if (colon != std::string::npos) {
        start = colon + 1;
        if (start >= path.size())
            return {};
    } else {
        for (size_t i = 0; i + 1 < path.size(); ++i) {
            if (IsSeparator(path[i]) && IsSeparator(path[i + 1])) {
                start = i + 2;
                while (start < path.size() && !IsSeparator(path[start]))
                    ++start;  // the server name
                if (start < path.size())
                    ++start;
                break;
            }
        }
    }
    if (start < path.size() && IsSeparator(path[start]))
        ++start;
    return path.substr(start);
}

// The path with '/' separators and without empty or "." components, each ".." taking back the
// component before it (or dropped when there is none), so a stored name is never absolute and never
// climbs out of the folder it is extracted into.
std::string SafeComponents(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    const auto flush = [&] {
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    };
    for (char c : path) {
        if (IsSeparator(c))
            flush();
        else
            part += c;
    }
    flush();
    std::string result;
    for (const std::string& p : parts)
        result += (result.empty() ? "" : "/") + p;
    return result;
}

bool IsUncName(const std::string& path)
{
    return path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

std::string FileNamePart(const std::string& path)
{
    size_t i = path.size();
    while (i > 0 && !IsSeparator(path[i - 1]))
        --i;
    return path.substr(i);
}

// path relative to the folder base (which ends with a separator), or "" when it is not inside it.
std::string RelativeTo(const std::string& path, const std::string& base)
{
    if (path.size() < base.size())
        return {};
    const std::string head = path.substr(0, base.size());
    const std::string tail = path.substr(base.size());
    if (head == base || rtl::AnsiSameText(head, base))
        return tail;
    return {};
}

int32_t NowAsDosTime()
{
    return rtl::DateTimeToFileDate(rtl::Now());
}

// An entry filled anew under the name it already has keeps the name's stored bytes, so other readers
// go on seeing the same name; a name read as UTF-8 gets the UTF-8 flag, since the entry is now made
// by a host whose unflagged names are in a code page.
bool KeepsStoredName(const TDirItem& old, const std::string& listed)
{
    return old.FileName == listed;
}

void KeepStoredName(TDirItem& item, const TDirItem& old)
{
    item.StoredName = old.StoredName;
    item.NameLossy = old.NameLossy;
    item.NameInUtf8 = old.NameInUtf8;
    if (old.NameInUtf8)
        item.Flags |= kFlagUtf8Name;
}

// A new name is stored as given, in the OEM code page or the system's. Where it is listed otherwise
// (its text reads as an escape), its bytes are kept beside the listed name.
void GiveNewName(TDirItem& item, const std::string& stored, const std::string& listed, bool oemNames)
{
    if (listed != stored)
        item.StoredName = oemNames ? rtl::AnsiToOem(stored) : stored;
}

// The code of a source refused because an entry of this batch already takes its data from another
// file of the same name: the names differ only in case or in a trailing dot, which entry names do
// not keep apart. Its message is "Cannot create file" and no other operation raises it.
constexpr int32_t kNameTakenCode = 23;

// The batch fills entry from a source other than the file path: adding path would merge two files.
bool FilledFromAnotherSource(const TDirItem& entry, const std::string& path)
{
    if (!entry.Modified)
        return false;
    if (entry.SourceStream)
        return true;
    return !entry.SourceFileName.empty() && rtl::ExpandFileName(entry.SourceFileName) != rtl::ExpandFileName(path);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Stored names and filling entries

std::string TZABaseArchiver::MakeStoredName(const std::string& FileName, const std::string& BaseDir,
                                            TZAStorePathMode Mode)
{
    const std::string base = ResolvePath(BaseDir.empty() ? rtl::GetCurrentDir() : BaseDir, "");
    // A server name keeps its two leading separators, which expanding would fold into one.
    std::string full = IsUncName(FileName) ? FileName : ResolvePath(base, FileName);
    if (!full.empty() && IsSeparator(full.back()))
        full.pop_back();
    if (!full.empty() && full.back() == '.')
        full.pop_back();

    std::string name;
    switch (Mode) {
    case spNoPath:
        name = FileNamePart(full);
        break;
    case spRelativePath: {
        const std::string folder = AddTrailingBackslash(base);
        if (rtl::AnsiSameText(AddTrailingBackslash(full), folder))
            return {};  // the base folder itself has no name under itself
        const std::string relative = RelativeTo(full, folder);
        const bool climbs = relative.find("..\\") != std::string::npos || relative.find("../") != std::string::npos;
        name = relative.empty() || climbs ? WithoutDriveOrServer(full) : relative;
        break;
    }
    case spFullPath:
        name = WithoutDriveOrServer(full);
        break;
    case spFullPathWithDrive:
        name = ResolvePath(base, full);
        break;
    }
    return SafeComponents(name);
}

namespace {

// What a new entry takes from its source: folder or file, DOS date-time and attributes.
struct TSourceFacts {
    bool IsDirectory = false;
    int32_t DosTime = 0;
    uint32_t Attributes = kAttrArchive;
};

TSourceFacts FactsOf(const std::string& path, bool fromDisk)
{
    TSourceFacts facts;
    facts.IsDirectory = DirExists(path);
    facts.DosTime = NowAsDosTime();
    if (fromDisk) {
        const int32_t age = rtl::FileAge(path);
        if (age != -1)
            facts.DosTime = age;
        if (facts.IsDirectory || rtl::FileExists(path))
            facts.Attributes = static_cast<uint32_t>(rtl::FileGetAttr(path));
    }
    return facts;
}

}  // namespace

// Sets every field of entry Index for a new write under the stored name from the given source.
void TZABaseArchiver::FillEntry(int32_t Index, const std::string& Stored, const std::string& Source,
                                bool IsDirectory, int32_t DosTime, uint32_t Attributes)
{
    TZADirArray& dir = DirManager->CurrentDir;
    dir.RenameItem(Index, Stored);
    TDirItem& item = dir.ItemAt(Index);
    item.Modified = true;
    item.Password = Password;
    item.SourceFileName = Source;
    item.SourceStream.reset();
    item.OwnsSourceStream = false;
    item.CompressionMode = IsDirectory ? 0 : compressionMode_;
    // Extra blocks and ZIP64 values described the old data.
    item.ExtraFields.clear();
    item.HasZip64Extra = false;
    item.Zip64UncompressedSize = item.Zip64CompressedSize = item.Zip64LocalHeaderOffset = 0;
    item.Zip64DiskNumberStart = 0;

    static_cast<TCentralHeader&>(item) = TCentralHeader{};
    const bool otherFormat = DirManager->EndRecord.Signature == kAltEndRecordSig;
    item.Signature = otherFormat ? kAltCentralHeaderSig : kCentralHeaderSig;
    item.CompressionMethod = static_cast<uint16_t>(std::max<int16_t>(CompressionMethod, 0));
    item.VersionNeeded = otherFormat ? kAltVersionNeeded : options_->OEMFileNames ? kVersionOem : kVersionAnsi;
    item.VersionMadeBy = options_->OEMFileNames ? kVersionOem : kVersionAnsi;
    item.Flags = Password.empty() ? 0 : kFlagEncrypted;
    item.ModTime = static_cast<uint16_t>(static_cast<uint32_t>(DosTime) & 0xFFFF);
    item.ModDate = static_cast<uint16_t>(static_cast<uint32_t>(DosTime) >> 16);
    item.Crc32 = 0xFFFFFFFF;  // stands in until the data are written
    item.NameLength = static_cast<uint16_t>(std::min<size_t>(Stored.size(), 0xFFFF));
    item.ExternalAttributes = Attributes;
    if (IsDirectory) {
        item.CompressionMethod = 0;
        item.Crc32 = 0;
        item.Flags = kDirectoryFlags;
    }
}

void TZABaseArchiver::FillItemFromFile(int32_t Index, const std::string& Path, bool FromDisk)
{
    std::string stored = MakeStoredName(Path, rtl::GetCurrentDir(), options_->StorePath);
    if (stored.empty())
        return;
    const TSourceFacts facts = FactsOf(Path, FromDisk);
    if (FromDisk && facts.IsDirectory)
        stored += '/';
    const std::string listed = ListedNameOf(stored);
    FillEntry(Index, listed, Path, facts.IsDirectory, facts.DosTime, facts.Attributes);
    GiveNewName(DirManager->CurrentDir.ItemAt(Index), stored, listed, options_->OEMFileNames);
}

// ---------------------------------------------------------------------------------------------
// Batches

void TZABaseArchiver::BeginUpdate()
{
    CheckActive();
    if (OpenMode == ZA_MODE_READONLY && heldByAnother_)
        throw EZAException::CreateWithCodeFmt(36, {FileName}, this);
    if (OpenMode == ZA_MODE_READONLY)
        throw EZAException::CreateWithCode(32, this);
    if (PendingUpdateCount == 0) {
        TZADirArray& dir = DirManager->CurrentDir;
        for (int i = 0; i < dir.Count(); ++i) {
            dir.ItemAt(i).Modified = false;
            dir.ItemAt(i).StoredIndex = i;  // how the commit knows the entry, whatever its name
        }
        DirManager->BackupDir.CopyFrom(dir);
    }
    ++PendingUpdateCount;
}

void TZABaseArchiver::EndUpdate()
{
    if (PendingUpdateCount > 1)
        --PendingUpdateCount;
    else
        CommitUpdate();
}

// A new name is stored in the OEM code page (with OEMFileNames): one it cannot hold is refused rather
// than stored with '?' in place of its letters.
void TZABaseArchiver::CheckStorableName(const std::string& Stored) const
{
    if (options_->OEMFileNames && rtl::OemToAnsi(rtl::AnsiToOem(Stored)) != Stored)
        throw EZAException::CreateWithCodeFmt(33, {Stored}, this);
}

int32_t TZABaseArchiver::FillNamedEntry(int32_t Found, const std::string& Stored, const std::string& Source,
                                        bool IsDirectory, int32_t DosTime, uint32_t Attributes)
{
    TZADirArray& dir = DirManager->CurrentDir;
    const std::string listed = ListedNameOf(Stored);
    const TDirItem old = Found >= 0 ? dir.FetchItem(Found) : TDirItem{};
    const bool keepsName = Found >= 0 && KeepsStoredName(old, listed);
    if (!keepsName)
        CheckStorableName(Stored);
    int32_t index = Found;
    if (index < 0) {
        index = dir.Count();
        dir.Resize(index + 1);
    }
    FillEntry(index, listed, Source, IsDirectory, DosTime, Attributes);
    TDirItem& item = dir.ItemAt(index);
    if (keepsName)
        KeepStoredName(item, old);
    else
        GiveNewName(item, Stored, listed, options_->OEMFileNames);
    return index;
}

int32_t TZABaseArchiver::AddFile(const std::string& Path, TZAProcessOperation Operation)
{
    if (!InUpdate())
        throw EZAException::CreateWithCode(25, this);
    std::string stored = MakeStoredName(Path, rtl::GetCurrentDir(), options_->StorePath);
    if (stored.empty() || IsArchiveFile(Path))  // an archive never holds itself
        return -1;
    const TSourceFacts facts = FactsOf(Path, true);
    if (facts.IsDirectory)
        stored += '/';
    TZADirArray& dir = DirManager->CurrentDir;
    const int32_t found = IndexOfGivenName(dir, stored);
    if (found >= 0 && !MayFillFrom(dir.ItemAt(found), Path, Operation))
        return -1;
    const int32_t index = FillNamedEntry(found, stored, Path, facts.IsDirectory, facts.DosTime, facts.Attributes);
    dir.ItemAt(index).PendingOperation = Operation == poMove ? poMove : found >= 0 ? poUpdate : poAdd;
    return index;
}

// A retry looks again.
bool TZABaseArchiver::MayFillFrom(const TDirItem& Entry, const std::string& Path, TZAProcessOperation Operation)
{
    TZAAction action = fxaRetry;
    while (action == fxaRetry) {
        if (!FilledFromAnotherSource(Entry, Path))
            return true;
        // The message names both files: the table's text closes the quote around the first.
        const EZAException refusal = EZAException::CreateWithCodeFmt(
            kNameTakenCode, {Path + "\": its entry is taken by \"" + Entry.SourceFileName}, this);
        action = fxaIgnore;
        DoOnProcessFileFailure(Path, Operation, refusal.NativeError, refusal.ErrorCode, refusal.Message(), action);
        if (action == fxaAbort)
            throw refusal;
    }
    return false;
}

int32_t TZABaseArchiver::AddStream(const std::string& Name, std::shared_ptr<rtl::TStream> Source)
{
    if (!InUpdate())
        throw EZAException::CreateWithCode(25, this);
    const std::string stored = SafeComponents(Name);
    if (stored.empty() || !Source)
        return -1;
    const int32_t found = IndexOfGivenName(DirManager->CurrentDir, stored);
    const int32_t index = FillNamedEntry(found, stored, stored, false, NowAsDosTime(), kAttrArchive);
    TDirItem& item = DirManager->CurrentDir.ItemAt(index);
    item.SourceStream = std::move(Source);
    item.OwnsSourceStream = true;  // the archiver lets go of it once it is written
    item.PendingOperation = found >= 0 ? poUpdate : poAdd;
    return index;
}

TDirItem& TZABaseArchiver::UpdateItem(int32_t Index, const std::string& Path)
{
    if (!InUpdate())
        throw EZAException::CreateWithCode(25, this);
    TZADirArray& dir = DirManager->CurrentDir;
    if (Index < 0 || Index >= dir.Count())
        throw EZAException::CreateWithCode(24, this);
    // An update refreshes the data; the entry keeps the name it has in the archive, byte for byte.
    const TDirItem old = dir.FetchItem(Index);
    const TSourceFacts facts = FactsOf(Path, true);
    FillEntry(Index, old.FileName, Path, facts.IsDirectory, facts.DosTime, facts.Attributes);
    TDirItem& item = dir.ItemAt(Index);
    KeepStoredName(item, old);
    item.PendingOperation = poUpdate;
    return item;
}

void TZABaseArchiver::UpdateItemFromDisk(int32_t Index, const std::string& Name, const std::string& Folder)
{
    const TDirItem& entry = DirManager->CurrentDir.ItemAt(Index);
    if (entry.IsDirectory())
        return;
    const std::string path = ResolvePath(Folder, Name);
    if (!rtl::FileExists(path))
        return;
    if (!options_->ReplaceReadOnly && (entry.ExternalAttributes & 1) != 0)
        return;
    // DOS date-times compare as unsigned: the date is in the high word.
    const uint32_t entryTime = (uint32_t{entry.ModDate} << 16) | entry.ModTime;
    const int32_t age = rtl::FileAge(path);
    const uint32_t diskTime = static_cast<uint32_t>(age);
    bool update = false;
    switch (options_->OverwriteMode) {
    case omPrompt: {
        std::string destination = entry.FileName;
        update = true;
        DoOnConfirmOverwrite(path, destination, update);
        break;
    }
    case omAlways: update = true; break;
    case omNever: update = false; break;
    case omIfNewer: update = age != -1 && entryTime < diskTime; break;
    case omIfOlder: update = age != -1 && diskTime < entryTime; break;
    }
    if (update)
        UpdateItem(Index, path);
}

void TZABaseArchiver::CheckDeletable(int32_t Index)
{
    if (!InUpdate())
        throw EZAException::CreateWithCode(22, this);
    CheckActive();
    if (Index < 0 || Index >= DirManager->CurrentDir.Count())
        throw EZAException::CreateWithCode(21, this);
}

void TZABaseArchiver::DeleteItem(int32_t Index)
{
    CheckDeletable(Index);
    DirManager->CurrentDir.RemoveItem(Index);
}

void TZABaseArchiver::TakeForDeletion(int32_t Index)
{
    CheckDeletable(Index);
    if (deletedInRun_.empty() || deletedInRun_.back() != Index)  // a retry takes it once
        deletedInRun_.push_back(Index);
}

void TZABaseArchiver::DeleteItems(std::vector<int32_t> Indexes)
{
    std::sort(Indexes.begin(), Indexes.end());
    Indexes.erase(std::unique(Indexes.begin(), Indexes.end()), Indexes.end());
    if (Indexes.empty()) {
        if (!InUpdate())
            throw EZAException::CreateWithCode(22, this);
        return;
    }
    CheckDeletable(Indexes.front());  // sorted: the first and the last bound them all
    CheckDeletable(Indexes.back());
    DirManager->CurrentDir.RemoveItems(std::vector<int>(Indexes.begin(), Indexes.end()));
}
