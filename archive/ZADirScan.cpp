#include "archive/ZADirScan.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/streams.h"

TZAScanBuffer::TZAScanBuffer(rtl::TStream& stream, size_t chunkSize)
    : stream_(stream), chunkSize_(std::max<size_t>(chunkSize, 64))
{
}

void TZAScanBuffer::Load(int64_t offset, int64_t streamSize)
{
    size_t length = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(chunkSize_), streamSize - offset));
    buffer_.resize(length);
    stream_.Seek(offset, rtl::soBeginning);
    stream_.ReadBuffer(buffer_.data(), static_cast<int64_t>(length));
    bufferStart_ = offset;
    bufferLength_ = length;
}

int64_t TZAScanBuffer::Find(int64_t from, const uint8_t* pattern, size_t n)
{
    if (n == 0 || n > chunkSize_ || from < 0)
        return -1;
    int64_t size = stream_.Size();
    int64_t saved = stream_.Position();
    int64_t found = -1;
    int64_t pos = from;
    while (found < 0 && size - pos >= static_cast<int64_t>(n)) {
        bool held = pos >= bufferStart_ && pos - bufferStart_ + static_cast<int64_t>(n) <=
                                               static_cast<int64_t>(bufferLength_);
        if (!held)
            Load(pos, size);
        const uint8_t* data = buffer_.data();
        size_t i = static_cast<size_t>(pos - bufferStart_);
        size_t last = bufferLength_ - n;  // last index where the whole pattern fits
        while (i <= last) {
            const void* hit = std::memchr(data + i, pattern[0], last - i + 1);
            if (hit == nullptr)
                break;
            i = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
            if (std::memcmp(data + i, pattern, n) == 0) {
                found = bufferStart_ + static_cast<int64_t>(i);
                break;
            }
            ++i;
        }
        pos = bufferStart_ + static_cast<int64_t>(last) + 1;
    }
    stream_.Seek(saved, rtl::soBeginning);
    return found;
}
