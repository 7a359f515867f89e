// The browser engine over WebKitGTK 4.1: one WebKitWebView per control.
//
// Navigations the page starts are decided synchronously in "decide-policy": the sink is asked and a
// load issued from inside that call replaces the one being decided (the pending decision is ignored
// first, then the new load starts). Composed ".tmp" pages are read here and handed to the view as
// HTML bytes with the file's URI as their address, because a file's MIME type would otherwise be
// guessed from its name and content. Pages without a charset of their own are read as windows-1251.
#pragma once

#include "platform/web/browser_peer.h"

#include <functional>
#include <string>

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitPolicyDecision WebKitPolicyDecision;

namespace web {

class WebKitBrowserPeer : public IBrowserPeer {
public:
    WebKitBrowserPeer();
    ~WebKitBrowserPeer() override;
    WebKitBrowserPeer(const WebKitBrowserPeer&) = delete;
    WebKitBrowserPeer& operator=(const WebKitBrowserPeer&) = delete;

    void SetSink(IBrowserSink* sink) override { sink_ = sink; }
    void Load(const std::string& uri) override;
    void Stop() override;
    std::string CurrentUri() const override;
    bool HasHtmlDocument() const override { return htmlCommitted_; }
    void RunScript(const std::string& script) override;

    // The view; the peer holds a reference, so a container may add and remove it freely.
    GtkWidget* Widget() const;
    // Runs a script and hands its result, as text, to done ("" with ok false on an error).
    void EvaluateScript(const std::string& script, std::function<void(bool ok, std::string result)> done);

    // Largest composed page read into memory.
    static constexpr long long kMaxComposedPageBytes = 64ll * 1024 * 1024;

    // What decide-policy tells the peer about a navigation.
    struct NavigationInfo {
        std::string uri;
        std::string frameName;
        bool otherType = false;  // not a link, form, reload or history step
        bool newWindow = false;
    };
    // The decision the peer took: go on, drop it, or drop it and load this URI instead.
    struct Verdict {
        enum Kind { Use, Ignore, Replace } kind = Use;
        std::string uri;
    };
    Verdict Decide(const NavigationInfo& nav);
    void LoadCommitted();
    void LoadFailed(bool cancelled);
    void LoadEnded();

private:
    void StartLoad(const std::string& uri);
    bool LoadComposedPage(const std::string& uri);

    WebKitWebView* view_ = nullptr;
    IBrowserSink* sink_ = nullptr;
    std::string expectedUri_;      // our own load whose decide-policy is still to come
    bool deciding_ = false;        // inside the sink's NavigationRequested
    bool replaced_ = false;        // a Load arrived while deciding
    std::string replacement_;
    bool skipNextFinish_ = false;  // the load was cancelled by a newer one
    bool htmlCommitted_ = false;
};

}  // namespace web
