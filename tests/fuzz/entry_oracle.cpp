#include "entry_oracle.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "fuzz_util.h"
#include "platform/rtl/codepage.h"

namespace fuzzarchive {

uint32_t Crc32Of(std::string_view bytes)
{
    return uint32_t(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

namespace {

using TKind = TObservedArchiver::TKind;

std::string Slashed(std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

// A name on disk the system's code page holds, folded (cp1251 upper case); its own bytes otherwise.
std::string FoldOnDisk(const std::string& utf8)
{
    const std::string cp1251 = rtl::Utf8ToCp1251(utf8);
    return rtl::Cp1251ToUtf8(cp1251) == utf8 ? rtl::AnsiUpperCase(cp1251) : utf8;
}

std::vector<std::string> Components(const std::string& slashed)
{
    std::vector<std::string> parts;
    std::istringstream in(slashed);
    for (std::string part; std::getline(in, part, '/');)
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename());
    return names;
}

// The name in folder for one component of an entry's name: its own spelling, else one in other case.
std::optional<std::string> FindOnDisk(const std::string& folder, const std::string& component)
{
    const std::string own = rtl::Cp1251ToUtf8(component);
    struct stat st;
    if (::lstat((folder + "/" + own).c_str(), &st) == 0)
        return own;
    const std::string folded = rtl::AnsiUpperCase(component);
    for (const std::string& name : ListFolder(folder))
        if (FoldOnDisk(name) == folded)
            return name;
    return std::nullopt;
}

uint16_t Le16(std::string_view bytes, size_t at)
{
    return uint16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8);
}

uint32_t Le32(std::string_view bytes, size_t at)
{
    return uint32_t(Le16(bytes, at)) | uint32_t(Le16(bytes, at + 2)) << 16;
}

// As the library finds it: nearest the end, within 65,600 bytes, its comment reaching the end.
size_t EndRecordOf(std::string_view archive)
{
    const size_t lowest = archive.size() - std::min<size_t>(archive.size(), 65600);
    for (size_t at = archive.size(); at >= lowest + 22; --at)
        if (archive.substr(at - 22, 4) == "PK\x05\x06" && Le16(archive, at - 2) == archive.size() - at)
            return at - 22;
    return std::string_view::npos;
}

// The disks the library reads, joined (README.md says which).
struct TArchiveView {
    std::string Bytes;
    std::vector<size_t> DiskStart;  // where each disk begins in Bytes

    size_t DiskEnd(size_t at) const
    {
        const auto next = std::upper_bound(DiskStart.begin(), DiskStart.end(), at);
        return next == DiskStart.end() ? Bytes.size() : *next;
    }
};

// None when the end record names a disk beyond the volumes (the library then asks for disks).
std::optional<TArchiveView> ViewAsRead(const std::vector<std::string_view>& volumes)
{
    const std::string_view last = volumes.back();
    const size_t end = EndRecordOf(last);
    int64_t disk = end == std::string_view::npos ? 0 : Le16(last, end + 4);
    if (disk == 0xFFFF && end >= 20 && last.substr(end - 20, 4) == "PK\x06\x07")  // the ZIP64 count of disks
        disk = std::max<int64_t>(int64_t(Le32(last, end - 4)) - 1, 0);
    if (disk >= int64_t(volumes.size()))
        return std::nullopt;
    TArchiveView view;
    for (int64_t i = 0; i <= disk; ++i) {
        view.DiskStart.push_back(view.Bytes.size());
        view.Bytes += i < disk ? volumes[size_t(i)] : last;
    }
    return view;
}

// Every folder on an extracted entry's way is a real folder, and a file holds the stated size and
// CRC. A folder entry named without a trailing "/" makes folders only of the parts before its last.
void CheckPlaced(const std::string& target, const TDirItem& entry)
{
    const std::string name = Slashed(entry.FileName);
    std::vector<std::string> parts = Components(name);
    const bool folderEntry = entry.IsDirectory() || (!name.empty() && name.back() == '/');
    if (folderEntry && !name.empty() && name.back() != '/' && !parts.empty())
        parts.pop_back();
    std::string path = target;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::optional<std::string> found = FindOnDisk(path, parts[i]);
        path += "/" + found.value_or(parts[i]);
        struct stat st;
        fuzzutil::CheckAt(found && ::lstat(path.c_str(), &st) == 0, "an entry reported as extracted is at its name", path);
        if (i + 1 < parts.size() || folderEntry) {
            fuzzutil::CheckAt(S_ISDIR(st.st_mode), "an extracted entry's folders are real folders, never links", path);
            continue;
        }
        fuzzutil::CheckAt(S_ISREG(st.st_mode), "an entry reported as extracted is a regular file", path);
        const std::string bytes = fuzzutil::ReadBytes(path);
        fuzzutil::CheckAt(int64_t(bytes.size()) == entry.UncompressedSize64(),
                          "an extracted file has its entry's stated size", path);
        fuzzutil::CheckAt(Crc32Of(bytes) == entry.Crc32, "an extracted file has its entry's stated CRC", path);
    }
}

void CheckNoCaseTwins(const std::string& folder)
{
    std::set<std::string> seen;
    for (const std::string& name : ListFolder(folder)) {
        const std::string path = folder + "/" + name;
        fuzzutil::CheckAt(seen.insert(FoldOnDisk(name)).second, "no two names in a folder differ only in case", path);
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            CheckNoCaseTwins(path);
    }
}

enum class TOutcome { Unreported, Done, Failed, Skipped };

// Every entry is reported, in the archive's order, unless an aborted operation left some out.
std::vector<TOutcome> OutcomePerEntry(const TObservedArchiver& archiver, const std::vector<TDirItem>& entries,
                                      TZAProcessOperation op)
{
    std::vector<TOutcome> perEntry;
    std::optional<std::string> open;
    bool skipped = false;
    const auto next = [&] { return perEntry.size() < entries.size() ? Slashed(entries[perEntry.size()].FileName) : ""; };
    const auto record = [&](const std::string& name, TOutcome outcome) {
        while (archiver.Aborted && perEntry.size() < entries.size() && next() != name)
            perEntry.push_back(TOutcome::Unreported);
        fuzzutil::CheckAt(perEntry.size() < entries.size() && next() == name,
                          "every report names an entry, in the archive's order", name);
        perEntry.push_back(outcome);
        open.reset();
    };
    for (const TObservedArchiver::TReport& report : archiver.Reports) {
        if (report.Op != op)
            continue;
        const bool matchesOpen = open && *open == report.Name;
        if (report.Kind == TKind::Started) {
            fuzzutil::CheckAt(!open, "an entry started is ended or failed before the next", report.Name);
            open = report.Name;
            skipped = false;
        } else if (report.Kind == TKind::Skipped) {
            fuzzutil::CheckAt(matchesOpen, "a password is asked for the entry in hand", report.Name);
            skipped = true;
        } else if (report.Kind == TKind::Done) {
            fuzzutil::CheckAt(matchesOpen, "an entry ended is the one started", report.Name);
            record(report.Name, skipped ? TOutcome::Skipped : TOutcome::Done);
        } else {
            fuzzutil::CheckAt(!open || matchesOpen, "a failure names the entry in hand", report.Name);
            record(report.Name, TOutcome::Failed);
        }
    }
    fuzzutil::CheckAt(!open || archiver.Aborted, "an entry started is ended or failed", open.value_or(""));
    fuzzutil::CheckAt(perEntry.size() == entries.size() || archiver.Aborted,
                      "every entry is reported as done or as failed", next());
    perEntry.resize(entries.size(), TOutcome::Unreported);
    return perEntry;
}

// A single file is read whatever disk an entry names; -1 on a disk the library does not read.
int64_t HeaderAt(const TArchiveView& view, uint32_t disk, int64_t offset)
{
    if (view.DiskStart.size() == 1)
        return offset;
    return disk < view.DiskStart.size() ? int64_t(view.DiskStart[disk]) + offset : -1;
}

TStated StatedOf(const TArchiveView& view, const TDirItem& entry)
{
    const uint32_t disk = entry.DiskNumberStart == 0xFFFF ? entry.Zip64DiskNumberStart : entry.DiskNumberStart;
    return {entry.FileName, entry.VersionMadeBy, entry.Flags, entry.CompressionMethod, entry.Crc32,
            entry.CompressedSize64(), entry.UncompressedSize64(), entry.LocalHeaderOffset64(),
            HeaderAt(view, disk, entry.LocalHeaderOffset64())};
}

enum class TDecode { Good, Bad, Unjudged };

// Raw inflate: good when the stream ends with the stated size and CRC, bad when it gives other
// bytes, unjudged when it gives them without ending (a reader may stop once it has them).
TDecode InflateOwn(std::string_view packed, const TStated& entry)
{
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return TDecode::Unjudged;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = uInt(packed.size());
    uLong crc = crc32(0L, Z_NULL, 0);
    int64_t produced = 0;
    int status = Z_OK;
    unsigned char out[16384];
    while (status == Z_OK && produced <= entry.Unpacked) {
        stream.next_out = out;
        stream.avail_out = sizeof out;
        status = inflate(&stream, Z_NO_FLUSH);
        const size_t got = sizeof out - stream.avail_out;
        crc = crc32(crc, out, uInt(got));
        produced += int64_t(got);
    }
    inflateEnd(&stream);
    if (produced != entry.Unpacked || uint32_t(crc) != entry.Crc)
        return TDecode::Bad;
    return status == Z_STREAM_END ? TDecode::Good : TDecode::Unjudged;
}

bool IsLocalHeaderAt(std::string_view archive, int64_t offset)
{
    return offset >= 0 && uint64_t(offset) + 30 <= archive.size() && archive.substr(size_t(offset), 4) == "PK\x03\x04";
}

// In a single file, a local header found only where the end record, shifted by a stub, puts it.
bool IsShiftedLocalHeader(const TArchiveView& view, int64_t offset)
{
    const std::string_view archive = view.Bytes;
    const size_t end = EndRecordOf(archive);
    if (end == std::string_view::npos || view.DiskStart.size() > 1)
        return false;
    const int64_t start = int64_t(end) - int64_t(Le32(archive, end + 12)) - int64_t(Le32(archive, end + 16));
    return start != 0 && IsLocalHeaderAt(archive, offset + start);
}

// Unencrypted stored or deflated entries whose local header agrees on method and flags only.
TDecode DecodeOwn(const TArchiveView& view, const TStated& entry)
{
    const std::string_view archive = view.Bytes;
    if ((entry.Flags & 1) != 0 || (entry.Method != 0 && entry.Method != 8))
        return TDecode::Unjudged;
    if (!IsLocalHeaderAt(archive, entry.HeaderAt))  // readers differ on how far to look for it
        return IsShiftedLocalHeader(view, entry.HeaderAt) ? TDecode::Unjudged : TDecode::Bad;
    const auto at = size_t(entry.HeaderAt);
    if (Le16(archive, at + 6) != entry.Flags || Le16(archive, at + 8) != entry.Method)
        return TDecode::Unjudged;
    const uint64_t start = at + 30 + Le16(archive, at + 26) + Le16(archive, at + 28);
    if (start > view.DiskEnd(at))  // a header cut off by the end of its disk: readers differ on it
        return TDecode::Unjudged;
    if (entry.Packed < 0)
        return TDecode::Bad;
    const std::string_view packed = archive.substr(size_t(start), size_t(entry.Packed));
    if (entry.Method == 0)
        return int64_t(packed.size()) == entry.Unpacked && Crc32Of(packed) == entry.Crc ? TDecode::Good : TDecode::Bad;
    const TDecode decoded = InflateOwn(packed, entry);
    // Data stated to run past the end that ends in time: readers differ on taking it.
    return decoded == TDecode::Good && int64_t(packed.size()) < entry.Packed ? TDecode::Unjudged : decoded;
}

void CheckExtracted(const TObservedArchiver& archiver, const std::vector<TDirItem>& entries, const std::string& target)
{
    const std::vector<TOutcome> outcomes = OutcomePerEntry(archiver, entries, poExtract);
    std::map<std::string, size_t> lastPerName;  // folded name -> the last entry extracted there
    for (size_t i = 0; i < entries.size(); ++i) {
        if (outcomes[i] != TOutcome::Done)
            continue;
        std::string folded;
        for (const std::string& part : Components(Slashed(entries[i].FileName)))
            folded += rtl::AnsiUpperCase(part) + "/";
        lastPerName[folded] = i;
    }
    for (const auto& [name, index] : lastPerName)
        if (!entries[index].NameLossy)  // else the library chooses the spelling on disk
            CheckPlaced(target, entries[index]);
    CheckNoCaseTwins(target);
}

// The directory when the archive is plainly whole (README.md says what that takes).
std::optional<std::vector<TStated>> PlainDirectory(const TArchiveView& view)
{
    const std::string_view archive = view.Bytes;
    const size_t end = EndRecordOf(archive);
    if (end == std::string_view::npos || (end >= 20 && archive.substr(end - 20, 4) == "PK\x06\x07"))
        return std::nullopt;
    const uint16_t startDisk = Le16(archive, end + 6), count = Le16(archive, end + 10);
    const uint64_t size = Le32(archive, end + 12);
    if (startDisk >= view.DiskStart.size() || view.DiskStart[startDisk] + Le32(archive, end + 16) + size != end)
        return std::nullopt;
    std::vector<TStated> entries;
    size_t at = end - size;
    while (at < end) {
        if (at + 46 > view.DiskEnd(at) || archive.substr(at, 4) != "PK\x01\x02")
            return std::nullopt;
        const size_t next = at + 46 + Le16(archive, at + 28) + Le16(archive, at + 30) + Le16(archive, at + 32);
        const uint16_t disk = Le16(archive, at + 34);
        TStated entry{std::string(archive.substr(at + 46, Le16(archive, at + 28))), Le16(archive, at + 4),
                      Le16(archive, at + 8), Le16(archive, at + 10), Le32(archive, at + 16), Le32(archive, at + 20),
                      Le32(archive, at + 24), Le32(archive, at + 42), -1};
        if (next > view.DiskEnd(at) || disk == 0xFFFF ||
            std::max({entry.Packed, entry.Unpacked, entry.Offset}) == 0xFFFFFFFF)
            return std::nullopt;
        entry.HeaderAt = HeaderAt(view, disk, entry.Offset);
        if (!IsLocalHeaderAt(archive, entry.HeaderAt))  // else readers differ on where to look for it
            return std::nullopt;
        entries.push_back(entry);
        at = next;
    }
    if (at != end || entries.size() != count)
        return std::nullopt;
    std::vector<std::pair<int64_t, int64_t>> spans;  // header and data, apart and before the directory
    for (const TStated& entry : entries)
        spans.emplace_back(entry.HeaderAt, entry.HeaderAt + 30 + entry.Packed);
    std::sort(spans.begin(), spans.end());
    for (size_t i = 0; i < spans.size(); ++i)
        if (spans[i].second > int64_t(end - size) || (i + 1 < spans.size() && spans[i].second > spans[i + 1].first))
            return std::nullopt;
    return entries;
}

void CheckListed(const std::vector<TStated>& stated, const std::vector<TDirItem>& entries)
{
    fuzzutil::CheckAt(stated.size() == entries.size(), "the library lists every entry of a plainly whole archive",
                      std::to_string(entries.size()) + " of " + std::to_string(stated.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const TDirItem& entry = entries[i];
        const TStated& own = stated[i];
        const bool plainName =
            std::all_of(own.Name.begin(), own.Name.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
        fuzzutil::CheckAt(entry.Crc32 == own.Crc && entry.CompressedSize64() == own.Packed &&
                              entry.UncompressedSize64() == own.Unpacked && entry.LocalHeaderOffset64() == own.Offset &&
                              (!plainName || entry.FileName == own.Name),
                          "the library lists the entries of a plainly whole archive as its directory states them",
                          entry.FileName);
    }
}

void CheckTested(const TObservedArchiver& archiver, const std::vector<TDirItem>& entries,
                 const std::optional<TArchiveView>& view)
{
    const std::vector<TOutcome> outcomes = OutcomePerEntry(archiver, entries, poTest);
    if (!view)
        return;
    const std::optional<std::vector<TStated>> stated = PlainDirectory(*view);
    if (stated)
        CheckListed(*stated, entries);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].IsDirectory() || (outcomes[i] != TOutcome::Done && outcomes[i] != TOutcome::Failed))
            continue;
        const TDecode own = DecodeOwn(*view, stated ? (*stated)[i] : StatedOf(*view, entries[i]));
        if (own == TDecode::Unjudged)
            continue;
        const bool passed = outcomes[i] == TOutcome::Done;
        fuzzutil::CheckAt(passed ? own == TDecode::Good : (own == TDecode::Bad || !stated),
                          "a test passes an entry exactly when its data decode to the stated size and CRC",
                          entries[i].FileName + (passed ? ": passed" : ": failed"));
    }
}

}  // namespace

std::optional<std::vector<std::pair<TStated, bool>>> ReadPlainArchive(std::string_view archive)
{
    const TArchiveView view{std::string(archive), {0}};
    const std::optional<std::vector<TStated>> stated = PlainDirectory(view);
    if (!stated)
        return std::nullopt;
    std::vector<std::pair<TStated, bool>> entries;
    for (const TStated& entry : *stated)
        entries.emplace_back(entry, DecodeOwn(view, entry) == TDecode::Good);
    return entries;
}

void TObservedArchiver::DoOnFileProgress(const std::string& FileName, double Progress, TZAProcessOperation Operation,
                                         TZAProgressPhase ProgressPhase, bool& Cancel)
{
    if (ProgressPhase == ppStart || ProgressPhase == ppEnd)
        Reports.push_back({Operation, ProgressPhase == ppStart ? TKind::Started : TKind::Done, Slashed(FileName)});
    TZipArchiver::DoOnFileProgress(FileName, Progress, Operation, ProgressPhase, Cancel);
}

void TObservedArchiver::DoOnProcessFileFailure(const std::string& FileName, TZAProcessOperation Operation,
                                               int32_t NativeError, int32_t ErrorCode,
                                               const std::string& ErrorMessage, TZAAction& Action)
{
    Reports.push_back({Operation, TKind::Failed, Slashed(FileName)});
    TZipArchiver::DoOnProcessFileFailure(FileName, Operation, NativeError, ErrorCode, ErrorMessage, Action);
}

void TObservedArchiver::DoOnPassword(const std::string& FileName, std::string& NewPassword, bool& SkipFile)
{
    TZipArchiver::DoOnPassword(FileName, NewPassword, SkipFile);
    if (SkipFile)
        Reports.push_back({Reports.empty() ? poExtract : Reports.back().Op, TKind::Skipped, Slashed(FileName)});
}

std::vector<TDirItem> EntriesOf(const TZipArchiver& archiver)
{
    std::vector<TDirItem> entries;
    if (archiver.DirManager)
        for (int i = 0; i < archiver.DirManager->CurrentDir.Count(); ++i)
            entries.push_back(archiver.DirManager->CurrentDir.FetchItem(i));
    return entries;
}

void CheckEntries(const TObservedArchiver& archiver, const std::vector<TDirItem>& entries,
                  const std::string& targetFolder, const std::vector<std::string_view>& volumes)
{
    const std::string target = targetFolder.substr(0, targetFolder.find_last_not_of('/') + 1);
    fuzzutil::GrantOwnerAccess(target);
    CheckExtracted(archiver, entries, target);
    CheckTested(archiver, entries, volumes.empty() ? std::nullopt : ViewAsRead(volumes));
}

}  // namespace fuzzarchive
