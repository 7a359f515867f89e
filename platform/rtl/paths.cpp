#include "platform/rtl/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/rtl/codepage.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/findfile.h"
#include "platform/rtl/sysutils.h"

namespace rtl {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsDelimiter(char c) { return IsSeparator(c) || c == ':'; }

bool HasDrivePrefix(std::string_view p) {
    return p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

// cp1251 name with the drive dropped and every separator as "/".
std::string SlashPath(std::string_view winPath) {
    if (HasDrivePrefix(winPath)) winPath.remove_prefix(2);
    std::string s(winPath);
    for (char& c : s) {
        if (c == '\\') c = '/';
    }
    return s;
}

bool NativeExists(const std::string& native) {
    struct stat st;
    return lstat(native.c_str(), &st) == 0;
}

std::string JoinNative(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// The entry of folder whose cp1251 name equals name without regard to case; "" when none. Several
// matches (possible on Linux) resolve to the smallest name in byte order, so the choice is stable.
std::string FindCaseless(const std::string& folder, std::string_view name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return {};
    std::string best;
    while (dirent* entry = readdir(dir)) {
        std::string onDisk = entry->d_name;
        if (onDisk == "." || onDisk == "..") continue;
        if (!AnsiSameText(Utf8ToCp1251(onDisk), name)) continue;
        if (best.empty() || onDisk < best) best = onDisk;
    }
    closedir(dir);
    return best;
}

std::mutex programFolderMutex;
std::string programFolderOverride;

std::string ReadOwnExecutable() {
    std::vector<char> buf(4096);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    return std::string(buf.data(), static_cast<size_t>(n));
}

bool StatNative(std::string_view path, struct stat& st) {
    if (path.empty()) return false;
    return stat(ToNativePath(path).c_str(), &st) == 0;
}

bool CopyBytes(int from, int to) {
    std::vector<char> buf(1 << 16);
    for (;;) {
        ssize_t n = read(from, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(to, buf.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            done += w;
        }
    }
}

// Copies the open source into a new temporary file beside dstNative; returns its name or "".
std::string CopyToTemporary(int srcFd, const struct stat& srcStat, const std::string& dstNative) {
    size_t slash = dstNative.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : dstNative.substr(0, slash + 1);
    std::string tmpl = folder + ".copy-XXXXXX";
    int fd = mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return {};
    struct timespec times[2] = {srcStat.st_atim, srcStat.st_mtim};
    bool ok = CopyBytes(srcFd, fd) && fchmod(fd, srcStat.st_mode & 07777) == 0 && futimens(fd, times) == 0 &&
              fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok) {
        unlink(tmpl.c_str());
        return {};
    }
    return tmpl;
}

// Moves tmp to target unless target exists. link() refuses an existing target atomically, so this
// holds even against a racing writer; file systems without hard links get a check, then rename.
bool PlaceIfAbsent(const std::string& tmp, const std::string& target) {
    if (link(tmp.c_str(), target.c_str()) == 0) {
        unlink(tmp.c_str());
        return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return false;
    return !NativeExists(target) && rename(tmp.c_str(), target.c_str()) == 0;
}

}  // namespace

bool IsFullPath(std::string_view path) {
    if (!path.empty() && IsSeparator(path[0])) return true;
    return path.find(":\\") != std::string_view::npos || path.find(":/") != std::string_view::npos;
}

std::string ToNativePath(std::string_view winPath) {
    std::string slashed = SlashPath(winPath);
    std::string whole = Cp1251ToUtf8(slashed);
    if (whole.empty() || NativeExists(whole)) return whole;

    std::string out = slashed[0] == '/' ? "/" : "";
    bool lookUp = true;
    size_t start = 0;
    while (start < slashed.size()) {
        size_t end = slashed.find('/', start);
        if (end == std::string::npos) end = slashed.size();
        std::string_view component = std::string_view(slashed).substr(start, end - start);
        start = end + 1;
        if (component.empty()) continue;
        std::string candidate = JoinNative(out, Cp1251ToUtf8(component));
        if (lookUp && component != "." && component != ".." && !NativeExists(candidate)) {
            std::string found = FindCaseless(out, component);
            if (found.empty()) {
                lookUp = false;  // nothing below a missing folder exists either
            } else {
                candidate = JoinNative(out, found);
            }
        }
        out = candidate;
    }
    if (slashed.back() == '/' && !out.empty() && out.back() != '/') out += '/';
    return out;
}

std::string FromNativePath(std::string_view nativePath) {
    std::string s = Utf8ToCp1251(nativePath);
    for (char& c : s) {
        if (c == '/') c = '\\';
    }
    return s;
}

std::string ParamStr0() { return FromNativePath(ReadOwnExecutable()); }

std::string ProgramFolder() {
    {
        std::lock_guard<std::mutex> lock(programFolderMutex);
        if (!programFolderOverride.empty()) return programFolderOverride;
    }
    return ExtractFilePath(ParamStr0());
}

void SetProgramFolderForTests(std::string_view folder) {
    std::lock_guard<std::mutex> lock(programFolderMutex);
    programFolderOverride = folder.empty() ? std::string() : IncludeTrailingBackslash(folder);
}

std::string GetCurrentDir() {
    std::vector<char> buf(4096);
    while (!getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE || buf.size() > (1u << 20)) return {};
        buf.resize(buf.size() * 2);
    }
    return FromNativePath(buf.data());
}

bool SetCurrentDir(std::string_view dir) {
    if (dir.empty()) return false;
    return chdir(ToNativePath(dir).c_str()) == 0;
}

void ChDir(std::string_view dir) {
    if (!SetCurrentDir(dir)) throw EInOutError("I/O error 3", 3);
}

std::string ExpandFileName(std::string_view path) {
    if (path.empty()) return {};
    if (HasDrivePrefix(path)) path.remove_prefix(2);
    std::string whole(path);
    if (whole.empty() || !IsSeparator(whole[0])) whole = IncludeTrailingBackslash(GetCurrentDir()) + whole;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < whole.size()) {
        size_t end = start;
        while (end < whole.size() && !IsSeparator(whole[end])) ++end;
        std::string part = whole.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const std::string& part : parts) out += "\\" + part;
    if (out.empty() || (!path.empty() && IsSeparator(path.back()))) out += "\\";
    return out;
}

bool FileExists(std::string_view path) {
    struct stat st;
    return StatNative(path, st) && S_ISREG(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
    struct stat st;
    return StatNative(path, st) && S_ISDIR(st.st_mode);
}

bool CopyFile(std::string_view src, std::string_view dst, bool failIfExists) {
    if (src.empty() || dst.empty()) return false;
    std::string dstNative = ToNativePath(dst);
    struct stat dstStat;
    if (stat(dstNative.c_str(), &dstStat) == 0) {
        // Like the platform: never over a folder or a read-only file.
        if (failIfExists || !S_ISREG(dstStat.st_mode) || !(dstStat.st_mode & S_IWUSR)) return false;
    }
    int srcFd = open(ToNativePath(src).c_str(), O_RDONLY | O_CLOEXEC);
    if (srcFd < 0) return false;
    struct stat srcStat;
    std::string tmp;
    if (fstat(srcFd, &srcStat) == 0 && S_ISREG(srcStat.st_mode)) tmp = CopyToTemporary(srcFd, srcStat, dstNative);
    close(srcFd);
    if (tmp.empty()) return false;
    bool placed = failIfExists ? PlaceIfAbsent(tmp, dstNative) : rename(tmp.c_str(), dstNative.c_str()) == 0;
    if (!placed) unlink(tmp.c_str());
    return placed;
}

bool DeleteFile(std::string_view path) {
    if (path.empty()) return false;
    std::string native = ToNativePath(path);
    struct stat st;
    if (lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    // As on the platform, a read-only file is not deleted.
    if (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) {
        errno = EACCES;
        return false;
    }
    return unlink(native.c_str()) == 0;
}

bool RenameFile(std::string_view oldName, std::string_view newName) {
    if (oldName.empty() || newName.empty()) return false;
    std::string from = ToNativePath(oldName);
    std::string to = ToNativePath(newName);
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // The file system cannot refuse atomically; check first.
    if (NativeExists(to)) return false;
    return rename(from.c_str(), to.c_str()) == 0;
}

bool CreateDir(std::string_view dir) {
    if (dir.empty()) return false;
    return mkdir(ToNativePath(dir).c_str(), 0777) == 0;
}

bool RemoveDir(std::string_view dir) {
    if (dir.empty()) return false;
    return rmdir(ToNativePath(dir).c_str()) == 0;
}

bool ForceDirectories(std::string_view dir) {
    std::string path = ExcludeTrailingBackslash(dir);
    if (path.empty()) return !dir.empty() && DirectoryExists(dir);  // the root
    if (HasDrivePrefix(path) && path.size() == 2) return true;
    if (DirectoryExists(path)) return true;
    std::string parent = ExtractFilePath(path);
    if (!parent.empty() && parent.size() < path.size() && !ForceDirectories(parent)) return false;
    return CreateDir(path) || DirectoryExists(path);
}

int32_t FileAge(std::string_view path) {
    struct stat st;
    if (!StatNative(path, st) || !S_ISREG(st.st_mode)) return -1;
    return TimeToDosDateTime(st.st_mtim.tv_sec);
}

int FileSetDate(std::string_view path, int32_t dosDateTime) {
    time_t t = DosDateTimeToTime(dosDateTime);
    if (t == -1) return EINVAL;
    if (path.empty()) return ENOENT;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = t;
    times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, ToNativePath(path).c_str(), times, 0) == 0 ? 0 : errno;
}

int FileGetAttr(std::string_view path) {
    if (path.empty()) return -1;
    std::string native = ToNativePath(path);
    struct stat st;
    if (lstat(native.c_str(), &st) != 0) return -1;
    int attr = 0;
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        if (stat(native.c_str(), &target) == 0) {
            if (S_ISDIR(target.st_mode)) attr |= faSymLink;
            st = target;
        }
    }
    if (S_ISDIR(st.st_mode)) {
        attr |= faDirectory;
    } else if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) {
        attr |= faReadOnly;
    }
    std::string name = ExtractFileName(ExcludeTrailingBackslash(path));
    if (name.size() > 1 && name[0] == '.' && name != "..") attr |= faHidden;
    return attr;
}

int FileSetAttr(std::string_view path, int attr) {
    if (path.empty()) return ENOENT;
    std::string native = ToNativePath(path);
    struct stat st;
    if (stat(native.c_str(), &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return 0;
    mode_t mode = st.st_mode & 07777;
    mode = (attr & faReadOnly) ? mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) : mode | S_IWUSR;
    return chmod(native.c_str(), mode) == 0 ? 0 : errno;
}

int64_t FileSizeOf(std::string_view path) {
    struct stat st;
    if (!StatNative(path, st) || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

namespace {

// Index of the last "\", "/" or ":"; npos when none.
size_t LastDelimiter(std::string_view path) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsDelimiter(path[i - 1])) return i - 1;
    }
    return std::string_view::npos;
}

}  // namespace

std::string ExtractFilePath(std::string_view path) {
    size_t i = LastDelimiter(path);
    return i == std::string_view::npos ? std::string() : std::string(path.substr(0, i + 1));
}

std::string ExtractFileDir(std::string_view path) {
    size_t i = LastDelimiter(path);
    if (i == std::string_view::npos) return {};
    if (i > 0 && IsSeparator(path[i]) && !IsDelimiter(path[i - 1])) return std::string(path.substr(0, i));
    return std::string(path.substr(0, i + 1));
}

std::string ExtractFileName(std::string_view path) {
    size_t i = LastDelimiter(path);
    return std::string(i == std::string_view::npos ? path : path.substr(i + 1));
}

std::string ExtractFileExt(std::string_view path) {
    size_t dot = path.rfind('.');
    size_t delim = LastDelimiter(path);
    if (dot == std::string_view::npos || (delim != std::string_view::npos && dot < delim)) return {};
    return std::string(path.substr(dot));
}

std::string ExtractFileDrive(std::string_view path) {
    if (HasDrivePrefix(path)) return std::string(path.substr(0, 2));
    if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return {};
    // "\\server\share": up to the separator after the share name.
    int separators = 0;
    size_t i = 2;
    for (; i < path.size(); ++i) {
        if (IsSeparator(path[i]) && ++separators == 2) break;
    }
    return std::string(path.substr(0, i));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
    std::string current = ExtractFileExt(path);
    std::string out(path.substr(0, path.size() - current.size()));
    out += ext;
    return out;
}

std::string IncludeTrailingBackslash(std::string_view path) {
    std::string out(path);
    if (out.empty() || !IsSeparator(out.back())) out += '\\';
    return out;
}

std::string ExcludeTrailingBackslash(std::string_view path) {
    std::string out(path);
    if (!out.empty() && IsSeparator(out.back())) out.pop_back();
    return out;
}

std::string GetTempDir() {
    const char* env = getenv("TMPDIR");
    std::string native = env && *env ? env : "/tmp";
    struct stat st;
    if (stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) native = "/tmp";
    return IncludeTrailingBackslash(FromNativePath(native));
}

std::string GetTempFileName(std::string_view dir, std::string_view prefix) {
    std::string folder = IncludeTrailingBackslash(dir.empty() ? GetTempDir() : std::string(dir));
    std::string stem = folder + std::string(prefix.substr(0, 3));
    unsigned first = static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(GetTickCount());
    for (unsigned i = 0; i < 0x10000; ++i) {
        unsigned unique = (first + i) & 0xFFFF;
        if (unique == 0) continue;
        std::string name = stem + IntToHex(unique, 4) + ".tmp";
        int fd = open(ToNativePath(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
            return name;
        }
        if (errno != EEXIST) return {};
    }
    return {};
}

}  // namespace rtl
