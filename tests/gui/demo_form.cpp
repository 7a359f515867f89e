#include "tests/gui/demo_form.h"

#include "platform/forms/formdesc.h"

namespace demo {
namespace {

const forms::TFormClass& DemoClass() {
    static forms::TFormTable<TDemoForm> table = [] {
        forms::TFormTable<TDemoForm> t("TDemoForm", "demo/demo.frm");
        t.Field("banner", &TDemoForm::banner)
            .Field("button", &TDemoForm::button)
            .Field("corner", &TDemoForm::corner)
            .Field("search", &TDemoForm::search)
            .Field("browser", &TDemoForm::browser)
            .Field("clock", &TDemoForm::clock)
            .Field("actions", &TDemoForm::actions)
            .Field("findAction", &TDemoForm::findAction)
            .Handler("FormCreate", &TDemoForm::FormCreate)
            .Handler("buttonMouseEnter", &TDemoForm::buttonMouseEnter)
            .Handler("buttonMouseLeave", &TDemoForm::buttonMouseLeave)
            .Handler("buttonMouseDown", &TDemoForm::buttonMouseDown)
            .Handler("buttonMouseUp", &TDemoForm::buttonMouseUp)
            .Handler("buttonClick", &TDemoForm::buttonClick)
            .Handler("searchKeyPress", &TDemoForm::searchKeyPress)
            .Handler("browserBeforeNavigate2", &TDemoForm::browserBeforeNavigate2)
            .Handler("browserDocumentComplete", &TDemoForm::browserDocumentComplete)
            .Handler("clockTimer", &TDemoForm::clockTimer)
            .Handler("findActionExecute", &TDemoForm::findActionExecute);
        return t;
    }();
    return table;
}

}  // namespace

std::string AfterData(const std::string& address) {
    size_t at = address.find("data\\");
    return at == std::string::npos ? std::string() : address.substr(at + 5);
}

TDemoForm::TDemoForm(forms::TComponent* owner) : forms::TForm(owner) {
    forms::RegisterWebBrowserClass();
    upPicture_.LoadFromFile(forms::ResourcePath("demo/button_up.bmp"));
    hoverPicture_.LoadFromFile(forms::ResourcePath("demo/button_hover.bmp"));
    downPicture_.LoadFromFile(forms::ResourcePath("demo/button_down.bmp"));
    InitForm(DemoClass());
}

std::string TDemoForm::PageAddress(const std::string& name) {
    return "file://" + forms::ResourcePath("demo/data/" + name);
}

void TDemoForm::FormCreate(forms::TObject*) { browser->Navigate(PageAddress()); }

void TDemoForm::buttonMouseEnter(forms::TObject*) {
    hovered_ = true;
    if (!pressed_) button->Picture().SetBitmap(hoverPicture_);
}

void TDemoForm::buttonMouseLeave(forms::TObject*) {
    hovered_ = false;
    if (!pressed_) button->Picture().SetBitmap(upPicture_);
}

void TDemoForm::buttonMouseDown(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {
    pressed_ = true;
    button->Picture().SetBitmap(downPicture_);
}

void TDemoForm::buttonMouseUp(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {
    pressed_ = false;
    ++buttonUps;
    button->Picture().SetBitmap(hovered_ ? hoverPicture_ : upPicture_);
}

void TDemoForm::buttonClick(forms::TObject*) { ++clicks; }

void TDemoForm::searchKeyPress(forms::TObject*, char& Key) { keysTyped += Key; }

void TDemoForm::browserBeforeNavigate2(forms::TObject*, const std::string& URL, int, const std::string&,
                                       const std::string&, const std::string&, bool&) {
    navigations.push_back(URL);
    if (!redirectFrom.empty() && AfterData(URL) == redirectFrom) browser->Navigate(PageAddress(redirectTo));
}

void TDemoForm::browserDocumentComplete(forms::TObject*, const std::string& URL) {
    completed.push_back(URL);
    if (forms::THTMLDocument* document = browser->Document()) document->Body()->Style()->SetBorderStyle("none");
}

void TDemoForm::clockTimer(forms::TObject*) { ++ticks; }

void TDemoForm::findActionExecute(forms::TObject*) {
    ++finds;
    search->SetFocus();
}

}  // namespace demo
