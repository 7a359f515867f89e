// String routines of the class library with their exact semantics: 1-based indexes, byte strings
// (cp1251), bytes compared unsigned.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rtl {

// 1-based position of the first occurrence of sub in s; 0 when absent or when sub is empty.
int Pos(std::string_view sub, std::string_view s);
// Like Pos, searching from the 1-based index start (values below 1 count as 1).
int PosFrom(std::string_view sub, std::string_view s, int start);

// count bytes from the 1-based index; index < 1 counts as 1; count <= 0 or index past the end gives "".
std::string Copy(std::string_view s, int index, int count);
// Removes count bytes from the 1-based index; nothing happens when index is out of 1..length or count <= 0.
void Delete(std::string& s, int index, int count);
// Inserts sub before the 1-based index; index < 1 counts as 1, index past the end appends.
void Insert(std::string_view sub, std::string& s, int index);

// Remove leading/trailing bytes <= 0x20 (control characters and space; Cyrillic bytes stay).
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// Decimal integer: leading blanks, an optional sign, digits, nothing after them; "$" followed by hex
// digits is accepted as well. Overflow, an empty string or anything else raises EConvertError
// ("'abc' is not a valid integer value").
int StrToInt(std::string_view s);
int64_t StrToInt64(std::string_view s);
int StrToIntDef(std::string_view s, int def);
int64_t StrToInt64Def(std::string_view s, int64_t def);
// True and the value when s is a valid integer, false otherwise (no exception).
bool TryStrToInt(std::string_view s, int& value);
bool TryStrToInt64(std::string_view s, int64_t& value);

std::string IntToStr(int64_t value);
// Upper-case hex, at least `digits` digits (zero-padded).
std::string IntToHex(uint64_t value, int digits);

enum TReplaceFlag : unsigned { rfReplaceAll = 1, rfIgnoreCase = 2 };
using TReplaceFlags = unsigned;
// Replaces the first (or, with rfReplaceAll, every) occurrence of oldPattern; with rfIgnoreCase letters
// match through the full cp1251 case table. One pass, linear in the size of s. An empty oldPattern
// leaves s unchanged.
std::string StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                          TReplaceFlags flags = 0);

// count copies of c ("" for count <= 0).
std::string StringOfChar(char c, int count);
// s between single quotes, each quote inside doubled: O'Neil -> 'O''Neil'.
std::string QuotedStr(std::string_view s);
// 1-based index of the last byte of s that is one of delimiters; 0 when none.
int LastDelimiter(std::string_view delimiters, std::string_view s);

// ASCII-only case-insensitive comparison; CompareText returns < 0, 0 or > 0 (bytes unsigned).
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
// The same over the full cp1251 case table; Ё/ё sorts right after Е/е, as in the alphabet.
bool AnsiSameText(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);
// Case-sensitive comparison of bytes, unsigned.
int CompareStr(std::string_view a, std::string_view b);

// The platform's own text (cp1251, Russian, ending in a full stop) for an error number of a file
// operation, as a file-open or file-create error reports it after the class library's words.
std::string SysErrorMessage(int error);

}  // namespace rtl
