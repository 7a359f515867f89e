#include "platform/net/iphistory.h"

#include "platform/net/localaddr.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/textfile.h"

namespace net {

namespace {

std::vector<std::string> ParseHistory(const std::string& text) {
    if (text.size() > kMaxHistoryFileSize) return {};  // grew after its size was looked at
    const std::vector<std::string> lines = rtl::SplitLines(text);
    if (lines.size() > kMaxHistoryEntries) return {};
    for (const std::string& line : lines)
        if (!IsDottedQuad(line)) return {};
    return lines;
}

}  // namespace

std::vector<std::string> ReadHistoryFile(const std::string& fileName) {
    if (fileName.empty()) return {};
    const int64_t size = rtl::FileSizeOf(fileName);
    if (size <= 0 || size > static_cast<int64_t>(kMaxHistoryFileSize)) return {};
    try {
        return ParseHistory(rtl::ReadFileBytes(fileName));
    } catch (const rtl::Exception&) {
        return {};
    }
}

void WriteHistoryFile(const std::string& fileName, const std::vector<std::string>& addresses) {
    const size_t first = addresses.size() > kMaxHistoryEntries ? addresses.size() - kMaxHistoryEntries : 0;
    std::string text;
    for (size_t i = first; i < addresses.size(); ++i) text += addresses[i] + "\r\n";
    rtl::WriteFileAtomic(fileName, text);
}

std::vector<std::string> MergeHistory(const std::vector<std::string>& older,
                                      const std::vector<std::string>& newer) {
    std::vector<std::string> merged = older;
    for (const std::string& address : newer)
        if (merged.empty() || merged.back() != address) merged.push_back(address);
    if (merged.size() > kMaxHistoryEntries)
        merged.erase(merged.begin(), merged.end() - kMaxHistoryEntries);
    return merged;
}

}  // namespace net
