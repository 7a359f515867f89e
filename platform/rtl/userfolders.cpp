#include "platform/rtl/userfolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/rtl/fscalls.h"

namespace rtl {

std::string UserBaseFolder(const char* variable, std::string_view belowHome) {
    if (const char* value = getenv(variable); value && value[0] == '/') return value;
    std::string home;
    if (const char* env = getenv("HOME"); env && *env) home = env;
    else if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir) home = pw->pw_dir;
    return home + "/" + std::string(belowHome);
}

bool MakeFolders(const std::string& folder) {
    if (folder.empty()) return true;
    struct stat st;
    if (sys::Stat(folder.c_str(), st) == 0) return S_ISDIR(st.st_mode);
    const size_t cut = folder.rfind('/');
    if (cut != std::string::npos && cut > 0 && !MakeFolders(folder.substr(0, cut))) return false;
    return sys::MakeDir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool IsPrivateFolder(const std::string& folder) {
    struct stat st;
    if (sys::Lstat(folder.c_str(), st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
    return (st.st_mode & 077) == 0 || sys::Chmod(folder.c_str(), 0700) == 0;
}

}  // namespace rtl
