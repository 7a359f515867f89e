// The update dialog's form: binding table, opening, pages, picture buttons, cursors, Cancel and Close.
#include <initializer_list>

#include "controls/bztCheckBoxT.h"
#include "controls/cm_OrvGauges.h"
#include "controls/registration.h"
#include "platform/forms/application.h"
#include "platform/forms/cursors.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"
#include "updater/update.h"
#include "updater/update_grid.h"
#include "updater/update_page.h"
#include "viewer/bindings.h"
#include "viewer/main.h"
#include "viewer/prepare.h"

namespace viewer {

namespace {

constexpr forms::TCursor kPointerCursor = 1;  // "cursor.cur"
constexpr forms::TCursor kLinkCursor = 2;     // "cursorlink.cur"
constexpr const char* kSupportAddress = "mailto:support@korvel.example";

// The classes the description uses beyond the class library's own.
void RegisterUpdateDialogClasses() {
    static const bool registered = [] {
        controls::RegisterSkinnedControls();
        RegisterStringGridClass();
        RegisterUpdatePageClass();
        return true;
    }();
    (void)registered;
}

void AddComponents(forms::TFormTable<TForm5>& t) {
    t.Field("Image6", &TForm5::Image6).Field("Panel1", &TForm5::Panel1).Field("Image1", &TForm5::Image1);
    t.Field("proxy_address", &TForm5::proxy_address).Field("proxy_port", &TForm5::proxy_port);
    t.Field("proxy_user", &TForm5::proxy_user).Field("proxy_pass", &TForm5::proxy_pass);
    t.Field("CheckBox1", &TForm5::CheckBox1).Field("checkbox2", &TForm5::checkbox2);
    t.Field("Image13", &TForm5::Image13).Field("Image14", &TForm5::Image14);
    t.Field("upper_next1", &TForm5::upper_next1).Field("Next_but1", &TForm5::Next_but1);
    t.Field("upper_canel1", &TForm5::upper_canel1).Field("Cancel_but1", &TForm5::Cancel_but1);
    t.Field("Panel2", &TForm5::Panel2).Field("Image4", &TForm5::Image4).Field("Image9", &TForm5::Image9);
    t.Field("ProgressBar1", &TForm5::ProgressBar1);
    t.Field("upper_cancel4", &TForm5::upper_cancel4).Field("cancel_but2", &TForm5::cancel_but2);
    t.Field("Panel3", &TForm5::Panel3).Field("Image5", &TForm5::Image5).Field("Image10", &TForm5::Image10);
    t.Field("StringGrid1", &TForm5::StringGrid1);
    t.Field("upper_load3", &TForm5::upper_load3).Field("load_but3", &TForm5::load_but3);
    t.Field("upper_cancel3", &TForm5::upper_cancel3).Field("Cancel_but3", &TForm5::Cancel_but3);
    t.Field("Panel4", &TForm5::Panel4).Field("im_last", &TForm5::im_last).Field("im_empty", &TForm5::im_empty);
    t.Field("im_err", &TForm5::im_err).Field("Image11", &TForm5::Image11).Field("Image15", &TForm5::Image15);
    t.Field("upper_close4", &TForm5::upper_close4).Field("Close_but4", &TForm5::Close_but4);
    t.Field("Panel5", &TForm5::Panel5).Field("Image16", &TForm5::Image16);
    t.Field("upper_next5", &TForm5::upper_next5).Field("Next_but5", &TForm5::Next_but5);
    t.Field("upper_cancel5", &TForm5::upper_cancel5).Field("cancel_but5", &TForm5::cancel_but5);
    t.Field("Image2", &TForm5::Image2).Field("Timer1", &TForm5::Timer1);
}

void AddHandlers(forms::TFormTable<TForm5>& t) {
    t.Handler("FormShow", &TForm5::FormShow).Handler("FormClose", &TForm5::FormClose);
    t.Handler("Next_but5Click", &TForm5::Next_but5Click).Handler("SpeedButton1Click", &TForm5::SpeedButton1Click);
    t.Handler("SpeedButton2Click", &TForm5::SpeedButton2Click).Handler("load_but3Click", &TForm5::load_but3Click);
    t.Handler("Image2Click", &TForm5::Image2Click).Handler("CheckBox1Click", &TForm5::CheckBox1Click);
    t.Handler("CheckBox2Click", &TForm5::CheckBox2Click).Handler("Image13Click", &TForm5::Image13Click);
    t.Handler("Image14Click", &TForm5::Image14Click).Handler("Image10MouseDown", &TForm5::Image10MouseDown);
    t.Handler("Image11Click", &TForm5::Image11Click).Handler("Image15Click", &TForm5::Image15Click);
    t.Handler("upper_next1MouseMove", &TForm5::upper_next1MouseMove);
    t.Handler("upper_canel1MouseMove", &TForm5::upper_canel1MouseMove);
    t.Handler("Image1MouseMove", &TForm5::Image1MouseMove);
    t.Handler("upper_cancel4MouseMove", &TForm5::upper_cancel4MouseMove);
    t.Handler("Image4MouseMove", &TForm5::Image4MouseMove);
    t.Handler("upper_load3MouseMove", &TForm5::upper_load3MouseMove);
    t.Handler("upper_cancel3MouseMove", &TForm5::upper_cancel3MouseMove);
    t.Handler("Image5MouseMove", &TForm5::Image5MouseMove);
    t.Handler("StringGrid1MouseMove", &TForm5::StringGrid1MouseMove);
    t.Handler("upper_close4MouseMove", &TForm5::upper_close4MouseMove);
    t.Handler("im_errMouseMove", &TForm5::im_errMouseMove);
    t.Handler("im_emptyMouseMove", &TForm5::im_emptyMouseMove);
    t.Handler("im_lastMouseMove", &TForm5::im_lastMouseMove);
    t.Handler("upper_next5MouseMove", &TForm5::upper_next5MouseMove);
    t.Handler("upper_cancel5MouseMove", &TForm5::upper_cancel5MouseMove);
    t.Handler("Image16MouseMove", &TForm5::Image16MouseMove);
}

const forms::TFormClass& TForm5Class() {
    static const forms::TFormTable<TForm5> table = [] {
        forms::TFormTable<TForm5> t("TForm5", "Form5.frm");
        AddComponents(t);
        AddHandlers(t);
        return t;
    }();
    return table;
}

void SetCursors(std::initializer_list<forms::TControl*> controls, forms::TCursor cursor) {
    for (forms::TControl* control : controls)
        if (control) control->SetCursor(cursor);
}

// Shows `shown` (when given) and hides `hidden` (when given).
void Swap(forms::TControl* shown, forms::TControl* hidden) {
    if (hidden) hidden->Hide();
    if (shown) shown->Show();
}

}  // namespace

TForm5::TForm5(forms::TComponent* owner) : forms::TForm(owner) {
    RegisterUpdateDialogClasses();
    ConfigureClient();
    ConfigureArchiver();
    InitForm(TForm5Class());
}

TForm5::~TForm5() { IdHTTP1.OnWork = nullptr; }

void TForm5::ConfigureClient() {
    IdHTTP1.Request.UserAgent = "Korvel v1";
    IdHTTP1.Request.Accept = "text/html, */*";
    IdHTTP1.Request.ContentType = "text/html";
    IdHTTP1.HandleRedirects = true;
    IdHTTP1.RedirectMaximum = 15;
    // Messages are pumped while a request runs, so Cancel can abandon it.
    IdHTTP1.OnWork = [this](net::THttpClient& client, int64_t, int64_t) {
        PumpMessages();
        if (UpdateCancelled) client.Cancel();
    };
}

void TForm5::ConfigureArchiver() {
    zip_archiver.Name = "zip_archiver";
    TZAOptions& options = zip_archiver.Options();
    options.OverwriteMode = omAlways;
    options.CreateDirs = true;
    options.ReplaceReadOnly = true;
    options.SetAttributes = true;
    options.StorePath = spRelativePath;
    options.FlushBuffers = true;
    options.OEMFileNames = true;
    zip_archiver.ExtractCorruptedFiles = false;
    zip_archiver.SetSpanningMode(smNone);
    zip_archiver.Zip64Mode = zmDisabled;
    // A pack replaces the book's files all or none: every entry is written and checked beside its
    // target before the first target is replaced.
    zip_archiver.StageExtraction = true;
    // The first entry that fails ends the extraction without a question (no answer could make the
    // pack whole, and its version is then not recorded); the installation reports it once.
    zip_archiver.OnProcessFileFailure = [this](TZABaseArchiver*, const std::string& entry, TZAProcessOperation,
                                               int32_t, int32_t, const std::string&, TZAAction& action) {
        FFailedEntry = entry;
        action = fxaAbort;
    };
}

forms::TPanel* TForm5::CurrentPage() const {
    for (int i = ControlCount() - 1; i >= 0; --i) {
        auto* panel = dynamic_cast<forms::TPanel*>(Controls(i));
        if (panel && panel->Visible()) return panel;
    }
    return nullptr;
}

void TForm5::ClearGrid() {
    if (StringGrid1) StringGrid1->ClearCells();
}

// ---- opening and showing ----

void TForm5::OpenUpdateDialog() {
    UpdateCancelled = false;
    Show();
    checkbox2->SetChecked(IntConfig.ProxyAuth != 0);
    CheckBox1->SetChecked(IntConfig.UseProxy != 0);
    proxy_address->SetText(IntConfig.ProxyHost.Get());
    proxy_port->SetText(rtl::IntToStr(IntConfig.ProxyPort));
    proxy_user->SetText(IntConfig.ProxyUser.Get());
    proxy_pass->SetText(IntConfig.ProxyPassword.Get());
}

bool TForm5::set_cursor() {
    ExePath = rtl::IncludeTrailingBackslash(rtl::ProgramFolder());
    rtl::ChDir(ExePath + "data\\");
    forms::Screen().LoadCursor(kPointerCursor, ExePath + "data\\cursor.cur");
    forms::Screen().LoadCursor(kLinkCursor, ExePath + "data\\cursorlink.cur");
    return true;
}

void TForm5::FormShow(forms::TObject*) {
    set_cursor();
    SetCursors({Next_but1, Cancel_but1, cancel_but2, load_but3, Cancel_but3, Close_but4, Next_but5, cancel_but5, Image11},
               kLinkCursor);
    SetCursor(kPointerCursor);
    SetCursors({Image1, proxy_address, proxy_port, proxy_user, proxy_pass, Image13, Image14, CheckBox1, checkbox2,
                im_empty, im_err, im_last, Image16, Image4, Image9, Image5, ProgressBar1},
               kPointerCursor);
}

void TForm5::FormClose(forms::TObject*, forms::TCloseAction&) { SaveProxySettings(); }

// ---- page buttons ----

void TForm5::Next_but5Click(forms::TObject*) {
    Panel5->Hide();
    if (DetectIEProxy()) {
        Panel1->Show();
        return;
    }
    SaveProxySettings();
    Panel2->Show();
    PumpMessages();
    FetchUpdateList();
}

void TForm5::SpeedButton1Click(forms::TObject*) {
    SaveProxySettings();
    FetchUpdateList();
}

void TForm5::SpeedButton2Click(forms::TObject*) {
    UpdateCancelled = true;
    Hide();
    SaveProxySettings();
    for (forms::TPanel* page : {Panel4, Panel3, Panel2, Panel1}) page->Hide();
    Panel5->Show();
    ClearGrid();
    if (ProgressBar1) ProgressBar1->SetProgress(0);
}

void TForm5::Image2Click(forms::TObject*) { Close(); }

void TForm5::Image10MouseDown(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {
    ReleaseCapture();
    BeginMoveDrag();
}

void TForm5::Image11Click(forms::TObject*) {
    if (Form1 && Form1->mailcenter) Form1->mailcenter->Navigate(kSupportAddress);
}

void TForm5::Image15Click(forms::TObject*) {}

// ---- hover: a button's picture shows only under the mouse ----

void TForm5::upper_next1MouseMove(forms::TObject*, forms::TShiftState, int, int) { Swap(Next_but1, Cancel_but1); }
void TForm5::upper_canel1MouseMove(forms::TObject*, forms::TShiftState, int, int) { Swap(Cancel_but1, Next_but1); }
void TForm5::Image1MouseMove(forms::TObject*, forms::TShiftState, int, int) {
    Swap(nullptr, Cancel_but1);
    Swap(nullptr, Next_but1);
}
void TForm5::upper_cancel4MouseMove(forms::TObject*, forms::TShiftState, int, int) { Swap(cancel_but2, nullptr); }
void TForm5::Image4MouseMove(forms::TObject*, forms::TShiftState, int, int) { Swap(nullptr, cancel_but2); }
void TForm5::upper_load3MouseMove(forms::TObject*, forms::TShiftState, int, int) { Swap(load_but3, Cancel_but3); }
void TForm5::upper_cancel3MouseMove(forms::TObject*, forms::TShiftState, int, int) { Swap(Cancel_but3, load_but3); }
void TForm5::Image5MouseMove(forms::TObject*, forms::TShiftState, int, int) {
    Swap(nullptr, Cancel_but3);
    Swap(nullptr, load_but3);
}
void TForm5::StringGrid1MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y) {
    Image5MouseMove(Sender, Shift, X, Y);
}
void TForm5::upper_close4MouseMove(forms::TObject*, forms::TShiftState, int, int) { Swap(Close_but4, nullptr); }
void TForm5::im_errMouseMove(forms::TObject*, forms::TShiftState, int, int) { Swap(nullptr, Close_but4); }
void TForm5::im_emptyMouseMove(forms::TObject*, forms::TShiftState, int, int) { Swap(nullptr, Close_but4); }
void TForm5::im_lastMouseMove(forms::TObject*, forms::TShiftState, int, int) { Swap(nullptr, Close_but4); }
void TForm5::upper_next5MouseMove(forms::TObject*, forms::TShiftState, int, int) { Swap(Next_but5, cancel_but5); }
void TForm5::upper_cancel5MouseMove(forms::TObject*, forms::TShiftState, int, int) { Swap(cancel_but5, Next_but5); }
void TForm5::Image16MouseMove(forms::TObject*, forms::TShiftState, int, int) {
    Swap(nullptr, cancel_but5);
    Swap(nullptr, Next_but5);
}

}  // namespace viewer
