// A pack that cannot be installed whole is refused before anything of it is written, with a message
// that says why: a directory rebuilt from the entries' own headers stands for a pack cut short or
// damaged (entries after the cut are missing without a trace, and the ones before it check); an
// entry of a compression the archive library does not read would fail only once others are written;
// and of two entries for one file (names alike but for case) the archive library refuses the second.
#include <set>

#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"
#include "updater/update.h"

namespace viewer {

namespace {

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;

std::string DamagedPackMessage() {
    return rtl::Ru("Пакет обновления поврежден: в архиве нет оглавления. Обновление не установлено.");
}

std::string UnsupportedEntryMessage(const std::string& entry) {
    return rtl::Ru("Пакет обновления не может быть прочитан: файл \"") + entry +
           rtl::Ru("\" сжат способом, который программа не поддерживает. Обновление не установлено.");
}

std::string TwiceInPackMessage(const std::string& entry) {
    return rtl::Ru("Пакет обновления поврежден: файл \"") + entry +
           rtl::Ru("\" записан в нем дважды. Обновление не установлено.");
}

}  // namespace

bool IsFolderEntry(TZABaseArchiver& archive, const TZAArchiveItem& item) {
    const TDirItem& entry = archive.DirManager->CurrentDir.ItemAt(item.Search.Index);
    return entry.IsDirectory() || entry.FileName.ends_with('/');
}

void CheckPackReadable(TZABaseArchiver& archive) {
    if (archive.DirManager && archive.DirManager->Rebuilt) throw rtl::Exception(DamagedPackMessage());
    TZAArchiveItem item;
    std::set<std::string> files;
    for (bool hit = archive.FindFirst("*.*", item, kPackAttributes, ""); hit; hit = archive.FindNext(item)) {
        if (IsFolderEntry(archive, item)) continue;
        const std::string path = item.FolderPath + item.FileName;
        const uint16_t method = archive.DirManager->CurrentDir.ItemAt(item.Search.Index).CompressionMethod;
        if (method != kMethodStored && method != kMethodDeflated) throw rtl::Exception(UnsupportedEntryMessage(path));
        if (!files.insert(rtl::AnsiUpperCase(path)).second) throw rtl::Exception(TwiceInPackMessage(path));
    }
}

}  // namespace viewer
