// The user's own folders: the base folders settings and caches go under, and folders closed to
// others. Paths are native (UTF-8, "/").
#pragma once

#include <string>
#include <string_view>

namespace rtl {

// $variable where it names a full path, else belowHome (".config", ".cache") in the user's home
// folder ($HOME, else the password database's); a relative name is ignored, as the XDG rules say.
std::string UserBaseFolder(const char* variable, std::string_view belowHome);

// Makes folder and whichever of its parents are missing, each new one closed to others (0700).
// True when folder is a folder afterwards.
bool MakeFolders(const std::string& folder);

// A private folder of the user: existing, a real folder (a link at its name never counts), owned by
// the user and closed to others; a folder of the user's that others may enter is closed first.
bool IsPrivateFolder(const std::string& folder);

}  // namespace rtl
