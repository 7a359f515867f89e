// A stream that takes every byte written to it and keeps none: the destination of an entry decoded
// only to check it.
#pragma once

#include "platform/rtl/streams.h"

class TZADiscardStream : public rtl::TStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override { return count; }
    int64_t Seek(int64_t, rtl::TSeekOrigin) override { return 0; }
    void SetSize(int64_t) override {}
};
