// Room for a pack: the sizes its entries state against the free space of the program folder's file
// system, and its new files and folders against the names the file system can still make, checked
// before anything of the pack is written; and the reader's word for a full disk met all the same.
#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/rtl/codepage.h"
#include "platform/rtl/drives.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "updater/update.h"

namespace viewer {

namespace {

constexpr int64_t kBlockBytes = 4096;             // a file takes whole blocks of the file system
constexpr int64_t kMinSpareBytes = int64_t(16) << 20;
constexpr int64_t kMegabyte = int64_t(1) << 20;
// Names a pack must leave free: the record's, the composed pages' and their temporaries.
constexpr int64_t kSpareNames = 16;
constexpr const char* kNoRoom = "Недостаточно места на диске для установки обновления";

// Both values are at least 0.
int64_t SaturatingAdd(int64_t a, int64_t b) { return a > INT64_MAX - b ? INT64_MAX : a + b; }

// A negative size is a stated 64-bit size above INT64_MAX.
int64_t BlocksOf(int64_t size) {
    if (size < 0 || size > INT64_MAX - (kBlockBytes - 1)) return INT64_MAX;
    return (size + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
}

}  // namespace

int64_t UnpackedPackBytes(TZABaseArchiver& archive, const std::string& mask, int32_t attributes) {
    int64_t total = 0;
    TZAArchiveItem item;
    for (bool hit = archive.FindFirst(mask, item, attributes, ""); hit; hit = archive.FindNext(item))
        total = SaturatingAdd(total, BlocksOf(item.UnpackedSize));
    return total;
}

int64_t SpareRoomFor(int64_t unpackedBytes) { return std::max(unpackedBytes / 20, kMinSpareBytes); }

void CheckRoomForPack(int64_t unpackedBytes, const std::string& folder) {
    const int64_t free = rtl::DiskFree(folder);
    if (free < 0) return;
    const int64_t needed = SaturatingAdd(unpackedBytes, SpareRoomFor(unpackedBytes));
    if (needed <= free) return;
    const int64_t neededMegabytes = needed / kMegabyte + (needed % kMegabyte != 0);
    throw rtl::EInOutError(rtl::Ru(kNoRoom) + rtl::Ru(": нужно ") +
                               rtl::IntToStr(neededMegabytes) + rtl::Ru(" МБ, свободно ") +
                               rtl::IntToStr(free / kMegabyte) + rtl::Ru(" МБ."),
                           ENOSPC);
}

int64_t NewNamesOfPack(TZABaseArchiver& archive, const std::vector<TPackFolder>& folders) {
    int64_t names = std::count_if(folders.begin(), folders.end(), [](const TPackFolder& f) { return f.Made; });
    TZAArchiveItem item;
    for (bool hit = archive.FindFirst("*.*", item, kPackAttributes, ""); hit; hit = archive.FindNext(item)) ++names;
    return names;
}

void CheckNamesForPack(int64_t newNames, const std::string& folder) {
    const int64_t free = rtl::FreeFileSlots(folder);
    const int64_t needed = std::min(newNames, INT64_MAX - kSpareNames) + kSpareNames;
    if (free < 0 || needed <= free) return;
    throw rtl::EInOutError(rtl::Ru(kNoRoom) + rtl::Ru(": нужно файлов и папок ") + rtl::IntToStr(needed) +
                               rtl::Ru(", можно создать ") + rtl::IntToStr(free) + ".",
                           ENOSPC);
}

std::string DiskFullMessage() { return rtl::Ru(kNoRoom) + "."; }

void RaiseDiskFull() { throw rtl::EInOutError(DiskFullMessage(), ENOSPC); }

bool IsDiskFull(int errorCode) { return errorCode == ENOSPC || errorCode == EDQUOT; }

}  // namespace viewer
