// The update list: whatever the server sends, the offers of a list that is not malformed are packs
// the updater can fetch and record.
#include <cstddef>
#include <cstdint>

#include "fuzz_util.h"
#include "updater/update.h"

namespace {

void CheckOffers(const std::string& body, int installedVersion)
{
    const viewer::TUpdateListResult result = viewer::ParseUpdateList(body, installedVersion);
    if (result.Malformed)
        return;
    fuzzutil::Check(result.Lines >= int(result.Offers.size()), "every offer counts as a line");
    for (const viewer::TMyUpdate& offer : result.Offers) {
        fuzzutil::Check(offer.PackVersion > installedVersion && offer.PackVersion <= viewer::kMaxPackVersion,
                        "an offer is newer than the installed version and fits the record");
        fuzzutil::Check(offer.PackSize >= 0 && offer.PackSize <= viewer::kMaxPackBytes, "an offer's size is bounded");
        fuzzutil::Check(!offer.PackFile.empty(), "an offer names its pack");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(fuzzutil::AsText(data, size));
    for (int installed : {0, 3, viewer::kMaxPackVersion})
        CheckOffers(body, installed);
    return 0;
}
