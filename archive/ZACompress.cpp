// Compression of one entry: the source is read block by block, stored or deflated (zlib with its
// two-byte header and four-byte checksum cut off, so the entry holds raw deflate data), optionally
// encrypted with the traditional cipher behind a 12-byte header, and written at the destination's
// position. The entry's CRC-32, sizes and ZIP64 values are set from what was written.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "archive/ZACrypt.h"
#include "archive/ZAExcept.h"
#include "archive/ZAZlib.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/streams.h"

namespace {

// Room for one block's whole deflate output: n + n/10 + 12, rounded up to a multiple of 256.
size_t DeflateBufferSize(size_t n)
{
    const size_t raw = n + n / 10 + 12;
    return (raw + 255) / 256 * 256;
}

// One zlib deflate stream, run one block at a time with a flush after each, so each block's output
// is complete when its call returns.
class TBlockDeflater {
public:
    explicit TBlockDeflater(int level)
    {
        stream_.zalloc = ZlibAllocZeroed;
        stream_.zfree = ZlibFree;
        CheckCompressResult(deflateInit(&stream_, std::clamp(level, 0, 9)));
        started_ = true;
    }
    ~TBlockDeflater() { End(true); }
    TBlockDeflater(const TBlockDeflater&) = delete;
    TBlockDeflater& operator=(const TBlockDeflater&) = delete;

    // Deflates n bytes into out (resized to hold exactly the output). The last block finishes the
    // stream. The buffer grows when zlib has more to give than the first estimate holds.
    void Compress(const uint8_t* input, size_t n, bool last, std::vector<uint8_t>& out)
    {
        out.assign(DeflateBufferSize(n), 0);
        stream_.next_in = const_cast<Bytef*>(input);
        stream_.avail_in = static_cast<uInt>(n);
        const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
        size_t produced = 0;
        for (;;) {
            stream_.next_out = out.data() + produced;
            stream_.avail_out = static_cast<uInt>(out.size() - produced);
            const int rc = deflate(&stream_, flush);
            if (rc != Z_BUF_ERROR)
                CheckCompressResult(rc);
            produced = out.size() - stream_.avail_out;
            const bool done = last ? rc == Z_STREAM_END : stream_.avail_out != 0;
            if (done)
                break;
            if (rc == Z_BUF_ERROR && stream_.avail_out != 0)
                throw ECompressionError("error");  // no progress possible
            out.resize(out.size() * 2);
        }
        out.resize(produced);
    }

    // Ends the stream; a negative result raises unless ignored.
    void End(bool ignoreResult)
    {
        if (!started_)
            return;
        started_ = false;
        const int rc = deflateEnd(&stream_);
        // Z_DATA_ERROR only says the stream was freed before it finished (a cancel or a failure).
        if (!ignoreResult && rc != Z_DATA_ERROR)
            CheckCompressResult(rc);
    }

private:
    z_stream stream_{};
    bool started_ = false;
};

constexpr int64_t kZip64Limit = int64_t{kNo32};
constexpr int32_t kWriteError = 46;

}  // namespace

// ---------------------------------------------------------------------------------------------

namespace {

// The state of one CompressFile call.
class TEntryCompressor {
public:
    TEntryCompressor(TZABaseArchiver& archiver, rtl::TStream& source, rtl::TStream& dest, TDirItem& item)
        : archiver_(archiver), source_(source), dest_(dest), item_(item), header_(item),
          sourceSize_(std::max<int64_t>(source.Size(), 0)), blockSize_(BlockSizeForMode(item.CompressionMode)),
          encrypted_(!item.Password.empty()), deflated_(item.CompressionMethod != 0)
    {
    }

    bool Run()
    {
        source_.Seek(0, rtl::soBeginning);
        if (archiver_.UsesZipFormat)
            DeflateLoop();
        const bool complete = bytesRead_ == sourceSize_;
        if (complete)
            SetResults();
        static_cast<TCentralHeader&>(item_) = header_;
        if (complete) {
            if (item_.HasZip64Extra && archiver_.Zip64Mode == zmDisabled)
                throw EZAException::CreateWithCodeFmt(41, {item_.SourceFileName}, &archiver_);
            return true;
        }
        if (archiver_.CancelRequested)
            return false;
        throw EZAException::CreateWithCodeFmt(34, {sourceSize_, bytesRead_}, &archiver_);
    }

private:
    void SetResults()
    {
        const bool always = archiver_.Zip64Mode == zmAlways;
        if (bytesWritten_ >= kZip64Limit || always) {
            item_.HasZip64Extra = true;
            header_.CompressedSize = kNo32;
            item_.Zip64CompressedSize = bytesWritten_;
        } else {
            header_.CompressedSize = static_cast<uint32_t>(bytesWritten_);
        }
        if (sourceSize_ >= kZip64Limit || always) {
            item_.HasZip64Extra = true;
            header_.UncompressedSize = kNo32;
            item_.Zip64UncompressedSize = sourceSize_;
        } else {
            header_.UncompressedSize = static_cast<uint32_t>(sourceSize_);
        }
        header_.Crc32 = ~crc_;
        if (sourceSize_ == 0)
            header_.CompressionMethod = 0;
    }

    void DeflateLoop()
    {
        input_.assign(static_cast<size_t>(std::min<int64_t>(sourceSize_, blockSize_)), 0);
        std::unique_ptr<TBlockDeflater> deflater;
        try {
            deflater = std::make_unique<TBlockDeflater>(item_.CompressionMode);
            if (encrypted_)
                WriteEncryptionHeader();
        } catch (const EZlibError&) {
            return;  // reported as a short entry (code 34) below
        }
        archiver_.FileBytesTotal = static_cast<double>(sourceSize_);
        while (bytesRead_ < sourceSize_) {
            if (!ReportProgress())
                break;
            if (!CompressNextBlock(*deflater))
                break;
        }
        deflater->End(archiver_.CancelRequested || bytesRead_ != sourceSize_);
    }

    bool ReportProgress()
    {
        archiver_.FileBytesDone = static_cast<double>(bytesRead_);
        const double share = archiver_.FileBytesDone / archiver_.FileBytesTotal;
        const auto op = static_cast<TZAProcessOperation>(item_.PendingOperation);
        if (archiver_.ProgressEnabled) {
            archiver_.DoOnFileProgress(item_.SourceFileName, share * 100.0, op, ppProcess,
                                       archiver_.CancelRequested);
            if (archiver_.CancelRequested)
                return false;
        }
        const double files = std::max(archiver_.ProcessedFileCount, 1);
        archiver_.DoOnOverallProgress((share + archiver_.ProcessedFileNo) / files * 100.0, op, ppProcess,
                                      archiver_.CancelRequested);
        return !archiver_.CancelRequested;
    }

    // One block: read, checksum, compress, encrypt, write. False ends the loop.
    bool CompressNextBlock(TBlockDeflater& deflater)
    {
        const int64_t length = std::min<int64_t>(blockSize_, sourceSize_ - bytesRead_);
        if (source_.Read(input_.data(), length) != length)
            return false;
        const bool first = bytesRead_ == 0;
        const bool last = bytesRead_ + length == sourceSize_;
        size_t skip = 0;
        size_t outLength = 0;
        try {
            if (!encrypted_)
                Crc32Accumulate(input_.data(), length, crc_);
            if (deflated_) {
                deflater.Compress(input_.data(), static_cast<size_t>(length), last, output_);
                // Raw deflate data: no two-byte zlib header in front, no checksum at the end.
                skip = first ? 2 : 0;
                const size_t trailer = last ? 4 : 0;
                if (output_.size() < skip + trailer)
                    throw ECompressionError("error");
                outLength = output_.size() - skip - trailer;
            } else {
                output_.assign(input_.begin(), input_.begin() + length);
                outLength = output_.size();
            }
            if (encrypted_)
                CipherEncryptRange(keys_, output_.data(), static_cast<int64_t>(skip),
                                   static_cast<int64_t>(outLength));
        } catch (const EZlibError&) {
            return false;
        }
        const auto wanted = static_cast<int64_t>(outLength);
        WriteOrFail(output_.data() + skip, wanted);
        bytesRead_ += length;
        bytesWritten_ += wanted;
        return true;
    }

    // A destination that takes fewer bytes than given (a full disk, a file-size limit) is the write
    // error, never an entry cut short.
    void WriteOrFail(const uint8_t* data, int64_t count)
    {
        bool written = false;
        try {
            written = dest_.Write(data, count) == count;
        } catch (const rtl::EWriteError&) {
        }
        if (!written)
            throw EZAException::CreateWithCode(kWriteError, &archiver_);
    }

    // The 12 bytes in front of encrypted data: ten random bytes and the CRC's top two bytes, so a
    // reader can test a password. The CRC needs a pass over the whole source first.
    void WriteEncryptionHeader()
    {
        while (bytesRead_ < sourceSize_) {
            const int64_t length = std::min<int64_t>(blockSize_, sourceSize_ - bytesRead_);
            const int64_t got = source_.Read(input_.data(), length);
            if (got > 0)
                Crc32Accumulate(input_.data(), got, crc_);
            if (got != length)
                break;
            bytesRead_ += length;
        }
        source_.Seek(0, rtl::soBeginning);

        uint8_t header[CipherHeaderSize];
        std::random_device random;
        for (int i = 0; i < CipherHeaderSize - 2; ++i)
            header[i] = static_cast<uint8_t>(random());
        const uint32_t finalCrc = ~crc_;
        header[10] = static_cast<uint8_t>(finalCrc >> 16);
        header[11] = static_cast<uint8_t>(finalCrc >> 24);
        CipherInitKeys(keys_, item_.Password);
        for (uint8_t& b : header)
            b = CipherEncryptByte(keys_, b);
        WriteOrFail(header, CipherHeaderSize);
        bytesWritten_ += CipherHeaderSize;
        bytesRead_ = 0;
    }

    TZABaseArchiver& archiver_;
    rtl::TStream& source_;
    rtl::TStream& dest_;
    TDirItem& item_;
    TCentralHeader header_;
    const int64_t sourceSize_;
    const int64_t blockSize_;
    const bool encrypted_;
    const bool deflated_;
    uint32_t crc_ = 0xFFFFFFFF;
    int64_t bytesRead_ = 0;
    int64_t bytesWritten_ = 0;
    CipherKeys keys_;
    std::vector<uint8_t> input_;
    std::vector<uint8_t> output_;
};

}  // namespace

bool TZABaseArchiver::CompressFile(rtl::TStream& Source, rtl::TStream& Dest, TDirItem& Item)
{
    TEntryCompressor compressor(*this, Source, Dest, Item);
    return compressor.Run();
}
