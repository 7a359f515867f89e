// Locale-aware character handling of the archive library and its small path routines.
//
// Character tables: at first use the collation of the user's locale is sampled into a rank per
// character code (RankTable), its inverse, and the upper-case mapping in rank space. Locale 1055
// (Turkish) uses stored tables; every other locale uses the cp1251 collation of this program.
// When the ranks form a permutation of 0..255 (always, for the locales we know), the compares run
// on ranks; otherwise on the locale comparison itself.
//
// Strings are byte strings; the compares and the matcher treat a zero byte as the end of a string.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// ---- Locale and character tables ----

inline constexpr uint32_t LocaleRussian = 1049;  // the default: cp1251 text
inline constexpr uint32_t LocaleTurkish = 1055;

struct TZACharTables {
    std::array<uint8_t, 256> RankTable{};    // rank of each code in the locale's collation
    std::array<uint8_t, 256> RankInverse{};  // code of each rank
    std::array<uint8_t, 256> UpperTable{};   // by rank: the rank of that character's upper case
    bool UseRankTables = false;              // RankTable is a permutation of 0..255
};

// The user's default locale: the environment variable TOME_LCID when it holds a number, else 1049.
// Read once; only SetUserLocaleForTests changes it afterwards.
uint32_t UserLocale();
// Switches the locale and rebuilds the tables (tests only: not safe while other threads compare).
void SetUserLocaleForTests(uint32_t lcid);
const TZACharTables& CharTables();

// The stored tables of locale 1055.
extern const std::array<uint8_t, 256> TurkishRanks;
extern const std::array<uint8_t, 256> TurkishUpper;

// The locale's comparison of two single characters (<0, 0, >0), as the tables are sampled from.
int LocaleCompareChars(uint32_t lcid, unsigned char a, unsigned char b);
// The locale's upper case of one character.
unsigned char LocaleUpperChar(uint32_t lcid, unsigned char c);

// ---- Compares (negative, zero or positive) ----

// Byte-wise over at most n characters; the end of the shorter string takes part, so a proper
// prefix is smaller. The empty string is smaller than any other (-1).
int CompareBytesLimited(std::string_view a, std::string_view b, int n);
// As CompareBytesLimited, but a differing pair is compared again through UpperTable. Its arguments
// are in collation order (ranks), as CollationOrderOf gives them.
int CompareTextLimited(std::string_view a, std::string_view b, int n);
// Case-sensitive / case-insensitive locale compares of at most n characters.
int CompareCharsExact(std::string_view a, std::string_view b, int n);
int CompareCharsNoCase(std::string_view a, std::string_view b, int n);

// Replace each character c of a zero-terminated buffer by RankTable[c] / RankInverse[c];
// a null buffer is left alone.
void ToCollationOrder(char* buffer);
void FromCollationOrder(char* buffer);
// The same on copies of a string (cut at its first zero byte).
std::string CollationOrderOf(std::string_view s);
std::string CodesOfCollationOrder(std::string_view s);

// ---- Wildcard matching ----

// True when Name matches Mask: "*" any run of characters, "?" exactly one character, every other
// character itself (compared through the locale, without case when ignoreCase). The results:
//  - the mask "*.*" matches every name, also names without a dot;
//  - a mask whose rest is exactly "*" matches whatever is left, also nothing, so "*" matches "";
//  - otherwise a "*" stands for a run that leaves at least one character of the name for the rest
//    of the mask: "a**" does not match "a" but matches "ab";
//  - "?" never matches the end of the name; an empty mask matches only the empty name.
// Takes at most O(length(Name) x length(Mask)) steps whatever the input.
bool MatchWildcard(std::string_view name, std::string_view mask, bool ignoreCase);

// ---- Paths, drives and file sharing ----

// The path with exactly one trailing "\": a run of trailing "\" or "/" becomes one "\".
std::string AddTrailingBackslash(std::string_view path);
// The path without its trailing "\" or "/".
std::string RemoveTrailingBackslash(std::string_view path);
bool DirExists(std::string_view path);
// Creates the directory and all missing parents; true when it exists afterwards.
bool MakeDirs(std::string_view path);
// The drive part of the path is "A:" or "B:" (either case).
bool IsFloppyName(std::string_view path);
// A floppy name, or a path on a removable drive.
bool IsRemovableName(std::string_view path);
// AddTrailingBackslash of baseDir, or of the current directory when baseDir is empty.
std::string ResolveBaseDir(std::string_view baseDir);
// path made absolute against baseDir (see ZAStrFunc.cpp); a path holding ":" is returned unchanged.
std::string ResolvePath(std::string_view baseDir, std::string_view path);
// File-open share flag of a TZAFileShareMode value (smShareCompat 0 .. smShareDenyNone 64).
int ShareModeFlags(int shareMode);
