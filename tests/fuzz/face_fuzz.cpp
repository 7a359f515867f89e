// "face.dat": the input is what follows the fixed prefix (the target puts the prefix in front), so
// that mutations reach the entries; the input is also read as a whole file once, which covers
// files shorter than the prefix.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_util.h"
#include "platform/forms/bmp.h"
#include "viewer/facefile.h"

namespace {

void ReadQuietly(std::string_view file)
{
    viewer::TKorImages images;
    try {
        viewer::ReadFaceFile(file, images);
    } catch (const rtl::Exception&) {
        // Damage is reported; the entries before it stay.
    }
    for (const auto& image : images)
        fuzzutil::Check(image.Name.size() <= file.size(), "an entry's name comes from the file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view entries = fuzzutil::AsText(data, size);
    ReadQuietly(entries);
    std::string file(viewer::kFacePrefixSize, '\0');
    file.append(entries);
    ReadQuietly(file);
    return 0;
}
