// The folders entries are extracted into, held open. Each is reached from the target folder of the
// extraction one name at a time, opened relative to the folder above it without following a
// symbolic link, and a missing one is made the same way: no link under the target, whether it was
// there before the extraction or is put in place of a folder while it runs, leads a write out of
// the target. The target folder itself is the caller's choice and is followed when it is a link.
// Names are looked up without regard to case, as every path of the run-time layer is.
#pragma once

#include <memory>
#include <string>
#include <string_view>

class TZATargetFolder : public std::enable_shared_from_this<TZATargetFolder> {
public:
    ~TZATargetFolder();
    TZATargetFolder(const TZATargetFolder&) = delete;
    TZATargetFolder& operator=(const TZATargetFolder&) = delete;

    // The folder nativePath itself, followed when it is a link; null with errno set when it is
    // not an existing folder.
    static std::shared_ptr<TZATargetFolder> Open(const std::string& nativePath);
    // The folder the cp1251 path below names under this one ("\" or "/" separated; "" is this
    // folder), missing folders made. Null with errno set when it cannot be reached: ENOTDIR when a
    // name on the way is a link, a file or anything else but a folder.
    std::shared_ptr<const TZATargetFolder> Below(std::string_view below) const;

    int Fd() const { return fd_; }
    const std::string& NativePath() const { return path_; }
    std::string NativePathOf(const std::string& onDisk) const;
    // The name on disk in this folder of the cp1251 name: as given when it exists so, else its
    // case-blind match; as given, with exists false, when neither exists.
    std::string NameOnDisk(std::string_view name, bool& exists) const;

private:
    TZATargetFolder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    // The folder name (one component) in this one, made when missing; -1 with errno set.
    int OpenChild(std::string_view name, std::string& onDisk) const;

    int fd_;
    std::string path_;  // for the case-blind look-up and its index; never opened again
};

// The folders of one extraction run: the target folder and the folder of the entry before, kept
// open since entries of one folder follow one another.
class TZAExtractFolders {
public:
    // The folder of an entry: the cp1251 folder part below under the Windows-style target folder,
    // made when missing. Null with errno set when it cannot be reached or made.
    std::shared_ptr<const TZATargetFolder> Folder(const std::string& target, const std::string& below);

private:
    std::string targetKey_;
    std::shared_ptr<TZATargetFolder> target_;
    std::string belowKey_;
    std::shared_ptr<const TZATargetFolder> last_;
};
