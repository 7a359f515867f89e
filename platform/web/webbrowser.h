// TWebBrowser: the browser control. The engine lives in a peer (WebKit on screen, a scripted fake in
// tests) made by the factory installed with SetWebBrowserPeerFactory; the control holds the rules
// the program relies on, so they are the same on both:
//  - OnBeforeNavigate2 runs synchronously before every navigation, the program's own included, with
//    the address as the program spells it (a file URL as a Windows-style cp1251 path);
//  - Cancel drops the navigation; a Navigate issued inside the handler replaces it;
//  - OnDownloadComplete, then OnDocumentComplete, run when a document has loaded;
//  - Document()->Body()->Style()->SetBorderStyle(...) runs a script on the shown document.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/forms/control.h"
#include "platform/web/browser_peer.h"

namespace forms {

class TWebBrowser;

using TBeforeNavigate2Event =
    std::function<void(TObject* Sender, const std::string& URL, int Flags, const std::string& TargetFrameName,
                       const std::string& PostData, const std::string& Headers, bool& Cancel)>;
using TDocumentCompleteEvent = std::function<void(TObject* Sender, const std::string& URL)>;

class THTMLStyle {
public:
    explicit THTMLStyle(TWebBrowser& browser) : FBrowser(browser) {}
    // Sets the body's border-style on the shown document (by a script).
    void SetBorderStyle(const std::string& value);
    const std::string& BorderStyle() const { return FBorderStyle; }  // the last value set

private:
    friend class TWebBrowser;
    TWebBrowser& FBrowser;
    std::string FBorderStyle;
};

class THTMLElement {
public:
    explicit THTMLElement(TWebBrowser& browser) : FStyle(browser) {}
    THTMLStyle* Style() { return &FStyle; }

private:
    friend class TWebBrowser;
    THTMLStyle FStyle;
};

class THTMLDocument {
public:
    explicit THTMLDocument(TWebBrowser& browser) : FBody(browser) {}
    THTMLElement* Body() { return &FBody; }

private:
    friend class TWebBrowser;
    THTMLElement FBody;
};

// What the peer factory returns: the native control and the engine in one object.
class IWebBrowserPeer : public virtual IControlPeer, public web::IBrowserPeer {};

using TWebBrowserPeerFactory =
    std::function<std::unique_ptr<IWebBrowserPeer>(TWebBrowser& browser, IWindowPeer& window)>;
// Installs the factory every browser uses from then on (an empty one: browsers get no engine and
// only raise OnBeforeNavigate2).
void SetWebBrowserPeerFactory(TWebBrowserPeerFactory factory);
// Lets form descriptions create "TWebBrowser" components (done at start-up too; repeating is harmless).
void RegisterWebBrowserClass();

class TWebBrowser : public TWinControl, private web::IBrowserSink {
public:
    explicit TWebBrowser(TComponent* owner);
    ~TWebBrowser() override;
    const char* ClassName() const override { return "TWebBrowser"; }

    // Raises OnBeforeNavigate2 with the address as the program will see it again in later events,
    // then loads it unless cancelled or replaced. "mailto:" addresses go to the desktop's mail program.
    void Navigate(const std::string& url);
    void Stop();
    // The shown document's address, spelled as in the events ("" before the first load).
    std::string LocationURL() const;
    // The shown HTML document; null when none is loaded (nothing yet, or a document of another kind).
    THTMLDocument* Document();

    TBeforeNavigate2Event OnBeforeNavigate2;
    TDocumentCompleteEvent OnDocumentComplete;
    TNotifyEvent OnDownloadComplete;

    web::IBrowserPeer* BrowserPeer() const;

    bool SetEvent(const std::string& name, const std::any& handler) override;

    // Runs a script on the shown document (used by the document objects).
    void RunScript(const std::string& script);

protected:
    std::unique_ptr<IControlPeer> CreatePeer(IBackend& backend, IWindowPeer& window) override;
    void PeerCreated() override;

private:
    bool NavigationRequested(const std::string& uri, const std::string& frameName) override;
    void LoadFinished(const std::string& uri) override;
    // Raises OnBeforeNavigate2; true when the navigation should go on.
    bool RaiseBeforeNavigate(const std::string& address, const std::string& frameName);

    IWebBrowserPeer* FBrowserPeer = nullptr;  // owned through FPeer
    THTMLDocument FDocument;
    std::string FPendingUri;     // asked for before the peer existed
    unsigned FNavigateCount = 0;  // Navigate calls so far; tells a handler that navigated
};

}  // namespace forms
