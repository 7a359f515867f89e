// Decompression of one entry: local header, traditional decryption, stored copy or raw inflate,
// progress per block, reading across volumes, and the size and CRC-32 checks.
#include <algorithm>
#include <cstring>
#include <memory>

#include "archive/ZACrypt.h"
#include "archive/ZADirManager.h"
#include "archive/ZAExcept.h"
#include "archive/ZAZlib.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace {

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kMethodDeflate64 = 9;
constexpr int32_t kWriteError = 46;
// Read with the local header in the same call: the name, extra field and data of a small entry
// come with it, so such an entry costs one read of the archive.
constexpr int64_t kReadAhead = 4096;

// State of one DecompressFile call.
class TEntryDecoder {
public:
    TEntryDecoder(TZABaseArchiver& owner, rtl::TStream& archive, rtl::TStream& dest, const TDirItem& item)
        : owner_(owner), source_(&archive), dest_(dest), item_(item), volume_(owner.EntryVolume(item))
    {
    }

    // Where the next read of the entry's bytes starts in the current volume, and the bytes from
    // there on that were read already.
    void StartAt(int64_t offset, const uint8_t* ahead, int64_t aheadLength)
    {
        offset_ = offset;
        ahead_ = ahead;
        aheadLength_ = std::max<int64_t>(aheadLength, 0);
    }

    // True when the entry's data was read to its end and every produced byte was written; the
    // size and CRC checks are the caller's.
    bool Run(int64_t compressedSize);

    int64_t Produced() const { return produced_; }
    // The destination took fewer bytes than given (a full disk, a file-size limit).
    bool WriteFailed() const { return writeFailed_; }
    uint32_t Crc() const { return crc_ ^ 0xFFFFFFFFu; }
    TLocalHeader Local;

private:
    bool Encrypted() const { return (item_.Flags & kFlagEncrypted) != 0; }
    bool AcceptPassword();
    bool ReportProgress();
    bool ReadSpanned(uint8_t* buffer, int64_t count);
    bool Emit(const uint8_t* data, size_t length);

    TZABaseArchiver& owner_;
    rtl::TStream* source_;
    int64_t offset_ = 0;  // reads are positioned, so an entry costs no seeks on the archive
    const uint8_t* ahead_ = nullptr;
    int64_t aheadLength_ = 0;
    rtl::TStream& dest_;
    const TDirItem& item_;
    TZAVolumeNumberInfo volume_;
    CipherKeys keys_;
    int64_t expectedSize_ = 0;
    int64_t produced_ = 0;
    uint32_t crc_ = 0xFFFFFFFFu;
    bool writeFailed_ = false;
};

// Asks for passwords until the header checks or the user skips. An event handler that hands back
// the password that just failed would be asked forever; that answer counts as a skip (the default
// dialog keeps asking: its user can cancel).
bool TEntryDecoder::AcceptPassword()
{
    for (;;) {
        source_->SetPosition(offset_);
        if (owner_.CheckCipherHeader(*source_, owner_.Password, keys_, Local.Crc32, Local.ModTime,
                                     Local.Flags)) {
            offset_ += CipherHeaderSize;
            aheadLength_ = 0;  // the data follows the encryption header; read anew from there
            return true;
        }
        const std::string tried = owner_.Password;
        owner_.DoOnPassword(item_.FileName, owner_.Password, owner_.SkipCurrentFile);
        if (owner_.OnPassword && !owner_.SkipCurrentFile && owner_.Password == tried)
            owner_.SkipCurrentFile = true;
        if (owner_.SkipCurrentFile)
            return false;
    }
}

// File and then overall progress before a block (the overall event comes even when the file event
// asked to cancel); false when either handler asked to cancel.
bool TEntryDecoder::ReportProgress()
{
    const double fileShare = owner_.FileBytesTotal > 0 ? owner_.FileBytesDone / owner_.FileBytesTotal : 0;
    const auto op = static_cast<TZAProcessOperation>(item_.PendingOperation);
    owner_.DoOnFileProgress(item_.FileName, fileShare * 100, op, ppProcess, owner_.CancelRequested);
    const double count = owner_.ProcessedFileCount > 0 ? owner_.ProcessedFileCount : 1;
    const bool cancelledByFile = owner_.CancelRequested;
    owner_.DoOnOverallProgress((fileShare + owner_.ProcessedFileNo) / count * 100, op, ppProcess,
                               owner_.CancelRequested);
    owner_.CancelRequested = owner_.CancelRequested || cancelledByFile;
    return !owner_.CancelRequested;
}

// Reads count bytes, going on to the next volume of a split or spanned archive when the current
// one ends. A single-file archive that ends early is a failure, never a re-read from its start.
bool TEntryDecoder::ReadSpanned(uint8_t* buffer, int64_t count)
{
    int64_t got = std::min(count, aheadLength_);
    if (got > 0) {
        std::memcpy(buffer, ahead_, static_cast<size_t>(got));
        ahead_ += got;
        aheadLength_ -= got;
        offset_ += got;
    }
    if (got < count) {
        const int64_t more = source_->ReadAt(buffer + got, count - got, offset_);
        offset_ += more;
        got += more;
    }
    while (got < count) {
        if (owner_.SpanningMode() == smNone)
            return false;
        if (volume_.FinalVolumeNumber >= 0 && volume_.VolumeNumber >= volume_.FinalVolumeNumber)
            return false;
        volume_.SetNumber(volume_.VolumeNumber + 1);
        owner_.OpenVolume(volume_);
        source_ = owner_.ArchiveStream.get();
        if (source_ == nullptr)
            return false;
        const int64_t more = source_->ReadAt(buffer + got, count - got, 0);
        if (more <= 0)
            return false;
        got += more;
        offset_ = more;
    }
    return true;
}

// Output of the entry: stops before it passes the directory's size (a bomb, or data that belongs
// to another entry) is written, or as soon as the destination takes fewer bytes than given.
bool TEntryDecoder::Emit(const uint8_t* data, size_t length)
{
    const auto len = static_cast<int64_t>(length);
    if (len > expectedSize_ - produced_)
        return false;
    Crc32Accumulate(data, len, crc_);
    try {
        writeFailed_ = dest_.Write(data, len) != len;
    } catch (const rtl::EWriteError&) {
        writeFailed_ = true;
    }
    if (writeFailed_)
        return false;
    produced_ += len;
    return true;
}

// The inflater of one entry, taken from the thread's spare and given back for the next entry: an
// archive of tens of thousands of small entries then allocates and clears zlib's buffers once.
class TBorrowedInflater {
public:
    TBorrowedInflater() = default;
    TBorrowedInflater(const TBorrowedInflater&) = delete;
    TBorrowedInflater& operator=(const TBorrowedInflater&) = delete;
    ~TBorrowedInflater()
    {
        if (!inflater_)
            return;
        try {
            inflater_->Reset();
            Spare() = std::move(inflater_);
        } catch (const std::exception&) {
            // a stream that cannot be reset is not kept
        }
    }

    void Take()
    {
        inflater_ = Spare() ? std::move(Spare()) : std::make_unique<TZAInflater>();
    }
    TZAInflater* operator->() const { return inflater_.get(); }

private:
    static std::unique_ptr<TZAInflater>& Spare()
    {
        thread_local std::unique_ptr<TZAInflater> spare;
        return spare;
    }

    std::unique_ptr<TZAInflater> inflater_;
};

bool TEntryDecoder::Run(int64_t compressedSize)
{
    expectedSize_ = item_.UncompressedSize64();
    if (expectedSize_ < 0)
        return false;
    if (Encrypted()) {
        if (compressedSize < CipherHeaderSize)
            return false;
        compressedSize -= CipherHeaderSize;
        if (!AcceptPassword())
            return false;
    }

    const bool stored = item_.CompressionMethod == kMethodStored;
    TBorrowedInflater inflater;
    std::unique_ptr<uint8_t[]> input;
    try {
        input.reset(new uint8_t[static_cast<size_t>(std::min(compressedSize, TZABaseArchiver::MaxChunk)) + 2]);
        if (!stored)
            inflater.Take();
    } catch (const std::exception&) {
        return false;
    }
    const auto sink = [this](const uint8_t* data, size_t length) { return Emit(data, length); };

    int64_t consumed = 0;
    while (consumed < compressedSize) {
        owner_.FileBytesDone = static_cast<double>(consumed);
        if (!ReportProgress())
            break;  // the size check of the caller fails; the caller raises nothing on a cancel
        const int64_t block = std::min(TZABaseArchiver::MaxChunk, compressedSize - consumed);
        if (!ReadSpanned(input.get(), block))
            return false;
        if (Encrypted())
            CipherDecryptBuffer(keys_, input.get(), block);
        consumed += block;
        if (stored) {
            if (!Emit(input.get(), static_cast<size_t>(block)))
                return false;
            continue;
        }
        const auto result = inflater->Inflate(input.get(), static_cast<size_t>(block), sink);
        if (result == TZAInflater::TResult::DataError || result == TZAInflater::TResult::Stopped)
            return false;
        if (result == TZAInflater::TResult::StreamEnd)
            break;  // bytes after the end of the deflate stream belong to no output
    }
    return true;
}

}  // namespace

TZAVolumeNumberInfo TZABaseArchiver::EntryVolume(const TDirItem& Item) const
{
    TZAVolumeNumberInfo info;
    const TZADirManager* dir = DirManager.get();
    const bool zip64 = dir != nullptr && dir->IsZip64;
    int32_t number = Item.DiskNumberStart;
    if (Item.DiskNumberStart == kNo16)
        number = zip64 ? static_cast<int32_t>(Item.Zip64DiskNumberStart) : 0;
    int32_t final = 0;
    if (dir != nullptr) {
        final = dir->EndRecord.DiskNumber;
        if (dir->EndRecord.DiskNumber == kNo16)
            final = zip64 ? static_cast<int32_t>(dir->Zip64Locator.TotalDisks) - 1 : 0;
    }
    info.FinalVolumeNumber = final;
    info.SetNumber(number);
    return info;
}

bool TZABaseArchiver::CheckCipherHeader(rtl::TStream& Archive, const std::string& Password,
    CipherKeys& Keys, uint32_t LocalCrc, uint16_t LocalTime, uint16_t LocalFlags)
{
    uint8_t header[CipherHeaderSize];
    Archive.ReadBuffer(header, CipherHeaderSize);
    CipherStartDecrypt(Keys, Password, header);
    const uint8_t check = (LocalFlags & kFlagDataDescriptor) != 0 ? static_cast<uint8_t>(LocalTime >> 8)
                                                                  : static_cast<uint8_t>(LocalCrc >> 24);
    return header[CipherHeaderSize - 1] == check;
}

bool TZABaseArchiver::DecompressFile(rtl::TStream& Archive, rtl::TStream& Dest, const TDirItem& Item,
                                     int64_t HeaderPos, int64_t ArchiveSize)
{
    // Sizes lost with a data descriptor leave nothing to check the data against.
    if (Item.SizesUnknown)
        return false;
    TEntryDecoder decoder(*this, Archive, Dest, Item);

    // The local header must be whole and carry its signature; only its CRC, time and flags are
    // used (for the password check).
    if (HeaderPos < 0 || HeaderPos > ArchiveSize - static_cast<int64_t>(TLocalHeader::Size))
        return false;
    constexpr auto kHeader = static_cast<int64_t>(TLocalHeader::Size);
    uint8_t raw[kHeader + kReadAhead];
    const int64_t got = Archive.ReadAt(raw, std::min(kHeader + kReadAhead, ArchiveSize - HeaderPos), HeaderPos);
    if (got < kHeader)
        return false;
    LoadRecord(raw, decoder.Local);
    if (decoder.Local.Signature != kLocalHeaderSig)
        return false;
    const int64_t skip = kHeader + decoder.Local.NameLength + decoder.Local.ExtraLength;
    const int64_t here = HeaderPos + skip;
    if (skip < got)
        decoder.StartAt(here, raw + skip, got - skip);
    else
        decoder.StartAt(here, nullptr, 0);

    // In a single-file archive an entry's data never reaches into the directory or past the end.
    int64_t compressedSize = Item.CompressedSize64();
    if (compressedSize < 0)
        return false;
    if (SpanningMode() == smNone) {
        int64_t limit = ArchiveSize;
        if (DirManager && DirManager->DirectoryStart > 0)
            limit = std::min(limit, DirManager->DirectoryStart);
        compressedSize = std::clamp<int64_t>(limit - here, 0, compressedSize);
    }
    FileBytesTotal = static_cast<double>(compressedSize);
    FileBytesDone = 0;
    SkipCurrentFile = false;

    switch (Item.CompressionMethod) {
    case kMethodStored:
    case kMethodDeflated:
        if (decoder.Run(compressedSize))
            break;
        // A destination that cannot take the data is no fault of the entry.
        if (decoder.WriteFailed())
            throw EZAException::CreateWithCode(kWriteError, this);
        return false;
    case kMethodDeflate64:
        throw EZAException::CreateWithCode(55);
    default:
        // The block format some writers put under other method numbers is not read.
        return false;
    }
    return decoder.Produced() == Item.UncompressedSize64() && decoder.Crc() == Item.Crc32;
}
