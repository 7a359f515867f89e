#include "archive/ZATargetFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "archive/ZAStrFunc.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/folderindex.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/paths.h"

namespace {

// O_PATH: a folder is only ever used as the starting point of names, never read.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

int OpenFolderAt(int dirFd, const std::string& name)
{
    return rtl::sys::OpenAt(dirFd, name.c_str(), kFolderFlags | O_NOFOLLOW);
}

// The folder index keys a folder by its path without a trailing "/".
std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

}  // namespace

TZATargetFolder::~TZATargetFolder()
{
    ::close(fd_);
}

std::shared_ptr<TZATargetFolder> TZATargetFolder::Open(const std::string& nativePath)
{
    std::string path = WithoutTrailingSlash(nativePath);
    const int fd = rtl::sys::Open(path.empty() ? "." : path.c_str(), kFolderFlags);
    if (fd < 0)
        return nullptr;
    return std::shared_ptr<TZATargetFolder>(new TZATargetFolder(fd, std::move(path)));
}

std::string TZATargetFolder::NativePathOf(const std::string& onDisk) const
{
    if (path_.empty())
        return onDisk;
    return path_.back() == '/' ? path_ + onDisk : path_ + "/" + onDisk;
}

int TZATargetFolder::OpenChild(std::string_view name, std::string& onDisk) const
{
    onDisk = rtl::Cp1251ToUtf8(name);
    const int fd = OpenFolderAt(fd_, onDisk);
    if (fd >= 0 || errno != ENOENT)
        return fd;
    const std::string found = rtl::folderindex::FindCaseless(path_, name).onDisk;
    if (!found.empty()) {
        onDisk = found;
        return OpenFolderAt(fd_, onDisk);
    }
    if (rtl::sys::MakeDirAt(fd_, onDisk.c_str(), 0777) == 0)
        rtl::folderindex::NoteCreated(NativePathOf(onDisk));
    else if (errno != EEXIST)
        return -1;
    // Made by us or by another meanwhile; whatever stands there now must be a folder.
    return OpenFolderAt(fd_, onDisk);
}

std::shared_ptr<const TZATargetFolder> TZATargetFolder::Below(std::string_view below) const
{
    std::shared_ptr<const TZATargetFolder> folder = shared_from_this();
    size_t start = 0;
    while (start < below.size()) {
        size_t end = below.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = below.size();
        if (end > start) {
            std::string onDisk;
            const int fd = folder->OpenChild(below.substr(start, end - start), onDisk);
            if (fd < 0)
                return nullptr;
            folder = std::shared_ptr<const TZATargetFolder>(new TZATargetFolder(fd, folder->NativePathOf(onDisk)));
        }
        start = end + 1;
    }
    return folder;
}

std::string TZATargetFolder::NameOnDisk(std::string_view name, bool& exists) const
{
    std::string onDisk = rtl::Cp1251ToUtf8(name);
    struct stat st;
    exists = rtl::sys::StatAt(fd_, onDisk.c_str(), st, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists || errno != ENOENT)
        return onDisk;
    const rtl::folderindex::TLookup found = rtl::folderindex::FindCaseless(path_, name);
    exists = !found.onDisk.empty();
    return exists ? found.onDisk : onDisk;
}

std::shared_ptr<const TZATargetFolder> TZAExtractFolders::Folder(const std::string& target, const std::string& below)
{
    if (!target_ || target != targetKey_) {
        last_.reset();
        targetKey_.clear();
        target_ = TZATargetFolder::Open(rtl::ToNativePath(target));
        if (!target_ && errno == ENOENT && MakeDirs(target))
            target_ = TZATargetFolder::Open(rtl::ToNativePath(target));
        if (!target_)
            return nullptr;
        targetKey_ = target;
    }
    if (!last_ || below != belowKey_) {
        last_ = target_->Below(below);
        if (!last_)
            return nullptr;
        belowKey_ = below;
    }
    return last_;
}
