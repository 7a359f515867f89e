#include "archive/ZAEntryNames.h"

#include <cstdio>
#include <vector>

#include "archive/ZADirArray.h"
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

// A character of a stored name: its code point, or a byte that forms none (in the system's code
// page, its one undefined byte).
struct TNameChar {
    char32_t CodePoint = 0;
    bool IsByte = false;
};

std::vector<TNameChar> CharsOf(std::string_view raw, TZANameForm form)
{
    std::vector<TNameChar> chars;
    chars.reserve(raw.size());
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
    for (char c : raw) {
        const auto b = static_cast<unsigned char>(c);
        if (form == TZANameForm::Oem) {
            chars.push_back({rtl::Cp866ToCodePoint(b), false});
            continue;
        }
        const char32_t cp = rtl::Cp1251ToCodePoint(b);
        chars.push_back(cp == 0xFFFD ? TNameChar{b, true} : TNameChar{cp, false});
    }
    return chars;
}

bool Representable(const TNameChar& c)
{
    return !c.IsByte && c.CodePoint != 0 && (c.CodePoint == '?' || rtl::CodePointToCp1251(c.CodePoint) != '?');
}

// A byte of the system's own code page stands as it is, in a name that holds it as such.
bool NeedsEscape(const TNameChar& c, TZANameForm form)
{
    return c.IsByte ? form != TZANameForm::System : !Representable(c);
}

std::string Escape(const TNameChar& c, int digits = 4)
{
    char text[24];
    if (c.IsByte)
        std::snprintf(text, sizeof text, "<%02X>", static_cast<unsigned>(c.CodePoint));
    else
        std::snprintf(text, sizeof text, "<U+%0*X>", digits, static_cast<unsigned>(c.CodePoint));
    return text;
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Whether text at "at" reads as an escape: "<U+" and four to eight hex digits, or "<" and two hex
// digits, then ">"; either case, since names are also looked up without regard to case.
bool ReadsAsEscape(std::string_view text, size_t at)
{
    size_t p = at + 1;
    size_t minDigits = 2, maxDigits = 2;
    if (p + 1 < text.size() && (text[p] == 'U' || text[p] == 'u') && text[p + 1] == '+') {
        p += 2;
        minDigits = 4;
        maxDigits = 8;
    }
    size_t digits = 0;
    while (p < text.size() && IsHexDigit(text[p]) && digits <= maxDigits)
        ++p, ++digits;
    return digits >= minDigits && digits <= maxDigits && p < text.size() && text[p] == '>';
}

bool HoldsEscapeLookalike(std::string_view text)
{
    for (size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1))
        if (ReadsAsEscape(text, at))
            return true;
    return false;
}

// The form a name takes when it gives way to another name of the same characters (file comment).
std::string SeparatedNameOf(std::string_view raw, TZANameForm form)
{
    std::string name;
    for (const TNameChar& c : CharsOf(raw, form)) {
        if (!c.IsByte && c.CodePoint < 0x80 && c.CodePoint != '<' && c.CodePoint != 0)
            name += static_cast<char>(c.CodePoint);
        else
            name += Escape(c, 8);
    }
    return name;
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
    const std::vector<TNameChar> chars = CharsOf(raw, form);
    escaped = false;
    for (const TNameChar& c : chars)
        escaped = escaped || NeedsEscape(c, form);
    std::string plain;
    if (!escaped) {
        plain.reserve(chars.size());
        for (const TNameChar& c : chars)
            plain += c.IsByte ? static_cast<char>(c.CodePoint) : rtl::CodePointToCp1251(c.CodePoint);
        if (!HoldsEscapeLookalike(plain))
            return plain;
    }
    std::string name;
    for (const TNameChar& c : chars) {
        if (NeedsEscape(c, form) || (!c.IsByte && c.CodePoint == '<'))
            name += Escape(c);
        else
            name += c.IsByte ? static_cast<char>(c.CodePoint) : rtl::CodePointToCp1251(c.CodePoint);
    }
    return name;
}

std::string ListedNameOf(std::string_view name)
{
    bool escaped = false;
    return SystemNameOf(name, TZANameForm::System, escaped);
}

std::string ListedNameOfUtf8(std::string_view utf8)
{
    bool escaped = false;
    return SystemNameOf(utf8, TZANameForm::Utf8, escaped);
}

int IndexOfGivenName(const TZADirArray& dir, std::string_view name)
{
    const std::string listed = ListedNameOf(name);
    std::vector<int> named = dir.IndexesNamed(listed);
    if (named.empty() && HasNonAscii(name))
        named = dir.IndexesNamed(SeparatedNameOf(name, TZANameForm::System));
    return named.empty() ? dir.IndexOfName(listed) : named.back();
}

// Names of one form read apart, so two entries of other bytes show one name only when one name is
// read as UTF-8 and the other from a code page; the latter gives way. Names in ASCII read alike in
// every form, so only a name with a byte above 0x7F can meet one of other bytes.
void KeepNameApart(TZADirArray& dir, int index, bool oemNames)
{
    if (!HasNonAscii(dir.ItemAt(index).StoredName))
        return;
    const TZANameForm codePage = oemNames ? TZANameForm::Oem : TZANameForm::System;
    for (int other : dir.IndexesNamed(dir.ItemAt(index).FileName)) {
        if (other == index || dir.ItemAt(other).StoredName == dir.ItemAt(index).StoredName)
            continue;
        const int yielding = dir.ItemAt(index).NameInUtf8 ? other : index;
        dir.ShowItemAs(yielding, SeparatedNameOf(dir.ItemAt(yielding).StoredName, codePage));
        if (yielding == index)
            return;
    }
}
