#include "entry_oracle.h"

#include <dirent.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

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

// The folded form the case-blind lookup compares (cp1251 upper case).
std::string Fold(std::string_view cp1251)
{
    return rtl::AnsiUpperCase(cp1251);
}

// A name on disk the system's code page holds, folded; its own bytes otherwise.
std::string FoldOnDisk(const std::string& utf8)
{
    const std::string cp1251 = rtl::Utf8ToCp1251(utf8);
    return rtl::Cp1251ToUtf8(cp1251) == utf8 ? Fold(cp1251) : utf8;
}

std::vector<std::string> Components(const std::string& slashed)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < slashed.size()) {
        size_t end = slashed.find('/', start);
        if (end == std::string::npos)
            end = slashed.size();
        if (end > start)
            parts.push_back(slashed.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

// The name in folder that stands for one component of an entry's name: its own spelling, else the
// one that differs only in case.
std::optional<std::string> FindOnDisk(const std::string& folder, const std::string& component)
{
    const std::string own = rtl::Cp1251ToUtf8(component);
    struct stat st;
    if (::lstat((folder + "/" + own).c_str(), &st) == 0)
        return own;
    const std::string folded = Fold(component);
    for (const std::string& name : ListFolder(folder))
        if (FoldOnDisk(name) == folded)
            return name;
    return std::nullopt;
}

uint32_t Crc32Of(std::string_view bytes)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    while (!bytes.empty()) {
        const auto chunk = uInt(std::min<size_t>(bytes.size(), 1u << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), chunk);
        bytes.remove_prefix(chunk);
    }
    return uint32_t(crc);
}

// An entry reported as extracted: every folder on its way is a real folder, and a file holds the
// stated size and CRC. A folder entry is its name's folders: all of them when the name ends with
// "/", else those before its last part (the folder attribute alone makes no folder of that part).
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
        fuzzutil::CheckAt(found.has_value(), "an entry reported as extracted is at its name",
                          path + " / " + parts[i]);
        path += "/" + *found;
        struct stat st;
        fuzzutil::CheckAt(::lstat(path.c_str(), &st) == 0, "an entry reported as extracted is at its name", path);
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

// No folder of the target holds two names that differ only in case (links are not followed).
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

// One outcome per entry the operation reported on, in the order of the reports.
std::vector<std::pair<std::string, TOutcome>> OutcomesOf(const TObservedArchiver& archiver, TZAProcessOperation op)
{
    std::vector<std::pair<std::string, TOutcome>> outcomes;
    std::optional<std::string> open;
    bool skipped = false;
    for (const TObservedArchiver::TReport& report : archiver.Reports) {
        if (report.Op != op)
            continue;
        const bool matchesOpen = open && *open == report.Name;
        switch (report.Kind) {
        case TKind::Started:
            fuzzutil::CheckAt(!open, "an entry started is ended or failed before the next", report.Name);
            open = report.Name;
            skipped = false;
            break;
        case TKind::Skipped:
            fuzzutil::CheckAt(matchesOpen, "a password is asked for the entry in hand", report.Name);
            skipped = true;
            break;
        case TKind::Done:
            fuzzutil::CheckAt(matchesOpen, "an entry ended is the one started", report.Name);
            outcomes.emplace_back(report.Name, skipped ? TOutcome::Skipped : TOutcome::Done);
            open.reset();
            break;
        case TKind::Failed:
            fuzzutil::CheckAt(!open || matchesOpen, "a failure names the entry in hand", report.Name);
            outcomes.emplace_back(report.Name, TOutcome::Failed);
            open.reset();
            break;
        }
    }
    fuzzutil::CheckAt(!open || archiver.Aborted, "an entry started is ended or failed", open.value_or(""));
    return outcomes;
}

// The outcome of each entry: every entry is reported, in the archive's order, unless an operation
// was aborted, which leaves the rest unreported.
std::vector<TOutcome> OutcomePerEntry(const TObservedArchiver& archiver, const std::vector<TDirItem>& entries,
                                      TZAProcessOperation op)
{
    const auto outcomes = OutcomesOf(archiver, op);
    std::vector<TOutcome> perEntry;
    size_t next = 0;
    for (const TDirItem& entry : entries) {
        const std::string name = Slashed(entry.FileName);
        if (next < outcomes.size() && Slashed(outcomes[next].first) == name) {
            perEntry.push_back(outcomes[next++].second);
            continue;
        }
        fuzzutil::CheckAt(archiver.Aborted, "every entry is reported as done or as failed", name);
        perEntry.push_back(TOutcome::Unreported);
    }
    fuzzutil::CheckAt(next == outcomes.size(), "every report names an entry, in the archive's order",
                      next < outcomes.size() ? outcomes[next].first : "");
    return perEntry;
}

enum class TDecode { Good, Bad, Unjudged };

uint16_t Le16(std::string_view bytes, size_t at)
{
    return uint16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8);
}


// Raw inflate of the stated compressed bytes. Good when the stream ends within them with the stated
// size and CRC; bad when what it gives differs from them; unjudged when it gives them but does not
// end (a reader may stop once it has the stated bytes).
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
        if (status == Z_BUF_ERROR && got > 0)
            status = Z_OK;  // room was short, not input
    }
    inflateEnd(&stream);
    if (produced != entry.UncompressedSize64() || uint32_t(crc) != entry.Crc32)
        return TDecode::Bad;
    return status == Z_STREAM_END ? TDecode::Good : TDecode::Unjudged;
}

uint32_t Le32(std::string_view bytes, size_t at)
{
    return uint32_t(Le16(bytes, at)) | uint32_t(Le16(bytes, at + 2)) << 16;
}

bool IsLocalHeaderAt(std::string_view archive, int64_t offset)
{
    return offset >= 0 && uint64_t(offset) + 30 <= archive.size() && archive.substr(size_t(offset), 4) == "PK\x03\x04";
}

// Whether the entry's local header lies that far from the start of the zip data, as the last end
// record places it, when something (a self-extractor stub, or bytes lost or added) shifts it.
bool IsShiftedLocalHeader(std::string_view archive, int64_t offset)
{
    const size_t end = archive.size() < 22 ? std::string_view::npos : archive.rfind("PK\x05\x06", archive.size() - 22);
    if (end == std::string_view::npos)
        return false;
    const int64_t start = int64_t(end) - int64_t(Le32(archive, end + 12)) - int64_t(Le32(archive, end + 16));
    return start != 0 && IsLocalHeaderAt(archive, offset + start);
}

// The oracle's own reading of an entry's data: unencrypted stored and deflated entries only, and
// only where the local header agrees with the directory on method and flags (a reader may refuse
// a disagreement).
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
            folded += Fold(part) + "/";
        lastPerName[folded] = i;
    }
    for (const auto& [name, index] : lastPerName) {
        // A name the code page cannot hold reaches the disk in a spelling of the library's choice.
        if (!entries[index].NameLossy)
            CheckPlaced(target, entries[index]);
    }
    CheckNoCaseTwins(target);
}

// Whether the archive is plainly whole, read here: one end record, last in the file and followed
// only by its comment, whose directory lies right before it and lists exactly the entries the open
// read, by name and offset (no ZIP64 record, no bytes added or lost). Only then does the archive
// promise that every entry that decodes is good: elsewhere the library reads a directory it had to
// rebuild, which it may mistrust.
bool IsPlainlyWhole(std::string_view archive, const std::vector<TDirItem>& entries)
{
    if (archive.size() < 22)
        return false;
    const size_t end = archive.rfind("PK\x05\x06", archive.size() - 22);
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
        const std::string_view name = archive.substr(at + 46, std::min(nameLength, end - at - 46));
        if ((entry.Flags & 0x800) != 0 || name != entry.FileName || Le32(archive, at + 42) != entry.LocalHeaderOffset64())
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
                          entries[i].FileName + (outcomes[i] == TOutcome::Done ? ": passed" : ": failed") +
                              ", own decode " + (own == TDecode::Good ? "good" : "bad"));
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
    std::string target = targetFolder;
    while (target.size() > 1 && target.back() == '/')
        target.pop_back();
    fuzzutil::GrantOwnerAccess(target);
    CheckExtracted(archiver, entries, target);
    CheckTested(archiver, entries, archiveBytes);
}

}  // namespace fuzzarchive
