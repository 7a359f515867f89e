// Batches of changes: a random sequence of add, delete and rename on an archive the target writes
// itself, judged against a model of its own (each entry's name and bytes). The library lists every
// entry under a name of its own; after every commit the archive reads back, by the oracle's own
// reader over zlib, as exactly the model's entries: none lost or changed, none made up, no two
// names acting as one; and no temporary file is left.
//
// Input: a byte n (its low three bits), n entries of three bytes (name, form, data), then steps of
// a byte whose low two bits choose: add (name, data), delete (name), rename (name, new name), or
// commit, which ends the batch and begins another.
// A name byte: bit 7 puts the name in folder "d/"; its low three bits, and the next three unless
// bit 6 is set, choose pieces from a table of letters in two cases (one Cyrillic), a Chinese
// character and the very text the library shows that character as; every name ends with ".t".
// A form byte: the name stored in UTF-8 with the flag, in cp866 by a DOS host, or in UTF-8 without
// the flag by a Unix host (its low two bits). A data byte: 3 x its low six bits of a pattern, stored
// (the library deflates what it adds).
// Names are given to the library as it lists them (cp1251); a name holding the Chinese character
// has no such spelling, so steps naming one are passed over.
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "archive/ZipArchiver.h"
#include "entry_oracle.h"
#include "fuzz_util.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"

namespace {

struct TPiece {
    const char* Utf8;
    const char* Cp1251;  // nullptr: the code page has no such character
    const char* Cp866;
};

// Each piece begins with a byte no other begins with, in every form, so a stored name splits into
// pieces one way only. Pieces 1 and 3 are 0 and 2 in the other case.
constexpr TPiece kPieces[] = {{"a", "a", "a"},
                              {"A", "A", "A"},
                              {"\xD0\xBF", "\xEF", "\xAF"},
                              {"\xD0\x9F", "\xCF", "\x8F"},
                              {"\xE4\xB8\xAD", nullptr, nullptr},
                              {"<U+4E2D>", "<U+4E2D>", "<U+4E2D>"},
                              {"b", "b", "b"},
                              {"d/", "d/", "d/"}};
constexpr char kUnspellable = '4';
constexpr std::string_view kSuffix = ".t";
constexpr int32_t kAllAttributes = 10431;

using TName = std::string;           // piece numbers, '0' to '7'
using TForm = const char* TPiece::*;  // one of the spellings

// Names the library takes as one: equal but for the case of their letters.
std::string Folded(TName name)
{
    for (char& c : name)
        if (c == '1' || c == '3')
            --c;
    return name;
}

std::string FilePart(const TName& name)
{
    return name.substr(name.find_last_of('7') + 1);
}

std::optional<std::string> Spelled(const TName& name, TForm form)
{
    std::string out;
    for (const char c : name) {
        const char* piece = kPieces[c - '0'].*form;
        if (piece == nullptr)
            return std::nullopt;
        out += piece;
    }
    return out + std::string(kSuffix);
}

// A name as the messages show it.
std::string Shown(const TName& name)
{
    return *Spelled(name, &TPiece::Utf8);
}

std::optional<TName> Parsed(std::string_view stored, TForm form)
{
    if (!stored.ends_with(kSuffix))
        return std::nullopt;
    stored.remove_suffix(kSuffix.size());
    TName name;
    while (!stored.empty()) {
        const auto* piece = std::find_if(std::begin(kPieces), std::end(kPieces),
                                         [&](const TPiece& p) { return p.*form && stored.starts_with(p.*form); });
        if (piece == std::end(kPieces))
            return std::nullopt;
        name += char('0' + (piece - kPieces));
        stored.remove_prefix(std::strlen(piece->*form));
    }
    return name;
}

// As readers take a stored name: UTF-8 when flagged, or unflagged but well-formed from a host
// whose tools store no code page; cp866 otherwise.
std::optional<TName> NameOf(const fuzzarchive::TStated& entry)
{
    static const std::set<int> codePageHosts = {0, 6, 10, 11, 14};  // DOS, OS/2, Windows
    if ((entry.Flags & 0x800) != 0)
        return Parsed(entry.Name, &TPiece::Utf8);
    const std::optional<TName> utf8 = codePageHosts.count(entry.MadeBy >> 8) ? std::nullopt
                                                                               : Parsed(entry.Name, &TPiece::Utf8);
    return utf8 ? utf8 : Parsed(entry.Name, &TPiece::Cp866);
}

// The input, read a byte at a time; nothing once it ends.
struct TInput {
    const uint8_t* At;
    const uint8_t* End;
    std::optional<uint8_t> Next() { return At == End ? std::nullopt : std::optional<uint8_t>(*At++); }
};

TName NameFrom(uint8_t bits)
{
    TName name = (bits & 0x80) ? "7" : "";
    name += char('0' + (bits & 7));
    if ((bits & 0x40) == 0)
        name += char('0' + ((bits >> 3) & 7));
    return name;
}

std::string DataFrom(uint8_t bits)
{
    std::string data(size_t(bits & 0x3F) * 3, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char('a' + (bits + i / 5) % 26);
    return data;
}

// Folded name -> the name as stored and its bytes.
using TModel = std::map<std::string, std::pair<TName, std::string>>;

// ---- the first archive, written here ----

// Little-endian; beyond four bytes, zeros.
void Put(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += i < 4 ? char(value >> (8 * i)) : '\0';
}

uint32_t Crc32Of(std::string_view data)
{
    return uint32_t(crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

// One stored entry's local record (appended to archive) and central header (to directory).
void WriteEntry(std::string& archive, std::string& directory, const std::string& stored, uint16_t flags,
                uint16_t madeBy, std::string_view data)
{
    std::string common;  // version needed to the extra length, as both headers have them
    Put(common, 20, 2), Put(common, flags, 2), Put(common, 0, 6), Put(common, Crc32Of(data), 4);
    Put(common, uint32_t(data.size()), 4), Put(common, uint32_t(data.size()), 4);
    Put(common, uint32_t(stored.size()), 2), Put(common, 0, 2);
    Put(directory, 0x02014B50, 4), Put(directory, madeBy, 2), directory += common;
    Put(directory, 0, 6), Put(directory, 0x20, 4), Put(directory, uint32_t(archive.size()), 4), directory += stored;
    Put(archive, 0x04034B50, 4), archive += common + stored + std::string(data);
}

TModel WriteFirstArchive(TInput& in, const std::string& path)
{
    TModel model;
    std::string archive, directory;
    const uint8_t count = in.Next().value_or(0) & 7;
    for (uint8_t i = 0; i < count; ++i) {
        const auto nameBits = in.Next(), form = in.Next(), dataBits = in.Next();
        if (!dataBits)
            break;
        const TName name = NameFrom(*nameBits);
        const std::string data = DataFrom(*dataBits);
        std::optional<std::string> stored = (*form & 3) == 1 ? Spelled(name, &TPiece::Cp866) : std::nullopt;
        uint16_t flags = 0, madeBy = 0x0014;  // cp866 by a DOS host
        if (!stored) {
            stored = Spelled(name, &TPiece::Utf8);
            flags = (*form & 3) == 2 ? 0 : 0x800;
            madeBy = 0x031E;  // Unix
        }
        if (!model.emplace(Folded(name), std::pair(name, data)).second)
            continue;  // a name the archive holds already
        WriteEntry(archive, directory, *stored, flags, madeBy, data);
    }
    const auto offset = uint32_t(archive.size());
    archive += directory;
    Put(archive, 0x06054B50, 4), Put(archive, 0, 4), Put(archive, uint32_t(model.size()), 2);
    Put(archive, uint32_t(model.size()), 2), Put(archive, uint32_t(directory.size()), 4), Put(archive, offset, 4);
    Put(archive, 0, 2);
    fuzzutil::WriteBytes(path, archive);
    return model;
}

// ---- checks ----

// cp1251 names compared as the library compares them, for the letters of the table.
std::string FoldedListed(std::string name)
{
    for (char& c : name)
        c = c == '\xCF' ? '\xEF' : char(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

void CheckListed(const TZipArchiver& archiver, const TModel& model)
{
    const TZADirArray& dir = archiver.DirManager->CurrentDir;
    std::set<std::string> names;
    for (int i = 0; i < dir.Count(); ++i)
        names.insert(FoldedListed(dir.ItemAt(i).FileName));
    fuzzutil::CheckAt(size_t(dir.Count()) == model.size(), "the library lists every entry of the archive",
                      std::to_string(dir.Count()));
    fuzzutil::CheckAt(names.size() == model.size(), "no two entries are listed under one name",
                      std::to_string(names.size()) + " names for " + std::to_string(model.size()) + " entries");
}

void CheckArchive(const std::string& path, const TModel& model)
{
    const std::string bytes = fuzzutil::ReadBytes(path);
    const auto entries = fuzzarchive::ReadPlainArchive(bytes);
    fuzzutil::Check(entries.has_value(), "the archive after a commit is plainly whole");
    std::set<std::string> found;
    for (const auto& [entry, decodes] : *entries) {
        const std::optional<TName> name = NameOf(entry);
        fuzzutil::CheckAt(name.has_value(), "every stored name is one the batch gave", entry.Name);
        fuzzutil::CheckAt(decodes, "every entry reads back with zlib to its stated size and CRC", entry.Name);
        const auto it = model.find(Folded(*name));
        fuzzutil::CheckAt(it != model.end(), "no entry appears that the batch did not make", entry.Name);
        const std::string& data = it->second.second;
        const bool same =
            it->second.first == *name && entry.Unpacked == int64_t(data.size()) && entry.Crc == Crc32Of(data);
        fuzzutil::CheckAt(same, "each entry keeps its name and its bytes", entry.Name);
        fuzzutil::CheckAt(found.insert(it->first).second, "no two entries share a name", entry.Name);
    }
    fuzzutil::CheckAt(found.size() == model.size(), "no entry is lost", std::to_string(found.size()));
}

// ---- the steps ----

class TBatch {
public:
    TBatch(TZipArchiver& archiver, TModel& model) : archiver_(archiver), model_(model) {}

    void Add(const TName& name, const std::string& data)
    {
        auto source = std::make_shared<rtl::TMemoryStream>();
        source->Write(data.data(), int64_t(data.size()));
        fuzzutil::CheckAt(archiver_.AddStream(*Spelled(name, &TPiece::Cp1251), source) >= 0,
                          "an entry is added under its name", Shown(name));
        model_.erase(Folded(name));
        model_.emplace(Folded(name), std::pair(name, data));
    }

    // As the library's delete by name: a name without folder also meets entries in folders.
    void Delete(const TName& name)
    {
        archiver_.MarkFiles(*Spelled(name, &TPiece::Cp1251), kAllAttributes, "");
        archiver_.ProcessFiles(poDelete);
        std::erase_if(model_, [&](const auto& entry) {
            return entry.first == Folded(name) || FilePart(entry.first) == Folded(name);
        });
    }

    // An entry renamed where no other one has the new name.
    void Rename(const TName& from, const TName& to)
    {
        const auto source = model_.find(Folded(from));
        const auto taken = model_.find(Folded(to));
        if (source == model_.end() || (taken != model_.end() && taken != source))
            return;
        TZADirArray& dir = archiver_.DirManager->CurrentDir;
        const int index = dir.IndexOfName(*Spelled(from, &TPiece::Cp1251));
        fuzzutil::CheckAt(index >= 0, "an entry is found by its name", Shown(from));
        TDirItem& item = dir.ItemAt(index);
        if (!item.Modified) {
            item.PreviousFileName = item.FileName;
            item.Modified = true;
            item.PendingOperation = poRename;
        }
        dir.RenameItem(index, *Spelled(to, &TPiece::Cp1251));
        const std::string data = source->second.second;
        model_.erase(source);
        model_.emplace(Folded(to), std::pair(to, data));
    }

private:
    TZipArchiver& archiver_;
    TModel& model_;
};

bool Spellable(const TName& name)
{
    return name.find(kUnspellable) == std::string::npos;
}

// Runs the steps in batches, each judged as it is committed.
void RunSteps(TInput& in, TZipArchiver& archiver, TModel& model, const std::string& path)
{
    TBatch batch(archiver, model);
    archiver.BeginUpdate();
    while (const auto step = in.Next()) {
        const auto name = (*step & 3) == 3 ? std::optional<uint8_t>(0) : in.Next();
        const auto more = (*step & 3) == 0 || (*step & 3) == 2 ? in.Next() : std::optional<uint8_t>(0);
        if (!name || !more)
            break;
        const TName first = NameFrom(*name);
        if ((*step & 3) != 3 && !Spellable(first))
            continue;
        switch (*step & 3) {
        case 0: batch.Add(first, DataFrom(*more)); break;
        case 1: batch.Delete(first); break;
        case 2:
            if (Spellable(NameFrom(*more)))
                batch.Rename(first, NameFrom(*more));
            break;
        default:
            archiver.EndUpdate();
            CheckArchive(path, model);
            archiver.BeginUpdate();
            break;
        }
    }
    archiver.EndUpdate();
}

const std::string& Folder()
{
    static const std::string folder = [] {
        const std::string temp = fuzzutil::ScratchFolder() + "tmp";
        setenv("TMPDIR", temp.c_str(), 1);  // where the commit keeps its copy of the archive
        return fuzzutil::ScratchFolder() + "update";
    }();
    return folder;
}

void CheckNoTemporaries()
{
    for (const std::string& folder : {Folder(), fuzzutil::ScratchFolder() + "tmp"})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            fuzzutil::CheckAt(entry.path().filename() == "t.zip", "a batch leaves no temporary file", entry.path());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static rtl::ScriptedDialogs dialogs;  // no prompt may wait for an answer
    rtl::SetDialogService(&dialogs);
    fuzzutil::ResetFolder(Folder());
    fuzzutil::ResetFolder(fuzzutil::ScratchFolder() + "tmp");
    const std::string path = Folder() + "/t.zip";
    TInput in{data, data + size};
    TModel model = WriteFirstArchive(in, path);
    constexpr const char* kNoFailure = "no step of a batch on a whole archive fails";
    try {
        TZipArchiver archiver;
        archiver.FileName = rtl::FromNativePath(path);
        archiver.OnProcessFileFailure = [&](TZABaseArchiver*, const std::string& name, TZAProcessOperation, int32_t,
                                            int32_t, const std::string& message, TZAAction&) {
            fuzzutil::CheckAt(false, kNoFailure, name + ": " + message);
        };
        archiver.OpenArchive();
        CheckListed(archiver, model);
        RunSteps(in, archiver, model, path);
        archiver.CloseArchive();
    } catch (const std::exception& e) {
        fuzzutil::CheckAt(false, kNoFailure, e.what());
    }
    CheckArchive(path, model);
    CheckNoTemporaries();
    return 0;
}
