// Extraction and test of every entry of an archive file into a scratch folder, as the updater
// unpacks a pack: nothing may be written outside the target folder and no existing file emptied.
#include <cstddef>
#include <cstdint>

#include "archive_host.h"
#include "fuzz_util.h"
#include "platform/rtl/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzzarchive::TLayout& layout = fuzzarchive::FreshLayout();
    fuzzarchive::WriteVolume(layout.Archive, fuzzutil::AsText(data, size));
    TZipArchiver archiver;
    archiver.FileName = rtl::FromNativePath(layout.Archive);
    archiver.BaseDir = rtl::IncludeTrailingBackslash(rtl::FromNativePath(layout.Out));
    fuzzarchive::ExtractTestAndCheck(archiver, layout);
    return 0;
}
