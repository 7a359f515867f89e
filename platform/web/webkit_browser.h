// Puts the WebKit engine behind every browser created from now on (GTK backend only; install the
// backend first). The web process is started by WebKit itself with its sandbox off (the default of
// this API version), so nothing needs setting on an ordinary desktop. The GUI tests also set
// WEBKIT_DISABLE_COMPOSITING_MODE=1 and WEBKIT_DISABLE_DMABUF_RENDERER=1 for a virtual X server
// without a GPU (see tests/gui/gui_env.cpp).
#pragma once

namespace forms {
class TWebBrowser;
}

namespace web {

class WebKitBrowserPeer;

void UseWebKitBrowsers();

// The engine behind a browser when it is WebKit; null otherwise (tests evaluate scripts with it).
WebKitBrowserPeer* WebKitEngineOf(const forms::TWebBrowser& browser);

}  // namespace web
