// The machine's local IPv4 address as the local-address watcher reports it.
#pragma once

#include <string>
#include <string_view>

namespace net {

// The first IPv4 address of an interface that is up and not a loopback, in the order the system
// lists its interfaces; "127.0.0.1" when there is none.
std::string FirstLocalIPv4();

// True for a dotted-quad IPv4 address: four decimal parts 0..255 of one to three digits.
bool IsDottedQuad(std::string_view text);

}  // namespace net
