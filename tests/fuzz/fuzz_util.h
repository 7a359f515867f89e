// Helpers shared by the fuzz targets: a scratch folder per process and plain file access in native
// paths. Targets call Check() for their own invariants so that a broken one stops the run the same
// way a sanitizer report does.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <unistd.h>

namespace fuzzutil {

namespace fs = std::filesystem;

inline void Check(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

// Check() that also names what broke the invariant (a file, a value).
inline void CheckAt(bool condition, const char* what, const std::string& where)
{
    if (!condition)
        std::fprintf(stderr, "at: %s\n", where.c_str());
    Check(condition, what);
}

// Where scratch folders go: memory when the system offers it, since targets write files at every
// input, else the temporary folder.
inline fs::path ScratchParent()
{
    std::error_code ignored;
    if (fs::is_directory("/dev/shm", ignored) && access("/dev/shm", W_OK | X_OK) == 0)
        return "/dev/shm";
    return fs::temp_directory_path();
}

// A folder of this process (trailing "/"), removed at exit. The name lives on the heap so that it
// outlasts the static destructors the exit handler runs after.
inline const std::string& ScratchFolder()
{
    static const std::string* const folder = [] {
        std::string pattern = (ScratchParent() / "tomefuzz-XXXXXX").string();
        Check(mkdtemp(pattern.data()) != nullptr, "scratch folder created");
        auto* name = new std::string(pattern + "/");
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(ScratchFolder(), ignored);
        });
        return name;
    }();
    return *folder;
}

inline void WriteBytes(const std::string& nativePath, std::string_view bytes)
{
    fs::create_directories(fs::path(nativePath).parent_path());
    std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    Check(bool(out), "scratch file written");
}

inline std::string ReadBytes(const std::string& nativePath)
{
    std::ifstream in(nativePath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Gives the owner full access to a tree again: extraction applies the permissions an archive
// stores, and a folder without them could be neither listed nor emptied.
inline void GrantOwnerAccess(const fs::path& path)
{
    std::error_code ignored;
    if (fs::is_symlink(fs::symlink_status(path, ignored)))
        return;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
    if (!fs::is_directory(path, ignored))
        return;
    for (const fs::directory_entry& entry : fs::directory_iterator(path, ignored))
        GrantOwnerAccess(entry.path());
}

// Empties a folder (creating it when missing) without removing the folder itself.
inline void ResetFolder(const std::string& nativePath)
{
    std::error_code ignored;
    GrantOwnerAccess(nativePath);
    fs::remove_all(nativePath, ignored);
    fs::create_directories(nativePath);
}

inline std::string_view AsText(const uint8_t* data, size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzzutil
