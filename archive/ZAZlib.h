// The zlib binding of the archive library: allocation callbacks, result checks, the tables that map
// a compression mode (0-9) to a block size, a level and a two-byte zlib header, and the raw-deflate
// inflater that entry extraction streams through.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "archive/ZipArchiver.h"

// zlib's allocation callbacks: zero-filled blocks from the heap.
voidpf ZlibAllocZeroed(voidpf opaque, uInt items, uInt size);
void ZlibFree(voidpf opaque, voidpf block);

// A negative zlib result raises ECompressionError / EDecompressionError ("error"); others return.
int CheckCompressResult(int code);
int CheckDecompressResult(int code);

// Mode tables; modes above 9 fall back to the last row.
int32_t BlockSizeForMode(int mode);
TZACompressionLevel LevelForMode(int mode);
// First and second byte of the zlib header a compressor of that mode writes.
void ZlibHeaderForMode(int mode, uint8_t& first, uint8_t& second);
uint8_t ModeForLevel(TZACompressionLevel level);

// Inflates one raw deflate stream (an entry's data) block by block into a fixed output buffer.
// Output is handed to the sink piece by piece as it is produced, so memory stays bounded whatever
// the entry expands to; the sink returns false to stop (for example once the entry's size is passed).
class TZAInflater {
public:
    static constexpr size_t OutputBufferSize = 256 * 1024;

    enum class TResult {
        NeedInput,  // the block was consumed; the stream goes on
        StreamEnd,  // the deflate stream ended (bytes after its end are left unused)
        DataError,  // zlib rejected the data
        Stopped,    // the sink refused output
    };
    using TSink = std::function<bool(const uint8_t* data, size_t length)>;

    // Raises EDecompressionError when zlib cannot start a stream.
    TZAInflater();
    ~TZAInflater();
    TZAInflater(const TZAInflater&) = delete;
    TZAInflater& operator=(const TZAInflater&) = delete;

    TResult Inflate(const uint8_t* input, size_t length, const TSink& sink);
    bool Ended() const { return ended_; }
    // Makes the inflater ready for a new stream, keeping its buffers; nothing of the stream before
    // can be reached from the next one.
    void Reset();

private:
    z_stream stream_{};
    std::unique_ptr<uint8_t[]> output_;
    bool ended_ = false;
};
