// The proxy page: the browser's proxy read from the registry, the enabling of the fields, and the
// saving of the page into the configuration record and the HTTP client.
#include "controls/bztCheckBoxT.h"
#include "platform/rtl/registry.h"
#include "platform/rtl/sysutils.h"
#include "updater/update.h"
#include "viewer/bindings.h"

namespace viewer {

namespace {

constexpr const char* kInternetSettingsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr size_t kShortestProxyServer = 10;
constexpr size_t kPortTextLimit = 99;
constexpr const char* kDefaultProxyPort = "80";

// "host:port", or a bare host on the default port.
bool SplitHostPort(const std::string& entry, TProxyAddress& address) {
    if (entry.empty()) return false;
    const size_t colon = entry.find(':');
    if (colon == std::string::npos) {
        address = {entry, kDefaultProxyPort};
    } else {
        address = {entry.substr(0, colon), entry.substr(colon + 1, kPortTextLimit)};
    }
    return !address.Host.empty();
}

// The value of the "http=" entry of a per-protocol list, wherever it stands.
std::string HttpEntry(const std::string& list) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        const std::string entry = rtl::Trim(list.substr(start, end - start));
        const size_t equals = entry.find('=');
        if (equals != std::string::npos && rtl::SameText(rtl::Trim(entry.substr(0, equals)), "http"))
            return rtl::Trim(entry.substr(equals + 1));
        start = end + 1;
    }
    return {};
}

// Low 16 bits of the port text, never 0; false when the text is not a number.
bool PortOf(const std::string& text, uint16_t& port) {
    int value = 0;
    if (!rtl::TryStrToInt(text, value)) return false;
    port = uint16_t(uint32_t(value) & 0xFFFF);
    if (port == 0) port = 1;
    return true;
}

}  // namespace

bool ParseProxyServer(const std::string& value, TProxyAddress& address) {
    if (value.size() < kShortestProxyServer) return false;
    if (value.find(';') == std::string::npos) return SplitHostPort(value, address);
    return SplitHostPort(HttpEntry(value), address);
}

bool TForm5::DetectIEProxy() {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_CURRENT_USER;
    TProxyAddress address;
    bool found = false;
    try {
        if (!registry.OpenKeyReadOnly(kInternetSettingsKey)) return false;
        // A missing or unreadable "ProxyEnable" means no proxy.
        if (registry.ValueExists("ProxyEnable") && registry.ReadInteger("ProxyEnable") == 1)
            found = ParseProxyServer(registry.ReadString("ProxyServer"), address);
    } catch (const rtl::ERegistryException&) {
        found = false;
    }
    registry.CloseKey();
    if (!found) return false;

    proxy_address->SetText(address.Host);
    proxy_port->SetText(address.Port);
    CheckBox1->SetChecked(true);
    SaveProxySettings();
    return true;
}

void TForm5::SaveProxySettings() {
    uint16_t port = 1;
    if (!PortOf(proxy_port->Text(), port)) proxy_port->SetText("1");
    IntConfig.ProxyPort = port;
    IntConfig.ProxyHost.Set(proxy_address->Text());
    IntConfig.ProxyAuth = checkbox2->Checked() ? 1 : 0;
    IntConfig.UseProxy = CheckBox1->Checked() ? 1 : 0;
    IntConfig.ProxyUser.Set(proxy_user->Text());
    IntConfig.ProxyPassword.Set(proxy_pass->Text());

    net::TProxyParams& proxy = IdHTTP1.ProxyParams;
    if (CheckBox1->Checked()) {
        // The client gets the whole host, user and password; its port is the one recorded, so the
        // client never gets a port the record does not hold.
        proxy.ProxyServer = proxy_address->Text();
        proxy.ProxyPort = port;
        proxy.BasicAuthentication = checkbox2->Checked();
        proxy.ProxyUsername = proxy_user->Text();
        proxy.ProxyPassword = proxy_pass->Text();
    } else {
        proxy.ProxyServer.clear();
        proxy.ProxyPort = 0;
        proxy.ProxyUsername.clear();
        proxy.ProxyPassword.clear();
    }
    SaveIntConfig();
}

void TForm5::CheckBox1Click(forms::TObject*) {
    const bool useProxy = CheckBox1->Checked();
    checkbox2->SetEnabled(useProxy);
    proxy_address->SetEnabled(useProxy);
    proxy_port->SetEnabled(useProxy);
    proxy_user->SetEnabled(useProxy && checkbox2->Checked());
    proxy_pass->SetEnabled(useProxy && checkbox2->Checked());
}

void TForm5::CheckBox2Click(forms::TObject*) {
    proxy_user->SetEnabled(checkbox2->Checked());
    proxy_pass->SetEnabled(checkbox2->Checked());
}

void TForm5::Image13Click(forms::TObject*) { CheckBox1->SetChecked(!CheckBox1->Checked()); }

void TForm5::Image14Click(forms::TObject*) { checkbox2->SetChecked(!checkbox2->Checked()); }

}  // namespace viewer
