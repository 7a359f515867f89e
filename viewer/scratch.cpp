#include "viewer/scratch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/textfile.h"
#include "platform/rtl/userfolders.h"

namespace viewer::scratch {
namespace {

struct TChoice {
    std::string book;  // the program folder it was made for, "\" as separator
    bool inCache = false;
    std::string cacheFolder;  // native, without its trailing "/"
    std::set<std::string> swept;  // pages whose leftover temporaries have been looked for
};

TChoice choice;

std::string Backslashed(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

// The book's folder in the cache, named after the program folder's device and inode; "" when the
// program folder cannot be looked at, or the name has no Windows-style spelling.
std::string CacheFolderOf(const std::string& programDir) {
    struct stat st;
    if (rtl::sys::Stat(rtl::ToNativePath(programDir).c_str(), st) != 0) return {};
    std::string folder = rtl::UserBaseFolder("XDG_CACHE_HOME", ".cache") + "/tome/" + std::to_string(st.st_dev) + "-" + std::to_string(st.st_ino);
    return rtl::Cp1251ToUtf8(rtl::Utf8ToCp1251(folder)) == folder ? folder : std::string();
}

// Only trying tells: mode bits say nothing of a read-only mount, an immutable folder or root.
bool RefusesWrites(const std::string& dataFolder) {
    try {
        rtl::TAtomicFileWriter probe(dataFolder + kComposedPage);  // its temporary goes again unused
        return false;
    } catch (const rtl::EInOutError& error) {
        return error.ErrorCode == EROFS || error.ErrorCode == EACCES || error.ErrorCode == EPERM;
    }
}

const TChoice& ChoiceFor(std::string_view programDir) {
    std::string book = Backslashed(programDir);
    if (choice.book != book) {
        choice = TChoice{};
        choice.book = book;
        if (!book.empty() && RefusesWrites(book + "data\\")) {
            choice.cacheFolder = CacheFolderOf(book);
            choice.inCache = !choice.cacheFolder.empty();
        }
    }
    return choice;
}

// A folder of the user's own, made when missing (a link at its name is never followed).
bool OwnFolder(const std::string& folder) {
    return (rtl::sys::MakeDir(folder.c_str(), 0700) == 0 || errno == EEXIST) && rtl::IsPrivateFolder(folder);
}

// The cache root as the user has it, then "tome" and the book's folder as this code makes them.
bool PrepareCacheFolder(const std::string& folder) {
    const size_t book = folder.rfind('/');
    const size_t tome = folder.rfind('/', book - 1);
    return rtl::MakeFolders(folder.substr(0, tome)) && OwnFolder(folder.substr(0, book)) && OwnFolder(folder);
}

bool IsGeneratedPage(std::string_view name) {
    for (const char* page : {kComposedPage, kSearchResults, kFavorites})
        if (rtl::SameText(name, page)) return true;
    return false;
}

}  // namespace

bool InCache(std::string_view ProgramDir) { return ChoiceFor(ProgramDir).inCache; }

std::string Folder(std::string_view ProgramDir) {
    const TChoice& made = ChoiceFor(ProgramDir);
    return made.inCache ? rtl::FromNativePath(made.cacheFolder) + "\\" : std::string(ProgramDir) + "data\\";
}

std::string Write(std::string_view ProgramDir, std::string_view Name, std::string_view Bytes) {
    const std::string path = Folder(ProgramDir) + std::string(Name);
    int error = EACCES;
    if (!choice.inCache || PrepareCacheFolder(choice.cacheFolder)) {
        try {
            // Once a run, the temporaries of writers that were killed go.
            if (choice.swept.insert(path).second) rtl::RemoveStaleTempFiles(path);
            rtl::WriteFileAtomic(path, Bytes, false);
            return path;
        } catch (const rtl::EInOutError& failure) {
            error = failure.ErrorCode;
        }
    }
    throw rtl::EInOutError(rtl::Ru("Не удается записать файл ") + path + ". " + rtl::SysErrorMessage(error), error);
}

std::string DataFile(std::string_view ProgramDir, std::string_view Name) {
    if (IsGeneratedPage(Name)) return Folder(ProgramDir) + std::string(Name);
    return std::string(ProgramDir) + "data\\" + std::string(Name);
}

void Reset() { choice = {}; }

}  // namespace viewer::scratch
