// The demo window (resources/demo/demo.frm) with its handlers, for tests of the class library on
// any backend. Library tome_demo_form; it needs a browser engine factory installed (the scripted
// one headless, WebKit under X) and the resources folder set before construction.
#pragma once

#include <string>
#include <vector>

#include "platform/forms/actions.h"
#include "platform/forms/bitmap.h"
#include "platform/forms/edit.h"
#include "platform/forms/form.h"
#include "platform/forms/image.h"
#include "platform/forms/timer.h"
#include "platform/web/webbrowser.h"

namespace demo {

// Where the description puts things (client coordinates) and the colours of its pictures
// (0x00RRGGBB raster pixels).
constexpr forms::TRect kButtonRect{20, 44, 84, 76};
constexpr forms::TRect kBannerRect{100, 12, 300, 36};
constexpr forms::TRect kEditRect{100, 50, 300, 70};
constexpr forms::TRect kBrowserRect{20, 90, 400, 290};
constexpr forms::TRect kCornerRect{420, 300, 468, 348};  // at the design size 480 x 360
constexpr uint32_t kFormPixel = 0xE0E0E0;
constexpr uint32_t kButtonUpPixel = 0x2040C0;
constexpr uint32_t kButtonHoverPixel = 0x20A040;
constexpr uint32_t kButtonDownPixel = 0xC02020;
constexpr uint32_t kCornerPixel = 0xF0C000;
constexpr uint32_t kBannerPixel = 0x602080;
constexpr uint32_t kPagePixel = 0x33CC99;       // the demo page's background
constexpr uint32_t kNextPagePixel = 0x3366CC;   // x.html's background

class TDemoForm : public forms::TForm {
public:
    explicit TDemoForm(forms::TComponent* owner);

    forms::TImage* banner = nullptr;
    forms::TImage* button = nullptr;
    forms::TImage* corner = nullptr;
    forms::TEdit* search = nullptr;
    forms::TWebBrowser* browser = nullptr;
    forms::TTimer* clock = nullptr;
    forms::TActionList* actions = nullptr;
    forms::TAction* findAction = nullptr;

    // What happened, for the tests.
    int ticks = 0;
    int clicks = 0;
    int finds = 0;
    int buttonUps = 0;
    std::string keysTyped;  // characters the edit box's OnKeyPress saw (Enter as 13)
    std::vector<std::string> navigations;  // OnBeforeNavigate2 addresses
    std::vector<std::string> completed;    // OnDocumentComplete addresses
    // When set, a navigation whose address ends in this name is replaced by one to `redirectTo`.
    std::string redirectFrom, redirectTo;

    // The demo page's address as Navigate takes it.
    static std::string PageAddress(const std::string& name = "index.html");

    void FormCreate(forms::TObject* Sender);
    void buttonMouseEnter(forms::TObject* Sender);
    void buttonMouseLeave(forms::TObject* Sender);
    void buttonMouseDown(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void buttonMouseUp(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void buttonClick(forms::TObject* Sender);
    void searchKeyPress(forms::TObject* Sender, char& Key);
    void browserBeforeNavigate2(forms::TObject* Sender, const std::string& URL, int Flags,
                                const std::string& TargetFrameName, const std::string& PostData,
                                const std::string& Headers, bool& Cancel);
    void browserDocumentComplete(forms::TObject* Sender, const std::string& URL);
    void clockTimer(forms::TObject* Sender);
    void findActionExecute(forms::TObject* Sender);

private:
    forms::TBitmap upPicture_, hoverPicture_, downPicture_;
    bool pressed_ = false;
    bool hovered_ = false;
};

// The part of an address after its first "data\" ("" when it has none).
std::string AfterData(const std::string& address);

}  // namespace demo
