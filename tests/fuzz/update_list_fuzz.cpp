// The update list: whatever the server sends, the parse agrees with the list's rules written out
// here field by field, the offers of a list that is not malformed are packs the updater can fetch
// and record, and nothing is offered above the highest version a record holds. Three installed
// versions are tried; a list malformed for one is malformed for every lower one, and the offers of
// a higher one are those of a lower one that are newer still. Trimming and integers are read by
// this target's own code, never the ones under test.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "fuzz_util.h"
#include "updater/update.h"

namespace {

using viewer::TMyUpdate;
using viewer::TUpdateListResult;

// The list's lines: CR LF, LF and CR each end one; text after the last end is a line too.
std::vector<std::string_view> ReferenceLines(std::string_view body)
{
    std::vector<std::string_view> lines;
    while (!body.empty()) {
        const size_t end = body.find_first_of("\r\n");
        lines.push_back(body.substr(0, end));
        if (end == std::string_view::npos)
            break;
        body.remove_prefix(end + (body.compare(end, 2, "\r\n") == 0 ? 2 : 1));
    }
    return lines;
}

std::string_view Trimmed(std::string_view field)
{
    while (!field.empty() && uint8_t(field.front()) <= ' ')
        field.remove_prefix(1);
    while (!field.empty() && uint8_t(field.back()) <= ' ')
        field.remove_suffix(1);
    return field;
}

int DigitValue(char c, unsigned base)
{
    const int value = c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : 99;
    return unsigned(value) < base ? value : -1;
}

// An integer as the class library reads one: leading spaces, a sign, "$" or "0x" before hex
// digits, then digits only; decimal within the signed 64-bit range, hex any 64-bit pattern.
std::optional<int64_t> Integer(std::string_view text)
{
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    const size_t prefix = text.starts_with('$') ? 1 : text.size() >= 2 && text[0] == '0' && (text[1] | 0x20) == 'x' ? 2 : 0;
    const unsigned base = prefix > 0 ? 16 : 10;
    text.remove_prefix(prefix);
    const unsigned __int128 limit = base == 16 ? ~uint64_t(0) : (unsigned __int128)(uint64_t(1) << 63) - (negative ? 0 : 1);
    unsigned __int128 magnitude = 0;
    for (const char c : text)
        if (const int digit = DigitValue(c, base); digit < 0 || (magnitude = magnitude * base + unsigned(digit)) > limit)
            return std::nullopt;
    if (text.empty())
        return std::nullopt;
    return int64_t(negative ? 0 - uint64_t(magnitude) : uint64_t(magnitude));
}

// One line by the list's rules: false when it makes the list malformed.
bool ReferenceLine(std::string_view raw, int installed, TUpdateListResult& result)
{
    const std::string_view line = Trimmed(raw);
    const size_t bar1 = line.find('|');
    const std::string_view version = Trimmed(line.substr(0, bar1));
    if (!line.empty() && version.empty())
        return true;  // a line whose first field is empty is passed over, and counts no step
    ++result.Lines;
    if (line.empty())
        return true;
    const std::optional<int64_t> number = Integer(version);
    if (!number)
        return false;
    if (*number <= installed)
        return true;
    const size_t bar2 = bar1 == std::string::npos ? bar1 : line.find('|', bar1 + 1);
    if (*number > viewer::kMaxPackVersion || bar2 == std::string::npos)
        return false;
    const std::string file(Trimmed(line.substr(bar1 + 1, bar2 - bar1 - 1)));
    const std::optional<int64_t> size = Integer(Trimmed(line.substr(bar2 + 1)));
    if (file.empty() || !size || *size < 0 || *size > viewer::kMaxPackBytes)
        return false;
    for (const unsigned char c : file)
        if (c < 0x20 || c == 0x7F)
            return false;
    result.Offers.push_back(TMyUpdate{file, int32_t(*size), int32_t(*number)});
    return true;
}

TUpdateListResult Reference(std::string_view body, int installed)
{
    TUpdateListResult result;
    for (const std::string_view line : ReferenceLines(body)) {
        if (!ReferenceLine(line, installed, result))
            return TUpdateListResult{true, {}, result.Lines};
    }
    return result;
}

bool SameOffers(const std::vector<TMyUpdate>& a, const std::vector<TMyUpdate>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].PackFile != b[i].PackFile || a[i].PackSize != b[i].PackSize || a[i].PackVersion != b[i].PackVersion)
            return false;
    }
    return true;
}

void CheckAgainstReference(const TUpdateListResult& result, const std::string& body, int installed)
{
    const TUpdateListResult expected = Reference(body, installed);
    fuzzutil::Check(result.Malformed == expected.Malformed, "a list is malformed exactly when a line breaks the rules");
    if (result.Malformed)
        return;
    fuzzutil::Check(result.Lines == expected.Lines, "every line but those with an empty first field counts a step");
    fuzzutil::Check(SameOffers(result.Offers, expected.Offers), "the offers are the newer lines, in list order");
    for (const TMyUpdate& offer : result.Offers) {
        fuzzutil::Check(offer.PackVersion > installed && offer.PackVersion <= viewer::kMaxPackVersion,
                        "an offer is newer than the installed version and fits the record");
        fuzzutil::Check(offer.PackSize >= 0 && offer.PackSize <= viewer::kMaxPackBytes, "an offer's size is bounded");
        fuzzutil::Check(!offer.PackFile.empty(), "an offer names its pack");
    }
}

// The passes against one another: a lower installed version sees at least what a higher one sees.
void CheckPasses(const TUpdateListResult& lower, const TUpdateListResult& higher, int higherInstalled)
{
    if (higher.Malformed) {
        fuzzutil::Check(lower.Malformed, "a list malformed above an installed version is malformed below it");
        return;
    }
    if (lower.Malformed)
        return;
    std::vector<TMyUpdate> newer;
    for (const TMyUpdate& offer : lower.Offers)
        if (offer.PackVersion > higherInstalled)
            newer.push_back(offer);
    fuzzutil::Check(SameOffers(newer, higher.Offers) && lower.Lines == higher.Lines,
                    "a higher installed version offers the lower one's offers that are newer still");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(fuzzutil::AsText(data, size));
    constexpr int kInstalled[] = {0, 3, viewer::kMaxPackVersion};
    std::vector<TUpdateListResult> results;
    for (const int installed : kInstalled) {
        results.push_back(viewer::ParseUpdateList(body, installed));
        CheckAgainstReference(results.back(), body, installed);
    }
    for (size_t i = 1; i < results.size(); ++i)
        CheckPasses(results[i - 1], results[i], kInstalled[i]);
    fuzzutil::Check(results.back().Offers.empty(), "nothing is offered above the highest version");
    return 0;
}
