// The page composer: the input is a data page, composed in a program folder that holds the sample
// book's templates and include files and two includes that nest without end. The target adds one
// last line naming the input (a hash) and removes the composed file first. Checked: the fixed file
// is written afresh with three lines (top template, page, bottom template), the last line reaches it
// whole, no href or src link is left relative but a double-quoted in-page anchor ("#..."), and a plain
// page is its text joined by spaces with the composer's link rules (written out here) applied. Ending,
// in bounded memory, is the fuzz engine's timeout and memory limit.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include "fuzz_util.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/paths.h"
#include "viewer/parse.h"

namespace {

namespace fs = std::filesystem;

struct TProgramFolder {
    std::string Native;  // trailing "/"
    std::string Windows; // trailing "\"
};

TProgramFolder MakeProgramFolder()
{
    TProgramFolder folder;
    folder.Native = fuzzutil::ScratchFolder() + "book/";
    const fs::path data = fs::path(folder.Native) / "data";
    fs::create_directories(data);
    for (const char* sub : {"templates", "inc"})
        fs::copy(fs::path(TOME_SOURCE_DIR) / "sample" / "data" / sub, data / sub, fs::copy_options::recursive);
    fuzzutil::WriteBytes((data / "inc" / "self.inc").string(), "<b><?include(\"data\\inc\\self.inc\")?></b>\r\n");
    fuzzutil::WriteBytes((data / "inc" / "ping.inc").string(), "ping <?include(\"data\\inc\\pong.inc\")?>\r\n");
    fuzzutil::WriteBytes((data / "inc" / "pong.inc").string(), "pong <?include(\"data\\inc\\ping.inc\")?>\r\n");
    folder.Windows = rtl::FromNativePath(folder.Native);
    return folder;
}

const TProgramFolder& ProgramFolder()
{
    static const TProgramFolder folder = MakeProgramFolder();
    return folder;
}

// No "<?", "?>", link or doubled separator in it, so nothing in the page can take it apart.
constexpr std::string_view kLastLine = "end of the article";

std::string LastLineOf(std::string_view input)
{
    return std::string(kLastLine) + " " + std::to_string(std::hash<std::string_view>()(input));
}

std::string AsciiLower(std::string text)
{
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Every occurrence of from (A-Z compared case-blind) replaced by to, left to right.
std::string ReplaceEvery(std::string_view text, std::string_view from, std::string_view to)
{
    const std::string low = AsciiLower(std::string(text));
    const std::string lowFrom = AsciiLower(std::string(from));
    std::string out;
    size_t at = 0;
    for (size_t hit = low.find(lowFrom); hit != std::string::npos; hit = low.find(lowFrom, at)) {
        out.append(text.substr(at, hit - at)).append(to);
        at = hit + from.size();
    }
    return out.append(text.substr(at));
}

// The composer's link rules in order: anchors masked, prefixes added, anchors unmasked, doubled
// separators after the prefix made single.
std::string RewrittenLinks(std::string page, const std::string& base)
{
    const std::string data = base + "data\\";
    const std::pair<std::string, std::string> steps[] = {
        {"href = \"#", "h----ref = \"#"}, {"href=\"#", "h----ref=\"#"}, {"href = \"", "href = \"" + data},
        {"href=\"", "href=\"" + data}, {"src = \"", "src = \"" + data}, {"src=\"", "src=\"" + data},
        {"href = '", "href = '" + data}, {"href='", "href='" + data}, {"src = '", "src = 'file://" + data},
        {"src='", "src='file://" + data}, {"h----ref = \"#", "href = \"#"}, {"h----ref=\"#", "href=\"#"},
        {"data//", "data/"}, {"data\\\\", "data\\"}};
    for (const auto& [from, to] : steps)
        page = ReplaceEvery(page, from, to);
    return page;
}

// A page whose composition is known in full: one line of plain bytes, with no header block.
bool IsPlainPage(std::string_view input)
{
    return input.find_first_of(std::string_view("\r\n\x1a\0", 4)) == std::string_view::npos &&
           (input.find("<?") == std::string_view::npos || input.find("?>") == std::string_view::npos);
}

// Every link in the composed page is absolute: it starts with the data folder's full name.
void CheckLinks(const std::string& page, const std::string& dataFolder)
{
    struct TLink {
        std::string_view Opening;
        std::string_view Scheme;  // what the composer puts before the data folder
        bool AnchorsStay;         // a link to "#..." inside the page stays as written
    };
    static constexpr TLink kLinks[] = {
        {"href = \"", "", true}, {"href=\"", "", true}, {"src = \"", "", false}, {"src=\"", "", false},
        {"href = '", "", false}, {"href='", "", false}, {"src = '", "file://", false}, {"src='", "file://", false}};
    const std::string low = AsciiLower(page);
    for (const TLink& link : kLinks) {
        const std::string absolute = std::string(link.Scheme) + dataFolder;
        for (size_t at = low.find(link.Opening); at != std::string::npos; at = low.find(link.Opening, at + 1)) {
            const size_t target = at + link.Opening.size();
            const bool anchor = link.AnchorsStay && page.compare(target, 1, "#") == 0;
            fuzzutil::CheckAt(anchor || page.compare(target, absolute.size(), absolute) == 0,
                              "no link of a composed page stays relative", page.substr(at, 80));
        }
    }
}

void CheckComposed(const TProgramFolder& folder, const std::string& composedPath, std::string_view input)
{
    std::string base = folder.Windows;
    std::replace(base.begin(), base.end(), '\\', '/');
    fuzzutil::Check(composedPath == base + "data\\tomeview.tmp", "the composed page is the fixed file");
    const std::string composedFile = folder.Native + "data/tomeview.tmp";
    fuzzutil::Check(std::filesystem::exists(composedFile), "the composed page is written afresh");
    const std::string composed = fuzzutil::ReadBytes(composedFile);
    const size_t topEnd = composed.find("\r\n");
    const size_t pageEnd = topEnd == std::string::npos ? topEnd : composed.find("\r\n", topEnd + 2);
    fuzzutil::Check(pageEnd != std::string::npos && composed.find('\n', pageEnd + 2) == composed.size() - 1 &&
                        composed.size() >= 2 && composed.compare(composed.size() - 2, 2, "\r\n") == 0 &&
                        std::count(composed.begin(), composed.end(), '\n') == 3,
                    "the composed file holds three lines: top template, page, bottom template");
    const std::string page = composed.substr(topEnd + 2, pageEnd - topEnd - 2);
    const std::string ending = LastLineOf(input) + " ";
    fuzzutil::Check(page.size() >= ending.size() && page.compare(page.size() - ending.size(), ending.size(), ending) == 0,
                    "the page's last line reaches the composed page whole");
    CheckLinks(page, base + "data\\");
    if (IsPlainPage(input))
        fuzzutil::CheckAt(page == RewrittenLinks(std::string(input) + " " + ending, base),
                          "a plain page is its text joined by spaces, with its links rewritten", page.substr(0, 200));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static rtl::ScriptedDialogs dialogs;
    rtl::SetDialogService(&dialogs);
    dialogs.ClearLog();
    const TProgramFolder& folder = ProgramFolder();
    const std::string_view input = fuzzutil::AsText(data, size);
    const std::string page = std::string(input) + "\r\n" + LastLineOf(input) + "\r\n";
    fuzzutil::WriteBytes(folder.Native + "data/page.html", page);
    std::filesystem::remove(folder.Native + "data/tomeview.tmp");
    std::string composed;
    try {
        viewer::ComposePage(folder.Windows, "page.html", composed);
    } catch (const rtl::Exception&) {
        // A template the page names may be missing: reported, never a fault.
        fuzzutil::Check(composed.empty(), "a failed composition names no composed page");
        return 0;
    }
    CheckComposed(folder, composed, input);
    return 0;
}
