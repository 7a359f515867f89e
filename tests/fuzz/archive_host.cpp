#include "archive_host.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "archive/ZAExcept.h"
#include "fuzz_util.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/paths.h"

namespace fuzzarchive {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kExisting = "existing.txt";
constexpr std::string_view kKeep = "keep.txt";
constexpr int32_t kAllAttributes = 10431;

TLayout MakeLayout()
{
    TLayout layout;
    layout.Root = fuzzutil::ScratchFolder();
    layout.Run = layout.Root + "fence1/fence2/fence3/run/";
    layout.Out = layout.Run + "out/";
    layout.Archive = layout.Run + "archive.zip";
    return layout;
}

bool IsInside(const std::string& path, const std::string& folder)
{
    return path.compare(0, folder.size(), folder) == 0;
}

bool HoldsEmptyEntryNamed(const TZipArchiver& archiver, std::string_view name)
{
    if (!archiver.DirManager)
        return false;
    const TZADirArray& dir = archiver.DirManager->CurrentDir;
    for (int i = 0; i < dir.Count(); ++i) {
        std::string file = dir.ItemAt(i).FileName;
        std::replace(file.begin(), file.end(), '\\', '/');
        file = file.substr(file.find_last_of('/') + 1);
        std::transform(file.begin(), file.end(), file.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (file == name && dir.ItemAt(i).UncompressedSize64() == 0)
            return true;
    }
    return false;
}

// The user of the updater's prompts: gives the password once per entry (a repeated prompt means it
// was wrong, and is cancelled), ignores every failure so the run goes on, and agrees to the rest.
class TPromptAnswers : public rtl::IDialogService {
public:
    int MessageBox(const std::string&, const std::string&, unsigned) override { return rtl::IDOK; }
    int MessageDlg(const std::string&, rtl::TMsgDlgType, rtl::TMsgDlgButtons buttons) override
    {
        if (buttons.Contains(rtl::mbIgnore))
            return rtl::mrIgnore;
        return buttons.Contains(rtl::mbYes) ? rtl::mrYes : rtl::mrOk;
    }
    bool InputQuery(const std::string& caption, const std::string&, std::string& value, bool) override
    {
        const bool repeated = caption == lastCaption_;
        lastCaption_ = caption;
        if (repeated)
            return false;
        value = "secret";
        return true;
    }
    void ShowMessage(const std::string&) override {}

private:
    std::string lastCaption_;
};

void RunQuietly(TZipArchiver& archiver, TZAProcessOperation op)
{
    try {
        if (op == poExtract) {
            archiver.ExtractFiles("*.*", kAllAttributes, "");
        } else {
            archiver.MarkFiles("*.*", kAllAttributes, "");
            archiver.ProcessFiles(op);
        }
    } catch (const rtl::Exception&) {
        // An aborted operation is reported, never a fault.
    }
}

std::vector<std::string>& WrittenVolumes()
{
    static std::vector<std::string> volumes;
    return volumes;
}

// True when the archive could be opened; mayEmptyExisting tells whether it holds an empty entry
// named like the existing file.
bool ExtractAndTest(TZipArchiver& archiver, bool& mayEmptyExisting)
{
    static TPromptAnswers answers;
    answers = TPromptAnswers();
    rtl::SetDialogService(&answers);
    try {
        archiver.OpenArchive();
    } catch (const rtl::Exception&) {
        return false;
    }
    mayEmptyExisting = HoldsEmptyEntryNamed(archiver, kExisting);
    RunQuietly(archiver, poExtract);
    RunQuietly(archiver, poTest);
    try {
        archiver.CloseArchive();
    } catch (const rtl::Exception&) {
    }
    return true;
}

void CheckLayout(const TLayout& layout, bool mayEmptyExisting)
{
    const std::vector<std::string>& volumes = WrittenVolumes();
    fuzzutil::GrantOwnerAccess(layout.Root);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(layout.Root)) {
        const std::string path = entry.path().string();
        if (entry.is_directory()) {
            const bool ancestorOfOut = layout.Out.compare(0, path.size() + 1, path + "/") == 0;
            fuzzutil::Check(ancestorOfOut || IsInside(path, layout.Out), "no folder is made outside the target folder");
            continue;
        }
        if (IsInside(path, layout.Out) || std::find(volumes.begin(), volumes.end(), path) != volumes.end())
            continue;
        fuzzutil::Check(path == layout.Run + std::string(kKeep), "no file is written outside the target folder");
    }
    fuzzutil::Check(fuzzutil::ReadBytes(layout.Run + std::string(kKeep)) == "never touched\n",
                    "the file beside the target folder is unchanged");
    const std::string existing = layout.Out + std::string(kExisting);
    if (fs::exists(existing) && !mayEmptyExisting)
        fuzzutil::Check(fs::file_size(existing) > 0, "an existing file is never emptied");
}

}  // namespace

const TLayout& FreshLayout()
{
    static const TLayout layout = MakeLayout();
    WrittenVolumes().clear();
    fuzzutil::ResetFolder(layout.Root);
    fuzzutil::ResetFolder(layout.Out);
    fuzzutil::WriteBytes(layout.Out + std::string(kExisting), "kept unless an entry replaces it\n");
    fuzzutil::WriteBytes(layout.Run + std::string(kKeep), "never touched\n");
    return layout;
}

void WriteVolume(const std::string& nativePath, std::string_view bytes)
{
    fuzzutil::WriteBytes(nativePath, bytes);
    WrittenVolumes().push_back(nativePath);
}

void ExtractTestAndCheck(TZipArchiver& archiver, const TLayout& layout)
{
    bool mayEmptyExisting = false;
    if (ExtractAndTest(archiver, mayEmptyExisting))
        CheckLayout(layout, mayEmptyExisting);
}

}  // namespace fuzzarchive
