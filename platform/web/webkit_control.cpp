#include "platform/gtk/child_peer.h"
#include "platform/web/webbrowser.h"
#include "platform/web/webkit_browser.h"
#include "platform/web/webkit_peer.h"

namespace web {
namespace {

// The engine comes first so that its view exists before the native placement takes it, and is
// destroyed after the view has left the form's container.
struct EngineHolder {
    WebKitBrowserPeer engine;
};

class WebKitControlPeer : private EngineHolder, public gtkui::GtkChildPeer<forms::IWebBrowserPeer> {
public:
    WebKitControlPeer(forms::TWebBrowser& browser, forms::IWindowPeer& window)
        : GtkChildPeer(engine.Widget(), window, browser) {}

    void SetSink(IBrowserSink* sink) override { engine.SetSink(sink); }
    void Load(const std::string& uri) override { engine.Load(uri); }
    void Stop() override { engine.Stop(); }
    std::string CurrentUri() const override { return engine.CurrentUri(); }
    bool HasHtmlDocument() const override { return engine.HasHtmlDocument(); }
    void RunScript(const std::string& script) override { engine.RunScript(script); }

    WebKitBrowserPeer& Engine() { return engine; }
};

}  // namespace

void UseWebKitBrowsers() {
    forms::RegisterWebBrowserClass();
    forms::SetWebBrowserPeerFactory([](forms::TWebBrowser& browser, forms::IWindowPeer& window) {
        return std::make_unique<WebKitControlPeer>(browser, window);
    });
}

WebKitBrowserPeer* WebKitEngineOf(const forms::TWebBrowser& browser) {
    auto* peer = dynamic_cast<WebKitControlPeer*>(browser.Peer());
    return peer ? &peer->Engine() : nullptr;
}

}  // namespace web
