// The case-blind folder index against a fresh listing: after each step (make a file, remove, rename,
// make a folder, through the run-time layer and reported to the index as its callers do) every name
// the step touched must be found as the smallest name on disk matching it without regard to case.
//
// Input: a mode byte (bit 0: the folder is watched, else trusted by its stamp), then step bytes: the
// top two bits choose the step, the low six two letters of kLetters (a rename takes the next byte).
#include <fcntl.h>
#include <unistd.h>

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

// Letter i and i ^ 1 are one letter in two cases.
constexpr const char* kLetters[] = {"a", "A", "b", "B", "\xD1\x8F", "\xD0\xAF", "\xD1\x91", "\xD0\x81"};
constexpr char kCp1251[] = "aAbB\xFF\xDF\xB8\xA8";

struct TName {
    std::string OnDisk;  // UTF-8
    std::string Cp1251;
    std::string Folded;  // one letter class a letter
};

TName NameOf(uint8_t bits)
{
    TName name;
    for (const unsigned letter : {bits & 7u, (bits >> 3) & 7u}) {
        name.OnDisk += kLetters[letter];
        name.Cp1251 += kCp1251[letter];
        name.Folded += char('0' + letter / 2);
    }
    return name;
}

void CheckLookUp(const std::string& folder, const TName& name)
{
    std::optional<std::string> expected;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string onDisk = entry.path().filename();
        bool matches = false;  // the folder holds names of the table only
        for (unsigned bits = 0; bits < 64; ++bits)
            matches |= NameOf(uint8_t(bits)).OnDisk == onDisk && NameOf(uint8_t(bits)).Folded == name.Folded;
        if (matches && (!expected || onDisk < *expected))
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
    const int kind = *data++ >> 6;
    if (kind == 0) {
        if (const int fd = rtl::sys::Open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644); fd >= 0) {
            ::close(fd);
            index::NoteCreated(path);
        }
    } else if (kind == 1 && (rtl::sys::Unlink(path.c_str()) == 0 || rtl::sys::RemoveDir(path.c_str()) == 0)) {
        index::NoteRemoved(path);
    } else if (kind == 2 && data != end) {
        const TName to = NameOf(*data++ & 0x3F);
        if (rtl::sys::Rename(path.c_str(), (folder + "/" + to.OnDisk).c_str()) == 0)
            index::NoteRenamed(path, folder + "/" + to.OnDisk);
        return {name, to};
    } else if (kind == 3 && rtl::sys::MakeDir(path.c_str(), 0755) == 0) {
        index::NoteCreated(path);
    }
    return {name};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const std::string folder = fuzzutil::ScratchFolder() + "index";  // as the index keys it
    fuzzutil::ResetFolder(folder);
    index::TLimits limits = index::DefaultLimits();
    limits.watches = (data[0] & 1) ? limits.watches : 0;
    index::ResetForTests(limits);
    const uint8_t* const end = data + size;
    for (const uint8_t* at = data + 1; at != end;)
        for (const TName& name : Step(folder, at, end))
            CheckLookUp(folder, name);
    return 0;
}
