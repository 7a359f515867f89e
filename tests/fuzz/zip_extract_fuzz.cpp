// Extraction and test of every entry of an archive file, as the updater unpacks a pack, once with
// the archive beside the target folder and once inside it (the updater's updated.zip in the program
// folder): nothing may be written outside the target folder, the archive never, no existing file
// emptied, and what was extracted and tested must agree with what the archive states.
#include <cstddef>
#include <cstdint>

#include "archive_host.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (const auto placement : {fuzzarchive::TPlacement::BesideTarget, fuzzarchive::TPlacement::InsideTarget}) {
        const fuzzarchive::TLayout& layout = fuzzarchive::FreshLayout(placement);
        fuzzarchive::WriteVolume(layout.Archive, fuzzutil::AsText(data, size));
        fuzzarchive::ExtractTestAndCheck(layout);
    }
    return 0;
}
