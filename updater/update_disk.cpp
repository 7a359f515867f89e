// What an installation writes on the disk: the folders a pack's entries go to, the scratch files a
// killed extraction left in them, and the sync that puts the pack on the disk before its version is
// recorded.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <set>

#include "archive/ZAScratchFile.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/paths.h"
#include "updater/update.h"

namespace viewer {

std::vector<std::string> PackFolders(TZABaseArchiver& archive, const std::string& programFolder) {
    const std::string root = rtl::IncludeTrailingBackslash(rtl::ExpandFileName(programFolder));
    std::set<std::string> folders = {root};
    TZAArchiveItem item;
    for (bool hit = archive.FindFirst("*.*", item, kPackAttributes, ""); hit; hit = archive.FindNext(item)) {
        const std::string folder = rtl::IncludeTrailingBackslash(rtl::ExpandFileName(root + item.FolderPath));
        // A folder outside the program folder is never written (the extraction refuses such names).
        if (folder.starts_with(root)) folders.insert(folder);
    }
    std::vector<std::string> native;
    for (const std::string& folder : folders) native.push_back(rtl::ToNativePath(folder));
    return native;
}

void RemoveScratchLeftovers(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) TZAScratchFile::RemoveLeftoversIn(folder);
}

void SyncFolders(const std::vector<std::string>& folders) {
    std::set<dev_t> synced;
    for (const std::string& folder : folders) {
        struct stat st;
        if (rtl::sys::Stat(folder.c_str(), st) != 0 || !synced.insert(st.st_dev).second) continue;
        if (rtl::sys::SyncFileSystemOf(folder.c_str()) != 0) rtl::RaiseInOutError(errno, rtl::FromNativePath(folder));
    }
}

}  // namespace viewer
