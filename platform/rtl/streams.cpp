#include "platform/rtl/streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace rtl {
namespace {

// Largest single read or write handed to the kernel; bigger requests loop.
constexpr int64_t kMaxChunk = int64_t{1} << 30;
// Buffer of CopyFrom: large enough to be fast, small enough for any memory.
constexpr int64_t kCopyBuffer = int64_t{1} << 20;
// No memory stream is ever this large; a request beyond it is a corrupt size, answered with
// EOutOfMemory before the allocator sees it.
constexpr int64_t kMaxMemorySize = int64_t{1} << 39;

std::string Describe(const std::string& fileName, int error) {
    return SysErrorMessage(error) + " (" + fileName + ")";
}

// base + offset, or EStreamError when the sum overflows or is negative.
int64_t CheckedPosition(int64_t base, int64_t offset) {
    int64_t result;
    if (__builtin_add_overflow(base, offset, &result) || result < 0)
        throw EStreamError("Invalid stream position");
    return result;
}

}  // namespace

// ---- TStream ----

int64_t TStream::Size() {
    const int64_t position = Seek(0, soCurrent);
    const int64_t size = Seek(0, soEnd);
    Seek(position, soBeginning);
    return size;
}

int64_t TStream::ReadAt(void* buffer, int64_t count, int64_t position) {
    Seek(position, soBeginning);
    return Read(buffer, count);
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count < 0) throw EStreamError("Invalid stream copy count");
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<char> buffer(static_cast<size_t>(std::min(count, kCopyBuffer)));
    for (int64_t left = count; left > 0;) {
        const int64_t n = std::min(left, kCopyBuffer);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}

// ---- TFileStream ----

TFileStream::TFileStream(std::string_view fileName, uint16_t mode) : fileName_(fileName) {
    if (mode == fmCreate) {
        fd_ = OpenFile(fileName, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) throw EFCreateError("Cannot create file \"" + fileName_ + "\". " + SysErrorMessage(errno));
        return;
    }
    static constexpr int kAccess[] = {O_RDONLY, O_WRONLY, O_RDWR};
    const int access = mode & 3;
    if (access == 3) throw EFOpenError("Cannot open file \"" + fileName_ + "\". Invalid access mode");
    // Without waiting: opening a FIFO for reading would otherwise block until a writer comes.
    fd_ = OpenFile(fileName, kAccess[access] | O_CLOEXEC | O_NONBLOCK);
    int error = errno;
    if (fd_ >= 0) ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    struct stat st;
    if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        error = EISDIR;
    }
    if (fd_ < 0) throw EFOpenError("Cannot open file \"" + fileName_ + "\". " + SysErrorMessage(error));
}

TFileStream::~TFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd_, out + done, static_cast<size_t>(std::min(count - done, kMaxChunk)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (done > 0) break;  // report what arrived; the next call meets the error again
            throw EReadError("Stream read error: " + Describe(fileName_, errno));
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t TFileStream::ReadAt(void* buffer, int64_t count, int64_t position) {
    if (position < 0) throw EStreamError("Invalid stream position");
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const off_t at = static_cast<off_t>(CheckedPosition(position, done));
        const ssize_t n = ::pread(fd_, out + done, static_cast<size_t>(std::min(count - done, kMaxChunk)), at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (done > 0) break;
            throw EReadError("Stream read error: " + Describe(fileName_, errno));
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    const char* in = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, in + done, static_cast<size_t>(std::min(count - done, kMaxChunk)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (done > 0) break;
            throw EWriteError("Stream write error: " + Describe(fileName_, errno));
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin < soBeginning || origin > soEnd) throw EStreamError("Invalid seek origin");
    const off_t result = ::lseek(fd_, static_cast<off_t>(offset), kWhence[origin]);
    if (result < 0) throw EStreamError("Invalid stream position: " + Describe(fileName_, errno));
    return result;
}

int64_t TFileStream::Size() {
    struct stat st;
    if (::fstat(fd_, &st) != 0) throw EStreamError("Stream size error: " + Describe(fileName_, errno));
    return st.st_size;
}

void TFileStream::SetSize(int64_t size) {
    if (size < 0) throw EStreamError("Invalid stream size");
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        throw EWriteError("Stream size error: " + Describe(fileName_, errno));
    Seek(size, soBeginning);
}

void TFileStream::Flush() {
    if (::fsync(fd_) != 0) throw EWriteError("Stream flush error: " + Describe(fileName_, errno));
}

// ---- TMemoryStream ----

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t available = Size() - position_;
    if (count <= 0 || available <= 0) return 0;
    const int64_t n = std::min(count, available);
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const int64_t end = CheckedPosition(position_, count);
    if (end > Size()) {
        const int64_t keep = position_;
        SetSize(end);  // grows the vector geometrically, so appends stay linear
        position_ = keep;
    }
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    switch (origin) {
        case soBeginning: position_ = CheckedPosition(0, offset); break;
        case soCurrent: position_ = CheckedPosition(position_, offset); break;
        case soEnd: position_ = CheckedPosition(Size(), offset); break;
        default: throw EStreamError("Invalid seek origin");
    }
    return position_;
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0) throw EStreamError("Invalid stream size");
    if (size > kMaxMemorySize) throw EOutOfMemory("Out of memory");
    try {
        data_.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory("Out of memory");
    } catch (const std::length_error&) {
        throw EOutOfMemory("Out of memory");
    }
    if (position_ > size) position_ = size;
}

void TMemoryStream::Clear() {
    std::vector<char>().swap(data_);
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    const int64_t size = source.Size();
    SetSize(size);
    position_ = 0;
    source.ReadBuffer(data_.data(), size);
}

void TMemoryStream::SaveToStream(TStream& dest) { dest.WriteBuffer(data_.data(), Size()); }

void TMemoryStream::LoadFromFile(std::string_view fileName) {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TMemoryStream::SaveToFile(std::string_view fileName) {
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

// ---- TStringStream ----

TStringStream::TStringStream(std::string_view initial) {
    data_.assign(initial.begin(), initial.end());
}

}  // namespace rtl
