// Puts the WebKit engine behind every browser created from now on (GTK backend only).
//
// The web process is started by WebKit itself; nothing needs setting for ordinary desktops. Under
// a virtual X server without GPU the test set-up sets WEBKIT_DISABLE_COMPOSITING_MODE=1 and
// WEBKIT_DISABLE_DMABUF_RENDERER=1 (see tests/gui).
#pragma once

namespace web {

class WebKitBrowserPeer;

void UseWebKitBrowsers();

}  // namespace web

namespace forms {
class TWebBrowser;
}

namespace web {
// The engine behind a browser when it is WebKit; null otherwise (tests evaluate scripts with it).
WebKitBrowserPeer* WebKitEngineOf(const forms::TWebBrowser& browser);
}  // namespace web
