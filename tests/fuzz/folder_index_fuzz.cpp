// The case-blind folder index against a listing of the folder's own: names are made, removed and
// renamed between look-ups, and after each step every name it touched is looked up; the index must
// give the smallest name on disk that matches it without regard to case, or none.
//
// Input: a mode byte (bit 0: the folder is watched by the kernel, else trusted by its stamp), then
// steps of one byte: the top two bits choose the step (make a file, remove, rename to the name of
// the next byte, make a folder), the low six bits the name: two letters of three bits each, from a
// table of four letters in both cases, Cyrillic ones among them. Changes go through the run-time
// layer's calls and are reported to the index as the layer's own callers report theirs.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "platform/rtl/folderindex.h"
#include "platform/rtl/fscalls.h"

namespace {

namespace index = rtl::folderindex;

struct TLetter {
    const char* Utf8;
    char Cp1251;
};

// Letter i and i ^ 1 are one letter in two cases.
constexpr TLetter kLetters[] = {{"a", 'a'}, {"A", 'A'}, {"b", 'b'}, {"B", 'B'},
                                {"\xD1\x8F", '\xFF'}, {"\xD0\xAF", '\xDF'}, {"\xD1\x91", '\xB8'}, {"\xD0\x81", '\xA8'}};

struct TName {
    std::string OnDisk;  // UTF-8
    std::string Cp1251;
    std::string Folded;  // one letter class a letter
};

TName NameOf(uint8_t bits)
{
    TName name;
    for (const unsigned letter : {bits & 7u, (bits >> 3) & 7u}) {
        name.OnDisk += kLetters[letter].Utf8;
        name.Cp1251 += kLetters[letter].Cp1251;
        name.Folded += char('0' + letter / 2);
    }
    return name;
}

// The letter classes of a name on disk, which holds letters of the table only.
std::string FoldedOnDisk(std::string onDisk)
{
    std::string folded;
    while (!onDisk.empty()) {
        const auto letter = std::find_if(std::begin(kLetters), std::end(kLetters),
                                         [&](const TLetter& l) { return onDisk.starts_with(l.Utf8); });
        fuzzutil::CheckAt(letter != std::end(kLetters), "the folder holds names of the table only", onDisk);
        folded += char('0' + (letter - kLetters) / 2);
        onDisk.erase(0, std::char_traits<char>::length(letter->Utf8));
    }
    return folded;
}

void CheckLookUp(const std::string& folder, const TName& name)
{
    std::optional<std::string> expected;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string onDisk = entry.path().filename();
        if (FoldedOnDisk(onDisk) == name.Folded && (!expected || onDisk < *expected))
            expected = onDisk;
    }
    const index::TLookup found = index::FindCaseless(folder, name.Cp1251);
    fuzzutil::CheckAt(found.folderExists && found.onDisk == expected.value_or(""),
                      "the index gives the name a fresh listing of the folder matches",
                      name.OnDisk + " gave \"" + found.onDisk + "\", the listing \"" + expected.value_or("") + "\"");
}

// One step; the names it touched.
std::vector<TName> Step(const std::string& folder, const uint8_t*& data, const uint8_t* end)
{
    const TName name = NameOf(*data & 0x3F);
    const std::string path = folder + "/" + name.OnDisk;
    switch (*data++ >> 6) {
    case 0:
        if (const int fd = rtl::sys::Open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644); fd >= 0) {
            ::close(fd);
            index::NoteCreated(path);
        }
        return {name};
    case 1:
        if (rtl::sys::Unlink(path.c_str()) == 0 || rtl::sys::RemoveDir(path.c_str()) == 0)
            index::NoteRemoved(path);
        return {name};
    case 2: {
        if (data == end)
            return {name};
        const TName to = NameOf(*data++ & 0x3F);
        const std::string toPath = folder + "/" + to.OnDisk;
        if (rtl::sys::Rename(path.c_str(), toPath.c_str()) == 0)
            index::NoteRenamed(path, toPath);
        return {name, to};
    }
    default:
        if (rtl::sys::MakeDir(path.c_str(), 0755) == 0)
            index::NoteCreated(path);
        return {name};
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const std::string folder = fuzzutil::ScratchFolder() + "index";  // as the index keys it
    fuzzutil::ResetFolder(folder);
    index::TLimits limits = index::DefaultLimits();
    if ((data[0] & 1) == 0)
        limits.watches = 0;
    index::ResetForTests(limits);
    const uint8_t* const end = data + size;
    for (const uint8_t* at = data + 1; at != end;)
        for (const TName& name : Step(folder, at, end))
            CheckLookUp(folder, name);
    return 0;
}
