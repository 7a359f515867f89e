// Streams of the class library: an abstract TStream with 64-bit sizes and positions, a stream over a
// file and one over memory. Seeking past the end is allowed (a later write fills the gap with zeros);
// a seek to a negative position raises EStreamError.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// Open modes: one access mode combined with one share mode; fmCreate alone creates or truncates.
// Share modes are accepted and not enforced (Linux has no mandatory sharing locks).
constexpr uint16_t fmCreate = 0xFFFF;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    // Transfer up to count bytes at the position and advance it; return the bytes moved
    // (0 for count <= 0 and at the end). An operating-system failure raises EReadError/EWriteError.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Read of up to count bytes at position, for readers that keep their own offsets: a file stream
    // reads there in one call and keeps its position, others seek there and read (the position
    // afterwards is not to be relied on).
    virtual int64_t ReadAt(void* buffer, int64_t count, int64_t position);
    // Returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size();
    virtual void SetSize(int64_t size) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t position) { Seek(position, soBeginning); }

    // Exactly count bytes or EReadError ("Stream read error") / EWriteError ("Stream write error").
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source's position (count 0: all of source from its start) through a
    // bounded buffer; returns the bytes copied. A negative count raises EStreamError.
    int64_t CopyFrom(TStream& source, int64_t count);
};

class TFileStream : public TStream {
public:
    // fmCreate creates or truncates (EFCreateError); other modes open an existing file (EFOpenError).
    // Messages name the file: Cannot open file "<name>". <reason>
    TFileStream(std::string_view fileName, uint16_t mode);
    // Takes over a descriptor open on the file fileName names (for the messages).
    TFileStream(int fd, std::string_view fileName) : fileName_(fileName), fd_(fd) {}
    ~TFileStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t ReadAt(void* buffer, int64_t count, int64_t position) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    // Truncates or extends (sparse where the file system allows); the position moves to the new
    // size, as the platform's handle streams do.
    void SetSize(int64_t size) override;

    const std::string& FileName() const { return fileName_; }
    int Handle() const { return fd_; }
    // Pushes written data to the disk; EWriteError on failure.
    void Flush();

private:
    std::string fileName_;
    int fd_ = -1;
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    // New bytes are zero; a position beyond a shrunk size moves to the end. EOutOfMemory when the
    // memory cannot be had.
    void SetSize(int64_t size) override;

    // The bytes; valid until the size next grows.
    char* Memory() { return data_.data(); }
    const char* Memory() const { return data_.data(); }
    void Clear();

    void LoadFromStream(TStream& source);  // all of source from its start; position 0 afterwards
    void SaveToStream(TStream& dest);      // all bytes, at dest's position
    void LoadFromFile(std::string_view fileName);
    void SaveToFile(std::string_view fileName);  // creates or truncates, as TFileStream(fmCreate)

protected:
    std::vector<char> data_;
    int64_t position_ = 0;
};

// A memory stream over a string, for text built or parsed in memory.
class TStringStream : public TMemoryStream {
public:
    explicit TStringStream(std::string_view initial = {});
    std::string DataString() const { return std::string(data_.begin(), data_.end()); }
    void WriteString(std::string_view s) { WriteBuffer(s.data(), static_cast<int64_t>(s.size())); }
};

}  // namespace rtl
