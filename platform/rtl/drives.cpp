#include "platform/rtl/drives.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <mutex>

#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace rtl {

namespace {

struct RemovableFolder {
    std::string folder;  // ExpandFileName form with a trailing "\"; "" when none
    std::string label;
    int64_t freeBytes = 0;
};

std::mutex testMutex;
RemovableFolder removable;
int64_t memoryForTests = -1;
int64_t diskFreeForTests = -1;

// Full name of the path; "", a bare drive ("C:") and a drive-relative name are taken from the
// current folder.
std::string FullName(std::string_view path) {
    std::string full = ExpandFileName(path.empty() ? std::string_view(".") : path);
    if (full.empty()) full = ExpandFileName(".");
    return IncludeTrailingBackslash(full);
}

bool UnderRemovable(std::string_view path, RemovableFolder& found) {
    std::lock_guard<std::mutex> lock(testMutex);
    if (removable.folder.empty()) return false;
    std::string full = FullName(path);
    if (full.size() < removable.folder.size() ||
        !AnsiSameText(std::string_view(full).substr(0, removable.folder.size()), removable.folder)) {
        return false;
    }
    found = removable;
    return true;
}

// The figures of the file system holding path: the nearest existing folder on the way decides.
bool FileSystemOf(std::string_view path, struct statvfs& vfs) {
    std::string folder = FullName(path);
    for (;;) {
        if (statvfs(ToNativePath(folder).c_str(), &vfs) == 0) return true;
        std::string parent = ExtractFilePath(ExcludeTrailingBackslash(folder));
        if (parent.empty() || parent.size() >= folder.size()) return false;
        folder = parent;
    }
}

}  // namespace

void SetRemovableFolderForTests(std::string_view folder, std::string_view label, int64_t freeBytes) {
    std::string full = folder.empty() ? std::string() : FullName(folder);
    std::lock_guard<std::mutex> lock(testMutex);
    removable = RemovableFolder{full, std::string(label), freeBytes};
}

void SetAvailableMemoryForTests(int64_t bytes) {
    std::lock_guard<std::mutex> lock(testMutex);
    memoryForTests = bytes;
}

void SetDiskFreeForTests(int64_t bytes) {
    std::lock_guard<std::mutex> lock(testMutex);
    diskFreeForTests = bytes;
}

unsigned GetDriveType(std::string_view path) {
    RemovableFolder found;
    return UnderRemovable(path, found) ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

int64_t DiskFree(std::string_view path) {
    RemovableFolder found;
    if (UnderRemovable(path, found)) return found.freeBytes;
    {
        std::lock_guard<std::mutex> lock(testMutex);
        if (diskFreeForTests >= 0) return diskFreeForTests;
    }
    struct statvfs vfs;
    if (!FileSystemOf(path, vfs)) return -1;
    const uint64_t blockSize = vfs.f_frsize;
    const uint64_t blocks = vfs.f_bavail;
    if (blockSize != 0 && blocks > uint64_t(INT64_MAX) / blockSize) return INT64_MAX;
    return static_cast<int64_t>(blocks * blockSize);
}

int64_t FreeFileSlots(std::string_view path) {
    struct statvfs vfs;
    // A file system that makes its inodes as needed reports none in all.
    if (!FileSystemOf(path, vfs) || vfs.f_files == 0) return -1;
    return static_cast<int64_t>(std::min<uint64_t>(vfs.f_favail, INT64_MAX));
}

std::string GetVolumeLabel(std::string_view path) {
    RemovableFolder found;
    return UnderRemovable(path, found) ? found.label : std::string();
}

bool SetVolumeLabel(std::string_view path, std::string_view label) {
    RemovableFolder found;
    if (!UnderRemovable(path, found)) return false;
    std::lock_guard<std::mutex> lock(testMutex);
    removable.label = std::string(label);
    return true;
}

int64_t AvailablePhysicalMemory() {
    {
        std::lock_guard<std::mutex> lock(testMutex);
        if (memoryForTests >= 0) return memoryForTests;
    }
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    int64_t kib = 0;
    std::string unit;
    while (meminfo >> key >> kib) {
        std::getline(meminfo, unit);
        if (key == "MemAvailable:") return kib * 1024;
    }
    return -1;
}

}  // namespace rtl
