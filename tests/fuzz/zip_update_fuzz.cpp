// Batches of add, delete and rename on an archive the target writes itself, against a model of its
// own (each entry's name bytes, characters, listed name and data). After the open and every commit the
// library lists each entry under the model's name, no two alike; the archive reads back, by the
// oracle's zlib reader, as exactly the model's entries in the model's name form; no temporary is left.
// The model lists names by its own copy of the naming rule (archive/ZAEntryNames.h); a delete or
// rename passes the name listed for the entry the model means, as the library's callers do.
//
// Input: a byte n (low three bits), n entries of (name, form, data) bytes (NameFrom, the form's low
// bits: flagged UTF-8, cp866 from DOS, unflagged UTF-8 from Unix; DataFrom), then steps of a byte whose
// low two bits choose add (name, data), delete (name), rename (name, new name) or commit. Adds of the
// Chinese character (cp1251 lacks it) are passed over, and renames to it or its escape's text.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "archive/ZipArchiver.h"
#include "entry_oracle.h"
#include "fuzz_util.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"
#include "tests/archive/dir/zip_builder.h"

namespace {

struct TPiece {
    const char* Utf8;
    const char* Cp1251;  // nullptr: the code page has no such character
    const char* Cp866;
    const char* Listed;  // as the library lists it
    const char* Apart;   // as it lists it in a name that gives way
};

// Pieces 1 and 3 are 0 and 2 in the other case; others differ in every form. Piece 5 is an escape's
// text, so a name holding it lists every piece one way.
constexpr TPiece kPieces[] = {{"a", "a", "a", "a", "a"},
                              {"A", "A", "A", "A", "A"},
                              {"\xD0\xBF", "\xEF", "\xAF", "\xEF", "<U+0000043F>"},
                              {"\xD0\x9F", "\xCF", "\x8F", "\xCF", "<U+0000041F>"},
                              {"\xE4\xB8\xAD", nullptr, nullptr, "<U+4E2D>", nullptr},
                              {"<U+4E2D>", "<U+4E2D>", "<U+4E2D>", "<U+003C>U+4E2D>", "<U+0000003C>U+4E2D>"},
                              {"b", "b", "b", "b", "b"},
                              {"d/", "d/", "d/", "d/", "d/"}};
constexpr int32_t kAllAttributes = 10431;

using TName = std::string;           // piece numbers, '0' to '7'
using TForm = const char* TPiece::*;  // one of the spellings

std::string Spelled(const TName& name, TForm form)
{
    std::string out;
    for (const char c : name) {
        if (kPieces[c - '0'].*form == nullptr)
            return {};  // the form lacks the piece
        out += kPieces[c - '0'].*form;
    }
    return out + ".t";
}

// Listed names compared as the library compares them, for the letters of the table.
std::string Folded(std::string listed)
{
    for (char& c : listed)
        c = c == '\xCF' ? '\xEF' : char(std::tolower(static_cast<unsigned char>(c)));
    return listed;
}

struct TEntry {
    std::string Stored;  // the name's bytes in the archive
    TName Name;
    bool Apart;  // gives way to a UTF-8 name of the same characters
    std::string Data;

    std::string Listed() const { return Spelled(Name, Apart ? &TPiece::Apart : &TPiece::Listed); }
};

using TModel = std::vector<TEntry>;  // in the directory's order

// The entry the library finds by a listed name: the one listed so, else the last alike but for case.
int IndexOfListed(const TModel& model, const std::string& listed)
{
    int other = -1;
    for (int i = 0; i < int(model.size()); ++i) {
        if (model[size_t(i)].Listed() == listed)
            return i;
        if (Folded(model[size_t(i)].Listed()) == Folded(listed))
            other = i;
    }
    return other;
}

std::string ListedFor(const TModel& model, const TName& name)
{
    const auto it = std::find_if(model.begin(), model.end(), [&](const TEntry& e) { return e.Name == name; });
    return it != model.end() ? it->Listed() : Spelled(name, &TPiece::Listed);
}

struct TInput {
    const uint8_t* At;
    const uint8_t* End;
    std::optional<uint8_t> Next() { return At == End ? std::nullopt : std::optional<uint8_t>(*At++); }
};

// Bit 7: in "d/"; pieces of the low three bits, and the next three unless bit 6 is set.
TName NameFrom(uint8_t bits)
{
    TName name = (bits & 0x80) ? "7" : "";
    name += char('0' + (bits & 7));
    if ((bits & 0x40) == 0)
        name += char('0' + ((bits >> 3) & 7));
    return name;
}

// 3 x the low six bits of a pattern.
std::string DataFrom(uint8_t bits)
{
    std::string data(size_t(bits & 0x3F) * 3, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char('a' + (bits + i / 5) % 26);
    return data;
}

TModel WriteFirstArchive(TInput& in, const std::string& path)
{
    TModel model;
    std::vector<TestEntry> written;
    const uint8_t count = in.Next().value_or(0) & 7;
    for (uint8_t i = 0; i < count; ++i) {
        const auto nameBits = in.Next(), form = in.Next(), dataBits = in.Next();
        if (!dataBits)
            break;
        const TName name = NameFrom(*nameBits);
        const bool cp866 = (*form & 3) == 1 && !Spelled(name, &TPiece::Cp866).empty();
        const std::string stored = Spelled(name, cp866 ? &TPiece::Cp866 : &TPiece::Utf8);
        const uint16_t flags = cp866 || (*form & 3) == 2 ? 0 : 0x800, madeBy = cp866 ? 0x0014 : 0x031E;  // DOS, Unix
        if (std::none_of(model.begin(), model.end(), [&](const TEntry& e) { return e.Stored == stored; })) {
            model.push_back({stored, name, false, DataFrom(*dataBits)});
            written.emplace_back(stored, model.back().Data);
            written.back().flags = flags, written.back().madeBy = madeBy;
        }
    }
    for (TEntry& entry : model)  // two entries of one name's characters store it in two forms
        entry.Apart = entry.Stored == Spelled(entry.Name, &TPiece::Cp866) &&
                      std::count_if(model.begin(), model.end(), [&](auto& e) { return e.Name == entry.Name; }) > 1;
    fuzzutil::WriteBytes(path, BuildZip(written).bytes);
    return model;
}

void CheckListed(const TZipArchiver& archiver, const TModel& model)
{
    const std::vector<TDirItem> dir = fuzzarchive::EntriesOf(archiver);
    fuzzutil::CheckAt(dir.size() == model.size(), "the library lists every entry of the archive",
                      std::to_string(dir.size()));
    std::set<std::string> names;
    for (size_t i = 0; i < model.size(); ++i) {
        const std::string& listed = dir[i].FileName;
        fuzzutil::CheckAt(names.insert(listed).second, "no two entries are listed under one name", listed);
        fuzzutil::CheckAt(listed == model[i].Listed(), "each entry is listed as the naming rule says",
                          listed + " for " + model[i].Listed());
    }
}

// Readers take a name as UTF-8 when flagged, or unflagged from a host storing no code page.
bool ReadsAsGiven(const fuzzarchive::TStated& stated, const TEntry& entry)
{
    static const std::set<int> codePageHosts = {0, 6, 10, 11, 14};  // DOS, OS/2, Windows
    const bool flagged = (stated.Flags & 0x800) != 0;
    if (entry.Stored == Spelled(entry.Name, &TPiece::Cp866))
        return !flagged || entry.Stored == Spelled(entry.Name, &TPiece::Utf8);
    return flagged || codePageHosts.count(stated.MadeBy >> 8) == 0;
}

void CheckArchive(const std::string& path, const TModel& model)
{
    const auto entries = fuzzarchive::ReadPlainArchive(fuzzutil::ReadBytes(path));
    fuzzutil::Check(entries.has_value(), "the archive after a commit is plainly whole");
    std::set<std::string> found;
    for (const auto& [read, decodes] : *entries) {
        const fuzzarchive::TStated& stated = read;  // a lambda captures no binding
        fuzzutil::CheckAt(decodes, "every entry reads back with zlib to its stated size and CRC", stated.Name);
        const auto it =
            std::find_if(model.begin(), model.end(), [&](const TEntry& e) { return e.Stored == stated.Name; });
        fuzzutil::CheckAt(it != model.end(), "no entry appears that the batch did not make", stated.Name);
        const bool same = ReadsAsGiven(stated, *it) && stated.Unpacked == int64_t(it->Data.size()) &&
                          stated.Crc == fuzzarchive::Crc32Of(it->Data);
        fuzzutil::CheckAt(same, "each entry keeps its name and its bytes", stated.Name);
        fuzzutil::CheckAt(found.insert(stated.Name).second, "no two entries share a name", stated.Name);
    }
    fuzzutil::CheckAt(found.size() == model.size(), "no entry is lost", std::to_string(found.size()));
}

struct TBatch {
    TZipArchiver& Archiver;
    TModel& Model;

    // Fills the entry listed under the name (keeping its bytes); else one that gave way and stores the
    // add's bytes; else the last listed alike but for case.
    void Add(const TName& name, const std::string& data)
    {
        const std::string listed = Spelled(name, &TPiece::Listed);
        TEntry added{Spelled(name, &TPiece::Cp866), name, false, data};
        int at = IndexOfListed(Model, listed);
        const bool keepsName = at >= 0 && Model[size_t(at)].Listed() == listed;
        const auto apart =
            std::find_if(Model.begin(), Model.end(), [&](const TEntry& e) { return e.Stored == added.Stored; });
        if (!keepsName && apart != Model.end())
            at = int(apart - Model.begin());
        auto source = std::make_shared<rtl::TMemoryStream>();
        source->Write(data.data(), int64_t(data.size()));
        const int32_t index = Archiver.AddStream(Spelled(name, &TPiece::Cp1251), source);
        fuzzutil::CheckAt(index == (at < 0 ? int(Model.size()) : at), "an add fills the entry its name names", listed);
        if (keepsName)
            added.Stored = Model[size_t(at)].Stored;
        if (at < 0)
            Model.push_back(added);
        else
            Model[size_t(at)] = added;
    }

    // Removes every entry listed under the name, or so without its folder, letter case aside.
    void Delete(const TName& name)
    {
        const std::string listed = ListedFor(Model, name);
        Archiver.MarkFiles(listed, kAllAttributes, "");
        Archiver.ProcessFiles(poDelete);
        std::erase_if(Model, [&](const TEntry& entry) {
            const std::string own = Folded(entry.Listed());
            return own == Folded(listed) || own.substr(own.find_last_of('/') + 1) == Folded(listed);
        });
    }

    // Passed over where another entry holds the new name's characters, letter case aside.
    void Rename(const TName& from, const TName& to)
    {
        const std::string listed = ListedFor(Model, from), named = Folded(Spelled(to, &TPiece::Listed));
        const int at = IndexOfListed(Model, listed);
        const auto taken = [&](const TEntry& e) {
            return &e != &Model[size_t(at)] && Folded(Spelled(e.Name, &TPiece::Listed)) == named;
        };
        if (at < 0 || std::any_of(Model.begin(), Model.end(), taken))
            return;
        TZADirArray& dir = Archiver.DirManager->CurrentDir;
        const int index = dir.IndexOfName(listed);
        fuzzutil::CheckAt(index == at, "a listed name finds the entry the model names", listed);
        TDirItem& item = dir.ItemAt(index);
        if (!item.Modified)
            item.PreviousFileName = item.FileName, item.Modified = true, item.PendingOperation = poRename;
        dir.RenameItem(index, Spelled(to, &TPiece::Cp1251));
        Model[size_t(at)] = {Spelled(to, &TPiece::Cp866), to, false, Model[size_t(at)].Data};
    }
};

void RunSteps(TInput& in, TZipArchiver& archiver, TModel& model, const std::string& path)
{
    TBatch batch{archiver, model};
    archiver.BeginUpdate();
    while (const auto step = in.Next()) {
        const int kind = *step & 3;
        const auto name = kind == 3 ? std::optional<uint8_t>(0) : in.Next();
        const auto more = kind % 2 == 0 ? in.Next() : std::optional<uint8_t>(0);
        if (!name || !more)
            break;
        const TName first = NameFrom(*name), second = NameFrom(*more);
        if (kind == 0 && first.find('4') == std::string::npos)
            batch.Add(first, DataFrom(*more));
        else if (kind == 1)
            batch.Delete(first);
        else if (kind == 2 && second.find_first_of("45") == std::string::npos)
            batch.Rename(first, second);
        else if (kind == 3) {
            archiver.EndUpdate();
            CheckListed(archiver, model);
            CheckArchive(path, model);
            archiver.BeginUpdate();
        }
    }
    archiver.EndUpdate();
}

// The archive's folder, and the temporary folder where the commit keeps its copy.
const std::string& Folder()
{
    static const std::string folder = [] {
        setenv("TMPDIR", (fuzzutil::ScratchFolder() + "update").c_str(), 1);
        return fuzzutil::ScratchFolder() + "update";
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static rtl::ScriptedDialogs dialogs;  // no prompt may wait for an answer
    rtl::SetDialogService(&dialogs);
    fuzzutil::ResetFolder(Folder());
    const std::string path = Folder() + "/t.zip";
    TInput in{data, data + size};
    TModel model = WriteFirstArchive(in, path);
    {  // an exception ends the run as a finding
        TZipArchiver archiver;
        archiver.FileName = rtl::FromNativePath(path);
        archiver.OnProcessFileFailure = [&](TZABaseArchiver*, const std::string& name, TZAProcessOperation, int32_t,
                                            int32_t, const std::string& message, TZAAction&) {
            fuzzutil::CheckAt(false, "no step of a batch on a whole archive fails", name + ": " + message);
        };
        archiver.OpenArchive();
        CheckListed(archiver, model);
        RunSteps(in, archiver, model, path);
        archiver.CloseArchive();
    }
    CheckArchive(path, model);
    for (const auto& entry : std::filesystem::directory_iterator(Folder()))
        fuzzutil::CheckAt(entry.path().filename() == "t.zip", "a batch leaves no temporary file", entry.path());
    return 0;
}
