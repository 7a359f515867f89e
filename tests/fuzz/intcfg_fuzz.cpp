// The configuration record "intcfg.dat": whatever file is found, loading, saving and loading again
// gives the same record and the same file.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_util.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/paths.h"
#include "viewer/bindings.h"
#include "viewer/main.h"

namespace {

const std::string& ProgramFolder()
{
    static const std::string folder = fuzzutil::ScratchFolder() + "program/";
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static rtl::ScriptedDialogs dialogs;
    rtl::SetDialogService(&dialogs);
    dialogs.ClearLog();
    viewer::ResetBindingsState();
    viewer::AppDir = rtl::FromNativePath(ProgramFolder());
    const std::string file = ProgramFolder() + "intcfg.dat";
    fuzzutil::WriteBytes(file, fuzzutil::AsText(data, size));

    viewer::LoadIntConfig();
    const viewer::TIntConfig first = viewer::IntConfig;
    viewer::SaveIntConfig();
    const std::string saved = fuzzutil::ReadBytes(file);
    fuzzutil::Check(saved.size() == sizeof(viewer::TIntConfig), "the record is saved whole");

    viewer::IntConfig = viewer::TIntConfig{};
    viewer::LoadIntConfig();
    fuzzutil::Check(std::memcmp(&first, &viewer::IntConfig, sizeof first) == 0, "a saved record loads as it was");
    viewer::SaveIntConfig();
    fuzzutil::Check(fuzzutil::ReadBytes(file) == saved, "saving a loaded record rewrites the same file");
    return 0;
}
