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

uint32_t Crc32Of(std::string_view bytes)
{
    return uint32_t(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

uint16_t Le16(std::string_view bytes, size_t at)
{
    return uint16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8);
}

uint32_t Le32(std::string_view bytes, size_t at)
{
    return uint32_t(Le16(bytes, at)) | uint32_t(Le16(bytes, at + 2)) << 16;
}

size_t EndRecordOf(std::string_view archive)
{
    return archive.size() < 22 ? std::string_view::npos : archive.rfind("PK\x05\x06", archive.size() - 22);
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

enum class TDecode { Good, Bad, Unjudged };

// Raw inflate: good when the stream ends with the stated size and CRC, bad when it gives other
// bytes, unjudged when it gives them without ending (a reader may stop once it has them).
TDecode InflateOwn(std::string_view packed, const TDirItem& entry)
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
    while (status == Z_OK && produced <= entry.UncompressedSize64()) {
        stream.next_out = out;
        stream.avail_out = sizeof out;
        status = inflate(&stream, Z_NO_FLUSH);
        const size_t got = sizeof out - stream.avail_out;
        crc = crc32(crc, out, uInt(got));
        produced += int64_t(got);
    }
    inflateEnd(&stream);
    if (produced != entry.UncompressedSize64() || uint32_t(crc) != entry.Crc32)
        return TDecode::Bad;
    return status == Z_STREAM_END ? TDecode::Good : TDecode::Unjudged;
}

bool IsLocalHeaderAt(std::string_view archive, int64_t offset)
{
    return offset >= 0 && uint64_t(offset) + 30 <= archive.size() && archive.substr(size_t(offset), 4) == "PK\x03\x04";
}

// A local header found only where the last end record, shifted by a stub or lost bytes, puts it.
bool IsShiftedLocalHeader(std::string_view archive, int64_t offset)
{
    const size_t end = EndRecordOf(archive);
    if (end == std::string_view::npos)
        return false;
    const int64_t start = int64_t(end) - int64_t(Le32(archive, end + 12)) - int64_t(Le32(archive, end + 16));
    return start != 0 && IsLocalHeaderAt(archive, offset + start);
}

// Unencrypted stored or deflated entries whose local header agrees on method and flags only.
TDecode DecodeOwn(std::string_view archive, const TDirItem& entry)
{
    if ((entry.Flags & 1) != 0 || (entry.CompressionMethod != 0 && entry.CompressionMethod != 8))
        return TDecode::Unjudged;
    const int64_t offset = entry.LocalHeaderOffset64();
    if (!IsLocalHeaderAt(archive, offset))  // readers differ on how far to look for it
        return IsShiftedLocalHeader(archive, offset) ? TDecode::Unjudged : TDecode::Bad;
    const auto at = size_t(offset);
    if (Le16(archive, at + 6) != entry.Flags || Le16(archive, at + 8) != entry.CompressionMethod)
        return TDecode::Unjudged;
    const uint64_t start = at + 30 + Le16(archive, at + 26) + Le16(archive, at + 28);
    if (start > archive.size())  // a header cut off: what an empty entry reads from it is moot
        return TDecode::Unjudged;
    const int64_t packedSize = entry.CompressedSize64();
    if (packedSize < 0)
        return TDecode::Bad;
    const std::string_view packed = archive.substr(size_t(start), size_t(packedSize));
    if (entry.CompressionMethod == 0)
        return int64_t(packed.size()) == entry.UncompressedSize64() && Crc32Of(packed) == entry.Crc32 ? TDecode::Good
                                                                                                     : TDecode::Bad;
    const TDecode decoded = InflateOwn(packed, entry);
    // Data stated to run past the end that ends in time: readers differ on taking it.
    return decoded == TDecode::Good && int64_t(packed.size()) < packedSize ? TDecode::Unjudged : decoded;
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

// One end record and its comment, right after a directory of exactly the entries read, by name and
// offset. Only then must every entry that decodes pass: else the library may mistrust its rebuild.
bool IsPlainlyWhole(std::string_view archive, const std::vector<TDirItem>& entries)
{
    const size_t end = EndRecordOf(archive);
    if (end == std::string_view::npos || end + 22 + Le16(archive, end + 20) != archive.size())
        return false;
    const uint32_t count = Le16(archive, end + 10), size = Le32(archive, end + 12), start = Le32(archive, end + 16);
    if (count != entries.size() || uint64_t(start) + size != end)
        return false;
    size_t at = start;
    for (const TDirItem& entry : entries) {
        if (at + 46 > end || archive.substr(at, 4) != "PK\x01\x02")
            return false;
        const size_t nameLength = Le16(archive, at + 28);
        if ((entry.Flags & 0x800) != 0 || archive.substr(at + 46, std::min(nameLength, end - at - 46)) != entry.FileName ||
            Le32(archive, at + 42) != entry.LocalHeaderOffset64())
            return false;
        at += 46 + nameLength + Le16(archive, at + 30) + Le16(archive, at + 32);
    }
    return at == end;
}

void CheckTested(const TObservedArchiver& archiver, const std::vector<TDirItem>& entries, std::string_view archive)
{
    const std::vector<TOutcome> outcomes = OutcomePerEntry(archiver, entries, poTest);
    if (archive.empty())
        return;
    const bool whole = IsPlainlyWhole(archive, entries);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].IsDirectory() || (outcomes[i] != TOutcome::Done && outcomes[i] != TOutcome::Failed))
            continue;
        const TDecode own = DecodeOwn(archive, entries[i]);
        if (own == TDecode::Unjudged)
            continue;
        const bool passed = outcomes[i] == TOutcome::Done;
        fuzzutil::CheckAt(passed ? own == TDecode::Good : (own == TDecode::Bad || !whole),
                          "a test passes an entry exactly when its data decode to the stated size and CRC",
                          entries[i].FileName + (passed ? ": passed" : ": failed"));
    }
}

}  // namespace

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
                  const std::string& targetFolder, std::string_view archiveBytes)
{
    const std::string target = targetFolder.substr(0, targetFolder.find_last_not_of('/') + 1);
    fuzzutil::GrantOwnerAccess(target);
    CheckExtracted(archiver, entries, target);
    CheckTested(archiver, entries, archiveBytes);
}

}  // namespace fuzzarchive
