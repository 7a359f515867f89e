#include "platform/rtl/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/folderindex.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/tempfiles.h"

namespace rtl {
namespace {

void WriteAllTo(int fd, std::string_view bytes, std::string_view path) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) RaiseInOutError(errno, path);
        if (n == 0) RaiseInOutError(kShortWrite, path);
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

// Owns a file descriptor; closing on destruction covers every path out of a routine.
class FileHandle {
public:
    // A Windows-style name, found without regard to case.
    FileHandle(std::string_view path, int flags) : path_(path), fd_(OpenFile(path, flags | O_CLOEXEC)) {
        if (fd_ < 0) RaiseInOutError(errno, path_);
    }
    // A native name used as it is.
    FileHandle(std::string_view path, const std::string& native, int flags)
        : path_(path), fd_(sys::Open(native.c_str(), flags | O_CLOEXEC)) {
        if (fd_ < 0) RaiseInOutError(errno, path_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (fd_ >= 0) ::close(fd_);
    }

    int fd() const { return fd_; }

    // Closes now so that a failing close (a full disk on some file systems) is reported.
    void Close() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) RaiseInOutError(errno, path_);
    }

    std::string ReadAll() {
        std::string out;
        struct stat st;
        if (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
            out.reserve(static_cast<size_t>(st.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) RaiseInOutError(errno, path_);
            if (n == 0) return out;
            out.append(buffer, static_cast<size_t>(n));
        }
    }

    void WriteAll(std::string_view bytes) { WriteAllTo(fd_, bytes, path_); }

    void ReadAt(int64_t offset, void* buffer, size_t size) {
        char* out = static_cast<char*>(buffer);
        while (size > 0) {
            const ssize_t n = ::pread(fd_, out, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) RaiseInOutError(errno, path_);
            if (n == 0) RaiseInOutError(kReadBeyondEnd, path_);
            out += n;
            size -= static_cast<size_t>(n);
            offset += n;
        }
    }

private:
    std::string path_;
    int fd_;
};

std::string FolderOf(const std::string& native) {
    const size_t slash = native.rfind('/');
    if (slash == std::string::npos) return {};
    return native.substr(0, slash + 1);
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        else if (end > start && text[end - 1] == '\r') --end;
        lines.emplace_back(text.substr(start, end - start));
        start = next;
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    size_t total = 0;
    for (const auto& line : lines) total += line.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::vector<std::string> ReadLines(std::string_view path) { return SplitLines(ReadFileBytes(path)); }

void WriteLines(std::string_view path, const std::vector<std::string>& lines) {
    WriteFileBytes(path, JoinLines(lines));
}

std::string ReadFileBytes(std::string_view path) {
    FileHandle file(path, O_RDONLY);
    return file.ReadAll();
}

void WriteFileBytes(std::string_view path, std::string_view bytes) {
    FileHandle file(path, O_WRONLY | O_CREAT | O_TRUNC);
    file.WriteAll(bytes);
    file.Close();
}

void WriteFileAtomic(std::string_view path, std::string_view bytes, bool durable) {
    TAtomicFileWriter file(path);
    file.Write(bytes);
    file.Commit(durable);
}

TAtomicFileWriter::TAtomicFileWriter(std::string_view path, bool keepMode)
    : path_(path), native_(ToNativePath(path)), folder_(FolderOf(native_)) {
    const std::string base = native_.substr(folder_.size());
    struct stat existing;
    keepMode = keepMode && sys::Stat(native_.c_str(), existing) == 0 && S_ISREG(existing.st_mode);
    // Every later step works in the folder held open, so the temporary is where it was made.
    folderFd_ = OpenFolderToWrite(folder_);
    if (folderFd_ < 0) RaiseInOutError(errno, path_);
    fd_ = CreateWriterTemp(folderFd_, [&base] { return WriterTempName(base); }, O_WRONLY, 0666, tempName_, live_);
    if (fd_ < 0) {
        const int error = errno;
        ::close(folderFd_);
        folderFd_ = -1;
        RaiseInOutError(error, path_);
    }
    folderindex::NoteCreated(folder_ + tempName_);
    if (keepMode) ::fchmod(fd_, existing.st_mode & 07777);
}

TAtomicFileWriter::~TAtomicFileWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && folderFd_ >= 0 && sys::UnlinkAt(folderFd_, tempName_.c_str()) == 0)
        folderindex::NoteRemoved(folder_ + tempName_);
    live_.reset();
    if (folderFd_ >= 0) ::close(folderFd_);
}

void TAtomicFileWriter::Write(std::string_view bytes) {
    WriteAllTo(fd_, bytes, path_);
    size_ += static_cast<int64_t>(bytes.size());
}

void TAtomicFileWriter::Commit(bool durable) {
    if (durable && ::fsync(fd_) != 0) RaiseInOutError(errno, path_);
    const int fd = fd_;
    fd_ = -1;
    // A failing close (a full disk on some file systems) is reported.
    if (::close(fd) != 0 && errno != EINTR) RaiseInOutError(errno, path_);
    const std::string base = native_.substr(folder_.size());
    if (sys::RenameAt(folderFd_, tempName_.c_str(), base.c_str()) != 0) RaiseInOutError(errno, path_);
    folderindex::NoteRenamed(folder_ + tempName_, native_);
    committed_ = true;
    live_.reset();  // the file is the target now: its lock goes
    if (durable) ::fsync(folderFd_);  // makes the rename itself durable; a folder that cannot be synced changes nothing
}

void ReadFileBlock(std::string_view path, int64_t offset, void* buffer, size_t size) {
    if (offset < 0) RaiseInOutError(kReadBeyondEnd, path);
    FileHandle file(path, O_RDONLY);
    file.ReadAt(offset, buffer, size);
}

int RemoveStaleTempFiles(std::string_view path) { return RemoveWriterTemps(ToNativePath(path)); }

}  // namespace rtl
