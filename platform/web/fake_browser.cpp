#include "platform/web/fake_browser.h"

#include <algorithm>

#include "platform/forms/backend.h"
#include "platform/web/address.h"

namespace web {
namespace {

std::vector<FakeBrowserPeer*>& Registry() {
    static std::vector<FakeBrowserPeer*> fakes;
    return fakes;
}

}  // namespace

FakeBrowserPeer::FakeBrowserPeer(forms::TWebBrowser& browser) : browser_(browser) {
    static unsigned long long lastId = 0;
    id_ = ++lastId;
    Registry().push_back(this);
}

FakeBrowserPeer::~FakeBrowserPeer() {
    auto& fakes = Registry();
    fakes.erase(std::remove(fakes.begin(), fakes.end(), this), fakes.end());
}

const std::vector<FakeBrowserPeer*>& FakeBrowserPeer::All() { return Registry(); }

FakeBrowserPeer* FakeBrowserPeer::Of(const forms::TWebBrowser& browser) {
    for (FakeBrowserPeer* fake : Registry()) {
        if (&fake->browser_ == &browser) return fake;
    }
    return nullptr;
}

void FakeBrowserPeer::Load(const std::string& uri) {
    if (deciding_) {
        replaced_ = true;
        replacement_ = uri;
        return;
    }
    StartLoad(uri);
}

void FakeBrowserPeer::StartLoad(const std::string& uri) {
    if (IsMailtoUri(uri)) {
        mail_.push_back(uri);
        return;
    }
    loads_.push_back(uri);
    pending_ = uri;
    unsigned serial = ++loadSerial_;
    if (manualFinish_ || !forms::HasBackend()) return;
    // The load ends later, from the message loop, unless a newer one has started by then.
    // The id keeps a finish queued for a fake that is gone from touching anything.
    forms::Backend().Post([id = id_, serial] {
        for (FakeBrowserPeer* fake : Registry()) {
            if (fake->id_ == id && fake->loadSerial_ == serial) fake->FinishLoad();
        }
    });
}

bool FakeBrowserPeer::ClickLink(const std::string& link) {
    // A Windows-style path is taken as the file it names, spelled as the engine would spell it.
    bool isPath = !link.empty() && (link[0] == '\\' || link[0] == '/' || link.find(":\\") != std::string::npos);
    std::string uri = isPath ? LoadableUri(link) : link;
    bool goOn = true;
    replaced_ = false;
    if (sink_) {
        deciding_ = true;
        try {
            goOn = sink_->NavigationRequested(uri, "");
        } catch (...) {
            deciding_ = false;
            throw;
        }
        deciding_ = false;
    }
    if (replaced_) {
        replaced_ = false;
        StartLoad(replacement_);
        return false;
    }
    if (goOn) StartLoad(uri);
    return goOn;
}

bool FakeBrowserPeer::FinishLoad() {
    if (pending_.empty()) return false;
    current_ = pending_;
    pending_.clear();
    htmlDocument_ = nextIsHtml_;
    if (sink_) sink_->LoadFinished(current_);
    return true;
}

void UseFakeWebBrowsers() {
    forms::RegisterWebBrowserClass();
    forms::SetWebBrowserPeerFactory([](forms::TWebBrowser& browser, forms::IWindowPeer&) {
        return std::make_unique<FakeBrowserPeer>(browser);
    });
}

}  // namespace web
