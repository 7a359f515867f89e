// A split archive: the first byte chooses the volume size (16 bytes shifted left by its low four
// bits), the naming of the volumes (its top bit: numbered names "archive_001.zip", else
// "archive.Z01") and where they lie (bit 6: inside the target folder, as the updater's
// updated.zip, else beside it); the rest is cut into volumes of that size, the last one named as
// the archive. The archive is then listed, extracted and tested as a single file is.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "archive_host.h"
#include "fuzz_util.h"
#include "platform/rtl/paths.h"

namespace {

constexpr size_t kMaxVolumes = 64;  // the rest of a longer input stays in the last volume

std::string VolumeName(const std::string& lastVolume, bool advancedNaming, int32_t number)
{
    TZipArchiver namer;
    namer.SetSpanningMode(smSplitting);
    namer.SpanningOptions().AdvancedNaming = advancedNaming;
    std::string name = lastVolume;
    namer.VolumeFileName(name, number, false);
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t volumeSize = size_t(16) << (data[0] & 0x0F);
    const bool advancedNaming = (data[0] & 0x80) != 0;
    const auto placement =
        (data[0] & 0x40) != 0 ? fuzzarchive::TPlacement::InsideTarget : fuzzarchive::TPlacement::BesideTarget;
    std::string_view rest = fuzzutil::AsText(data + 1, size - 1);

    const fuzzarchive::TLayout& layout = fuzzarchive::FreshLayout(placement);
    const std::string lastVolume = rtl::FromNativePath(layout.Archive);
    for (int32_t number = 0; rest.size() > volumeSize && size_t(number) + 1 < kMaxVolumes; ++number) {
        const std::string name = VolumeName(lastVolume, advancedNaming, number);
        fuzzarchive::WriteVolume(rtl::ToNativePath(name), rest.substr(0, volumeSize));
        rest.remove_prefix(volumeSize);
    }
    fuzzarchive::WriteVolume(layout.Archive, rest);

    fuzzarchive::ExtractTestAndCheck(layout);
    return 0;
}
