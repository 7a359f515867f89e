// What an installation writes on the disk: the folders a pack's entries go to, noted before any of
// them is written so that what an unfinished installation left there can be cleared later (scratch
// files of its extraction, folders it made), and the sync that puts the pack on the disk before its
// version is recorded.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>

#include "archive/ZAScratchFile.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/textfile.h"
#include "updater/update.h"
#include "viewer/main.h"

namespace viewer {

namespace {

// A line of the note: "+" for a folder the installation makes, "=" for one that was there, then the
// folder below the program folder.
constexpr char kMade = '+';
constexpr char kFound = '=';

std::string NativeFolder(const TPackFolder& folder) { return rtl::ToNativePath(AppDir + folder.Below); }

// A line of the note names a folder under the program folder, or is passed over.
bool ReadNoteLine(const std::string& line, TPackFolder& folder) {
    if (line.empty() || (line[0] != kMade && line[0] != kFound)) return false;
    folder = {line.substr(1), line[0] == kMade};
    const std::string& below = folder.Below;
    return below.empty() ||
           (below.back() == '\\' && TZABaseArchiver::IsSafeEntryName(below.substr(0, below.size() - 1)));
}

// Deepest first, so that a folder goes after the folders in it; only empty ones go.
void RemoveMadeFolders(std::vector<TPackFolder> folders) {
    std::sort(folders.begin(), folders.end(),
              [](const TPackFolder& a, const TPackFolder& b) { return a.Below.size() > b.Below.size(); });
    for (const TPackFolder& folder : folders)
        if (folder.Made) rtl::RemoveDir(AppDir + folder.Below);
}

}  // namespace

std::vector<TPackFolder> PackFolders(TZABaseArchiver& archive, const std::string& programFolder) {
    const std::string root = rtl::IncludeTrailingBackslash(rtl::ExpandFileName(programFolder));
    std::map<std::string, TPackFolder> folders = {{"", {"", false}}};  // by upper-case name
    TZAArchiveItem item;
    for (bool hit = archive.FindFirst("*.*", item, kPackAttributes, ""); hit; hit = archive.FindNext(item)) {
        const std::string entryFolder = item.FolderPath + (IsFolderEntry(archive, item) ? item.FileName : "");
        const std::string folder = rtl::IncludeTrailingBackslash(rtl::ExpandFileName(root + entryFolder));
        // A folder outside the program folder is never written (the extraction refuses such names).
        if (!folder.starts_with(root)) continue;
        for (size_t end = folder.find('\\', root.size()); end != std::string::npos; end = folder.find('\\', end + 1)) {
            const std::string below = folder.substr(root.size(), end + 1 - root.size());
            folders.try_emplace(rtl::AnsiUpperCase(below), TPackFolder{below, !rtl::DirectoryExists(root + below)});
        }
    }
    std::vector<TPackFolder> list;
    for (const auto& [key, folder] : folders) list.push_back(folder);
    return list;
}

void RemoveScratchLeftovers(const std::vector<TPackFolder>& folders) {
    for (const TPackFolder& folder : folders) TZAScratchFile::RemoveLeftoversIn(NativeFolder(folder));
}

void SyncFolders(const std::vector<TPackFolder>& folders) {
    std::set<dev_t> synced;
    for (const TPackFolder& pack : folders) {
        const std::string folder = NativeFolder(pack);
        struct stat st;
        if (rtl::sys::Stat(folder.c_str(), st) != 0 || !synced.insert(st.st_dev).second) continue;
        if (rtl::sys::SyncFileSystemOf(folder.c_str()) != 0) rtl::RaiseInOutError(errno, rtl::FromNativePath(folder));
    }
}

void NoteInstallFolders(const std::vector<TPackFolder>& folders) {
    std::vector<std::string> lines;
    for (const TPackFolder& folder : folders) lines.push_back((folder.Made ? kMade : kFound) + folder.Below);
    rtl::WriteFileAtomic(AppDir + kInstallNote, rtl::JoinLines(lines));
}

void ForgetInstallFolders() { rtl::DeleteOwnFile(AppDir + kInstallNote); }

void ClearUnfinishedInstall() {
    const std::string note = AppDir + kInstallNote;
    try {
        if (!rtl::FileExists(note)) return;
        std::vector<TPackFolder> folders;
        TPackFolder folder;
        for (const std::string& line : rtl::ReadLines(note))
            if (ReadNoteLine(line, folder)) folders.push_back(folder);
        RemoveScratchLeftovers(folders);
        RemoveMadeFolders(folders);
        rtl::DeleteOwnFile(note);
    } catch (const std::exception&) {
        // What cannot be cleared now stays noted for the next start, check or installation.
    }
}

}  // namespace viewer
