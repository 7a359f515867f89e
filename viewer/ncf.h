// "config.ncf": the skin configuration stored scrambled.
//
// The file is one record of 100,001 little-endian 32-bit integers. Positions 0 to 10,000 carry the
// text: position i holds v = d + kNcfBase + kNcfStep * i (modulo 2^32), where d is a character code
// 1..255 or, below 1, a line break. The remaining integers carry nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "viewer/types.h"

namespace viewer {

constexpr uint32_t kNcfBase = 1357913u;
constexpr uint32_t kNcfStep = 2467u;
constexpr size_t kNcfRecordInts = 100001;
constexpr size_t kNcfRecordBytes = kNcfRecordInts * 4;  // 400,004
constexpr size_t kNcfTextPositions = 10001;

// Raised by the encoder for text it cannot store.
class ENcfError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// Decodes the first kNcfRecordBytes of record into lines (empty lines and an unterminated last
// line produce nothing). Raises rtl::EReadError when record is shorter than one record.
TKorDecoded DecodeNcf(std::string_view record);

// Decodes the file; raises the run time's errors when it cannot be opened or is too short.
// Reads no more than one record, whatever the file's size.
TKorDecoded DecodeNcfFile(const std::string& path);

// Encodes lines, each followed by a break, into one record. The lines must hold no byte 0 and, with
// one break each, fit in kNcfTextPositions; otherwise ENcfError says why. Unused positions decode as
// breaks; the spare integers are filled with noise.
std::string EncodeNcf(const std::vector<std::string>& lines);

// Encodes a text whose lines end with CR LF or LF (a last line without a break gets one).
std::string EncodeNcfText(std::string_view text);

// The number of text positions the lines need (their lengths plus one break each).
size_t NcfPositionsNeeded(const std::vector<std::string>& lines);

}  // namespace viewer
