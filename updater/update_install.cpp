// The list check and the installation of packs: each request blocks the GUI thread but pumps its
// messages, so Cancel can run meanwhile and abandons the request.
#include <cerrno>
#include <chrono>
#include <thread>

#include "archive/ZAExcept.h"
#include "controls/cm_OrvGauges.h"
#include "platform/forms/application.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/textfile.h"
#include "updater/update.h"
#include "updater/update_grid.h"
#include "viewer/bindings.h"
#include "viewer/main.h"

namespace viewer {

std::vector<TMyUpdate> PendingUpdates;
bool UpdateCancelled = false;
int UpdatePauseMs = 1000;

namespace {

constexpr int kListProgressStep = 8;
constexpr int32_t kDamagedEntry = 8;  // the archive's code for data that fail their CRC-32 or size
constexpr int32_t kWriteFailed = 46;  // the archive's code for a write the disk did not take

// Marks the dialog busy for one check or installation; a nested start (from a pumped message)
// is ignored.
class TWorkingScope {
public:
    explicit TWorkingScope(bool& flag) : FFlag(flag) { FFlag = true; }
    ~TWorkingScope() { FFlag = false; }
    TWorkingScope(const TWorkingScope&) = delete;
    TWorkingScope& operator=(const TWorkingScope&) = delete;

private:
    bool& FFlag;
};

// What a killed update leaves in the program folder: the partial download of a pack (a temporary
// file beside "updated.zip"), the temporaries of the version record and of the install note, the
// pack being unpacked, and what its unpacking noted. Temporaries go only when their process has
// ended, so a download or a record still being written elsewhere is kept; "updated.zip" goes when
// it is a file, whatever its mode (a link to one loses the link only), as the single-instance guard
// of the program folder keeps other viewers from unpacking it meanwhile.
void RemoveUpdateLeftovers() {
    const std::string pack = AppDir + "updated.zip";
    rtl::RemoveStaleTempFiles(pack);
    rtl::RemoveStaleTempFiles(AppDir + "intcfg.dat");
    rtl::RemoveStaleTempFiles(AppDir + kInstallNote);
    ClearUnfinishedInstall();
    if (rtl::FileExists(pack)) rtl::DeleteOwnFile(pack);
}

std::string DamagedEntryMessage(const std::string& entry) {
    return rtl::Ru("Пакет обновления поврежден: файл \"") + entry +
           rtl::Ru("\" не совпадает со своей контрольной суммой или размером. Обновление не установлено.");
}

// The reader's word for a write that found the disk full; any other error as it is.
template <typename Write>
void WriteOrReportDiskFull(Write write) {
    try {
        write();
    } catch (const rtl::EInOutError& error) {
        if (IsDiskFull(error.ErrorCode)) RaiseDiskFull();
        throw;
    }
}

// "updated.zip" lives only while its pack is unpacked.
class TDownloadedPack {
public:
    explicit TDownloadedPack(std::string path) : FPath(std::move(path)) {}
    ~TDownloadedPack() { rtl::DeleteOwnFile(FPath); }  // also when a pack put a read-only file there
    TDownloadedPack(const TDownloadedPack&) = delete;
    TDownloadedPack& operator=(const TDownloadedPack&) = delete;
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

}  // namespace

void TForm5::PumpMessages() { forms::Application().ProcessMessages(); }

void TForm5::Pause() {
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::milliseconds(UpdatePauseMs);
    while (clock::now() < end) {
        PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void TForm5::StepProgress(int delta) {
    if (ProgressBar1) ProgressBar1->SetProgress(std::min(ProgressBar1->Progress() + delta, ProgressBar1->MaxValue()));
}

void TForm5::ShowResult(forms::TImage* background) {
    for (forms::TImage* image : {im_err, im_empty, im_last})
        if (image) image->SetVisible(image == background);
    Panel2->Hide();
    Panel4->Show();
}

void TForm5::ShowProgressPage() {
    if (ProgressBar1) ProgressBar1->SetText("");
    Panel2->Show();
    PumpMessages();
    Pause();
}

bool TForm5::Download(const std::string& url, int64_t limit, std::string& body) {
    IdHTTP1.MaxBodySize = limit;
    body.clear();
    bool ok = true;
    try {
        body = IdHTTP1.Get(url);
    } catch (const std::exception&) {
        ok = false;
    }
    IdHTTP1.Disconnect();
    return ok && int64_t(body.size()) <= limit;
}

void TForm5::OfferPacks(const std::vector<TMyUpdate>& offers) {
    int row = 0;
    for (const TMyUpdate& pack : offers) {
        ++row;
        PendingUpdates.push_back(pack);
        if (!StringGrid1) continue;
        StringGrid1->SetCell(0, row, OfferTitle(pack));
        StringGrid1->SetCell(1, row, OfferSize(pack));
    }
}

void TForm5::FetchUpdateList() {
    if (FWorking) return;
    TWorkingScope working(FWorking);
    RemoveUpdateLeftovers();
    UpdateCancelled = false;
    Panel1->Hide();
    ShowProgressPage();
    PendingUpdates.clear();
    ClearGrid();
    if (ProgressBar1) ProgressBar1->SetProgress(0);

    IdHTTP1.BoundIP = my_ip.LocalIP();
    PumpMessages();
    StepProgress(1);
    PumpMessages();

    std::string body;
    const bool fetched = Download(UpdateUrl + "updates.list", kMaxListBytes, body);
    if (UpdateCancelled) return;
    StepProgress(kListProgressStep);
    PumpMessages();
    if (!fetched || body.empty()) {
        StepProgress(100);
        PumpMessages();
        Pause();
        ShowResult(im_err);
        return;
    }

    const TUpdateListResult list = ParseUpdateList(body, IntConfig.UpdateVersion);
    if (list.Malformed) {
        rtl::Dialogs().MessageBox(rtl::Ru("Ошибка обработки листа обновлений"), forms::Application().Title, rtl::MB_OK);
        ShowResult(im_err);
        return;
    }
    StepProgress(list.Lines * kListProgressStep);
    OfferPacks(list.Offers);
    StepProgress(100);
    PumpMessages();
    Pause();
    if (!list.Offers.empty()) {
        Panel2->Hide();
        Panel3->Show();
    } else {
        ShowResult(im_empty);
    }
    PumpMessages();
}

// All or nothing: the pack is judged whole and readable and its room counted before anything is
// written; its folders are noted; every entry is extracted, checked and synced beside its target;
// only then do the entries replace their targets, and the folders are synced before the note goes
// (the version is recorded after). Any failure before the replacements removes what was written
// and leaves the book as it was; a kill leaves it to the next start, check or installation to clear.
bool TForm5::UnpackPackage() {
    zip_archiver.FileName = AppDir + "updated.zip";
    zip_archiver.BaseDir = AppDir;
    zip_archiver.OpenArchive();
    std::vector<TPackFolder> folders;
    try {
        CheckPackReadable(zip_archiver);
        folders = PackFolders(zip_archiver, AppDir);
        CheckRoomForPack(UnpackedPackBytes(zip_archiver, "*.*", kPackAttributes), AppDir);
        CheckNamesForPack(NewNamesOfPack(zip_archiver, folders), AppDir);
        NoteInstallFolders(folders);
        RemoveScratchLeftovers(folders);
        FFailedEntry.clear();
        zip_archiver.ExtractFiles("*.*", kPackAttributes, "");
        if (zip_archiver.IgnoredFailures() + zip_archiver.PasswordSkips() != 0) {
            zip_archiver.CloseArchive();
            ClearUnfinishedInstall();
            return false;
        }
        zip_archiver.CommitStagedFiles();
    } catch (...) {
        try {
            zip_archiver.CloseArchive();
        } catch (...) {
            // The extraction's own error is the one to report.
        }
        ClearUnfinishedInstall();
        throw;
    }
    zip_archiver.CloseArchive();
    // The pack is on the disk before its version is recorded, so that no power loss leaves a record
    // of files that were never written.
    SyncFolders(folders);
    ForgetInstallFolders();
    return true;
}

// The pack goes to its file as it arrives, through a temporary file that takes the name only once
// the whole pack is there, so a pack of any size downloads in bounded memory. A download that fails
// gives false; a file that cannot be written raises its I/O error, and a listed size that does not
// fit on the disk is refused before the request.
bool TForm5::DownloadPack(const TMyUpdate& pack, const std::string& path) {
    if (pack.PackSize > 0) CheckRoomForPack(pack.PackSize, AppDir);
    IdHTTP1.MaxBodySize = pack.PackSize > 0 ? pack.PackSize : kMaxPackBytes;
    // A new file of the updater's own, whatever mode a file of that name had.
    rtl::TAtomicFileWriter file(path, false);
    bool fetched = true;
    try {
        IdHTTP1.Get(UpdateUrl + pack.PackFile, [&file](const char* data, size_t size) {
            WriteOrReportDiskFull([&] { file.Write({data, size}); });
        });
    } catch (const rtl::EInOutError&) {
        IdHTTP1.Disconnect();
        throw;
    } catch (const std::exception&) {
        fetched = false;
    }
    IdHTTP1.Disconnect();
    // Only a whole pack is installed: the size the list gives must be the size received, and a body
    // of no bytes is no archive (the archiver would take an empty file for a new, empty one).
    if (!fetched || file.Size() == 0 || (pack.PackSize > 0 && file.Size() != pack.PackSize)) return false;
    WriteOrReportDiskFull([&] { file.Commit(); });
    return true;
}

bool TForm5::InstallPack() {
    PumpMessages();
    const bool complete = UnpackPackage();
    PumpMessages();
    return complete;
}

void TForm5::RecordVersion(const TMyUpdate& pack) {
    const uint16_t previous = IntConfig.UpdateVersion;
    IntConfig.UpdateVersion = uint16_t(pack.PackVersion);
    try {
        WriteOrReportDiskFull(SaveIntConfig);
    } catch (...) {
        IntConfig.UpdateVersion = previous;  // memory keeps what the record holds
        throw;
    }
}

// Reported as the application reports any error, in one message; the dialog stays on the progress
// page. An entry that failed names what happened to it: its data damaged, or the disk full.
void TForm5::ReportInstallError(const std::exception& error) {
    const auto* failed = dynamic_cast<const EZAException*>(&error);
    if (failed && failed->NativeError == kDamagedEntry && !FFailedEntry.empty()) {
        forms::Application().HandleException(this, rtl::Exception(DamagedEntryMessage(FFailedEntry)));
        return;
    }
    if (failed && failed->NativeError == kWriteFailed) {
        forms::Application().HandleException(this, rtl::EInOutError(DiskFullMessage(), ENOSPC));
        return;
    }
    forms::Application().HandleException(this, error);
}

void TForm5::load_but3Click(forms::TObject*) {
    if (FWorking) return;
    TWorkingScope working(FWorking);
    RemoveUpdateLeftovers();
    UpdateCancelled = false;
    if (ProgressBar1) ProgressBar1->SetProgress(0);
    Image4->Hide();
    Image9->Show();
    Panel3->Hide();
    ShowProgressPage();
    IdHTTP1.Disconnect();

    const std::vector<TMyUpdate> packs = PendingUpdates;
    for (const TMyUpdate& pack : packs) {
        TDownloadedPack file(AppDir + "updated.zip");
        bool fetched = false;
        bool complete = false;
        try {
            fetched = DownloadPack(pack, file.Path());
            if (fetched) {
                StepProgress(InstallHalfStep(pack, packs));
                PumpMessages();
                complete = InstallPack();
                if (complete) RecordVersion(pack);
            }
        } catch (const std::exception& error) {
            ReportInstallError(error);
            return;
        }
        if (!fetched) {
            if (!UpdateCancelled) ShowResult(im_err);
            return;
        }
        if (!complete) {
            ShowResult(im_err);
            return;
        }
        StepProgress(InstallHalfStep(pack, packs));
        PumpMessages();
    }
    PumpMessages();
    ShowResult(im_last);
    PumpMessages();
}

}  // namespace viewer
