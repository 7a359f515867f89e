// The list "updates.list" and the texts and steps derived from it; nothing here needs a window.
#include <cmath>

#include "platform/rtl/codepage.h"
#include "platform/rtl/sysutils.h"
#include "updater/update.h"

namespace viewer {

namespace {

// Lines end in CR LF as the server writes them; a lone LF or CR ends a line too.
std::vector<std::string> SplitLines(const std::string& body) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

bool HasControlCharacters(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

enum class TLineKind { Skipped, Counted, Malformed };

// One trimmed, non-empty line; a newer pack is appended to offers.
TLineKind ParseLine(const std::string& line, int installedVersion, std::vector<TMyUpdate>& offers) {
    const size_t bar1 = line.find('|');
    const std::string versionText = rtl::Trim(line.substr(0, bar1));
    if (versionText.empty()) return TLineKind::Skipped;
    int64_t version = 0;
    if (!rtl::TryStrToInt64(versionText, version)) return TLineKind::Malformed;
    if (version <= installedVersion) return TLineKind::Counted;
    if (version > kMaxPackVersion || bar1 == std::string::npos) return TLineKind::Malformed;

    const size_t bar2 = line.find('|', bar1 + 1);
    if (bar2 == std::string::npos) return TLineKind::Malformed;
    const std::string file = rtl::Trim(line.substr(bar1 + 1, bar2 - bar1 - 1));
    int64_t size = 0;
    if (!rtl::TryStrToInt64(rtl::Trim(line.substr(bar2 + 1)), size)) return TLineKind::Malformed;
    if (size < 0 || size > kMaxPackBytes || file.empty() || HasControlCharacters(file)) return TLineKind::Malformed;

    offers.push_back(TMyUpdate{file, int32_t(size), int32_t(version)});
    return TLineKind::Counted;
}

}  // namespace

TUpdateListResult ParseUpdateList(const std::string& body, int installedVersion) {
    TUpdateListResult result;
    for (const std::string& raw : SplitLines(body)) {
        const std::string line = rtl::Trim(raw);
        if (line.empty()) {
            ++result.Lines;
            continue;
        }
        const TLineKind kind = ParseLine(line, installedVersion, result.Offers);
        if (kind == TLineKind::Malformed) {
            result.Malformed = true;
            result.Offers.clear();
            return result;
        }
        if (kind == TLineKind::Counted) ++result.Lines;
    }
    return result;
}

int64_t RoundHalfEven(double value) {
    if (!std::isfinite(value)) return 0;
    const double floorValue = std::floor(value);
    const double fraction = value - floorValue;
    double rounded = floorValue;
    if (fraction > 0.5) rounded = floorValue + 1;
    else if (fraction == 0.5) rounded = std::fmod(floorValue, 2.0) == 0 ? floorValue : floorValue + 1;
    return int64_t(rounded);
}

std::string OfferTitle(const TMyUpdate& pack) {
    return rtl::Ru("Пакет обновления ") + rtl::IntToStr(pack.PackVersion);
}

std::string OfferSize(const TMyUpdate& pack) {
    return rtl::IntToStr(RoundHalfEven(pack.PackSize / 1024.0)) + rtl::Ru("кб");
}

int InstallHalfStep(const TMyUpdate& pack, const std::vector<TMyUpdate>& all) {
    if (all.empty()) return 0;
    double total = 0;
    for (const TMyUpdate& each : all) total += each.PackSize;
    // Packs whose sizes are not given share the gauge evenly.
    if (total <= 0) return int(RoundHalfEven(50.0 / double(all.size())));
    return int(RoundHalfEven(pack.PackSize / 2.0 * (100.0 / total)));
}

}  // namespace viewer
