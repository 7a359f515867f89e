// A scripted browser engine for tests without a display. It keeps what the program asked for and
// lets a test act as the page: click a link (the navigation is decided through the control exactly
// as the real engine decides it) and finish loads. By default a started load finishes through the
// backend's message queue, so pumping messages completes it like the real engine would.
#pragma once

#include <string>
#include <vector>

#include "platform/web/webbrowser.h"

namespace web {

class FakeBrowserPeer : public forms::IWebBrowserPeer {
public:
    explicit FakeBrowserPeer(forms::TWebBrowser& browser);
    ~FakeBrowserPeer() override;

    // Every fake alive, oldest first.
    static const std::vector<FakeBrowserPeer*>& All();
    // The fake behind a browser; null when it has none.
    static FakeBrowserPeer* Of(const forms::TWebBrowser& browser);

    // IBrowserPeer
    void SetSink(IBrowserSink* sink) override { sink_ = sink; }
    void Load(const std::string& uri) override;
    void Stop() override { pending_.clear(); }
    std::string CurrentUri() const override { return current_; }
    bool HasHtmlDocument() const override { return htmlDocument_; }
    void RunScript(const std::string& script) override { scripts_.push_back(script); }

    // IControlPeer
    void SetBounds(const forms::TRect& bounds) override { bounds_ = bounds; }
    void SetVisible(bool visible) override { visible_ = visible; }
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    void SetFocus() override { focused_ = true; }
    bool Focused() const override { return focused_; }
    void SetCursor(forms::TCursor, const forms::TCursorHandle&) override {}
    void* NativeHandle() override { return nullptr; }

    // The page starts a navigation to an engine URI ("file:///book/data/x.html") or to a file
    // named Windows-style ("\book\data\x.html", cp1251). Returns true when that navigation went
    // on; false when it was cancelled or replaced.
    bool ClickLink(const std::string& link);
    // Finishes the pending load now: it becomes the shown document and the control is told.
    // False when nothing was pending.
    bool FinishLoad();
    // Whether the next finished load shows an HTML document (true unless set otherwise).
    void SetNextDocumentIsHtml(bool html) { nextIsHtml_ = html; }
    // Loads finish only through FinishLoad() (default: they finish from the message queue).
    void SetManualFinish(bool manual) { manualFinish_ = manual; }

    const std::string& PendingUri() const { return pending_; }
    const std::vector<std::string>& Loads() const { return loads_; }         // every load started
    const std::vector<std::string>& Scripts() const { return scripts_; }     // every script run
    const std::vector<std::string>& MailAddresses() const { return mail_; }  // "mailto:" handed on
    const forms::TRect& Bounds() const { return bounds_; }
    bool IsVisible() const { return visible_; }
    bool IsEnabled() const { return enabled_; }

private:
    void StartLoad(const std::string& uri);

    forms::TWebBrowser& browser_;
    IBrowserSink* sink_ = nullptr;
    std::string current_;
    std::string pending_;
    std::vector<std::string> loads_;
    std::vector<std::string> scripts_;
    std::vector<std::string> mail_;
    bool deciding_ = false;
    bool replaced_ = false;
    std::string replacement_;
    bool htmlDocument_ = false;
    bool nextIsHtml_ = true;
    bool manualFinish_ = false;
    unsigned loadSerial_ = 0;
    unsigned long long id_ = 0;  // never reused, unlike addresses
    forms::TRect bounds_;
    bool visible_ = true;
    bool enabled_ = true;
    bool focused_ = false;
};

// Makes every browser created from now on use a fake engine.
void UseFakeWebBrowsers();

}  // namespace web
