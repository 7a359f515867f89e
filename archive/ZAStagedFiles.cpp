#include "archive/ZAStagedFiles.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "archive/ZAExcept.h"
#include "archive/ZAScratchFile.h"
#include "archive/ZATargetFolder.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/fscalls.h"

TZAStagedFiles::TZAStagedFiles() = default;

TZAStagedFiles::~TZAStagedFiles() = default;

std::shared_ptr<const TZATargetFolder> TZAStagedFiles::Hold(std::shared_ptr<const TZATargetFolder> folder,
                                                            std::string& key)
{
    struct stat st;
    if (::fstat(folder->Fd(), &st) != 0) {
        key = folder->NativePath() + "/";  // a folder just opened always answers; this keeps it apart
        return folder;
    }
    key = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + "/";
    return folders_.try_emplace(key, std::move(folder)).first->second;
}

std::string TZAStagedFiles::NameOnDisk(const TZATargetFolder& folder, const std::string& key,
                                       std::string_view name, bool& exists) const
{
    std::string onDisk = folder.NameOnDisk(name, exists);
    const auto staged = byName_.find(key + rtl::AnsiUpperCase(name));
    if (staged == byName_.end())
        return onDisk;
    exists = true;
    return files_[staged->second].onDisk;
}

bool TZAStagedFiles::Add(const std::string& key, std::string_view name, std::unique_ptr<TZAScratchFile> file,
                         const std::string& onDisk, const std::string& target)
{
    struct stat st;
    if (rtl::sys::StatAt(file->Folder().Fd(), onDisk.c_str(), st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (!file->Stage())
        return false;
    // A second entry for a staged name never gets here: the run refuses it, as it would on disk.
    byName_.try_emplace(key + rtl::AnsiUpperCase(name), files_.size());
    files_.push_back({std::move(file), onDisk, target});
    return true;
}

bool TZAStagedFiles::Commit(std::string& failed)
{
    for (; committed_ < files_.size(); ++committed_) {
        TStaged& staged = files_[committed_];
        if (staged.file && !staged.file->ReplaceTarget(staged.onDisk)) {
            failed = staged.target;
            return false;
        }
        staged.file.reset();
    }
    return true;
}

// ---- The archiver's side -------------------------------------------------------------------------

void TZABaseArchiver::CommitStagedFiles()
{
    if (!staged_)
        return;
    std::string failed;
    if (!staged_->Commit(failed)) {
        const int error = errno;
        staged_.reset();
        throw EZAException::CreateWithCodeFmt(error == ENOSPC || error == EDQUOT ? 46 : 19, {failed}, this);
    }
    staged_.reset();
}

void TZABaseArchiver::DiscardStagedFiles()
{
    staged_.reset();
}
