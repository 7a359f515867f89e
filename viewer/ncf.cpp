#include "viewer/ncf.h"

#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/textfile.h"

namespace viewer {

namespace {

uint32_t Scramble(size_t position) { return kNcfBase + kNcfStep * uint32_t(position); }

uint32_t ReadLE32(std::string_view bytes, size_t index) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + index * 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void WriteLE32(std::string& bytes, size_t index, uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes[index * 4 + size_t(k)] = char((value >> (8 * k)) & 0xFF);
}

// A small deterministic generator, so the same text always gives the same file.
class TNoise {
public:
    uint32_t Next() {
        FState = FState * 1664525u + 1013904223u;
        return FState;
    }

private:
    uint32_t FState = 0x5EED1234u;
};

}  // namespace

TKorDecoded DecodeNcf(std::string_view record) {
    if (record.size() < kNcfRecordBytes) throw rtl::EReadError("Read error: config record is short");
    TKorDecoded lines;
    std::string line;
    for (size_t i = 0; i < kNcfTextPositions; ++i) {
        // Unsigned arithmetic wraps by definition; the sign of the difference is read afterwards.
        const int32_t d = int32_t(ReadLE32(record, i) - Scramble(i));
        if (d >= 1) {
            line.push_back(char(d & 0xFF));
        } else if (!line.empty()) {
            lines.push_back(std::move(line));
            line.clear();
        }
    }
    return lines;
}

TKorDecoded DecodeNcfFile(const std::string& path) {
    rtl::TFileStream file(path, rtl::fmOpenRead | rtl::fmShareDenyWrite);
    std::string record(kNcfRecordBytes, '\0');
    file.ReadBuffer(record.data(), int64_t(record.size()));
    return DecodeNcf(record);
}

size_t NcfPositionsNeeded(const std::vector<std::string>& lines) {
    size_t needed = 0;
    for (const std::string& line : lines) needed += line.size() + 1;
    return needed;
}

std::string EncodeNcf(const std::vector<std::string>& lines) {
    const size_t needed = NcfPositionsNeeded(lines);
    if (needed > kNcfTextPositions)
        throw ENcfError("config.ncf: the text needs " + rtl::IntToStr(int64_t(needed)) +
                        " positions with its line breaks; the file holds " +
                        rtl::IntToStr(int64_t(kNcfTextPositions)));
    TNoise noise;
    std::string record(kNcfRecordBytes, '\0');
    size_t position = 0;
    auto put = [&](int32_t d) {
        WriteLE32(record, position, uint32_t(d) + Scramble(position));
        ++position;
    };
    auto putBreak = [&] { put(-int32_t(noise.Next() % 1000)); };
    for (size_t n = 0; n < lines.size(); ++n) {
        for (char c : lines[n]) {
            if (c == '\0')
                throw ENcfError("config.ncf: line " + rtl::IntToStr(int64_t(n) + 1) + " holds a zero byte");
            put(int32_t(static_cast<unsigned char>(c)));
        }
        putBreak();
    }
    while (position < kNcfTextPositions) putBreak();
    for (; position < kNcfRecordInts; ++position) WriteLE32(record, position, noise.Next());
    return record;
}

std::string EncodeNcfText(std::string_view text) { return EncodeNcf(rtl::SplitLines(text)); }

}  // namespace viewer
