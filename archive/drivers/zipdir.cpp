// zipdir FILE: lists the central directory of a ZIP archive, one entry a line:
//   name (UTF-8) TAB uncompressed size TAB compressed size TAB CRC-32 (8 hex digits) TAB local header offset
// The archive is opened read-only; a damaged directory is rebuilt from the local headers.
// Exit 0; exit 1 with the error message on stderr when the archive cannot be read.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "archive/ZADirManager.h"
#include "archive/ZAExcept.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"

namespace {

void PrintEntry(const TDirItem& item)
{
    std::string name = rtl::Cp1251ToUtf8(item.FileName);
    std::printf("%s\t%" PRId64 "\t%" PRId64 "\t%08" PRIx32 "\t%" PRId64 "\n", name.c_str(), item.UncompressedSize64(),
                item.CompressedSize64(), item.Crc32, item.LocalHeaderOffset64());
}

void ListArchive(const std::string& nativePath)
{
    rtl::TFileStream stream(rtl::FromNativePath(nativePath), rtl::fmOpenRead | rtl::fmShareDenyNone);
    TZADirSettings settings;
    settings.ArchiveStream = &stream;
    TZADirManager manager(&stream, &settings, false);
    manager.HasEndRecord();
    manager.LoadDirectory();
    for (int i = 0; i < manager.CurrentDir.Count(); ++i)
        PrintEntry(manager.CurrentDir.ItemAt(i));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: zipdir FILE\n");
        return 1;
    }
    try {
        ListArchive(argv[1]);
    } catch (const rtl::Exception& e) {
        std::fprintf(stderr, "%s\n", rtl::Cp1251ToUtf8(e.Message()).c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
