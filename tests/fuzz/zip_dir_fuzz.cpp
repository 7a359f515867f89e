// The directory manager on an archive held in memory, with rebuilding of a damaged directory off
// and on, listing every entry it reads.
#include <cstddef>
#include <cstdint>

#include "archive/ZADirManager.h"
#include "archive/ZAExcept.h"
#include "fuzz_util.h"
#include "platform/rtl/streams.h"

namespace {

// Touches every field a listing shows, so that a bad length or offset behind them shows up.
size_t ListEntries(const TZADirArray& dir)
{
    size_t total = 0;
    for (int i = 0; i < dir.Count(); ++i) {
        const TDirItem& item = dir.ItemAt(i);
        total += item.FileName.size() + item.Comment.size() + size_t(item.IsDirectory());
        total += size_t(item.UncompressedSize64() ^ item.CompressedSize64() ^ item.LocalHeaderOffset64());
        for (const TDirItemExtra& extra : item.ExtraFields) {
            fuzzutil::Check(extra.Data.size() == extra.Size, "extra block holds its stated size");
            total += extra.Size;
        }
        fuzzutil::Check(dir.IndexOfName(item.FileName) >= 0, "every listed name is found again");
    }
    return total;
}

void LoadAndList(std::string_view bytes, bool rebuild)
{
    rtl::TMemoryStream stream;
    stream.Write(bytes.data(), int64_t(bytes.size()));
    stream.SetPosition(0);
    TZADirSettings settings;
    settings.ArchiveStream = &stream;
    settings.RebuildDamagedDirectory = rebuild;
    try {
        TZADirManager manager(&stream, &settings, false);
        if (!manager.HasEndRecord() && !rebuild)
            return;
        manager.LoadDirectory();
        ListEntries(manager.CurrentDir);
    } catch (const rtl::Exception&) {
        // Damage the reader reports is the expected outcome for most inputs.
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes = fuzzutil::AsText(data, size);
    LoadAndList(bytes, false);
    LoadAndList(bytes, true);
    return 0;
}
