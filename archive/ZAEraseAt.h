// Removal of many elements of a list in one pass, so that removing thousands of entries of a long
// directory costs one move of each element kept, not one per element removed.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

// Moves the first count elements of items, but for those at the indexes in ascending (ascending,
// distinct), to the front in their order; returns how many there are. The caller shrinks the list.
template <typename T>
size_t EraseAt(std::vector<T>& items, size_t count, const std::vector<int>& ascending)
{
    size_t kept = 0;
    size_t next = 0;
    for (size_t i = 0; i < count; ++i) {
        if (next < ascending.size() && static_cast<size_t>(ascending[next]) == i) {
            ++next;
            continue;
        }
        if (kept != i)
            items[kept] = std::move(items[i]);
        ++kept;
    }
    return kept;
}
