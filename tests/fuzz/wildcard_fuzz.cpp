// The wildcard matcher, with mask and name both fuzzed: any length must finish, and on short inputs
// the answer must be the one of the literal recursive walk the matcher's rules come from.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/ZAStrFunc.h"
#include "fuzz_util.h"
#include "tests/archive/core/wildcard_reference.h"

namespace {

constexpr size_t kShort = 10;  // the recursive walk takes exponential time beyond this

// Mask and name end at a zero byte, as C strings do for the matcher.
std::string_view UpToZero(std::string_view s)
{
    return s.substr(0, s.find('\0'));
}

}  // namespace

// Input: a flags byte (bit 0: ignore case), the mask up to the first byte 0x01, then the name. Both
// may hold zero bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool ignoreCase = (data[0] & 1) != 0;
    const std::string_view rest = fuzzutil::AsText(data + 1, size - 1);
    const size_t split = rest.find('\x01');
    const std::string_view mask = rest.substr(0, split);
    const std::string_view name = split == std::string_view::npos ? std::string_view() : rest.substr(split + 1);
    const bool matched = MatchWildcard(name, mask, ignoreCase);
    if (name.size() <= kShort && mask.size() <= kShort)
        fuzzutil::Check(matched == WildcardReference(UpToZero(name), UpToZero(mask), ignoreCase),
                        "matcher agrees with the recursive walk");
    return 0;
}
