// Whole-file reading and writing of text, bytes and fixed-size binary records. Names are
// Windows-style cp1251 paths; text stays as the bytes on disk. Every failure raises EInOutError whose
// ErrorCode is the errno code of the failing call (2 = no such file), or 100 for a read that found the
// file too short and 101 for a write the disk did not take whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace rtl {

class TLiveTemp;

constexpr int kReadBeyondEnd = 100;
constexpr int kShortWrite = 101;

// Lines end with CR LF or LF; a last line without an ending counts; a lone CR stays in its line.
std::vector<std::string> ReadLines(std::string_view path);
std::vector<std::string> SplitLines(std::string_view text);
// Every line followed by CR LF.
void WriteLines(std::string_view path, const std::vector<std::string>& lines);
std::string JoinLines(const std::vector<std::string>& lines);

std::string ReadFileBytes(std::string_view path);
// Creates or truncates the file and writes the bytes.
void WriteFileBytes(std::string_view path, std::string_view bytes);
// Writes a temporary file in the same folder, flushes it to disk and renames it over path, so the
// file holds either its old or its new content whatever happens. An existing file's permissions
// are kept. A file that is made again whenever needed (a generated page) is not flushed: readers
// still see the old content or the new, never a part.
void WriteFileAtomic(std::string_view path, std::string_view bytes, bool durable = true);

// A file written piece by piece, as its bytes arrive, into a temporary file beside path; Commit flushes
// it to disk and renames it over path. Until then path keeps its old content, and a writer ended
// without Commit removes its temporary file; the temporary carries its writer (its process id and
// lock, platform/rtl/tempfiles.h) while it exists. An existing file's permissions are kept unless
// keepMode is false; the new file then has the mode of any new file.
class TAtomicFileWriter {
public:
    explicit TAtomicFileWriter(std::string_view path, bool keepMode = true);
    ~TAtomicFileWriter();
    TAtomicFileWriter(const TAtomicFileWriter&) = delete;
    TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

    void Write(std::string_view bytes);
    int64_t Size() const { return size_; }  // bytes written so far
    void Commit(bool durable = true);  // durable: flushed to disk before and after the rename

private:
    std::string path_;  // as given, for the error messages
    std::string native_;
    std::string folder_;    // native, with its trailing "/"
    std::string tempName_;  // in the folder
    std::unique_ptr<TLiveTemp> live_;
    int folderFd_ = -1;
    int fd_ = -1;
    int64_t size_ = 0;
    bool committed_ = false;
};

// Removes the temporary files that writers of path left beside it when they were killed before
// Commit: files named as TAtomicFileWriter names them for path, regular files only, whose writer has
// ended (platform/rtl/tempfiles.h): its lock is free, and its process no longer runs, or is this one
// and has no writer of that file open (its folder however spelled). Files of a process that still
// runs, even when its id was taken over by another program, and those a writer in another process
// namespace holds, are kept. Returns how many were removed.
int RemoveStaleTempFiles(std::string_view path);

// Reads exactly size bytes at offset; a shorter file or a negative offset raises EInOutError 100.
void ReadFileBlock(std::string_view path, int64_t offset, void* buffer, size_t size);

// Record number index (0-based) of a file of T records; an index outside the file raises
// EInOutError 100.
template <typename T>
void ReadRecord(std::string_view path, T& record, int64_t index = 0) {
    static_assert(std::is_trivially_copyable_v<T>, "records are read as raw bytes");
    constexpr int64_t size = static_cast<int64_t>(sizeof(T));
    const int64_t offset = index >= 0 && index <= INT64_MAX / size ? index * size : -1;
    ReadFileBlock(path, offset, &record, sizeof(T));
}

// Every whole record of the file; trailing bytes shorter than a record are ignored.
template <typename T>
std::vector<T> ReadRecords(std::string_view path) {
    static_assert(std::is_trivially_copyable_v<T>, "records are read as raw bytes");
    const std::string bytes = ReadFileBytes(path);
    std::vector<T> records(bytes.size() / sizeof(T));
    if (!records.empty()) std::memcpy(records.data(), bytes.data(), records.size() * sizeof(T));
    return records;
}

// Replaces the file with the one record, atomically.
template <typename T>
void WriteRecord(std::string_view path, const T& record) {
    static_assert(std::is_trivially_copyable_v<T>, "records are written as raw bytes");
    WriteFileAtomic(path, std::string_view(reinterpret_cast<const char*>(&record), sizeof(T)));
}

template <typename T>
void WriteRecords(std::string_view path, const std::vector<T>& records) {
    static_assert(std::is_trivially_copyable_v<T>, "records are written as raw bytes");
    WriteFileAtomic(path, std::string_view(reinterpret_cast<const char*>(records.data()),
                                           records.size() * sizeof(T)));
}

}  // namespace rtl
