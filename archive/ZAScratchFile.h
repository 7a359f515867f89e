// The file an entry is extracted into before it takes its target's place. Where the file system
// allows, it is a file without a name (O_TMPFILE) in the target's folder, linked in under the
// target's name once the entry is complete and checked: nothing half-written is ever visible, a
// crash leaves nothing behind, and a new target changes the folder once. Elsewhere, and to replace
// an existing target, a uniquely named file beside the target is renamed over it. In every other
// case the file is deleted.
//
// It works on the native (UTF-8) folder the target resolved to, so that extracting many files
// does not look each new name up again without regard to case.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>

#include <sys/types.h>

#include "platform/rtl/streams.h"

class TZAScratchFile : public rtl::TStream {
public:
    // A new empty file in nativeFolder; null when none can be created.
    static std::unique_ptr<TZAScratchFile> CreateIn(const std::filesystem::path& nativeFolder);
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
    // Sets the permission bits through the open file, which the target then takes with it.
    bool SetPermissions(mode_t mode);
    // Puts the complete file in nativeTarget's place in one step, whether or not a file of that name
    // exists, and closes it; false when that fails.
    bool ReplaceTarget(const std::filesystem::path& nativeTarget);

private:
    TZAScratchFile(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}

    bool NameBeside(const std::filesystem::path& nativeTarget);
    bool CloseFile();

    int fd_;
    std::filesystem::path path_;  // empty while the file has no name
    int64_t position_ = 0;
    int64_t size_ = 0;
    bool placed_ = false;
};
