// Writing the end of an archive: the central directory, the ZIP64 end record and locator when the
// archive needs them, the end record and the archive comment; and the archiver's volume-aware
// writes, through which a split or spanned archive moves on to its next volume when one is full.
#include <algorithm>
#include <exception>
#include <limits>
#include <vector>

#include "archive/ZAExcept.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"

namespace {

constexpr int64_t kCopyChunk = 1000000;
constexpr int32_t kMaxWritePiece = 1 << 30;  // one WriteOrFail call takes a 32-bit count
constexpr uint16_t kFileModeReadWriteShareAll = 66;

// Size of the ZIP64 extra block an entry needs: 8 for each 32-bit size or offset that holds all
// ones, 4 for an all-ones start volume, plus the block's 4-byte header; 0 when none applies.
uint32_t Zip64ExtraSize(const TDirItem& item)
{
    uint32_t size = 0;
    if (item.UncompressedSize == kNo32)
        size += 8;
    if (item.CompressedSize == kNo32)
        size += 8;
    if (item.LocalHeaderOffset == kNo32)
        size += 8;
    if (item.DiskNumberStart == kNo16)
        size += 4;
    return size > 0 ? size + static_cast<uint32_t>(kExtraBlockHeaderSize) : 0;
}

// The central record of one entry (header, name, extra field, comment) as bytes. The lengths in the
// header are set from what is actually written, so header and data always agree.
std::string CentralRecordOf(TDirItem& item, bool oemNames)
{
    const std::string name = item.NameBytes(oemNames);
    const uint32_t zip64Size = Zip64ExtraSize(item);
    size_t extraSize = zip64Size;
    for (const TDirItemExtra& extra : item.ExtraFields)
        if (extra.Tag != kZip64ExtraTag)
            extraSize += kExtraBlockHeaderSize + extra.Data.size();
    constexpr size_t kMax16 = 0xFFFF;
    if (name.size() > kMax16 || extraSize > kMax16 || item.Comment.size() > kMax16)
        throw EZAException::CreateWithCode(46);  // a field that cannot be stored: no partial record
    item.NameLength = static_cast<uint16_t>(name.size());
    item.ExtraLength = static_cast<uint16_t>(extraSize);
    item.CommentLength = static_cast<uint16_t>(item.Comment.size());

    std::string record(TCentralHeader::Size + name.size() + extraSize + item.Comment.size(), '\0');
    auto* out = reinterpret_cast<uint8_t*>(record.data());
    StoreRecord(static_cast<const TCentralHeader&>(item), out);
    size_t pos = TCentralHeader::Size;
    std::copy(name.begin(), name.end(), out + pos);
    pos += name.size();
    if (zip64Size > 0) {
        PutU16(out + pos, kZip64ExtraTag);
        PutU16(out + pos + 2, static_cast<uint16_t>(zip64Size - kExtraBlockHeaderSize));
        pos += kExtraBlockHeaderSize;
        const auto put64 = [&](int64_t v) { PutU64(out + pos, static_cast<uint64_t>(v)), pos += 8; };
        if (item.UncompressedSize == kNo32)
            put64(item.Zip64UncompressedSize);
        if (item.CompressedSize == kNo32)
            put64(item.Zip64CompressedSize);
        if (item.LocalHeaderOffset == kNo32)
            put64(item.Zip64LocalHeaderOffset);
        if (item.DiskNumberStart == kNo16) {
            PutU32(out + pos, item.Zip64DiskNumberStart);
            pos += 4;
        }
    }
    for (const TDirItemExtra& extra : item.ExtraFields) {
        if (extra.Tag == kZip64ExtraTag)
            continue;  // replaced by the block built above
        PutU16(out + pos, extra.Tag);
        PutU16(out + pos + 2, static_cast<uint16_t>(extra.Data.size()));
        pos += kExtraBlockHeaderSize;
        std::copy(extra.Data.begin(), extra.Data.end(), out + pos);
        pos += extra.Data.size();
    }
    std::copy(item.Comment.begin(), item.Comment.end(), out + pos);
    return record;
}

template <class R>
void WriteRecord(rtl::TStream& stream, const R& record)
{
    uint8_t bytes[R::Size];
    StoreRecord(record, bytes);
    stream.WriteBuffer(bytes, R::Size);
}

uint32_t Clamp32(int64_t value)
{
    return value < int64_t{kNo32} ? static_cast<uint32_t>(value) : kNo32;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The directory writer

namespace {

// Sends the directory's bytes to the archive: through the archiver's volumes when the archive is
// split or spanned, otherwise collected in memory and written at once.
class TDirectorySink {
public:
    TDirectorySink(TZADirManager& manager, TZABaseArchiver* archiver)
        : manager_(manager), archiver_(archiver),
          volumes_(archiver != nullptr && archiver->SpanningMode() != smNone)
    {
    }

    void Put(const std::string& bytes, int32_t keepTogether)
    {
        if (bytes.empty())
            return;
        if (volumes_) {
            archiver_->WriteOrFail(bytes.data(), static_cast<int32_t>(bytes.size()), &buffer_, keepTogether,
                                   archiver_->VolumeInfo, manager_.Stream);
        } else {
            buffer_.Seek(0, rtl::soEnd);
            buffer_.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        }
        total_ += static_cast<int64_t>(bytes.size());
    }

    // Writes what the buffer still holds to the archive stream.
    void Flush()
    {
        const auto* data = reinterpret_cast<const uint8_t*>(buffer_.Memory());
        int64_t done = 0;
        const int64_t size = buffer_.Size();
        while (done < size) {
            const auto piece = static_cast<int32_t>(std::min<int64_t>(size - done, kMaxWritePiece));
            if (volumes_) {
                archiver_->WriteOrFail(data + done, piece, nullptr, -1, archiver_->VolumeInfo, manager_.Stream);
            } else if (manager_.Stream->Write(data + done, piece) != piece) {
                throw EZAException::CreateWithCode(46);
            }
            done += piece;
        }
        buffer_.Clear();
    }

    int64_t Total() const { return total_; }

private:
    TZADirManager& manager_;
    TZABaseArchiver* archiver_;
    bool volumes_;
    rtl::TMemoryStream buffer_;
    int64_t total_ = 0;
};

int32_t CurrentVolumeOf(const TZABaseArchiver* archiver)
{
    return archiver != nullptr ? archiver->VolumeInfo.VolumeNumber : 0;
}

// The ZIP64 end record and locator when the archive needs them, then the end record and comment.
void WriteEndRecords(TZADirManager& m, int64_t directorySize, int32_t volume)
{
    const int64_t count = m.CurrentDir.Count();
    const uint32_t disk = static_cast<uint32_t>(std::max(volume, 0));
    const uint16_t disk16 = volume >= 0xFFFF ? kNo16 : static_cast<uint16_t>(disk);
    const uint16_t count16 = count <= 0xFFFE ? static_cast<uint16_t>(count) : kNo16;
    const uint16_t commentLength = static_cast<uint16_t>(std::min<size_t>(m.Comment.size(), 0xFFFF));

    if (m.EndRecord.Signature == 0)  // never write a record no reader can find
        m.EndRecord.Signature = m.Archiver->DirUsesZipFormat() ? kEndRecordSig : kAltEndRecordSig;
    m.EndRecord.EntriesOnDisk = count16;
    m.EndRecord.TotalEntries = count16;
    m.EndRecord.DirectorySize = Clamp32(directorySize);
    m.EndRecord.DirectoryOffset = Clamp32(m.DirectoryStart);
    m.EndRecord.CommentLength = commentLength;
    m.EndRecord.DiskNumber = disk16;

    // Past 4 GiB, 65,535 entries or 65,535 volumes the end record's fields overflow; the ZIP64
    // records carry the real values.
    m.IsZip64 = m.Stream->Position() >= int64_t{kNo32} || count >= 0xFFFF || disk16 == kNo16 ||
              m.EndRecord.DirectoryDisk == kNo16;
    if (m.IsZip64) {
        const int64_t recordStart = m.Stream->Position();
        m.Zip64EndRecord.Signature = kZip64EndRecordSig;
        m.Zip64EndRecord.RecordSize = TZip64EndRecord::kRestSize;
        m.Zip64EndRecord.VersionMadeBy = TZip64EndRecord::kVersion;
        m.Zip64EndRecord.VersionNeeded = TZip64EndRecord::kVersion;
        m.Zip64EndRecord.DiskNumber = disk;
        m.Zip64EndRecord.EntriesOnDisk = static_cast<uint64_t>(count);
        m.Zip64EndRecord.TotalEntries = static_cast<uint64_t>(count);
        m.Zip64EndRecord.DirectorySize = static_cast<uint64_t>(directorySize);
        m.Zip64EndRecord.DirectoryOffset = static_cast<uint64_t>(m.DirectoryStart);
        WriteRecord(*m.Stream, m.Zip64EndRecord);

        m.Zip64Locator.Signature = kZip64LocatorSig;
        m.Zip64Locator.EndRecordDisk = disk;
        m.Zip64Locator.EndRecordOffset = static_cast<uint64_t>(recordStart);
        m.Zip64Locator.TotalDisks = disk + 1;
        WriteRecord(*m.Stream, m.Zip64Locator);
    }
    WriteRecord(*m.Stream, m.EndRecord);
    if (commentLength > 0)
        m.Stream->WriteBuffer(m.Comment.data(), commentLength);
}

// A multi-volume archive ends on a volume named as FileName says (or its ".ZIP" form for a split
// self-extractor), which replaces any older file of that name and stays open read-write.
void GiveVolumesTheirFinalName(TZADirManager& m, TZABaseArchiver& archiver)
{
    if (archiver.SpanningMode() == smNone || archiver.CurrentVolumeName == archiver.FileName)
        return;
    archiver.ArchiveStream.reset();
    m.Stream = nullptr;
    std::string finalName = archiver.FileName;
    archiver.VolumeFileName(finalName, -1, false);
    rtl::DeleteFile(finalName);
    rtl::RenameFile(archiver.CurrentVolumeName, finalName);
    archiver.ArchiveStream = std::make_unique<rtl::TFileStream>(finalName, kFileModeReadWriteShareAll);
    archiver.CurrentVolumeName = finalName;
    m.Stream = archiver.ArchiveStream.get();
}

}  // namespace

void TZADirManager::SaveDirectory(bool AtEnd, rtl::TStream* stream)
{
    if (stream != nullptr)
        Stream = stream;
    auto* archiver = dynamic_cast<TZABaseArchiver*>(Archiver);

    // Where the directory goes: the end of the stream, or over the old directory.
    const std::string keptComment = Comment;
    int64_t start = Stream->Size();
    if (!AtEnd) {
        TEndRecord found;
        int64_t position = -1;
        bool hasRecord = FindEndRecord(found, position, kEndRecordSig);
        if (!hasRecord && !Archiver->DirUsesZipFormat())
            hasRecord = FindEndRecord(found, position, kAltEndRecordSig);
        if (hasRecord)
            start = std::clamp<int64_t>(position - int64_t{found.DirectorySize}, 0, position);
    }
    Comment = keptComment;
    Stream->Seek(start, rtl::soBeginning);
    Stream->SetSize(start);
    DirectoryStart = start;

    const int32_t startVolume = CurrentVolumeOf(archiver);
    const uint32_t startDisk = static_cast<uint32_t>(std::max(startVolume, 0));
    EndRecord.DirectoryDisk = startVolume >= 0xFFFF ? kNo16 : static_cast<uint16_t>(startDisk);
    Zip64EndRecord.DirectoryDisk = startDisk;

    // The central headers; the buffer goes out also when an entry failed.
    TDirectorySink sink(*this, archiver);
    const bool oemNames = Archiver->DirOemNames();
    std::exception_ptr failure;
    try {
        for (int i = 0; i < CurrentDir.Count(); ++i) {
            TDirItem& item = CurrentDir.ItemAt(i);
            const std::string record = CentralRecordOf(item, oemNames);
            const std::string header = record.substr(0, TCentralHeader::Size);
            sink.Put(header, item.NameLength + item.ExtraLength);
            sink.Put(record.substr(TCentralHeader::Size), -1);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    sink.Flush();
    if (failure)
        std::rethrow_exception(failure);

    WriteEndRecords(*this, sink.Total(), CurrentVolumeOf(archiver));
    if (archiver != nullptr)
        GiveVolumesTheirFinalName(*this, *archiver);
}

// ---------------------------------------------------------------------------------------------
// Volume-aware writes

int32_t TZABaseArchiver::WriteWithVolumes(const void* Data, int32_t Count, rtl::TMemoryStream* Buffer,
                                          int32_t KeepTogether, TZAVolumeNumberInfo& Info,
                                          rtl::TStream*& Stream)
{
    if (Count <= 0)
        return 0;
    if (spanningMode_ == smNone)
        return static_cast<int32_t>(Stream->Write(Data, Count));

    const auto* bytes = static_cast<const uint8_t*>(Data);
    int64_t written = 0;
    while (written < Count) {
        const int64_t buffered = Buffer != nullptr ? Buffer->Size() : 0;
        int64_t free = DriveFreeSpace(CurrentVolumeName) - buffered;
        const int64_t limit = spanningOptions_->VolumeSizeFor(Info);
        if (limit != -1)
            free = std::min(free, limit - Stream->Size() - buffered);
        if (free < 0)
            break;
        const int64_t rest = Count - written;
        // A volume that holds nothing yet takes what fits even when the bytes to keep together are
        // more than a whole volume; otherwise every new volume would be refused in turn.
        const bool emptyVolume = Stream->Size() == 0 && buffered == 0;
        if (KeepTogether == -1 || rest + KeepTogether <= free || emptyVolume) {
            const int64_t n = std::min(free, rest);
            if (n > 0) {
                rtl::TStream* target = Buffer != nullptr ? static_cast<rtl::TStream*>(Buffer) : Stream;
                if (Buffer != nullptr)
                    Buffer->Seek(0, rtl::soEnd);
                written += target->Write(bytes + written, n);
            }
        }
        if (written < Count)
            MoveToNextVolume(Buffer, Info, Stream);
    }
    return static_cast<int32_t>(written);
}

// The current volume is full: what the buffer holds goes onto it, then the next volume is opened.
void TZABaseArchiver::MoveToNextVolume(rtl::TMemoryStream* Buffer, TZAVolumeNumberInfo& Info,
                                       rtl::TStream*& Stream)
{
    if (Buffer != nullptr && Buffer->Size() > 0) {
        Stream->WriteBuffer(Buffer->Memory(), Buffer->Size());
        Buffer->Clear();
    }
    if (spanningMode_ == smSpanning)
        if (auto* file = dynamic_cast<rtl::TFileStream*>(Stream))
            file->Flush();
    if (Info.VolumeNumber < std::numeric_limits<int32_t>::max())
        Info.VolumeNumber += 1;
    OpenVolume(Info);
    Stream = ArchiveStream.get();
}

int32_t TZABaseArchiver::CopyWithVolumes(rtl::TStream& Source, rtl::TStream*& Stream, bool ReportProgress,
                                         rtl::TMemoryStream* Buffer, int32_t KeepTogether, int64_t Count,
                                         bool& Cancel, TZAVolumeNumberInfo& Info)
{
    std::vector<uint8_t> work(static_cast<size_t>(kCopyChunk), 0);
    const int64_t total = std::max<int64_t>(Count == -1 ? Source.Size() - Source.Position() : Count, 0);
    const int64_t chunk = std::min(kCopyChunk, total);
    if (ReportProgress) {
        DoOnCopyTempFileProgress(0, ppStart, Cancel);
        if (Cancel)
            return 0;
    }
    int64_t copied = 0;
    bool shortWrite = false;
    while (copied < total) {
        const int64_t got = Source.Read(work.data(), std::min(chunk, total - copied));
        if (got <= 0)
            break;
        const int32_t put = WriteWithVolumes(work.data(), static_cast<int32_t>(got), Buffer, KeepTogether, Info, Stream);
        copied += put;
        if (ReportProgress) {
            DoOnCopyTempFileProgress(static_cast<double>(copied) / static_cast<double>(total) * 100.0, ppProcess,
                                     Cancel);
            if (Cancel)
                break;
        }
        if (put < got) {
            shortWrite = true;
            break;
        }
    }
    if (ReportProgress) {
        // The closing event must not clear a cancel the caller still has to see.
        bool endCancel = Cancel;
        DoOnCopyTempFileProgress(100, ppEnd, endCancel);
        Cancel = Cancel || endCancel;
    }
    if (shortWrite)
        throw EZAException::CreateWithCode(46, this);
    return 0;
}

void TZABaseArchiver::WriteOrFail(const void* Data, int32_t Count, rtl::TMemoryStream* Buffer,
                                  int32_t KeepTogether, TZAVolumeNumberInfo& Info, rtl::TStream*& Stream)
{
    if (WriteWithVolumes(Data, Count, Buffer, KeepTogether, Info, Stream) != std::max(Count, 0))
        throw EZAException::CreateWithCode(46, this);
}
