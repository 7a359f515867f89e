#include "platform/rtl/findfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "platform/rtl/codepage.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace rtl {

struct TFindState {
    struct Entry {
        int32_t Time;
        int64_t Size;
        int Attr;
        std::string Name;
    };
    std::vector<Entry> entries;
    size_t next = 0;
};

namespace {

bool SameLetter(char a, char b) { return AnsiLowerChar(a) == AnsiLowerChar(b); }

// Wildcard matcher over (mask position, name position) with a memo, so no mask costs more than
// mask length x name length steps.
class MaskMatcher {
public:
    MaskMatcher(std::string_view name, std::string_view mask)
        : name_(name), mask_(mask), memo_((mask.size() + 1) * (name.size() + 1), -1) {}

    bool Matches() { return At(0, 0); }

private:
    bool At(size_t m, size_t n) {
        signed char& known = memo_[m * (name_.size() + 1) + n];
        if (known < 0) known = Compute(m, n) ? 1 : 0;
        return known == 1;
    }

    bool Compute(size_t m, size_t n) {
        if (m == mask_.size()) return n == name_.size();
        char c = mask_[m];
        bool atEnd = n == name_.size();
        if (c == '*') return At(m + 1, n) || (!atEnd && At(m, n + 1));
        // "?" takes one character, but none at a dot or at the end of the name.
        if (c == '?') return (!atEnd && name_[n] != '.') ? At(m + 1, n + 1) : At(m + 1, n);
        return !atEnd && SameLetter(c, name_[n]) && At(m + 1, n + 1);
    }

    std::string_view name_;
    std::string_view mask_;
    std::vector<signed char> memo_;
};

bool PlainMatch(std::string_view name, std::string_view mask) { return MaskMatcher(name, mask).Matches(); }

bool IsDotEntry(std::string_view name) { return name == "." || name == ".."; }

// Attributes, size and time of one directory entry; the stat of a link is that of its target.
TFindState::Entry DescribeEntry(int dirFd, const char* nativeName, std::string name) {
    TFindState::Entry entry{0, 0, 0, std::move(name)};
    struct stat st;
    if (sys::StatAt(dirFd, nativeName, st, AT_SYMLINK_NOFOLLOW) != 0) return entry;
    bool link = S_ISLNK(st.st_mode);
    if (link) {
        struct stat target;
        if (sys::StatAt(dirFd, nativeName, target, 0) == 0) {
            st = target;
        } else {
            link = false;  // dangling or looping: an empty file
        }
    }
    entry.Time = TimeToDosDateTime(st.st_mtim.tv_sec);
    if (S_ISDIR(st.st_mode)) {
        entry.Attr = faDirectory | (link ? faSymLink : 0);
    } else if (S_ISREG(st.st_mode)) {
        entry.Size = static_cast<int64_t>(st.st_size);
        if (!(st.st_mode & S_IWUSR)) entry.Attr |= faReadOnly;
    } else if (!S_ISLNK(st.st_mode)) {
        entry.Attr = faSysFile;  // devices, pipes and sockets: not for ordinary reading
    }
    if (entry.Name.size() > 1 && entry.Name[0] == '.' && !IsDotEntry(entry.Name)) entry.Attr |= faHidden;
    return entry;
}

// "." and ".." first, as the platform reports them; then by name without regard to case.
bool ComesBefore(const TFindState::Entry& a, const TFindState::Entry& b) {
    auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
    if (rank(a.Name) != rank(b.Name)) return rank(a.Name) < rank(b.Name);
    int byCase = AnsiCompareText(a.Name, b.Name);
    if (byCase != 0) return byCase < 0;
    return CompareStr(a.Name, b.Name) < 0;
}

void Fill(TSearchRec& rec) {
    TFindState& state = *rec.FindHandle;
    const TFindState::Entry& entry = state.entries[state.next++];
    rec.Time = entry.Time;
    rec.Size = entry.Size;
    rec.Attr = entry.Attr;
    rec.Name = entry.Name;
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (mask.empty()) return false;
    if (PlainMatch(name, mask)) return true;
    if (IsDotEntry(mask)) return false;
    // "x.*" also matches "x"; "x." matches "x" and nothing with an extension.
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*") {
        return PlainMatch(name, mask.substr(0, mask.size() - 2));
    }
    if (mask.back() == '.') {
        return name.find('.') == std::string_view::npos && PlainMatch(name, mask.substr(0, mask.size() - 1));
    }
    return false;
}

int FindFirst(std::string_view pattern, int attr, TSearchRec& rec) {
    FindClose(rec);
    std::string folder = ExtractFilePath(pattern);
    std::string mask = ExtractFileName(pattern);
    if (mask.empty()) return ERROR_FILE_NOT_FOUND;
    std::string nativeFolder = folder.empty() ? std::string() : ToNativePath(folder);
    DIR* dir = sys::OpenDir(nativeFolder.empty() ? "." : nativeFolder.c_str());
    if (!dir) return ERROR_PATH_NOT_FOUND;

    rec.ExcludeAttr = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
    auto state = std::make_shared<TFindState>();
    while (dirent* d = readdir(dir)) {
        std::string name = Utf8ToCp1251(d->d_name);
        if (!MatchesMask(name, mask)) continue;
        TFindState::Entry entry = DescribeEntry(dirfd(dir), d->d_name, std::move(name));
        if (entry.Attr & rec.ExcludeAttr) continue;
        state->entries.push_back(std::move(entry));
    }
    closedir(dir);
    if (state->entries.empty()) return ERROR_FILE_NOT_FOUND;
    std::sort(state->entries.begin(), state->entries.end(), ComesBefore);
    rec.FindHandle = std::move(state);
    Fill(rec);
    return 0;
}

int FindNext(TSearchRec& rec) {
    if (!rec.FindHandle || rec.FindHandle->next >= rec.FindHandle->entries.size()) return ERROR_NO_MORE_FILES;
    Fill(rec);
    return 0;
}

void FindClose(TSearchRec& rec) { rec.FindHandle.reset(); }

}  // namespace rtl
