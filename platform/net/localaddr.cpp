#include "platform/net/localaddr.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace net {

namespace {

constexpr const char* kLoopback = "127.0.0.1";

bool IsUsableIPv4(const ifaddrs* entry) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) return false;
    if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK)) return false;
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    return (ntohl(address->sin_addr.s_addr) >> 24) != 127;
}

}  // namespace

std::string FirstLocalIPv4() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return kLoopback;
    std::string result = kLoopback;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!IsUsableIPv4(entry)) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) {
            result = text;
            break;
        }
    }
    freeifaddrs(list);
    return result;
}

bool IsDottedQuad(std::string_view text) {
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        int value = 0, digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            value = value * 10 + (text[i++] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
    }
    return i == text.size();
}

}  // namespace net
