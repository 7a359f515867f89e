#include "platform/rtl/format.h"

#include <algorithm>
#include <optional>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace rtl {

FormatArg& FormatArg::operator=(const FormatArg& other) {
    kind_ = other.kind_;
    bits_ = other.bits_;
    signed_ = other.signed_;
    unsigned_ = other.unsigned_;
    char_ = other.char_;
    // A single char points at its own storage, never at the copied object's.
    text_ = other.text_.data() == &other.char_ ? std::string_view(&char_, 1) : other.text_;
    return *this;
}

namespace {

// Widths and precisions beyond this are taken as a broken format rather than a request for
// megabytes of padding.
constexpr int kMaxWidth = 1 << 20;

[[noreturn]] void RaiseBadFormat(std::string_view fmt) {
    throw EConvertError("Format '" + std::string(fmt) + "' invalid or incompatible with argument");
}

struct Spec {
    bool leftAlign = false;
    int width = 0;
    std::optional<int> precision;
    char type = 0;
};

class Formatter {
public:
    Formatter(std::string_view fmt, std::initializer_list<FormatArg> args)
        : fmt_(fmt), args_(args) {}

    std::string Run() {
        std::string out;
        out.reserve(fmt_.size() + 16);
        while (pos_ < fmt_.size()) {
            const size_t percent = fmt_.find('%', pos_);
            if (percent == std::string_view::npos) {
                out.append(fmt_.substr(pos_));
                break;
            }
            out.append(fmt_.substr(pos_, percent - pos_));
            pos_ = percent + 1;
            if (Peek() == '%') {
                out += '%';
                ++pos_;
                continue;
            }
            AppendOne(out);
        }
        return out;
    }

private:
    char Peek() const { return pos_ < fmt_.size() ? fmt_[pos_] : '\0'; }

    // Digits or "*" (the next argument, an integer); nullopt when neither is there.
    std::optional<int> ReadNumber() {
        if (Peek() == '*') {
            ++pos_;
            const FormatArg& arg = NextArg();
            if (arg.kind() == FormatArg::Kind::String) RaiseBadFormat(fmt_);
            const bool isSigned = arg.kind() == FormatArg::Kind::Signed;
            if (isSigned ? (arg.signedValue() < 0 || arg.signedValue() > kMaxWidth)
                         : arg.unsignedValue() > static_cast<uint64_t>(kMaxWidth))
                RaiseBadFormat(fmt_);
            return static_cast<int>(isSigned ? arg.signedValue() : static_cast<int64_t>(arg.unsignedValue()));
        }
        if (Peek() < '0' || Peek() > '9') return std::nullopt;
        int value = 0;
        while (Peek() >= '0' && Peek() <= '9') {
            value = value * 10 + (fmt_[pos_++] - '0');
            if (value > kMaxWidth) RaiseBadFormat(fmt_);
        }
        return value;
    }

    const FormatArg& NextArg() {
        if (next_ >= args_.size()) RaiseBadFormat(fmt_);
        return args_.begin()[next_++];
    }

    Spec ReadSpec() {
        Spec spec;
        std::optional<int> first = ReadNumber();
        if (first && Peek() == ':') {
            ++pos_;
            next_ = static_cast<size_t>(*first);
            first.reset();
        }
        if (!first) {
            if (Peek() == '-') {
                spec.leftAlign = true;
                ++pos_;
            }
            first = ReadNumber();
        }
        spec.width = first.value_or(0);
        if (Peek() == '.') {
            ++pos_;
            spec.precision = ReadNumber().value_or(0);
        }
        if (pos_ >= fmt_.size()) RaiseBadFormat(fmt_);
        spec.type = AsciiLowerChar(fmt_[pos_++]);
        return spec;
    }

    static char AsciiLowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

    void AppendOne(std::string& out) {
        const Spec spec = ReadSpec();
        std::string text;
        switch (spec.type) {
            case 'd': text = FormatSigned(NextArg(), spec); break;
            case 'u': text = FormatDigits(BitPattern(NextArg()), spec, false); break;
            case 'x': text = FormatDigits(BitPattern(NextArg()), spec, true); break;
            case 's': text = FormatString(NextArg(), spec); break;
            default: RaiseBadFormat(fmt_);
        }
        const size_t width = static_cast<size_t>(spec.width);
        if (text.size() < width) {
            if (spec.leftAlign) text.append(width - text.size(), ' ');
            else text.insert(0, width - text.size(), ' ');
        }
        out += text;
    }

    std::string FormatSigned(const FormatArg& arg, const Spec& spec) const {
        if (arg.kind() == FormatArg::Kind::String) RaiseBadFormat(fmt_);
        if (arg.kind() == FormatArg::Kind::Unsigned) return FormatDigits(arg.unsignedValue(), spec, false);
        const int64_t v = arg.signedValue();
        const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        return (v < 0 ? "-" : "") + FormatDigits(magnitude, spec, false);
    }

    // The value of an integer argument as unsigned; a negative one as its bit pattern at its width.
    uint64_t BitPattern(const FormatArg& arg) const {
        if (arg.kind() == FormatArg::Kind::String) RaiseBadFormat(fmt_);
        if (arg.kind() == FormatArg::Kind::Unsigned) return arg.unsignedValue();
        const uint64_t v = static_cast<uint64_t>(arg.signedValue());
        return arg.bits() >= 64 ? v : v & ((uint64_t{1} << arg.bits()) - 1);
    }

    static std::string FormatDigits(uint64_t value, const Spec& spec, bool hex) {
        std::string digits = hex ? IntToHex(value, 1) : std::to_string(value);
        const size_t minimum = static_cast<size_t>(spec.precision.value_or(0));
        if (digits.size() < minimum) digits.insert(0, minimum - digits.size(), '0');
        return digits;
    }

    std::string FormatString(const FormatArg& arg, const Spec& spec) const {
        if (arg.kind() != FormatArg::Kind::String) RaiseBadFormat(fmt_);
        std::string_view s = arg.text();
        if (spec.precision) s = s.substr(0, static_cast<size_t>(*spec.precision));
        return std::string(s);
    }

    std::string_view fmt_;
    std::initializer_list<FormatArg> args_;
    size_t pos_ = 0;
    size_t next_ = 0;
};

}  // namespace

std::string Format(std::string_view fmt, std::initializer_list<FormatArg> args) {
    return Formatter(fmt, args).Run();
}

}  // namespace rtl
