#include "platform/rtl/textfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <set>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/folderindex.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/paths.h"

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

// A name beside target that no other writer uses: hidden, with the process id and a counter.
std::string TempNameBeside(const std::string& native) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(native);
    const std::string base = native.substr(folder.size());
    return folder + "." + base + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
}

// Digits as std::to_string writes an unsigned number of up to 32 bits: no sign, no leading zero.
bool ParseCanonicalNumber(std::string_view digits, uint64_t& value) {
    if (digits.empty() || digits.size() > 10 || (digits.size() > 1 && digits[0] == '0')) return false;
    value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint64_t(c - '0');
    }
    return value <= UINT32_MAX;
}

// The process id in name when TempNameBeside gave name for a target named base; 0 otherwise.
pid_t TempNameOwner(std::string_view name, std::string_view base) {
    const std::string prefix = "." + std::string(base) + ".";
    constexpr std::string_view suffix = ".tmp";
    if (base.empty() || name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix))
        return 0;
    const std::string_view numbers = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const size_t dot = numbers.find('.');
    uint64_t pid = 0;
    uint64_t counter = 0;
    if (dot == std::string_view::npos || !ParseCanonicalNumber(numbers.substr(0, dot), pid) ||
        !ParseCanonicalNumber(numbers.substr(dot + 1), counter) || pid == 0 || pid > INT32_MAX)
        return 0;
    return static_cast<pid_t>(pid);
}

// The temporaries of this process's writers that have not ended yet.
class TOpenTemps {
public:
    void Add(const std::string& native) {
        std::lock_guard<std::mutex> lock(mutex_);
        names_.insert(native);
    }
    void Remove(const std::string& native) {
        std::lock_guard<std::mutex> lock(mutex_);
        names_.erase(native);
    }
    bool Holds(const std::string& native) {
        std::lock_guard<std::mutex> lock(mutex_);
        return names_.count(native) != 0;
    }

private:
    std::mutex mutex_;
    std::set<std::string> names_;
};

TOpenTemps& OpenTemps() {
    static TOpenTemps* temps = new TOpenTemps;  // never destroyed: writers may end during exit
    return *temps;
}

// A writer whose temporary this is can no longer finish or clean it up.
bool WriterEnded(pid_t owner, const std::string& native) {
    if (owner == ::getpid()) return !OpenTemps().Holds(native);
    return ::kill(owner, 0) != 0 && errno == ESRCH;
}

// Makes the rename itself durable; a folder that cannot be opened or synced changes nothing.
void SyncFolder(const std::string& native) {
    const std::string folder = FolderOf(native);
    const int fd = sys::Open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
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

void WriteFileAtomic(std::string_view path, std::string_view bytes) {
    TAtomicFileWriter file(path);
    file.Write(bytes);
    file.Commit();
}

TAtomicFileWriter::TAtomicFileWriter(std::string_view path) : path_(path), native_(ToNativePath(path)) {
    struct stat existing;
    const bool keepMode = sys::Stat(native_.c_str(), existing) == 0 && S_ISREG(existing.st_mode);
    for (int attempts = 0;; ++attempts) {
        temp_ = TempNameBeside(native_);
        // Registered before it exists, so that no clean-up in this process takes it for a leftover.
        OpenTemps().Add(temp_);
        fd_ = sys::Open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) break;
        const int error = errno;
        OpenTemps().Remove(temp_);
        if (error != EEXIST || attempts >= 100) RaiseInOutError(error, path_);
    }
    folderindex::NoteCreated(temp_);
    if (keepMode) ::fchmod(fd_, existing.st_mode & 07777);
}

TAtomicFileWriter::~TAtomicFileWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && sys::Unlink(temp_.c_str()) == 0) folderindex::NoteRemoved(temp_);
    OpenTemps().Remove(temp_);
}

void TAtomicFileWriter::Write(std::string_view bytes) {
    WriteAllTo(fd_, bytes, path_);
    size_ += static_cast<int64_t>(bytes.size());
}

void TAtomicFileWriter::Commit() {
    if (::fsync(fd_) != 0) RaiseInOutError(errno, path_);
    const int fd = fd_;
    fd_ = -1;
    // A failing close (a full disk on some file systems) is reported.
    if (::close(fd) != 0 && errno != EINTR) RaiseInOutError(errno, path_);
    if (sys::Rename(temp_.c_str(), native_.c_str()) != 0) RaiseInOutError(errno, path_);
    folderindex::NoteRenamed(temp_, native_);
    committed_ = true;
    SyncFolder(native_);
}

void ReadFileBlock(std::string_view path, int64_t offset, void* buffer, size_t size) {
    if (offset < 0) RaiseInOutError(kReadBeyondEnd, path);
    FileHandle file(path, O_RDONLY);
    file.ReadAt(offset, buffer, size);
}

int RemoveStaleTempFiles(std::string_view path) {
    const std::string native = ToNativePath(path);
    const std::string folder = FolderOf(native);
    const std::string base = native.substr(folder.size());
    DIR* dir = sys::OpenDir(folder.empty() ? "." : folder.c_str());
    if (!dir) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t owner = TempNameOwner(entry->d_name, base);
        if (owner == 0) continue;
        const std::string temp = folder + entry->d_name;
        struct stat st;
        if (!WriterEnded(owner, temp) || sys::StatAt(::dirfd(dir), entry->d_name, st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        if (sys::Unlink(temp.c_str()) != 0) continue;
        folderindex::NoteRemoved(temp);
        ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace rtl
