#include "archive/ZAZlib.h"

#include <cstdlib>

#include "archive/ZAExcept.h"

voidpf ZlibAllocZeroed(voidpf, uInt items, uInt size)
{
    return std::calloc(items, size);
}

void ZlibFree(voidpf, voidpf block)
{
    std::free(block);
}

int CheckCompressResult(int code)
{
    if (code < 0)
        throw ECompressionError("error");
    return code;
}

int CheckDecompressResult(int code)
{
    if (code < 0)
        throw EDecompressionError("error");
    return code;
}

namespace {

struct TModeRow {
    int32_t BlockSize;
    TZACompressionLevel Level;
    uint8_t Header0, Header1;
};

constexpr TModeRow kModeRows[] = {
    {1048576, clNone, 0x78, 0xDA},     // 0
    {524288, clFastest, 0x78, 0x01},   // 1
    {524288, clFastest, 0x78, 0x01},   // 2
    {524288, clFastest, 0x78, 0x5E},   // 3
    {1048576, clNormal, 0x78, 0x5E},   // 4
    {1048576, clNormal, 0x78, 0x9C},   // 5
    {1048576, clNormal, 0x78, 0x9C},   // 6
    {1572864, clMax, 0x78, 0xDA},      // 7
    {1572864, clMax, 0x78, 0xDA},      // 8
    {1572864, clMax, 0x78, 0xDA},      // 9
};
constexpr TModeRow kOutOfRange = {1048576, clNone, 0, 0};

const TModeRow& RowFor(int mode)
{
    if (mode < 0 || mode > 9)
        return kOutOfRange;
    return kModeRows[mode];
}

}  // namespace

int32_t BlockSizeForMode(int mode)
{
    return RowFor(mode).BlockSize;
}

TZACompressionLevel LevelForMode(int mode)
{
    return RowFor(mode).Level;
}

void ZlibHeaderForMode(int mode, uint8_t& first, uint8_t& second)
{
    first = RowFor(mode).Header0;
    second = RowFor(mode).Header1;
}

uint8_t ModeForLevel(TZACompressionLevel level)
{
    switch (level) {
    case clNone: return 0;
    case clFastest: return 1;
    case clNormal: return 6;
    case clMax: return 9;
    }
    return 0;
}

TZAInflater::TZAInflater() : output_(new uint8_t[OutputBufferSize])
{
    stream_.zalloc = ZlibAllocZeroed;
    stream_.zfree = ZlibFree;
    // Entries hold raw deflate data: no zlib header, no checksum trailer to test.
    CheckDecompressResult(inflateInit2(&stream_, -MAX_WBITS));
}

TZAInflater::~TZAInflater()
{
    inflateEnd(&stream_);
}

void TZAInflater::Reset()
{
    CheckDecompressResult(inflateReset(&stream_));
    ended_ = false;
}

TZAInflater::TResult TZAInflater::Inflate(const uint8_t* input, size_t length, const TSink& sink)
{
    if (ended_)
        return TResult::StreamEnd;
    stream_.next_in = const_cast<Bytef*>(input);
    stream_.avail_in = static_cast<uInt>(length);
    for (;;) {
        stream_.next_out = output_.get();
        stream_.avail_out = static_cast<uInt>(OutputBufferSize);
        const int rc = inflate(&stream_, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            return TResult::DataError;
        const size_t produced = OutputBufferSize - stream_.avail_out;
        if (produced > 0 && !sink(output_.get(), produced))
            return TResult::Stopped;
        if (rc == Z_STREAM_END) {
            ended_ = true;
            return TResult::StreamEnd;
        }
        // A full output buffer may hide more pending output even when the input is used up.
        if (stream_.avail_out != 0 && (stream_.avail_in == 0 || rc == Z_BUF_ERROR))
            return stream_.avail_in == 0 ? TResult::NeedInput : TResult::DataError;
    }
}
