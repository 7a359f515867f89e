#include "archive/ZAEntryNames.h"

#include <cstdio>
#include <vector>

#include "archive/ZARecords.h"
#include "platform/rtl/codepage.h"

namespace {

// Hosts of the "version made by" field whose tools store names in a code page: MS-DOS (FAT), OS/2
// (HPFS), Windows (NTFS, VFAT), and 11, which this library writes with names in the system's code page.
bool MadeUnderCodePage(uint16_t versionMadeBy)
{
    switch (versionMadeBy >> 8) {
    case 0: case 6: case 10: case 11: case 14: return true;
    default: return false;
    }
}

bool HasNonAscii(std::string_view raw)
{
    for (char c : raw)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

// A character of a stored name: its code point, or a byte that forms none.
struct TNameChar {
    char32_t CodePoint = 0;
    bool IsByte = false;
};

std::vector<TNameChar> CharsOf(std::string_view raw, TZANameForm form)
{
    std::vector<TNameChar> chars;
    if (form == TZANameForm::Utf8) {
        for (size_t i = 0; i < raw.size();) {
            const size_t start = i;
            char32_t cp = 0;
            if (rtl::NextUtf8Char(raw, i, cp)) {
                chars.push_back({cp, false});
                continue;
            }
            for (size_t k = start; k < i; ++k)
                chars.push_back({static_cast<unsigned char>(raw[k]), true});
        }
        return chars;
    }
    for (char c : raw)
        chars.push_back({rtl::Cp866ToCodePoint(static_cast<unsigned char>(c)), false});
    return chars;
}

bool Representable(const TNameChar& c)
{
    return !c.IsByte && (c.CodePoint == '?' || rtl::CodePointToCp1251(c.CodePoint) != '?');
}

std::string Escape(const TNameChar& c)
{
    char text[16];
    if (c.IsByte)
        std::snprintf(text, sizeof text, "<%02X>", static_cast<unsigned>(c.CodePoint));
    else
        std::snprintf(text, sizeof text, "<U+%04X>", static_cast<unsigned>(c.CodePoint));
    return text;
}

}  // namespace

TZANameForm StoredNameForm(std::string_view raw, uint16_t flags, uint16_t versionMadeBy, bool hostKnown,
                           bool oemNames)
{
    if (flags & kFlagUtf8Name)
        return TZANameForm::Utf8;
    if (!(hostKnown && MadeUnderCodePage(versionMadeBy)) && HasNonAscii(raw) && rtl::IsValidUtf8(raw))
        return TZANameForm::Utf8;
    return oemNames ? TZANameForm::Oem : TZANameForm::System;
}

std::string SystemNameOf(std::string_view raw, TZANameForm form, bool& escaped)
{
    escaped = false;
    if (form == TZANameForm::System)
        return std::string(raw);
    const std::vector<TNameChar> chars = CharsOf(raw, form);
    for (const TNameChar& c : chars)
        escaped = escaped || !Representable(c);
    std::string name;
    for (const TNameChar& c : chars) {
        if (!Representable(c) || (escaped && c.CodePoint == '<' && !c.IsByte))
            name += Escape(c);
        else
            name += rtl::CodePointToCp1251(c.CodePoint);
    }
    return name;
}
