#include "platform/rtl/paths.h"

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
#include "platform/rtl/folderindex.h"
#include "platform/rtl/fscalls.h"
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
    return sys::Lstat(native.c_str(), st) == 0;
}

std::string JoinNative(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

bool IsDotName(std::string_view name) { return name == "." || name == ".."; }

// The non-empty components of a slashed cp1251 name.
std::vector<std::string_view> Components(std::string_view slashed) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start < slashed.size()) {
        size_t end = slashed.find('/', start);
        if (end == std::string_view::npos) end = slashed.size();
        if (end > start) parts.push_back(slashed.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// Component by component from the root: each that does not exist as given is looked up without
// regard to case; below a missing folder the rest is kept as given.
std::string WalkCaseless(const std::vector<std::string_view>& parts, std::string out) {
    bool lookUp = true;
    for (std::string_view component : parts) {
        std::string candidate = JoinNative(out, Cp1251ToUtf8(component));
        if (lookUp && !IsDotName(component) && !NativeExists(candidate)) {
            std::string found = folderindex::FindCaseless(out, component).onDisk;
            if (found.empty()) {
                lookUp = false;  // nothing below a missing folder exists either
            } else {
                candidate = JoinNative(out, found);
            }
        }
        out = std::move(candidate);
    }
    return out;
}

// The case-blind resolution of a name whose exact form (whole) was not found. The usual case, a
// new name in an existing folder, costs one stat of the folder and a look into its index: when the
// folder exists as given, so does every folder above it, and only the last name needs a look-up.
std::string ResolveCaseless(const std::string& slashed, const std::string& whole, bool& missing) {
    const std::vector<std::string_view> parts = Components(slashed);
    const std::string root = slashed[0] == '/' ? "/" : "";
    std::string out;
    if (!parts.empty() && !IsDotName(parts.back())) {
        std::string parent = root;
        for (size_t i = 0; i + 1 < parts.size(); ++i) parent = JoinNative(parent, Cp1251ToUtf8(parts[i]));
        std::string candidate = JoinNative(parent, Cp1251ToUtf8(parts.back()));
        if (candidate != whole && NativeExists(candidate)) {
            out = std::move(candidate);
        } else {
            folderindex::TLookup found = folderindex::FindCaseless(parent, parts.back());
            if (found.folderExists) out = found.onDisk.empty() ? candidate : JoinNative(parent, found.onDisk);
            missing = found.folderExists && found.onDisk.empty();
        }
    }
    if (out.empty()) out = WalkCaseless(parts, root);
    if (slashed.back() == '/' && !out.empty() && out.back() != '/') out += '/';
    return out;
}

// Runs call on the exact name first and, only when that fails, on the case-blind resolution where
// it differs: one call for a name that exists as given. For calls that never create a name.
template <typename Call>
bool OnExistingName(std::string_view winPath, std::string* usedNative, Call call) {
    if (winPath.empty()) return false;
    std::string whole = Cp1251ToUtf8(SlashPath(winPath));
    if (call(whole)) {
        if (usedNative) *usedNative = std::move(whole);
        return true;
    }
    const int error = errno;
    std::string native = ToNativePath(winPath);
    if (native == whole) {
        errno = error;
        return false;
    }
    if (!call(native)) return false;
    if (usedNative) *usedNative = std::move(native);
    return true;
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
    return OnExistingName(path, nullptr, [&](const std::string& native) { return sys::Stat(native.c_str(), st) == 0; });
}

bool RemoveNative(const std::string& native) {
    if (sys::Unlink(native.c_str()) != 0) return false;
    folderindex::NoteRemoved(native);
    return true;
}

bool RenameNative(const std::string& from, const std::string& to) {
    if (sys::Rename(from.c_str(), to.c_str()) != 0) return false;
    folderindex::NoteRenamed(from, to);
    return true;
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
    int fd = sys::MakeTemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return {};
    folderindex::NoteCreated(tmpl);
    struct timespec times[2] = {srcStat.st_atim, srcStat.st_mtim};
    bool ok = CopyBytes(srcFd, fd) && fchmod(fd, srcStat.st_mode & 07777) == 0 && futimens(fd, times) == 0 &&
              fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok) {
        RemoveNative(tmpl);
        return {};
    }
    return tmpl;
}

// Moves tmp to target unless target exists. link() refuses an existing target atomically, so this
// holds even against a racing writer; file systems without hard links get a check, then rename.
bool PlaceIfAbsent(const std::string& tmp, const std::string& target) {
    if (sys::Link(tmp.c_str(), target.c_str()) == 0) {
        folderindex::NoteCreated(target);
        RemoveNative(tmp);
        return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return false;
    return !NativeExists(target) && RenameNative(tmp, target);
}

}  // namespace

bool IsFullPath(std::string_view path) {
    if (!path.empty() && IsSeparator(path[0])) return true;
    return path.find(":\\") != std::string_view::npos || path.find(":/") != std::string_view::npos;
}

std::string ToNativePath(std::string_view winPath) {
    bool missing = false;
    return ToNativePath(winPath, missing);
}

std::string ToNativePath(std::string_view winPath, bool& missing) {
    missing = false;
    std::string slashed = SlashPath(winPath);
    std::string whole = Cp1251ToUtf8(slashed);
    if (whole.empty() || NativeExists(whole)) return whole;
    return ResolveCaseless(slashed, whole, missing);
}

int OpenFile(std::string_view winPath, int flags, unsigned mode) {
    int fd = -1;
    if (!(flags & O_CREAT)) {
        OnExistingName(winPath, nullptr, [&](const std::string& native) {
            fd = sys::Open(native.c_str(), flags);
            return fd >= 0;
        });
        return fd;
    }
    const std::string native = ToNativePath(winPath);
    fd = sys::Open(native.c_str(), flags, static_cast<mode_t>(mode));
    if (fd >= 0) folderindex::NoteCreated(native);
    return fd;
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
    return OnExistingName(dir, nullptr, [](const std::string& n) { return chdir(n.c_str()) == 0; });
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
    if (sys::Stat(dstNative.c_str(), dstStat) == 0) {
        // Like the platform: never over a folder or a read-only file.
        if (failIfExists || !S_ISREG(dstStat.st_mode) || !(dstStat.st_mode & S_IWUSR)) return false;
    }
    int srcFd = OpenFile(src, O_RDONLY | O_CLOEXEC);
    if (srcFd < 0) return false;
    struct stat srcStat;
    std::string tmp;
    if (fstat(srcFd, &srcStat) == 0 && S_ISREG(srcStat.st_mode)) tmp = CopyToTemporary(srcFd, srcStat, dstNative);
    close(srcFd);
    if (tmp.empty()) return false;
    bool placed = failIfExists ? PlaceIfAbsent(tmp, dstNative) : RenameNative(tmp, dstNative);
    if (!placed) RemoveNative(tmp);
    return placed;
}

namespace {

bool DeleteName(std::string_view path, bool keepReadOnly) {
    std::string native;
    struct stat st;
    if (!OnExistingName(path, &native, [&](const std::string& n) { return sys::Lstat(n.c_str(), st) == 0; }) ||
        S_ISDIR(st.st_mode))
        return false;
    if (keepReadOnly && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) {
        errno = EACCES;
        return false;
    }
    return RemoveNative(native);
}

}  // namespace

bool DeleteFile(std::string_view path) { return DeleteName(path, true); }

bool DeleteOwnFile(std::string_view path) { return DeleteName(path, false); }

bool RenameFile(std::string_view oldName, std::string_view newName) {
    if (oldName.empty() || newName.empty()) return false;
    std::string from = ToNativePath(oldName);
    std::string to = ToNativePath(newName);
    if (sys::RenameNoReplace(from.c_str(), to.c_str()) == 0) {
        folderindex::NoteRenamed(from, to);
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    // The file system cannot refuse atomically; check first.
    if (NativeExists(to)) return false;
    return RenameNative(from, to);
}

bool CreateDir(std::string_view dir) {
    if (dir.empty()) return false;
    std::string native = ToNativePath(dir);
    if (sys::MakeDir(native.c_str(), 0777) != 0) return false;
    folderindex::NoteCreated(native);
    return true;
}

bool RemoveDir(std::string_view dir) {
    std::string native;
    if (!OnExistingName(dir, &native, [](const std::string& n) { return sys::RemoveDir(n.c_str()) == 0; }))
        return false;
    folderindex::NoteRemoved(native);
    return true;
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
    return OnExistingName(path, nullptr, [&](const std::string& n) { return sys::SetTimes(n.c_str(), times) == 0; })
               ? 0
               : errno;
}

int FileGetAttr(std::string_view path) {
    std::string native;
    struct stat st;
    if (!OnExistingName(path, &native, [&](const std::string& n) { return sys::Lstat(n.c_str(), st) == 0; }))
        return -1;
    int attr = 0;
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        if (sys::Stat(native.c_str(), target) == 0) {
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
    std::string native;
    struct stat st;
    if (!OnExistingName(path, &native, [&](const std::string& n) { return sys::Stat(n.c_str(), st) == 0; }))
        return errno;
    if (S_ISDIR(st.st_mode)) return 0;
    const mode_t old = st.st_mode & 07777;
    const mode_t mode = (attr & faReadOnly) ? old & ~(S_IWUSR | S_IWGRP | S_IWOTH) : old | S_IWUSR;
    if (mode == old) return 0;
    return sys::Chmod(native.c_str(), mode) == 0 ? 0 : errno;
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
        std::string native = ToNativePath(name);
        int fd = sys::Open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
            folderindex::NoteCreated(native);
            return name;
        }
        if (errno != EEXIST) return {};
    }
    return {};
}

}  // namespace rtl
