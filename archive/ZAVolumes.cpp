// Volumes: numbering, size limits, volume file names, switching the archive stream to another
// volume, and deciding whether an opened archive is a single file, split or spanned.
#include <cstdlib>
#include <limits>

#include "archive/ZAExcept.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/drives.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace {

// Free space a disk must have beyond the limit before a volume goes onto it.
constexpr int64_t kMinFreeForVolume = 65536;

// Decimal digits of value, zero-padded to width ("%.3u" / "%.2d" of the volume names).
std::string PaddedNumber(int64_t value, size_t width)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (digits.size() < width)
        digits.insert(0, width - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

struct TNameParts {
    std::string Folder;  // with its trailing separator
    std::string Base;    // file name without extension
    std::string Ext;     // with the dot, may be empty
};

TNameParts SplitName(const std::string& name)
{
    TNameParts parts;
    parts.Folder = rtl::ExtractFilePath(name);
    parts.Ext = rtl::ExtractFileExt(name);
    const std::string file = rtl::ExtractFileName(name);
    parts.Base = file.substr(0, file.size() - parts.Ext.size());
    return parts;
}

std::string AdvancedVolumeName(const TNameParts& p, int32_t number, const std::string& ext)
{
    return p.Folder + p.Base + "_" + PaddedNumber(int64_t{number} + 1, 3) + ext;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TZAVolumeNumberInfo

void TZAVolumeNumberInfo::SetFirst(bool value)
{
    if (value) {
        VolumeNumber = 0;
        VolumeRole = vrFirst;
    }
}

bool TZAVolumeNumberInfo::IsLast() const
{
    if (FinalVolumeNumber == -1)
        return VolumeRole == vrLast;
    return VolumeNumber == FinalVolumeNumber;
}

void TZAVolumeNumberInfo::SetLast(bool value)
{
    if (value) {
        VolumeNumber = FinalVolumeNumber;
        VolumeRole = vrLast;
    }
}

void TZAVolumeNumberInfo::SetNumber(int32_t number)
{
    VolumeRole = vrNumbered;
    VolumeNumber = number;
}

bool TZAVolumeNumberInfo::SameVolume(const TZAVolumeNumberInfo& other) const
{
    if (IsLast())
        return other.IsLast();
    if (IsFirst())
        return other.IsFirst();
    if (VolumeNumber < 0)
        return VolumeRole == other.VolumeRole;
    return VolumeNumber == other.VolumeNumber;
}

void TZAVolumeNumberInfo::Reset()
{
    VolumeRole = vrNotSet;
    VolumeNumber = -1;
    FinalVolumeNumber = -1;
}

// ---------------------------------------------------------------------------------------------
// TZASpanningOptions

void TZASpanningOptions::SetCustomVolumeSize(int64_t value)
{
    customVolumeSize_ = value < MinCustomVolumeSize ? MinCustomVolumeSize : value;
}

int64_t TZASpanningOptions::LimitOf(TZAVolumeSize size) const
{
    constexpr int64_t MB = 1048576;
    switch (size) {
    case vsAutoDetect: return -1;
    case vsCustom: return customVolumeSize_;
    case vs1_44MB: return 1457664;
    case vs100MB: return 100 * MB;
    case vs200MB: return 200 * MB;
    case vs250MB: return 250 * MB;
    case vs600MB: return 600 * MB;
    case vs650MB: return 650 * MB;
    case vs700MB: return 700 * MB;
    case vs4700MB: return 4700 * MB;
    }
    return -1;
}

int64_t TZASpanningOptions::VolumeSizeFor(const TZAVolumeNumberInfo& info) const
{
    if (info.IsFirst() && FirstVolumeSize > 0)
        return FirstVolumeSize;
    return LimitOf(VolumeSize);
}

void TZASpanningOptions::Assign(const TZAPersistent* source)
{
    const auto* other = dynamic_cast<const TZASpanningOptions*>(source);
    if (other == nullptr) {
        TZAPersistent::Assign(source);
        return;
    }
    AdvancedNaming = other->AdvancedNaming;
    FirstVolumeSize = other->FirstVolumeSize;
    VolumeSize = other->VolumeSize;
    customVolumeSize_ = other->customVolumeSize_;
}

// ---------------------------------------------------------------------------------------------
// Volume names

bool TZABaseArchiver::HasStub(const std::string& name) const
{
    return (DirManager && DirManager->PrefixSize != 0) || !SFXStub.empty() || IsExeName(name);
}

void TZABaseArchiver::VolumeFileName(std::string& Name, int32_t Number, bool CheckExists) const
{
    const TNameParts p = SplitName(Name);
    const bool stub = HasStub(Name);
    const bool advanced = spanningOptions_->AdvancedNaming;
    if (Number == -1) {
        if (stub && spanningMode_ == smSplitting)
            Name = p.Folder + p.Base + ".ZIP";
        return;
    }
    switch (spanningMode_) {
    case smSpanning: {
        // Every disk may hold the same name, or numbered names; a disk written the other way is
        // still found when asked to check.
        const std::string ext = stub ? std::string(".exe") : p.Ext;
        const std::string numbered = AdvancedVolumeName(p, Number, ext);
        const std::string same = p.Folder + p.Base + ext;
        const std::string& preferred = advanced ? numbered : same;
        const std::string& other = advanced ? same : numbered;
        Name = preferred;
        if (CheckExists && !rtl::FileExists(preferred) && rtl::FileExists(other))
            Name = other;
        break;
    }
    case smSplitting:
        if (Number == 0 && stub)
            Name = p.Folder + p.Base + ".exe";
        else if (advanced)
            Name = AdvancedVolumeName(p, Number, p.Ext);
        else
            Name = p.Folder + p.Base + ".Z" + PaddedNumber(int64_t{Number} + 1, 2);
        break;
    case smNone:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Drives

int64_t TZABaseArchiver::DriveFreeSpace(const std::string& path)
{
    // Linux has no drive roots: ask about the folder that holds the file, which is where it goes.
    return rtl::DiskFree(rtl::ExtractFilePath(path));
}

bool TZABaseArchiver::IsRemovableDrive(const std::string& path)
{
    const std::string drive = rtl::UpperCase(rtl::ExtractFileDrive(path));
    if (drive == "A:" || drive == "B:")
        return true;
    return rtl::GetDriveType(path) == rtl::DRIVE_REMOVABLE;
}

// ---------------------------------------------------------------------------------------------
// Switching volumes

void TZABaseArchiver::OpenVolumeStream(const std::string& name)
{
    ArchiveStream.reset();
    FollowArchiveStream();
    ArchiveStream = OpenArchiveFile(name);
    CurrentVolumeName = name;
    FollowArchiveStream();
}

// The directory manager reads and writes the archiver's current volume.
void TZABaseArchiver::FollowArchiveStream()
{
    if (DirManager && !DirManager->DetachedStream)
        DirManager->Stream = ArchiveStream.get();
}

void TZABaseArchiver::OpenVolume(const TZAVolumeNumberInfo& info)
{
    if (spanningMode_ == smNone) {
        if (!ArchiveStream)
            OpenVolumeStream(FileName);
        TakeVolume(info);
    } else if (OpenMode == ZA_MODE_CREATE) {
        OpenVolumeForWriting(info);
    } else {
        OpenVolumeForReading(info);
    }
}

void TZABaseArchiver::TakeVolume(const TZAVolumeNumberInfo& info)
{
    VolumeInfo.VolumeNumber = info.VolumeNumber;
    VolumeInfo.VolumeRole = info.VolumeRole;
}

// A blank volume with room for the volume's size limit: asked for until one fits or the user
// cancels (code 45). The writer advances the number in its own info.
void TZABaseArchiver::OpenVolumeForWriting(const TZAVolumeNumberInfo& info)
{
    ArchiveStream.reset();
    FollowArchiveStream();
    const int64_t limit = spanningOptions_->VolumeSizeFor(info);
    std::string name;
    bool cancel = false;
    for (;;) {
        name = FileName;
        DoOnRequestBlankVolume(info.VolumeNumber, name, cancel);
        if (cancel)
            break;
        const int64_t free = DriveFreeSpace(name);
        if (free > kMinFreeForVolume && (limit <= 0 || free >= limit))
            break;
        DoOnDiskFull(info.VolumeNumber, name, cancel);
        if (cancel)
            break;
    }
    if (cancel)
        throw EZAException::CreateWithCode(45, this);
    OpenVolumeStream(name);
    if (spanningMode_ == smSpanning) {
        const std::string label = "pkback# " + PaddedNumber(int64_t{info.VolumeNumber} + 1, 3);
        rtl::SetVolumeLabel(name, label);  // a disk that keeps no label is still usable
    }
}

void TZABaseArchiver::OpenVolumeForReading(const TZAVolumeNumberInfo& info)
{
    if (VolumeInfo.SameVolume(info))
        return;
    for (;;) {
        std::string name = FileName;
        bool cancel = true;
        if (info.IsFirst())
            DoOnRequestFirstVolume(name, cancel);
        else if (info.IsLast())
            DoOnRequestLastVolume(name, cancel);
        else
            DoOnRequestMiddleVolume(info.VolumeNumber, name, cancel);
        if (cancel)
            break;
        if (name.empty() && spanningMode_ == smSplitting)
            return;
        if (!name.empty() && rtl::FileExists(name)) {
            OpenVolumeStream(name);
            TakeVolume(info);
            return;
        }
    }
    throw EZAException::CreateWithCode(45, this);
}

// ---------------------------------------------------------------------------------------------
// Single file, split or spanned

void TZABaseArchiver::DetectSpanningMode()
{
    if (!endRecordFound_ || !DirManager) {
        spanningMode_ = IsRemovableDrive(FileName) ? smSpanning : smNone;
        return;
    }
    const int64_t disk = EndRecordDiskNumber();
    if (disk == 0) {
        spanningMode_ = smNone;
        return;
    }
    spanningMode_ = smSplitting;
    if (PreviousVolumeExists(disk))
        return;
    TZASpanningOptions& so = *spanningOptions_;
    so.AdvancedNaming = !so.AdvancedNaming;
    if (PreviousVolumeExists(disk))
        return;
    so.AdvancedNaming = !so.AdvancedNaming;
    spanningMode_ = rtl::Pos(".exe", rtl::LowerCase(FileName)) > 0 ? smNone : smSpanning;
}

bool TZABaseArchiver::PreviousVolumeExists(int64_t disk) const
{
    std::string name = FileName;
    VolumeFileName(name, static_cast<int32_t>(disk - 1), false);
    return rtl::FileExists(name);
}

// The number of the disk that holds the end record. A ZIP64 archive writes 0xFFFF there and keeps
// the number in its locator (total disks - 1), which stands right before the end record.
int64_t TZABaseArchiver::EndRecordDiskNumber()
{
    const int64_t disk = DirManager->EndRecord.DiskNumber;
    if (disk != kNo16)
        return disk;
    TEndRecord record;
    int64_t position = -1;
    const std::string comment = DirManager->Comment;
    const bool found = DirManager->FindEndRecord(record, position, DirManager->EndRecord.Signature);
    DirManager->Comment = comment;
    if (!found || position < static_cast<int64_t>(TZip64Locator::Size))
        return disk;
    rtl::TStream& stream = *ArchiveStream;
    const int64_t saved = stream.Position();
    uint8_t bytes[TZip64Locator::Size];
    stream.SetPosition(position - static_cast<int64_t>(TZip64Locator::Size));
    const int64_t got = stream.Read(bytes, sizeof bytes);
    stream.SetPosition(saved);
    if (got != static_cast<int64_t>(sizeof bytes))
        return disk;
    TZip64Locator locator;
    LoadRecord(bytes, locator);
    if (locator.Signature != kZip64LocatorSig)
        return disk;
    const int64_t lastDisk = locator.TotalDisks > 0 ? int64_t{locator.TotalDisks} - 1 : 0;
    // Volume numbers are 32-bit signed; a count beyond them is damage, read as "no such volume".
    return lastDisk > std::numeric_limits<int32_t>::max() - 1 ? std::numeric_limits<int32_t>::max() - 1
                                                               : lastDisk;
}
