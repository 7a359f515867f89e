// The local-address watcher's history file.
//
// Format: plain ASCII text, one IPv4 address in dotted-quad form per line ("192.168.0.5"), each
// line ended by CR LF, oldest first. Two neighbouring lines never hold the same address (a line is
// added only when the address changed). At most kMaxHistoryEntries lines; older ones are dropped
// when the file is written. A file that is larger than kMaxHistoryFileSize, holds more lines than
// kMaxHistoryEntries, or holds any line that is not a dotted quad is damaged and read as an empty
// history; an empty file is an empty history. The file is always replaced atomically.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace net {

constexpr size_t kMaxHistoryEntries = 100;
constexpr size_t kMaxHistoryFileSize = 4096;

// The addresses of the file; empty when it is missing, unreadable or damaged.
std::vector<std::string> ReadHistoryFile(const std::string& fileName);
// Writes the last kMaxHistoryEntries addresses; raises rtl::EInOutError when it cannot.
void WriteHistoryFile(const std::string& fileName, const std::vector<std::string>& addresses);
// older followed by newer, without a repeated address where they meet, cut to the newest entries.
std::vector<std::string> MergeHistory(const std::vector<std::string>& older,
                                      const std::vector<std::string>& newer);

}  // namespace net
