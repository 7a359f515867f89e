// The page composer: the input is a data page, composed in a program folder that holds the sample
// book's templates and include files and two includes that nest without end.
#include <cstddef>
#include <cstdint>
#include <filesystem>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static rtl::ScriptedDialogs dialogs;
    rtl::SetDialogService(&dialogs);
    dialogs.ClearLog();
    const TProgramFolder& folder = ProgramFolder();
    fuzzutil::WriteBytes(folder.Native + "data/page.html", fuzzutil::AsText(data, size));
    std::string composed;
    try {
        viewer::ComposePage(folder.Windows, "page.html", composed);
    } catch (const rtl::Exception&) {
        // A template the page names may be missing: reported, never a fault.
    }
    return 0;
}
