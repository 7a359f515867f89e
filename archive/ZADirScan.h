// Forward search for byte patterns in a stream through one reusable buffer, so that a series of
// searches moving through the stream reads each byte about once. The stream keeps its size while
// the buffer is in use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "archive/ZARecords.h"

namespace rtl {
class TStream;
}

class TZAScanBuffer {
public:
    static constexpr size_t kChunkSize = 65535;

    explicit TZAScanBuffer(rtl::TStream& stream, size_t chunkSize = kChunkSize);

    // Offset of the first occurrence at or after from of the n-byte pattern (wholly inside the
    // stream), or -1. The stream position is left as it was.
    int64_t Find(int64_t from, const uint8_t* pattern, size_t n);
    // The n bytes at offset (wholly inside the stream, n at most the chunk size), read into the
    // buffer unless it holds them already; null otherwise. Valid until the next call.
    const uint8_t* Peek(int64_t offset, size_t n);
    // The n bytes at offset when the buffer holds them, else null; nothing is read.
    const uint8_t* Held(int64_t offset, size_t n) const;
    int64_t StreamSize() const { return size_; }

private:
    bool Holds(int64_t offset, size_t n) const;
    void Load(int64_t offset);

    rtl::TStream& stream_;
    int64_t size_;
    size_t chunkSize_;
    std::vector<uint8_t> buffer_;
    int64_t bufferStart_ = 0;
    size_t bufferLength_ = 0;
};

// Every descriptor signature of the stream, indexed by the data start its compressed size points
// back to, in both forms (a ZIP64 descriptor read as the short form also claims a start: its
// compressed size's low half). Built in one pass, so that finding the descriptors of many entries
// costs one read of the stream.
struct TZADescriptorIndex {
    struct TFound {
        TZip64DataDescriptor descriptor;
        int64_t end = 0;
    };
    std::unordered_map<int64_t, TFound> shortForm;
    std::unordered_map<int64_t, TFound> longForm;
};
