// Drive properties. Linux has no drive letters: every folder is on a fixed drive, except folders
// registered by SetRemovableFolderForTests, which act as a removable drive with a label and a
// free-space figure of the test's choosing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rtl {

constexpr unsigned DRIVE_UNKNOWN = 0;
constexpr unsigned DRIVE_NO_ROOT_DIR = 1;
constexpr unsigned DRIVE_REMOVABLE = 2;
constexpr unsigned DRIVE_FIXED = 3;
constexpr unsigned DRIVE_REMOTE = 4;
constexpr unsigned DRIVE_CDROM = 5;
constexpr unsigned DRIVE_RAMDISK = 6;

// Drive type of the drive holding path ("" or a bare drive such as "C:" mean the current folder).
unsigned GetDriveType(std::string_view path);
// Bytes free for the user on the drive holding path; -1 when unknown.
int64_t DiskFree(std::string_view path);
// How many more files and folders the user may create on the drive holding path (its free inodes);
// -1 when unknown or when the file system sets no such limit.
int64_t FreeFileSlots(std::string_view path);
// The test label for the removable folder, "" otherwise.
std::string GetVolumeLabel(std::string_view path);
// Labels the drive holding path. Only the removable test folder keeps a label (true); other drives
// have none that can be set here (false).
bool SetVolumeLabel(std::string_view path, std::string_view label);
// Available physical memory in bytes (MemAvailable of /proc/meminfo); -1 when unknown.
int64_t AvailablePhysicalMemory();

// Paths under folder act as a removable drive with this label and free space; an empty folder ends it.
void SetRemovableFolderForTests(std::string_view folder, std::string_view label, int64_t freeBytes);
// AvailablePhysicalMemory returns bytes; a negative value restores the real figure.
void SetAvailableMemoryForTests(int64_t bytes);
// DiskFree returns bytes for every path outside the removable test folder; a negative value
// restores the real figures.
void SetDiskFreeForTests(int64_t bytes);

}  // namespace rtl
