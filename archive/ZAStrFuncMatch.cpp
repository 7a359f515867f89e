// The wildcard matcher.
//
// The rules (see ZAStrFunc.h) come from a recursive walk of name and mask; every call of the walk
// starts with the test for a mask of exactly "*.*". Instead of recursing,
// the result for every pair (rest of name from i, rest of mask from j) is computed once, mask
// position by mask position from the end, which keeps every result of the walk and takes
// O(length(name) x length(mask)) steps even for masks such as "*a*a*a*a*b" on long names.
#include <algorithm>
#include <vector>

#include "archive/ZAStrFunc.h"

namespace {

std::string_view UpToZero(std::string_view s)
{
    const size_t zero = s.find('\0');
    return zero == std::string_view::npos ? s : s.substr(0, zero);
}

// Equal as one-character strings under CompareCharsExact / CompareCharsNoCase.
bool SameChar(char a, char b, bool ignoreCase, const TZACharTables& tables)
{
    if (a == b)
        return true;
    if (!ignoreCase)
        return tables.UseRankTables ? false : CompareCharsExact({&a, 1}, {&b, 1}, 1) == 0;
    if (!tables.UseRankTables)
        return CompareCharsNoCase({&a, 1}, {&b, 1}, 1) == 0;
    const auto rank = [&](char c) { return tables.RankTable[static_cast<unsigned char>(c)]; };
    return tables.UpperTable[rank(a)] == tables.UpperTable[rank(b)];
}

}  // namespace

bool MatchWildcard(std::string_view name, std::string_view mask, bool ignoreCase)
{
    name = UpToZero(name);
    mask = UpToZero(mask);
    if (mask == "*.*")
        return true;
    const TZACharTables& tables = CharTables();
    const size_t nameLength = name.size();

    // after[i]: the rest of the name from i matches the rest of the mask after position j;
    // here[i]: the same for the rest of the mask from j. With the mask used up, only the used-up
    // name matches.
    std::vector<char> after(nameLength + 1, 0);
    std::vector<char> here(nameLength + 1, 0);
    after[nameLength] = 1;
    for (size_t j = mask.size(); j-- > 0;) {
        const char m = mask[j];
        if (m == '*' && j + 1 == mask.size()) {
            // A mask rest of exactly "*" matches whatever is left of the name, even nothing.
            std::fill(here.begin(), here.end(), 1);
        } else {
            here[nameLength] = 0;  // the name is used up but the mask is not
            // Each try of a star is a call of its own, and every call starts with the "*.*" test:
            // a star followed by exactly "*.*" matches any rest of the name it is tried on.
            const bool restIsStarDotStar = m == '*' && mask.substr(j + 1) == "*.*";
            bool someLaterMatch = false;
            for (size_t i = nameLength; i-- > 0;) {
                if (m == '*') {
                    // The star takes name[i .. k-1] for some k < length: some later start matches.
                    someLaterMatch = someLaterMatch || after[i] || restIsStarDotStar;
                    here[i] = someLaterMatch;
                } else if (m == '?') {
                    here[i] = after[i + 1];
                } else {
                    here[i] = after[i + 1] && SameChar(name[i], m, ignoreCase, tables);
                }
            }
        }
        std::swap(here, after);
    }
    return after[0] != 0;
}
