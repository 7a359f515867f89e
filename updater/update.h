// Unit update: the update dialog TForm5 (pages, picture buttons, proxy settings) and the online
// update behind it: the list "updates.list" from the update server, the download of each newer pack
// and its installation over the program folder.
//
// Files of this unit:
//   update_form.cpp     the form, its binding table, pages, hover handlers, cursors, Cancel and Close
//   update_proxy.cpp    the browser's proxy from the registry, the proxy page, the client's proxy
//   update_list.cpp     parsing of the list and the texts of the offer (no window needed)
//   update_install.cpp  the list check, the download and installation of packs
//   update_space.cpp    room for a pack on the program folder's file system, and a full disk
//   update_pack.cpp     a pack the updater cannot install whole, refused before it is unpacked
//   update_disk.cpp     the folders a pack writes: their note, what an unfinished unpacking left, the sync
//   update_grid.cpp     the list page's text grid
//   update_page.cpp     the pages: panels without a native window
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/ZipArchiver.h"
#include "platform/forms/edit.h"
#include "platform/forms/form.h"
#include "platform/forms/image.h"
#include "platform/forms/panel.h"
#include "platform/forms/timer.h"
#include "platform/net/httpclient.h"
#include "platform/net/ipwatch.h"

namespace controls {
class TOrvGauge;
class TbztCheckBoxT;
}  // namespace controls

namespace viewer {

class TStringGrid;

// One pack offered by the update server.
struct TMyUpdate {
    std::string PackFile;     // file name as the list gives it, relative to UpdateUrl
    int32_t PackSize = 0;     // bytes as the list gives it; 0 = not given
    int32_t PackVersion = 0;  // 1..65535
};

// The packs offered by the current check, in list order.
extern std::vector<TMyUpdate> PendingUpdates;
// Set by every Cancel and Close of the dialog, cleared when it is opened; a request in flight
// is abandoned once it is set.
extern bool UpdateCancelled;
// Pause in milliseconds before each page change of a check or an installation (messages are
// pumped meanwhile). Tests set 0.
extern int UpdatePauseMs;

// ---- the list (update_list.cpp) ----

// Largest list and pack the updater fetches; a list naming a larger pack is malformed.
constexpr int64_t kMaxListBytes = int64_t(1) << 20;
constexpr int64_t kMaxPackBytes = int64_t(256) << 20;
// Versions are kept in 16 bits ("intcfg.dat").
constexpr int kMaxPackVersion = 65535;

struct TUpdateListResult {
    bool Malformed = false;
    std::vector<TMyUpdate> Offers;  // lines newer than the installed version, in list order
    int Lines = 0;                  // lines that count a progress step (empty first fields do not)
};

// Parses "updates.list": lines of "version|file|size" (CR LF, LF or CR ends; blanks and control
// characters around fields ignored). A line whose first field is empty is skipped; an older line is
// read no further than its version. A version that is not a number, or a newer line without a
// usable file name, size (0..kMaxPackBytes) or version (up to kMaxPackVersion) makes the list
// malformed.
TUpdateListResult ParseUpdateList(const std::string& body, int installedVersion);
// Rounds halves to the even neighbour, as the offer's and the gauge's arithmetic does.
int64_t RoundHalfEven(double value);
// "Пакет обновления 5" and "2кб" (size / 1024 rounded, halves to even), cp1251.
std::string OfferTitle(const TMyUpdate& pack);
std::string OfferSize(const TMyUpdate& pack);
// The gauge steps of an installation: two per pack, each half of the pack's share of 100.
int InstallHalfStep(const TMyUpdate& pack, const std::vector<TMyUpdate>& all);

// ---- room for a pack (update_space.cpp) ----

// A folder a pack writes: below the program folder (cp1251; "" for the program folder itself, else
// with a trailing "\"), and whether the installation makes it.
struct TPackFolder {
    std::string Below;
    bool Made = false;
};

// What the entries FindFirst(mask, attributes) selects take once unpacked: their stated sizes, each
// rounded up to whole 4 KiB blocks, summed without overflow (INT64_MAX at most; a stated size beyond
// it counts as INT64_MAX).
int64_t UnpackedPackBytes(TZABaseArchiver& archive, const std::string& mask, int32_t attributes);
// Free space a pack must leave on the file system: 5% of its unpacked size, at least 16 MiB, so
// the viewer can still write its record and compose its pages.
int64_t SpareRoomFor(int64_t unpackedBytes);
// Raises EInOutError ENOSPC, with a message for the reader, when unpackedBytes and their spare room
// exceed the free space of the file system holding folder. Free space that cannot be told is not
// checked.
void CheckRoomForPack(int64_t unpackedBytes, const std::string& folder);

// The files and folders the open pack adds at most: each entry, and each folder it makes.
int64_t NewNamesOfPack(TZABaseArchiver& archive, const std::vector<TPackFolder>& folders);
// Raises EInOutError ENOSPC, with a message for the reader, when newNames and a few to spare exceed
// the names (inodes) the file system holding folder can still make. A file system without such a
// limit is not checked.
void CheckNamesForPack(int64_t newNames, const std::string& folder);

// The reader's message of a full disk met while a pack or its record was written, and the
// EInOutError ENOSPC that carries it.
std::string DiskFullMessage();
[[noreturn]] void RaiseDiskFull();
// A write failed for want of room: a full file system or an exhausted quota.
bool IsDiskFull(int errorCode);

// ---- a pack that cannot be installed whole (update_pack.cpp) ----

// Raises rtl::Exception with the reader's message when the open pack cannot be installed whole: its
// directory was rebuilt from the entries' own headers (the pack was cut short or damaged, so entries
// may be missing unseen), or an entry is compressed by a method the archive library cannot read.
void CheckPackReadable(TZABaseArchiver& archive);
// The entry of the open pack that FindFirst or FindNext gave is a folder (by its attributes or a
// name ending in "/").
bool IsFolderEntry(TZABaseArchiver& archive, const TZAArchiveItem& item);

// ---- the folders a pack writes (update_disk.cpp) ----

// The attribute set a pack is unpacked with: 10431 (0x28BF), the library's default search attributes.
constexpr int32_t kPackAttributes = 10431;
// The note of the folders an installation writes, in the program folder.
constexpr const char* kInstallNote = "unpacking.lst";

// The program folder and every folder within it that an entry of the open pack goes to or makes.
std::vector<TPackFolder> PackFolders(TZABaseArchiver& archive, const std::string& programFolder);
// Removes the scratch files that a killed extraction left in the folders; those of an extraction
// still running stay.
void RemoveScratchLeftovers(const std::vector<TPackFolder>& folders);
// Puts what was written in the folders on the disk: the file system of each, once. Raises
// EInOutError when the system reports that it could not.
void SyncFolders(const std::vector<TPackFolder>& folders);
// Notes the folders (atomically, in the program folder) before anything of the pack is written;
// raises EInOutError when the note cannot be written.
void NoteInstallFolders(const std::vector<TPackFolder>& folders);
// Drops the note once the pack is in place.
void ForgetInstallFolders();
// What an installation that did not finish left, by its note: the scratch files of its extraction
// in the noted folders, the noted folders it made that are empty, and the note. Nothing without a
// note; what cannot be cleared stays noted for the next time.
void ClearUnfinishedInstall();

// ---- the browser's proxy (update_proxy.cpp) ----

struct TProxyAddress {
    std::string Host;
    std::string Port;
};
// Host and port from the browser's "ProxyServer" value: "host:port", or a per-protocol list
// ("ftp=...;http=host:port;...") whose http entry is followed by ";". False when none is found.
bool ParseProxyServer(const std::string& value, TProxyAddress& address);

// ---- the dialog ----

class TForm5 : public forms::TForm {
public:
    explicit TForm5(forms::TComponent* owner);
    ~TForm5() override;
    const char* ClassName() const override { return "TForm5"; }

    // ---- components (bound from the form description) ----
    forms::TImage* Image6 = nullptr;
    forms::TPanel* Panel1 = nullptr;  // proxy
    forms::TImage* Image1 = nullptr;
    forms::TEdit* proxy_address = nullptr;
    forms::TEdit* proxy_port = nullptr;
    forms::TEdit* proxy_user = nullptr;
    forms::TEdit* proxy_pass = nullptr;
    controls::TbztCheckBoxT* CheckBox1 = nullptr;
    controls::TbztCheckBoxT* checkbox2 = nullptr;
    forms::TImage* Image13 = nullptr;
    forms::TImage* Image14 = nullptr;
    forms::TImage* upper_next1 = nullptr;
    forms::TImage* Next_but1 = nullptr;
    forms::TImage* upper_canel1 = nullptr;
    forms::TImage* Cancel_but1 = nullptr;
    forms::TPanel* Panel2 = nullptr;  // progress
    forms::TImage* Image4 = nullptr;
    forms::TImage* Image9 = nullptr;
    controls::TOrvGauge* ProgressBar1 = nullptr;
    forms::TImage* upper_cancel4 = nullptr;
    forms::TImage* cancel_but2 = nullptr;
    forms::TPanel* Panel3 = nullptr;  // list
    forms::TImage* Image5 = nullptr;
    forms::TImage* Image10 = nullptr;
    TStringGrid* StringGrid1 = nullptr;
    forms::TImage* upper_load3 = nullptr;
    forms::TImage* load_but3 = nullptr;
    forms::TImage* upper_cancel3 = nullptr;
    forms::TImage* Cancel_but3 = nullptr;
    forms::TPanel* Panel4 = nullptr;  // result
    forms::TImage* im_last = nullptr;
    forms::TImage* im_empty = nullptr;
    forms::TImage* im_err = nullptr;
    forms::TImage* Image11 = nullptr;
    forms::TImage* Image15 = nullptr;
    forms::TImage* upper_close4 = nullptr;
    forms::TImage* Close_but4 = nullptr;
    forms::TPanel* Panel5 = nullptr;  // introduction
    forms::TImage* Image16 = nullptr;
    forms::TImage* upper_next5 = nullptr;
    forms::TImage* Next_but5 = nullptr;
    forms::TImage* upper_cancel5 = nullptr;
    forms::TImage* cancel_but5 = nullptr;
    forms::TImage* Image2 = nullptr;
    forms::TTimer* Timer1 = nullptr;

    // Non-visual components.
    net::THttpClient IdHTTP1;
    TZipArchiver zip_archiver;
    net::TLocalAddressWatcher my_ip;

    // ---- opening, proxy page (update_form.cpp, update_proxy.cpp) ----
    void OpenUpdateDialog();
    bool DetectIEProxy();
    void SaveProxySettings();
    bool set_cursor();

    // ---- the update (update_install.cpp) ----
    void FetchUpdateList();
    // Unpacks program folder + "updated.zip" over the program folder; false when an entry was
    // skipped or a failure ignored (the pack is then not complete). Archive errors propagate, and
    // so does the refusal of a pack whose entries do not fit on the disk (nothing is written then).
    bool UnpackPackage();

    // ---- handlers ----
    void FormShow(forms::TObject* Sender);
    void FormClose(forms::TObject* Sender, forms::TCloseAction& Action);
    void Next_but5Click(forms::TObject* Sender);
    void SpeedButton1Click(forms::TObject* Sender);
    void SpeedButton2Click(forms::TObject* Sender);
    void load_but3Click(forms::TObject* Sender);
    void Image2Click(forms::TObject* Sender);
    void CheckBox1Click(forms::TObject* Sender);
    void CheckBox2Click(forms::TObject* Sender);
    void Image13Click(forms::TObject* Sender);
    void Image14Click(forms::TObject* Sender);
    void Image10MouseDown(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void Image11Click(forms::TObject* Sender);
    void Image15Click(forms::TObject* Sender);

    void upper_next1MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void upper_canel1MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void Image1MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void upper_cancel4MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void Image4MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void upper_load3MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void upper_cancel3MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void Image5MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void StringGrid1MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void upper_close4MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void im_errMouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void im_emptyMouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void im_lastMouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void upper_next5MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void upper_cancel5MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void Image16MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);

    // The page the reader sees: the topmost visible panel (null when none is).
    forms::TPanel* CurrentPage() const;

private:
    void ConfigureClient();
    void ConfigureArchiver();
    void ShowResult(forms::TImage* background);
    void ShowProgressPage();
    void PumpMessages();
    void Pause();
    void StepProgress(int delta);
    void OfferPacks(const std::vector<TMyUpdate>& offers);
    bool Download(const std::string& url, int64_t expectedSize, std::string& body);
    bool DownloadPack(const TMyUpdate& pack, const std::string& path);
    bool InstallPack();
    void RecordVersion(const TMyUpdate& pack);
    void ReportInstallError(const std::exception& error);
    void ClearGrid();

    bool FWorking = false;  // a check or an installation is running (its requests pump messages)
    std::string FFailedEntry;  // the entry whose extraction failed last, as the archive names it
};

}  // namespace viewer
