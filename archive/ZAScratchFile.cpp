#include "archive/ZAScratchFile.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/folderindex.h"

namespace {

std::string UniqueName()
{
    static std::atomic<uint64_t> counter{std::random_device{}()};
    char name[32];
    std::snprintf(name, sizeof name, "FC%012llx.tmp",
                  static_cast<unsigned long long>(counter.fetch_add(0x9E3779B97F4A7C15ull) & 0xFFFFFFFFFFFFull));
    return name;
}

}  // namespace

std::unique_ptr<TZAScratchFile> TZAScratchFile::CreateIn(const std::filesystem::path& nativeFolder)
{
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::filesystem::path path = nativeFolder / UniqueName();
        // "x": fails when the name exists, so another file is never taken over.
        if (std::FILE* file = std::fopen(path.c_str(), "wbx")) {
            rtl::folderindex::NoteCreated(path);
            std::setvbuf(file, nullptr, _IONBF, 0);  // the writer hands over large blocks
            return std::unique_ptr<TZAScratchFile>(new TZAScratchFile(file, std::move(path)));
        }
        std::error_code ec;
        if (!std::filesystem::is_directory(nativeFolder, ec))
            return nullptr;
    }
    return nullptr;
}

TZAScratchFile::~TZAScratchFile()
{
    Close();
    if (!moved_) {
        std::error_code ec;
        if (std::filesystem::remove(path_, ec))
            rtl::folderindex::NoteRemoved(path_);
    }
}

int64_t TZAScratchFile::Read(void*, int64_t)
{
    return 0;
}

int64_t TZAScratchFile::Write(const void* buffer, int64_t count)
{
    if (file_ == nullptr || count <= 0)
        return 0;
    const auto written = static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_));
    position_ += written;
    size_ = std::max(size_, position_);
    return written;
}

int64_t TZAScratchFile::Seek(int64_t offset, rtl::TSeekOrigin origin)
{
    int64_t target = offset;
    if (origin == rtl::soCurrent)
        target = position_ + offset;
    else if (origin == rtl::soEnd)
        target = size_ + offset;
    if (target == position_)
        return position_;
    if (file_ == nullptr || target < 0 || std::fseek(file_, static_cast<long>(target), SEEK_SET) != 0)
        throw rtl::EStreamError("Stream seek error");
    position_ = target;
    return position_;
}

void TZAScratchFile::SetSize(int64_t)
{
    throw rtl::EStreamError("Stream size cannot be changed");
}

bool TZAScratchFile::Close()
{
    if (file_ == nullptr)
        return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
}

bool TZAScratchFile::ReplaceTarget(const std::filesystem::path& nativeTarget)
{
    if (file_ != nullptr || moved_)
        return false;
    std::error_code ec;
    std::filesystem::rename(path_, nativeTarget, ec);
    moved_ = !ec;
    if (moved_)
        rtl::folderindex::NoteRenamed(path_, nativeTarget);
    return moved_;
}
