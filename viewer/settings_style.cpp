// The style-file copy of the settings dialog: the files of a style folder replace their namesakes
// in the program's folder, subfolder by subfolder.
#include <exception>
#include <vector>

#include "platform/rtl/dialogs.h"
#include "platform/rtl/findfile.h"
#include "platform/rtl/paths.h"
#include "viewer/settings.h"

namespace viewer {

namespace {

bool Hidden(const std::string& name) { return !name.empty() && name[0] == '.'; }

// Entries of StyleSrc read in one search, so that the walk below may search again at every level.
std::vector<rtl::TSearchRec> SourceEntries() {
    std::vector<rtl::TSearchRec> entries;
    rtl::TSearchRec entry;
    if (rtl::FindFirst(StyleSrc + "*", rtl::faAnyFile, entry) == 0) {
        do {
            if (!Hidden(entry.Name)) entries.push_back(entry);
        } while (rtl::FindNext(entry) == 0);
    }
    rtl::FindClose(entry);
    return entries;
}

// Replaces the program's file of that name with the style's. The copy goes through a temporary
// file renamed over the target, so a failed copy leaves the program's own file in place.
void ReplaceNamesake(const std::string& name) {
    if (!rtl::FileExists(StyleDst + name) || !rtl::FileExists(StyleSrc + name)) return;
    rtl::CopyFile(StyleSrc + name, StyleDst + name, false);  // a failed copy is silent
}

void WalkSubfolder(const std::string& name) {
    const std::string savedSrc = StyleSrc;
    const std::string savedDst = StyleDst;
    StyleSrc += name + "\\";
    StyleDst += name + "\\";
    rtl::SetCurrentDir(StyleSrc);
    ApplyStyleFiles();
    StyleSrc = savedSrc;
    StyleDst = savedDst;
    rtl::SetCurrentDir(StyleSrc);
}

}  // namespace

void ApplyStyleFiles() {
    if (!rtl::DirectoryExists(StyleSrc) || !rtl::DirectoryExists(StyleDst)) return;
    std::vector<rtl::TSearchRec> entries;
    try {
        entries = SourceEntries();
        for (const rtl::TSearchRec& entry : entries)
            if ((entry.Attr & rtl::faDirectory) == 0) ReplaceNamesake(entry.Name);
    } catch (const std::exception&) {
        rtl::Dialogs().ShowMessage("Error!");
        return;
    }
    for (const rtl::TSearchRec& entry : entries)
        if (entry.Attr == rtl::faDirectory) WalkSubfolder(entry.Name);
}

}  // namespace viewer
