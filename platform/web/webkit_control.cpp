#include "platform/gtk/child_peer.h"
#include "platform/web/webbrowser.h"
#include "platform/web/webkit_browser.h"
#include "platform/web/webkit_peer.h"

#include <memory>

namespace web {
namespace {

// The browser control is placed as an empty box, and the engine starts in it when it is first
// needed (the first load, script or focus). Starting the engine costs a good part of the
// program's start; a window's browsers are created with the window, long before a page is due,
// and some are never used.
class WebKitControlPeer : public gtkui::GtkChildPeer<forms::IWebBrowserPeer> {
public:
    WebKitControlPeer(forms::TWebBrowser& browser, forms::IWindowPeer& window)
        : GtkChildPeer(gtk_box_new(GTK_ORIENTATION_VERTICAL, 0), window, browser) {}
    ~WebKitControlPeer() override {
        if (!engine_) return;
        StopFollowingFocus(engine_->Widget());
        engine_.reset();  // the view leaves the box while this peer's handlers are gone
    }

    void SetSink(IBrowserSink* sink) override {
        sink_ = sink;
        if (engine_) engine_->SetSink(sink);
    }
    void Load(const std::string& uri) override { Engine().Load(uri); }
    void Stop() override {
        if (engine_) engine_->Stop();
    }
    std::string CurrentUri() const override { return engine_ ? engine_->CurrentUri() : std::string(); }
    bool HasHtmlDocument() const override { return engine_ && engine_->HasHtmlDocument(); }
    void RunScript(const std::string& script) override {
        if (engine_) engine_->RunScript(script);  // no document yet, nothing to run on
    }
    void SetFocus() override { gtk_widget_grab_focus(Engine().Widget()); }
    bool Focused() const override { return engine_ && gtk_widget_has_focus(engine_->Widget()); }
    // The view once the engine runs (pointer events go to its window), the box before.
    void* NativeHandle() override { return engine_ ? engine_->Widget() : Widget(); }

    WebKitBrowserPeer& Engine() {
        if (!engine_) Start();
        return *engine_;
    }

private:
    void Start() {
        engine_ = std::make_unique<WebKitBrowserPeer>();
        engine_->SetSink(sink_);
        GtkWidget* view = engine_->Widget();
        gtk_box_pack_start(GTK_BOX(Widget()), view, TRUE, TRUE, 0);
        gtk_widget_show(view);
        FollowFocusOf(view);
    }

    std::unique_ptr<WebKitBrowserPeer> engine_;
    IBrowserSink* sink_ = nullptr;
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
