// The wildcard matcher's rules written out literally, for tests to compare the matcher against.
#pragma once

#include <string_view>

#include "archive/ZAStrFunc.h"

// The matcher as the rules describe it, literally: a recursive walk whose every call starts with the
// "*.*" test (exponential time on some masks: for short inputs only).
inline bool WildcardReference(std::string_view name, std::string_view mask, bool ignoreCase)
{
    if (mask == "*.*")
        return true;
    for (;;) {
        if (mask == "*")
            return true;
        if (name.empty())
            return mask.empty();
        if (mask.empty())
            return false;  // compared against the empty string
        if (mask[0] == '*') {
            for (size_t i = 0; i < name.size(); ++i)
                if (WildcardReference(name.substr(i), mask.substr(1), ignoreCase))
                    return true;
            return false;
        }
        if (mask[0] != '?') {
            const int order = ignoreCase ? CompareCharsNoCase(name.substr(0, 1), mask.substr(0, 1), 1)
                                         : CompareCharsExact(name.substr(0, 1), mask.substr(0, 1), 1);
            if (order != 0)
                return false;
        }
        name.remove_prefix(1);
        mask.remove_prefix(1);
    }
}
