// Checks and escaping of what the caller hands the HTTP client as addresses.
#pragma once

#include <string>
#include <string_view>

namespace net {

// Request addresses are joined from a base and a file name without escaping; spaces and bytes
// from 0x80 up are percent-escaped here so the wire carries a valid request line. Control bytes
// (below 0x20, 0x7F) would split the request and raise ESocketError.
std::string EscapeUrl(std::string_view url);

// True for a numeric IPv4 ("127.0.0.1") or IPv6 address; binding never resolves names.
bool IsNumericAddress(std::string_view address);

// True when text holds no control byte (host names and credentials reach header lines).
bool IsPrintableText(std::string_view text);

}  // namespace net
