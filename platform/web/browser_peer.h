// The engine side of the browser control. TWebBrowser drives a peer through IBrowserPeer; the peer
// reports back through IBrowserSink. The WebKit peer (tome_web) and the scripted fake
// (tome_web_fake) implement the same contract, so the control behaves alike on both.
#pragma once

#include <string>

namespace web {

class IBrowserSink {
public:
    virtual ~IBrowserSink() = default;
    // A navigation the page or the user started (a link, a script, a form), reported before it
    // begins. The URI is the engine's (UTF-8, percent-encoded). Returns true when the engine should
    // go on with it; a Load issued from inside this call replaces it in any case.
    virtual bool NavigationRequested(const std::string& uri, const std::string& frameName) = 0;
    // The main document's load ended (also after an error page); not raised for a load that was
    // cancelled by a newer one.
    virtual void LoadFinished(const std::string& uri) = 0;
};

class IBrowserPeer {
public:
    virtual ~IBrowserPeer() = default;
    virtual void SetSink(IBrowserSink* sink) = 0;
    // Starts loading a URI made by LoadableUri. No NavigationRequested is raised for it. Called
    // from inside NavigationRequested, it replaces the navigation being decided.
    virtual void Load(const std::string& uri) = 0;
    virtual void Stop() = 0;
    // The URI of the shown document ("" before the first load).
    virtual std::string CurrentUri() const = 0;
    // True once an HTML document has been committed to the view.
    virtual bool HasHtmlDocument() const = 0;
    // Runs a script on the shown document without waiting for it.
    virtual void RunScript(const std::string& script) = 0;
};

}  // namespace web
