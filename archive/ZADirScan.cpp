#include "archive/ZADirScan.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

TZAScanBuffer::TZAScanBuffer(rtl::TStream& stream, size_t chunkSize)
    : stream_(stream), size_(stream.Size()), chunkSize_(std::max<size_t>(chunkSize, 64))
{
}

bool TZAScanBuffer::Holds(int64_t offset, size_t n) const
{
    return offset >= bufferStart_ &&
           offset - bufferStart_ + static_cast<int64_t>(n) <= static_cast<int64_t>(bufferLength_);
}

// The stream's position is kept, so that searches never disturb the reader that started them.
void TZAScanBuffer::Load(int64_t offset)
{
    size_t length = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(chunkSize_), size_ - offset));
    buffer_.resize(length);
    const int64_t saved = stream_.Position();
    const int64_t got = stream_.ReadAt(buffer_.data(), static_cast<int64_t>(length), offset);
    stream_.Seek(saved, rtl::soBeginning);
    if (got != static_cast<int64_t>(length))
        throw rtl::EReadError("Stream read error");
    bufferStart_ = offset;
    bufferLength_ = length;
}

const uint8_t* TZAScanBuffer::Peek(int64_t offset, size_t n)
{
    if (offset < 0 || n > chunkSize_ || size_ - offset < static_cast<int64_t>(n))
        return nullptr;
    if (!Holds(offset, n))
        Load(offset);
    return buffer_.data() + (offset - bufferStart_);
}

const uint8_t* TZAScanBuffer::Held(int64_t offset, size_t n) const
{
    return Holds(offset, n) ? buffer_.data() + (offset - bufferStart_) : nullptr;
}

int64_t TZAScanBuffer::Find(int64_t from, const uint8_t* pattern, size_t n)
{
    if (n == 0 || n > chunkSize_ || from < 0)
        return -1;
    int64_t pos = from;
    while (size_ - pos >= static_cast<int64_t>(n)) {
        if (!Holds(pos, n))
            Load(pos);
        const uint8_t* data = buffer_.data();
        size_t i = static_cast<size_t>(pos - bufferStart_);
        size_t last = bufferLength_ - n;  // last index where the whole pattern fits
        while (i <= last) {
            const void* hit = std::memchr(data + i, pattern[0], last - i + 1);
            if (hit == nullptr)
                break;
            i = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
            if (std::memcmp(data + i, pattern, n) == 0)
                return bufferStart_ + static_cast<int64_t>(i);
            ++i;
        }
        pos = bufferStart_ + static_cast<int64_t>(last) + 1;
    }
    return -1;
}
