#include "platform/web/webkit_peer.h"

#include "platform/rtl/process.h"
#include "platform/web/address.h"

#include <webkit2/webkit2.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

namespace web {
namespace {

void ConfigureSettings(WebKitWebView* view) {
    WebKitSettings* settings = webkit_web_view_get_settings(view);
    webkit_settings_set_default_charset(settings, "windows-1251");
    webkit_settings_set_allow_file_access_from_file_urls(settings, TRUE);
    webkit_settings_set_allow_universal_access_from_file_urls(settings, TRUE);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    // Pages are drawn by the processor. Accelerated compositing has GTK draw the whole window
    // through GL, and on an X server without a compositor such a window keeps stale pixels where
    // another window (a dialog) covered it, until the page itself repaints; the engine's GL
    // set-up also delays the first page. The book's pages are plain documents that need no GPU.
    webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
}

WebKitBrowserPeer::NavigationInfo DescribeNavigation(WebKitPolicyDecision* decision,
                                                     WebKitPolicyDecisionType type) {
    auto* navDecision = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(navDecision);
    WebKitBrowserPeer::NavigationInfo nav;
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    nav.uri = uri ? uri : "";
    const char* frame = webkit_navigation_action_get_frame_name(action);
    nav.frameName = frame ? frame : "";
    nav.otherType = webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_OTHER;
    nav.newWindow = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION;
    return nav;
}

gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                        gpointer data) {
    auto* peer = static_cast<WebKitBrowserPeer*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        // A file the engine cannot show is dropped rather than saved somewhere behind the user's back.
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        if (!webkit_response_policy_decision_is_mime_type_supported(response)) {
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        return FALSE;
    }
    WebKitBrowserPeer::Verdict verdict = peer->Decide(DescribeNavigation(decision, type));
    if (verdict.kind == WebKitBrowserPeer::Verdict::Use) {
        webkit_policy_decision_use(decision);
        return TRUE;
    }
    // Drop the pending navigation before a replacing load starts, so the two never race.
    g_object_ref(decision);
    webkit_policy_decision_ignore(decision);
    g_object_unref(decision);
    if (verdict.kind == WebKitBrowserPeer::Verdict::Replace) peer->Load(verdict.uri);
    return TRUE;
}

void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto* peer = static_cast<WebKitBrowserPeer*>(data);
    if (event == WEBKIT_LOAD_COMMITTED) peer->LoadCommitted();
    if (event == WEBKIT_LOAD_FINISHED) peer->LoadEnded();
}

gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error, gpointer data) {
    bool cancelled = g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
                     g_error_matches(error, WEBKIT_POLICY_ERROR,
                                     WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
    static_cast<WebKitBrowserPeer*>(data)->LoadFailed(cancelled);
    return FALSE;
}

// New windows are never opened: their navigations come through decide-policy and load in place.
GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction*, gpointer) { return nullptr; }

// The charset a page declares near its start ("charset=koi8-r"), or "" when it declares none.
std::string DeclaredCharset(const char* bytes, gsize length) {
    std::string head(bytes, std::min<gsize>(length, 4096));
    for (char& c : head) c = char(g_ascii_tolower(c));
    size_t at = head.find("charset=");
    if (at == std::string::npos) return "";
    at += 8;
    while (at < head.size() && (head[at] == '"' || head[at] == '\'' || head[at] == ' ')) ++at;
    size_t end = at;
    while (end < head.size() && (g_ascii_isalnum(head[end]) || head[end] == '-' || head[end] == '_')) ++end;
    return head.substr(at, end - at);
}

// The address a composed page gives itself by opening with <base href="file:...">, as a loadable
// URI; "" when it opens otherwise. A page composed away from the folder it belongs to (one the reader
// cannot write) is shown at that address: its links and anchors and the engine's file access are
// those of a page there.
std::string DeclaredFileAddress(const char* bytes, gsize length) {
    constexpr std::string_view kOpen = "<base href=\"";
    const std::string_view head(bytes, std::min<gsize>(length, 4096));
    const size_t end = head.find('"', kOpen.size());
    if (head.substr(0, kOpen.size()) != kOpen || end == std::string_view::npos) return "";
    const std::string_view address = head.substr(kOpen.size(), end - kOpen.size());
    return IsFileUri(address) ? LoadableUri(address) : "";
}

std::string WithoutFragment(const std::string& uri) { return uri.substr(0, uri.find('#')); }

// A jump to an anchor of the shown document: the engine scrolls, nothing loads.
bool IsInPageJump(const std::string& uri, const std::string& current) {
    return uri.find('#') != std::string::npos && !current.empty() && WithoutFragment(uri) == WithoutFragment(current);
}

bool SameAddress(const std::string& a, const std::string& b) {
    return a == b || DisplayAddress(a) == DisplayAddress(b);
}

struct ScriptRequest {
    std::function<void(bool, std::string)> done;
};

void OnScriptFinished(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<ScriptRequest> request(static_cast<ScriptRequest*>(data));
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
    if (!value) {
        g_error_free(error);
        request->done(false, "");
        return;
    }
    char* text = jsc_value_is_undefined(value) ? nullptr : jsc_value_to_string(value);
    std::string out = text ? text : "";
    g_free(text);
    g_object_unref(value);
    request->done(true, out);
}

}  // namespace

WebKitBrowserPeer::WebKitBrowserPeer() {
    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new());
    g_object_ref_sink(view_);
    ConfigureSettings(view_);
    g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(OnLoadFailed), this);
    g_signal_connect(view_, "create", G_CALLBACK(OnCreate), this);
}

WebKitBrowserPeer::~WebKitBrowserPeer() {
    g_signal_handlers_disconnect_by_data(view_, this);
    webkit_web_view_stop_loading(view_);
    GtkWidget* widget = GTK_WIDGET(view_);
    if (GtkWidget* parent = gtk_widget_get_parent(widget)) gtk_container_remove(GTK_CONTAINER(parent), widget);
    g_object_unref(view_);
}

GtkWidget* WebKitBrowserPeer::Widget() const { return GTK_WIDGET(view_); }

void WebKitBrowserPeer::Load(const std::string& uri) {
    if (deciding_) {
        replaced_ = true;
        replacement_ = uri;
        return;
    }
    StartLoad(uri);
}

void WebKitBrowserPeer::StartLoad(const std::string& uri) {
    if (IsMailtoUri(uri)) {
        rtl::ShellExecuteOpen(DisplayAddress(uri), "", "");
        return;
    }
    expectedUri_ = uri;
    if (IsComposedPageUri(uri) && LoadComposedPage(uri)) return;
    webkit_web_view_load_uri(view_, uri.c_str());
}

bool WebKitBrowserPeer::LoadComposedPage(const std::string& uri) {
    std::string path = FileUriToNativePath(uri);
    GFile* file = g_file_new_for_path(path.c_str());
    GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_SIZE, G_FILE_QUERY_INFO_NONE,
                                        nullptr, nullptr);
    char* contents = nullptr;
    gsize length = 0;
    bool readable = info && g_file_info_get_size(info) <= kMaxComposedPageBytes &&
                    g_file_load_contents(file, nullptr, &contents, &length, nullptr, nullptr);
    if (info) g_object_unref(info);
    g_object_unref(file);
    if (!readable) return false;  // the engine then shows its own error page for the address
    // Bytes handed over directly are not subject to the default charset, so it is applied here:
    // a charset the page declares wins, else the page is windows-1251 like every data page.
    std::string charset = DeclaredCharset(contents, length);
    if (charset.empty()) charset = "windows-1251";
    const std::string address = DeclaredFileAddress(contents, length);
    if (!address.empty()) expectedUri_ = address;
    GBytes* bytes = g_bytes_new_take(contents, length);
    webkit_web_view_load_bytes(view_, bytes, "text/html", charset.c_str(), expectedUri_.c_str());
    g_bytes_unref(bytes);
    return true;
}

void WebKitBrowserPeer::Stop() { webkit_web_view_stop_loading(view_); }

std::string WebKitBrowserPeer::CurrentUri() const {
    const char* uri = webkit_web_view_get_uri(view_);
    return uri ? uri : "";
}

void WebKitBrowserPeer::RunScript(const std::string& script) {
    webkit_web_view_evaluate_javascript(view_, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

void WebKitBrowserPeer::EvaluateScript(const std::string& script,
                                       std::function<void(bool ok, std::string result)> done) {
    auto* request = new ScriptRequest{std::move(done)};
    webkit_web_view_evaluate_javascript(view_, script.c_str(), -1, nullptr, nullptr, nullptr,
                                        OnScriptFinished, request);
}

WebKitBrowserPeer::Verdict WebKitBrowserPeer::Decide(const NavigationInfo& nav) {
    if (nav.otherType && !expectedUri_.empty() && SameAddress(nav.uri, expectedUri_)) {
        expectedUri_.clear();
        return {};
    }
    bool goOn = true;
    replaced_ = false;
    if (sink_) {
        deciding_ = true;
        goOn = sink_->NavigationRequested(nav.uri, nav.frameName);
        deciding_ = false;
    }
    if (replaced_) {
        replaced_ = false;
        return {Verdict::Replace, replacement_};
    }
    if (!goOn) return {Verdict::Ignore, ""};
    if (IsInPageJump(nav.uri, CurrentUri())) return {};
    // Composed pages, mail addresses and links that target a new window are loaded by the peer
    // itself; so is a file named in another letter case than the one on disk.
    std::string loadable = IsFileUri(nav.uri) ? LoadableUri(DisplayAddress(nav.uri)) : nav.uri;
    if (nav.newWindow || IsComposedPageUri(nav.uri) || IsMailtoUri(nav.uri) ||
        (IsFileUri(nav.uri) && !SameAddress(loadable, nav.uri))) {
        return {Verdict::Replace, loadable};
    }
    return {};
}

void WebKitBrowserPeer::LoadCommitted() {
    htmlCommitted_ = true;
    if (WebKitWebResource* resource = webkit_web_view_get_main_resource(view_)) {
        WebKitURIResponse* response = webkit_web_resource_get_response(resource);
        const char* mime = response ? webkit_uri_response_get_mime_type(response) : nullptr;
        if (mime) htmlCommitted_ = std::strstr(mime, "html") != nullptr;
    }
}

void WebKitBrowserPeer::LoadFailed(bool cancelled) {
    if (cancelled) skipNextFinish_ = true;
}

void WebKitBrowserPeer::LoadEnded() {
    if (skipNextFinish_) {
        skipNextFinish_ = false;
        return;
    }
    if (sink_) sink_->LoadFinished(CurrentUri());
}

}  // namespace web
