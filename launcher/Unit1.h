// The CD's autorun menu: one borderless window of picture rows that installs, runs or removes the
// handbook, runs the browser's set-up and opens the maker's web page. Clicks play "click.wav".
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/forms/form.h"
#include "platform/forms/image.h"
#include "platform/forms/timer.h"
#include "platform/rtl/locks.h"

namespace launcher {

// Program-wide values of the unit.
extern std::string LauncherDir;   // the launcher's own folder, trailing "\"
extern std::string InstallPath;   // the registry's PATH (trailing "\"), empty until read
extern std::string ProductKey;    // mutex name and registry key under "\Software\"
extern std::string MakerUrl;
extern std::string PublisherUrl;
extern rtl::TNamedMutex MutexHandle;  // held until the process ends

// Row selectors: 1 offers a row (its readable picture at Left 0), 4 withdraws it (the zero-height
// placeholder stands in and the faded entry of the background shows); 0 leaves a row alone.
constexpr uint8_t rsOffered = 1;
constexpr uint8_t rsWithdrawn = 4;
extern uint8_t InstallRowSelector;  // remembered selectors
extern uint8_t RemoveRowSelector;
extern uint8_t RunRowSelector;
extern uint8_t PendingRow;          // 1 install, 2 remove, 3 run; read by Timer1

// How programs and documents are started; tests replace them. A null function restores the
// run-time's WinExec / ShellExecuteOpen.
using TProgramStarter = std::function<int(const std::string& cmdLine, int showCmd)>;
using TDocumentOpener = std::function<int(const std::string& target)>;
void SetProgramStarter(TProgramStarter starter);
void SetDocumentOpener(TDocumentOpener opener);

class TForm1 : public forms::TForm {
public:
    explicit TForm1(forms::TComponent* owner);
    const char* ClassName() const override { return "TForm1"; }

    forms::TImage* Image1 = nullptr;  // background: title, faded entries, logo, close cross
    forms::TImage* Image2 = nullptr;  // title strip
    forms::TImage* Image3 = nullptr;  // close cross zone
    forms::TImage* Image4 = nullptr;  // publisher's page zone (below the window)
    forms::TImage* Image5 = nullptr;  // maker's page zone
    forms::TImage* Image6 = nullptr;  // codec set-up (hidden)
    forms::TImage* b11 = nullptr;     // install row
    forms::TImage* b12 = nullptr;
    forms::TImage* b13 = nullptr;
    forms::TImage* b14 = nullptr;
    forms::TImage* b21 = nullptr;     // remove row
    forms::TImage* b22 = nullptr;
    forms::TImage* b23 = nullptr;
    forms::TImage* b24 = nullptr;
    forms::TImage* b31 = nullptr;     // browser set-up row
    forms::TImage* b32 = nullptr;
    forms::TImage* b33 = nullptr;
    forms::TImage* b34 = nullptr;
    forms::TImage* b39 = nullptr;     // faded browser entry lying over b31
    forms::TImage* b41 = nullptr;     // readme (hidden)
    forms::TImage* b51 = nullptr;     // run row
    forms::TImage* b54 = nullptr;
    forms::TTimer* Timer1 = nullptr;

    void FormCreate(forms::TObject* Sender);
    void FormShow(forms::TObject* Sender);

    void b11MouseUp(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void b11MouseDown(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void b21MouseUp(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void b21MouseDown(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void b31MouseUp(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void b31MouseDown(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void b41MouseUp(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void b54MouseUp(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void b61MouseUp(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void Image6MouseUp(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void Image3Click(forms::TObject* Sender);
    void Image4Click(forms::TObject* Sender);
    void Image5Click(forms::TObject* Sender);
    void Timer1Timer(forms::TObject* Sender);

    std::string GetIEVersion();
    void InitConstants();
    void InitCursors();
    void SetRowStates(uint8_t install, uint8_t remove, bool remember = true, uint8_t run = 0);
    bool ReadInstallPath();

private:
    void OpenWebPage(const std::string& url);
};

extern TForm1* Form1;

// The program block: ends at once (exit code 0) while another launcher runs, else creates the
// window and runs the message loop. Returns the exit code.
int RunInstaller();

}  // namespace launcher
