// Format of the class library: "%" [index ":"] ["-"] [width] ["." precision] type, with width and
// precision given as digits or "*" (taken from the next argument). Types (either case):
//   d  signed decimal; precision = minimum digits (zero-padded after the sign)
//   u  unsigned decimal; a negative argument is taken as its bit pattern at its own width
//   x  hexadecimal in upper-case digits; precision = minimum digits; negative as for u
//   s  string (or a single char); precision = maximum characters
//   %% a percent sign
// Width pads with blanks on the left, or on the right after "-"; a leading "0" in the width is just a
// digit (there is no zero flag). Arguments beyond the last one used are ignored.
// A format that does not fit its arguments (too few, a string for a number or the reverse, an unknown
// type, a "%" at the end) raises EConvertError; nothing reaches printf.
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace rtl {

class FormatArg {
public:
    enum class Kind { Signed, Unsigned, String };

    template <std::integral T>
        requires(!std::same_as<T, bool> && !std::same_as<T, char>)
    FormatArg(T value) : bits_(sizeof(T) * 8) {
        if constexpr (std::is_signed_v<T>) {
            kind_ = Kind::Signed;
            signed_ = value;
        } else {
            kind_ = Kind::Unsigned;
            unsigned_ = value;
        }
    }
    template <typename T>
        requires std::same_as<T, char>
    FormatArg(T c) : kind_(Kind::String), char_(c), text_(&char_, 1) {}
    // Neither converts silently to a character or a number.
    FormatArg(bool) = delete;
    template <std::floating_point T>
    FormatArg(T) = delete;
    FormatArg(const char* s) : kind_(Kind::String), text_(s ? s : "") {}
    FormatArg(std::string_view s) : kind_(Kind::String), text_(s) {}
    FormatArg(const std::string& s) : kind_(Kind::String), text_(s) {}

    FormatArg(const FormatArg& other) { *this = other; }
    FormatArg& operator=(const FormatArg& other);

    Kind kind() const { return kind_; }
    int64_t signedValue() const { return signed_; }
    uint64_t unsignedValue() const { return unsigned_; }
    int bits() const { return bits_; }
    std::string_view text() const { return text_; }

private:
    Kind kind_ = Kind::Signed;
    int bits_ = 0;
    int64_t signed_ = 0;
    uint64_t unsigned_ = 0;
    char char_ = 0;
    std::string_view text_;
};

std::string Format(std::string_view fmt, std::initializer_list<FormatArg> args);

}  // namespace rtl
