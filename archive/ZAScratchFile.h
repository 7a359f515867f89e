// The file an entry is extracted into before it takes its target's place. Where the file system
// allows, it is a file without a name (O_TMPFILE) in the target's folder, linked in under the
// target's name once the entry is complete and checked: nothing half-written is ever visible, a
// crash leaves nothing behind, and a new target changes the folder once. Elsewhere, and to replace
// an existing target, a uniquely named file beside the target is renamed over it. In every other
// case the file is deleted. A named scratch file carries its writer, its process's id
// ("FC<pid>.<hex>.tmp") and its lock (platform/rtl/tempfiles.h), so that the one a killed extraction
// left is told from one still being written, also by a process in another namespace.
//
// It works in a folder held open (ZATargetFolder.h), by names relative to it: no name is looked
// up again, and a link put in place of a folder on the way cannot redirect the file.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include <sys/types.h>

#include "platform/rtl/streams.h"
#include "platform/rtl/tempfiles.h"

class TZATargetFolder;

class TZAScratchFile : public rtl::TStream {
public:
    // A new empty file in folder with the permission bits mode, which the process's umask masks as
    // for any new file; null with errno set when none can be created.
    static std::unique_ptr<TZAScratchFile> CreateIn(std::shared_ptr<const TZATargetFolder> folder, mode_t mode);
    // Removes from the folder (a native name ending in "/") the scratch files whose extraction has
    // ended without placing them; those of extractions still running stay. Returns how many went.
    static int RemoveLeftoversIn(const std::string& folder);
    // Closes the file and deletes it unless it took its target's place.
    ~TZAScratchFile() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override;
    int64_t Size() override { return size_; }
    void SetSize(int64_t size) override;  // not supported: raises EStreamError

    // Pushes the data to the disk; false when that fails.
    bool Sync();
    // Sets the modification time; false when that fails.
    bool SetModified(time_t time);
    // Puts the complete file in the place of the name (as on disk) in its folder in one step, whether
    // or not something of that name exists (a link there is replaced, never followed), and closes
    // it; false with errno set when that fails.
    bool ReplaceTarget(const std::string& onDisk);
    // Readies the complete file to replace its target later (ReplaceTarget): on the disk, named
    // beside the target, closed. False with errno set when that fails.
    bool Stage();
    const TZATargetFolder& Folder() const { return *folder_; }

private:
    TZAScratchFile(int fd, std::shared_ptr<const TZATargetFolder> folder, std::string name,
                   std::unique_ptr<rtl::TLiveTemp> live);

    bool NameBeside();
    bool CloseFile();

    int fd_;
    std::shared_ptr<const TZATargetFolder> folder_;
    std::string name_;  // in folder_; empty while the file has no name
    std::unique_ptr<rtl::TLiveTemp> live_;  // holds name_ as its writer's while it may exist
    int64_t position_ = 0;
    int64_t size_ = 0;
    bool placed_ = false;
};
