// The file an entry is extracted into before it replaces its target: a new, uniquely named file
// in the target's folder, written straight through, renamed over the target once the entry is
// complete and checked, and deleted in every other case.
//
// It works on the native (UTF-8) folder the target resolved to, so that extracting many files
// does not look each new name up again without regard to case.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/rtl/streams.h"

class TZAScratchFile : public rtl::TStream {
public:
    // A new empty file in nativeFolder; null when none can be created.
    static std::unique_ptr<TZAScratchFile> CreateIn(const std::filesystem::path& nativeFolder);
    // Closes the file and deletes it unless it was moved over its target.
    ~TZAScratchFile() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override;
    int64_t Size() override { return size_; }
    void SetSize(int64_t size) override;  // not supported: raises EStreamError

    // Closes the file; false when the last bytes could not be written.
    bool Close();
    // Renames the closed file over nativeTarget in one step; false when that fails.
    bool ReplaceTarget(const std::filesystem::path& nativeTarget);
    const std::filesystem::path& Path() const { return path_; }

private:
    TZAScratchFile(std::FILE* file, std::filesystem::path path) : file_(file), path_(std::move(path)) {}

    std::FILE* file_;
    std::filesystem::path path_;
    int64_t position_ = 0;
    int64_t size_ = 0;
    bool moved_ = false;
};
