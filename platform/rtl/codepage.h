// Code pages and letter case. Text inside the system is Windows-1251 (cp1251) bytes in std::string;
// these tables are our own so results never depend on the C locale.
//
// Letter case:
//   LowerCase/UpperCase, AsciiLower/AsciiUpper change only 'A'..'Z' / 'a'..'z'.
//   AnsiLowerCase/AnsiUpperCase, AnsiLowerChar/AnsiUpperChar use the full cp1251 pairs:
//   Latin letters, А..Я/а..я, Ё/ё, and Ђ Ѓ Љ Њ Ќ Ћ Џ Ў Ј Ґ Є Ѕ І Ї with their small forms.
//   AnsiLowerInPlace lowers a buffer with the same table, without a copy, for text searched in bulk.
//
// OEM (cp866) <-> cp1251, used for file names stored by DOS-era tools:
//   Every character present in both pages maps to itself. A character the target page lacks becomes
//   '?' (0x3F) -- cp866 box-drawing and shade characters, cp1251 punctuation such as quotes, dashes and
//   the euro sign, and the Serbian/Macedonian letters cp866 does not hold. Bytes below 0x80 pass unchanged.
//
// UTF-8 <-> cp1251:
//   Cp1251ToUtf8 maps every defined byte to its character; the one undefined byte, 0x98, becomes '?'.
//   Utf8ToCp1251 turns each character cp1251 lacks into '?', and each invalid UTF-8 sequence (stray
//   continuation byte, truncated or overlong sequence, surrogate, value above U+10FFFF) into one '?'.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace rtl {

// A Russian literal written in UTF-8 in the sources, as cp1251 bytes: Ru("Файл").
std::string Ru(std::string_view utf8);

std::string Utf8ToCp1251(std::string_view utf8);
std::string Cp1251ToUtf8(std::string_view cp1251);

// The Unicode code point of a cp1251 byte (0xFFFD for the undefined 0x98).
char32_t Cp1251ToCodePoint(unsigned char c);
// The cp1251 byte of a code point, or '?' when cp1251 lacks it.
char CodePointToCp1251(char32_t cp);
// The Unicode code point of a cp866 (OEM) byte.
char32_t Cp866ToCodePoint(unsigned char c);
// The UTF-8 character at utf8[i]: its code point, i moved past it. False for a broken sequence, with
// i moved past the broken part (at least one byte).
bool NextUtf8Char(std::string_view utf8, size_t& i, char32_t& cp);
// Every byte of s belongs to a well-formed UTF-8 character (no overlong form, surrogate or value
// above U+10FFFF).
bool IsValidUtf8(std::string_view s);

char AsciiLower(char c);
char AsciiUpper(char c);
std::string LowerCase(std::string_view s);
std::string UpperCase(std::string_view s);

char AnsiLowerChar(char c);
char AnsiUpperChar(char c);
std::string AnsiLowerCase(std::string_view s);
std::string AnsiUpperCase(std::string_view s);
void AnsiLowerInPlace(std::span<char> s);

char OemToAnsiChar(char c);
char AnsiToOemChar(char c);
std::string OemToAnsi(std::string_view oem);
std::string AnsiToOem(std::string_view ansi);

}  // namespace rtl
