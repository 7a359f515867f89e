#include "archive_host.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "archive/ZAExcept.h"
#include "fuzz_util.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/folderindex.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/paths.h"

namespace fuzzarchive {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kExisting = "existing.txt";
constexpr std::string_view kExistingText = "kept unless an entry replaces it\n";
constexpr std::string_view kKeepText = "never touched\n";
constexpr std::string_view kLinkInside = "lin", kLinkOutside = "lout", kLinkArchive = "lzip";
constexpr int32_t kAllAttributes = 10431;

// A volume as written, with a descriptor that follows the file even when its name is replaced.
struct TVolume {
    std::string Path;
    std::string Bytes;
    int Fd = -1;
    struct stat Written {};
};

// Canonical names without a trailing "/", so that folder membership is a prefix test.
struct TRoot {
    std::string Root, Temp, Run, Keep, Outside, OutsideFile;
    TLayout Beside, Inside;

    TRoot()
    {
        Root = fs::canonical(fuzzutil::ScratchFolder()).string();
        Temp = Root + "/tmp";
        Run = Root + "/run";
        Keep = Run + "/keep.txt";
        Outside = Root + "/outside";
        OutsideFile = Outside + "/kept.txt";
        Beside = {TPlacement::BesideTarget, Run + "/out/", Run + "/archive.zip"};
        Inside = {TPlacement::InsideTarget, Run + "/book/", Run + "/book/updated.zip"};
        fs::create_directories(Temp);
        for (const TLayout* layout : {&Beside, &Inside})
            fuzzutil::WriteBytes(layout->Out + std::string(kExisting), kExistingText);
        fuzzutil::WriteBytes(Keep, kKeepText);
        fuzzutil::WriteBytes(OutsideFile, kKeepText);
        // Tests extract into the system's temporary folder: it lies in the root too.
        setenv("TMPDIR", Temp.c_str(), 1);
    }

    const TLayout& Of(TPlacement placement) const
    {
        return placement == TPlacement::BesideTarget ? Beside : Inside;
    }
};

const TRoot& Root()
{
    static const TRoot root;
    return root;
}

struct TRunState {
    const TLayout* Layout = nullptr;
    std::vector<TVolume> Volumes;
};

TRunState& State()
{
    static TRunState state;
    return state;
}

std::string WithoutSlash(const std::string& folder)
{
    return folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder;
}

bool IsWithin(const std::string& path, const std::string& folder)
{
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

bool IsVolume(const std::string& path)
{
    const std::vector<TVolume>& volumes = State().Volumes;
    return std::any_of(volumes.begin(), volumes.end(), [&](const TVolume& v) { return v.Path == path; });
}

// The name as the kernel takes it: relative names in the open folder of an *At call, if any.
fs::path InFolder(const rtl::TFsChange& change)
{
    const fs::path name(change.Path);
    if (change.DirFd == AT_FDCWD || name.is_absolute())
        return name;
    std::error_code error;
    const fs::path folder = fs::read_symlink("/proc/self/fd/" + std::to_string(change.DirFd), error);
    fuzzutil::CheckAt(!error, "a change in an open folder names a folder", change.Path);
    return folder / name;
}

// Where a name leads as the kernel would follow it: the existing part with its links resolved, the
// rest folded by its "." and "..".
std::string Resolved(const rtl::TFsChange& change)
{
    const fs::path name = InFolder(change);
    std::error_code error;
    fs::path path = fs::weakly_canonical(fs::absolute(name, error), error);
    if (error)
        path = fs::absolute(name, error).lexically_normal();
    return WithoutSlash(path.string());
}

// Judges every change the library is about to make, wherever its name leads.
void JudgeChange(const rtl::TFsChange& change)
{
    const TRunState& state = State();
    const std::string path = Resolved(change);
    if (IsWithin(path, WithoutSlash(state.Layout->Out)) || IsWithin(path, Root().Temp))
        return;
    const bool createsOrTruncates = (change.OpenFlags & (O_CREAT | O_TRUNC)) != 0 ||
                                    (change.OpenFlags & O_TMPFILE) == O_TMPFILE;
    if (std::string_view(change.Call) == "open" && !createsOrTruncates && IsVolume(path))
        return;  // the updater opens its archive read-write; its bytes are checked after the run
    fuzzutil::CheckAt(false, "the library changes nothing outside the target folder and the temporary folder",
                      std::string(change.Call) + " " + change.Path + " (leads to " + path + ")");
}

// Keeps the judge on for one run, also when the run ends by an exception.
class TWatchedRun {
public:
    TWatchedRun() { previous_ = rtl::SetFsChangeObserver(&JudgeChange); }
    ~TWatchedRun() { rtl::SetFsChangeObserver(previous_); }
    TWatchedRun(const TWatchedRun&) = delete;
    TWatchedRun& operator=(const TWatchedRun&) = delete;

private:
    rtl::TFsChangeObserver previous_;
};

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

void RunQuietly(TObservedArchiver& archiver, TZAProcessOperation op)
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
        archiver.Aborted = true;
    }
}

// True when the archive may empty the existing file: it holds an empty entry of that name.
bool ExtractAndTest(TObservedArchiver& archiver, std::vector<TDirItem>& entries)
{
    static TPromptAnswers answers;
    answers = TPromptAnswers();
    rtl::SetDialogService(&answers);
    const TWatchedRun watched;
    try {
        archiver.OpenArchive();
    } catch (const rtl::Exception&) {
        return false;
    }
    const bool mayEmptyExisting = HoldsEmptyEntryNamed(archiver, kExisting);
    entries = EntriesOf(archiver);
    RunQuietly(archiver, poExtract);
    RunQuietly(archiver, poTest);
    try {
        archiver.CloseArchive();
    } catch (const rtl::Exception&) {
    }
    return mayEmptyExisting;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The volumes the run left where they were (beside the target, their names must still be theirs)
// and the bytes behind every descriptor as written.
void CheckVolumes(const TLayout& layout)
{
    for (const TVolume& volume : State().Volumes) {
        struct stat now {};
        if (layout.Placement == TPlacement::BesideTarget)
            fuzzutil::Check(::lstat(volume.Path.c_str(), &now) == 0 && SameFile(now, volume.Written),
                            "the archive's volumes beside the target keep their names");
        std::string bytes(volume.Bytes.size() + 1, '\0');
        const ssize_t got = ::pread(volume.Fd, bytes.data(), bytes.size(), 0);
        fuzzutil::Check(got == ssize_t(volume.Bytes.size()) && bytes.compare(0, size_t(got), volume.Bytes) == 0,
                        "the archive and its volumes are never written");
    }
}

// The volumes' bytes in the order of their disks; none when an entry was extracted over a volume of
// a split archive lying in the target folder, since the library opens volumes by name again.
std::vector<std::string_view> VolumesAsRead()
{
    std::vector<std::string_view> bytes;
    for (const TVolume& volume : State().Volumes) {
        struct stat now {};
        if (State().Volumes.size() > 1 && (::stat(volume.Path.c_str(), &now) != 0 || !SameFile(now, volume.Written)))
            return {};
        bytes.push_back(volume.Bytes);
    }
    return bytes;
}

bool IsLinkOf(const TLayout& layout, const std::string& path)
{
    const std::string_view name = std::string_view(path).substr(std::min(path.size(), layout.Out.size()));
    return path.starts_with(layout.Out) && (name == kLinkInside || name == kLinkOutside || name == kLinkArchive);
}

// Walks the whole root: everything outside the target folder is one of the layout's own files, and
// the other layout's target folder holds its existing file, unchanged, and its links alone.
void CheckRoot(const TLayout& layout)
{
    const TRoot& root = Root();
    const std::string out = WithoutSlash(layout.Out);
    const TLayout& other = root.Of(layout.Placement == TPlacement::BesideTarget ? TPlacement::InsideTarget
                                                                                : TPlacement::BesideTarget);
    const std::string otherExisting = other.Out + std::string(kExisting);
    for (auto it = fs::recursive_directory_iterator(root.Root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string path = it->path().string();
        if (path == out) {
            it.disable_recursion_pending();
            continue;
        }
        fuzzutil::CheckAt(!IsWithin(path, root.Temp) || path == root.Temp, "the test step leaves no temporary file",
                          path);
        const bool own = path == root.Temp || path == root.Run || path == WithoutSlash(other.Out) ||
                         path == root.Keep || path == otherExisting || path == root.Outside ||
                         path == root.OutsideFile || IsLinkOf(other, path) ||
                         (layout.Placement == TPlacement::BesideTarget && IsVolume(path));
        fuzzutil::CheckAt(own, "nothing appears outside the target folder", path);
    }
    fuzzutil::Check(fuzzutil::ReadBytes(root.Keep) == kKeepText && fuzzutil::ReadBytes(otherExisting) == kExistingText &&
                        fuzzutil::ReadBytes(root.OutsideFile) == kKeepText,
                    "the files outside the target folder are unchanged");
}

void CheckExisting(const TLayout& layout, bool mayEmptyExisting)
{
    const std::string existing = layout.Out + std::string(kExisting);
    std::error_code ignored;
    if (fs::is_regular_file(existing, ignored) && !mayEmptyExisting)
        fuzzutil::Check(fs::file_size(existing, ignored) > 0, "an existing file is never emptied");
}

// Links a name of the target may meet: one back into the target, one out of it, one to the archive.
void PlaceLinks(const TLayout& layout)
{
    const std::pair<std::string_view, std::string> links[] = {
        {kLinkInside, "."}, {kLinkOutside, Root().Outside}, {kLinkArchive, layout.Archive}};
    for (const auto& [name, to] : links)
        fuzzutil::Check(::symlink(to.c_str(), (layout.Out + std::string(name)).c_str()) == 0, "link placed");
}

// Takes back what the last run changed: the target folder's contents and the volumes.
void Reset(const TLayout& layout)
{
    for (TVolume& volume : State().Volumes) {
        ::close(volume.Fd);
        ::unlink(volume.Path.c_str());
    }
    State().Volumes.clear();
    fuzzutil::GrantOwnerAccess(layout.Out);
    std::error_code ignored;
    const std::string existing = layout.Out + std::string(kExisting);
    for (const fs::directory_entry& entry : fs::directory_iterator(layout.Out, ignored)) {
        if (entry.path() != existing || fuzzutil::ReadBytes(existing) != kExistingText)
            fs::remove_all(entry.path(), ignored);
    }
    if (!fs::exists(existing, ignored))
        fuzzutil::WriteBytes(existing, kExistingText);
    PlaceLinks(layout);
}

}  // namespace

const TLayout& FreshLayout(TPlacement placement)
{
    TRunState& state = State();
    const TLayout& next = Root().Of(placement);
    rtl::folderindex::ResetForTests(rtl::folderindex::DefaultLimits());
    if (state.Layout != nullptr)
        Reset(*state.Layout);
    if (state.Layout != &next)
        Reset(next);
    state.Layout = &next;
    return next;
}

void WriteVolume(const std::string& nativePath, std::string_view bytes)
{
    fuzzutil::WriteBytes(nativePath, bytes);
    TVolume volume{nativePath, std::string(bytes)};
    volume.Fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
    fuzzutil::Check(volume.Fd >= 0 && ::fstat(volume.Fd, &volume.Written) == 0, "volume written");
    State().Volumes.push_back(std::move(volume));
}

void ExtractTestAndCheck(const TLayout& layout)
{
    TObservedArchiver archiver;
    archiver.FileName = rtl::FromNativePath(layout.Archive);
    archiver.BaseDir = rtl::IncludeTrailingBackslash(rtl::FromNativePath(layout.Out));
    std::vector<TDirItem> entries;
    const bool mayEmptyExisting = ExtractAndTest(archiver, entries);
    CheckRoot(layout);
    CheckVolumes(layout);
    CheckExisting(layout, mayEmptyExisting);
    CheckEntries(archiver, entries, layout.Out, VolumesAsRead());
}

}  // namespace fuzzarchive
