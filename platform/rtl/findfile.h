// Directory search with Windows attributes and wildcards.
//
// Attributes: directory 16, read-only 1 (a file without write permission for its owner), hidden 2
// (a name beginning with "."; not "." and ".."), faSymLink 0x400 together with faDirectory for a
// symbolic link to a directory. A symbolic link to a regular file is an ordinary file; a dangling or
// looping link is reported as an empty file. The archive bit is never set.
//
// Wildcards "*" and "?" may appear in the last component only and match without regard to case (full
// cp1251 table). As on Windows, a mask ending in ".*" also matches names without a dot ("*.*" matches
// everything), a mask ending in "." matches names without an extension, and "?" also matches nothing
// at a dot or at the end of a name.
//
// The directory is read once by FindFirst; entries come in name order without regard to case, so the
// order is the same on every run. Names are cp1251.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace rtl {

constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;
constexpr int faSysFile = 0x04;
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faSymLink = 0x400;
constexpr int faAnyFile = 0x3F;

// Results of FindFirst/FindNext besides 0 (found).
constexpr int ERROR_FILE_NOT_FOUND = 2;
constexpr int ERROR_PATH_NOT_FOUND = 3;
constexpr int ERROR_NO_MORE_FILES = 18;

struct TFindState;

struct TSearchRec {
    int32_t Time = 0;  // DOS date-time of the last modification
    int64_t Size = 0;  // 0 for folders
    int Attr = 0;
    std::string Name;  // cp1251, without the folder
    int ExcludeAttr = 0;
    std::shared_ptr<TFindState> FindHandle;
};

// pattern is folder + mask ("C:\book\data\*.htm"). An entry is skipped when it has one of the
// attributes hidden, system, volume or directory that attr does not hold. 0 when an entry was found.
int FindFirst(std::string_view pattern, int attr, TSearchRec& rec);
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);

// The mask test used by FindFirst, for callers that match names themselves.
bool MatchesMask(std::string_view name, std::string_view mask);

}  // namespace rtl
