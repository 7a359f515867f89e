// The wildcard matcher, with mask and name both fuzzed: any length must finish, and on short inputs
// the answer must be the one of the plain recursive walk the matcher's rules come from.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/ZAStrFunc.h"
#include "fuzz_util.h"

namespace {

constexpr size_t kShort = 12;  // the recursive walk takes exponential time beyond this

// One character of the name against one plain character of the mask, through the matcher itself
// so that both use the same locale comparison.
bool SameChar(char n, char m, bool ignoreCase)
{
    return MatchWildcard(std::string_view(&n, 1), std::string_view(&m, 1), ignoreCase);
}

bool Walk(std::string_view name, std::string_view mask, bool ignoreCase)
{
    if (mask.empty())
        return name.empty();
    if (mask == "*")
        return true;
    if (name.empty())
        return false;
    const char m = mask.front();
    if (m == '*') {
        // The star takes a run that leaves at least one character of the name to the rest.
        for (size_t taken = 0; taken < name.size(); ++taken)
            if (Walk(name.substr(taken), mask.substr(1), ignoreCase))
                return true;
        return false;
    }
    if (m != '?' && !SameChar(name.front(), m, ignoreCase))
        return false;
    return Walk(name.substr(1), mask.substr(1), ignoreCase);
}

bool Reference(std::string_view name, std::string_view mask, bool ignoreCase)
{
    name = name.substr(0, name.find('\0'));
    mask = mask.substr(0, mask.find('\0'));
    return mask == "*.*" || Walk(name, mask, ignoreCase);
}

}  // namespace

// Input: a flags byte (bit 0: ignore case), the mask up to the first byte 0x01, then the name. Both
// may hold zero bytes, which end them for the matcher.
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
        fuzzutil::Check(matched == Reference(name, mask, ignoreCase), "matcher agrees with the recursive walk");
    return 0;
}
