// Path, drive and share-mode routines of the archiver.
#include "archive/ZAStrFunc.h"

#include "platform/rtl/codepage.h"
#include "platform/rtl/drives.h"
#include "platform/rtl/paths.h"

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// The folder D that a relative path is resolved in: the base with a trailing "\", made absolute
// against the current directory; the current directory itself when the base is empty.
std::string AbsoluteBase(std::string_view baseDir)
{
    return AddTrailingBackslash(rtl::ExpandFileName(ResolveBaseDir(baseDir)));
}

}  // namespace

std::string AddTrailingBackslash(std::string_view path)
{
    while (!path.empty() && IsSeparator(path.back()))
        path.remove_suffix(1);
    return std::string(path) + '\\';
}

std::string RemoveTrailingBackslash(std::string_view path)
{
    return rtl::ExcludeTrailingBackslash(path);
}

bool DirExists(std::string_view path)
{
    return rtl::DirectoryExists(path);
}

bool MakeDirs(std::string_view path)
{
    if (path.empty())
        return false;
    return rtl::ForceDirectories(RemoveTrailingBackslash(path)) || rtl::DirectoryExists(path);
}

bool IsFloppyName(std::string_view path)
{
    const std::string drive = rtl::UpperCase(rtl::ExtractFileDrive(path));
    return drive == "A:" || drive == "B:";
}

bool IsRemovableName(std::string_view path)
{
    if (IsFloppyName(path))
        return true;
    // Without drive letters the drive of a path is found from the path itself.
    std::string drive = rtl::ExtractFileDrive(path);
    if (drive.empty())
        drive = std::string(path);
    return rtl::GetDriveType(drive) == rtl::DRIVE_REMOVABLE;
}

std::string ResolveBaseDir(std::string_view baseDir)
{
    return AddTrailingBackslash(baseDir.empty() ? rtl::GetCurrentDir() : std::string(baseDir));
}

// Path holding ":" -> unchanged. Other non-empty path -> expanded against the base (a path from the
// root stays on it). Empty path -> a base holding ":" unchanged; else the base made absolute
// (without trailing "\") when it exists or is empty; else the base as given.
std::string ResolvePath(std::string_view baseDir, std::string_view path)
{
    if (path.find(':') != std::string_view::npos)
        return std::string(path);
    if (!path.empty()) {
        if (rtl::IsFullPath(path))
            return rtl::ExpandFileName(path);
        return rtl::ExpandFileName(AbsoluteBase(baseDir) + std::string(path));
    }
    if (baseDir.find(':') != std::string_view::npos)
        return std::string(baseDir);
    if (baseDir.empty() || rtl::DirectoryExists(ResolveBaseDir(baseDir))) {
        const std::string dir = AbsoluteBase(baseDir);
        return dir.size() > 1 ? RemoveTrailingBackslash(dir) : dir;  // the root keeps its "\"
    }
    return std::string(baseDir);
}

int ShareModeFlags(int shareMode)
{
    // smShareCompat, smShareExclusive, smShareDenyWrite, smShareDenyRead, smShareDenyNone; a value
    // outside the enumeration counts as smShareDenyNone, the default.
    static constexpr int flags[] = {0x00, 0x10, 0x20, 0x30, 0x40};
    return shareMode >= 0 && shareMode < 5 ? flags[shareMode] : flags[4];
}
