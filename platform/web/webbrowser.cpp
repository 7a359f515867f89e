#include "platform/web/webbrowser.h"

#include "platform/forms/application.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"
#include "platform/web/address.h"

namespace forms {
namespace {

TWebBrowserPeerFactory& PeerFactory() {
    static TWebBrowserPeerFactory factory;
    return factory;
}

// A JavaScript string literal holding the cp1251 text.
std::string ScriptString(const std::string& cp1251) {
    std::string out = "'";
    for (char c : rtl::Cp1251ToUtf8(cp1251)) {
        if (c == '\\' || c == '\'') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '<') {
            out += "\\x3c";
        } else {
            out += c;
        }
    }
    return out + "'";
}

template <class Event>
void BindEvent(Event& event, const std::string& name, const std::any& handler) {
    const Event* typed = std::any_cast<Event>(&handler);
    if (!typed) throw rtl::Exception("The handler bound to " + name + " has the wrong parameters");
    event = *typed;
}

[[maybe_unused]] const bool kClassRegistered = (RegisterWebBrowserClass(), true);

}  // namespace

void RegisterWebBrowserClass() {
    RegisterComponentClass("TWebBrowser", [](TComponent* owner) { return new TWebBrowser(owner); });
}

void SetWebBrowserPeerFactory(TWebBrowserPeerFactory factory) { PeerFactory() = std::move(factory); }

void THTMLStyle::SetBorderStyle(const std::string& value) {
    FBorderStyle = value;
    FBrowser.RunScript("if (document.body) document.body.style.borderStyle = " + ScriptString(value) + ";");
}

TWebBrowser::TWebBrowser(TComponent* owner) : TWinControl(owner), FDocument(*this) {}

TWebBrowser::~TWebBrowser() {
    if (FBrowserPeer) FBrowserPeer->SetSink(nullptr);
}

web::IBrowserPeer* TWebBrowser::BrowserPeer() const { return FBrowserPeer; }

std::unique_ptr<IControlPeer> TWebBrowser::CreatePeer(IBackend&, IWindowPeer& window) {
    if (!PeerFactory()) return nullptr;
    std::unique_ptr<IWebBrowserPeer> peer = PeerFactory()(*this, window);
    FBrowserPeer = peer.get();
    if (FBrowserPeer) FBrowserPeer->SetSink(this);
    return peer;
}

void TWebBrowser::PeerCreated() {
    TWinControl::PeerCreated();
    if (FBrowserPeer && !FPendingUri.empty()) {
        std::string uri = std::move(FPendingUri);
        FPendingUri.clear();
        FBrowserPeer->Load(uri);
    }
}

bool TWebBrowser::RaiseBeforeNavigate(const std::string& address, const std::string& frameName) {
    unsigned navigationsBefore = FNavigateCount;
    bool cancel = false;
    if (OnBeforeNavigate2) OnBeforeNavigate2(this, address, 0, frameName, "", "", cancel);
    return !cancel && FNavigateCount == navigationsBefore;
}

void TWebBrowser::Navigate(const std::string& url) {
    ++FNavigateCount;
    std::string uri = web::LoadableUri(url);
    if (!RaiseBeforeNavigate(web::DisplayAddress(uri), "")) return;
    if (FBrowserPeer) {
        FBrowserPeer->Load(uri);
    } else {
        FPendingUri = uri;
    }
}

void TWebBrowser::Stop() {
    FPendingUri.clear();
    if (FBrowserPeer) FBrowserPeer->Stop();
}

std::string TWebBrowser::LocationURL() const {
    return FBrowserPeer ? web::DisplayAddress(FBrowserPeer->CurrentUri()) : std::string();
}

THTMLDocument* TWebBrowser::Document() {
    return FBrowserPeer && FBrowserPeer->HasHtmlDocument() ? &FDocument : nullptr;
}

void TWebBrowser::RunScript(const std::string& script) {
    if (FBrowserPeer) FBrowserPeer->RunScript(script);
}

// The engine calls these from its own callbacks: an exception goes to the default error report.
// A handler that failed does not cancel the navigation, but one that navigated still replaces it.
bool TWebBrowser::NavigationRequested(const std::string& uri, const std::string& frameName) {
    unsigned navigationsBefore = FNavigateCount;
    bool goOn = true;
    SafeCall(this, [&] { goOn = RaiseBeforeNavigate(web::DisplayAddress(uri), rtl::Utf8ToCp1251(frameName)); });
    return goOn && FNavigateCount == navigationsBefore;
}

void TWebBrowser::LoadFinished(const std::string& uri) {
    std::string address = web::DisplayAddress(uri);
    SafeCall(this, [&] {
        if (OnDownloadComplete) OnDownloadComplete(this);
    });
    SafeCall(this, [&] {
        if (OnDocumentComplete) OnDocumentComplete(this, address);
    });
}

bool TWebBrowser::SetEvent(const std::string& name, const std::any& handler) {
    if (name == "OnBeforeNavigate2") {
        BindEvent(OnBeforeNavigate2, name, handler);
        return true;
    }
    if (name == "OnDocumentComplete") {
        BindEvent(OnDocumentComplete, name, handler);
        return true;
    }
    if (name == "OnDownloadComplete") {
        BindEvent(OnDownloadComplete, name, handler);
        return true;
    }
    return TWinControl::SetEvent(name, handler);
}

}  // namespace forms
