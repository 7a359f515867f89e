// Unit bindings: the configuration record "intcfg.dat" and the favourites built on its bookmark
// table. Plain routines of the GUI thread.
//
// The record is stored as its raw bytes: a packed, little-endian layout of exactly 54016 bytes.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace viewer {

static_assert(std::endian::native == std::endian::little, "the record is stored in little-endian order");

// A length-prefixed byte string with room for Capacity characters (one length byte, then the
// characters). Set zero-fills the room behind the text, so a shorter string leaves no trace of a
// longer one in the file; Get never reads past the room, whatever a damaged length byte says.
template <size_t Capacity>
struct TShortString {
    static_assert(Capacity > 0 && Capacity < 256);
    uint8_t Length;
    char Chars[Capacity];

    std::string Get() const { return std::string(Chars, std::min<size_t>(Length, Capacity)); }
    void Set(std::string_view text) {
        const size_t length = std::min(text.size(), Capacity);
        Length = uint8_t(length);
        if (length > 0) std::memcpy(Chars, text.data(), length);
        std::memset(Chars + length, 0, Capacity - length);
    }
    void Clear() { Set({}); }
    bool IsEmpty() const { return Length == 0; }
    bool LengthValid() const { return Length <= Capacity; }
};

#pragma pack(push, 1)

// One favourite. A slot is free exactly when its Path is empty.
struct TBookmark {
    TShortString<255> Path;   // page as CurrentDoc named it, normally relative to the data folder
    TShortString<19> Added;   // date, blank, time of the add
    TShortString<255> Title;  // empty = untitled
    uint8_t IsVideo;          // Boolean: the document was a clip
};

constexpr int kBookmarkSlots = 101;  // slots 0..100 (the full-table message speaks of 100)

// The per-installation record, stored whole in "intcfg.dat".
struct TIntConfig {
    uint16_t UpdateVersion;   // last update pack installed, 0 = none
    uint16_t Reserved;        // kept as loaded
    uint16_t TextStyleIndex;  // chosen text style in SkinStyles
    uint8_t UseProxy;         // Boolean
    TShortString<15> ProxyHost;
    uint8_t Padding;
    uint16_t ProxyPort;
    uint8_t ProxyAuth;        // Boolean: basic authentication
    TShortString<77> ProxyUser;
    TShortString<77> ProxyPassword;  // plain text
    TBookmark Bookmarks[kBookmarkSlots];
};

#pragma pack(pop)

static_assert(sizeof(TBookmark) == 533);
static_assert(sizeof(TIntConfig) == 54016);
static_assert(offsetof(TIntConfig, ProxyHost) == 7 && offsetof(TIntConfig, ProxyPort) == 24);
static_assert(offsetof(TIntConfig, ProxyUser) == 27 && offsetof(TIntConfig, ProxyPassword) == 105);
static_assert(offsetof(TIntConfig, Bookmarks) == 183);
static_assert(offsetof(TBookmark, Added) == 256 && offsetof(TBookmark, Title) == 276);
static_assert(offsetof(TBookmark, IsVideo) == 532);

// The program-wide record; zero-filled at start, filled from "intcfg.dat" at every skin load.
extern TIntConfig IntConfig;

// Reads program folder + "intcfg.dat" into IntConfig; a missing file leaves IntConfig as it is.
// A short or damaged file never stops the caller: what is there is loaded, the rest is zero, and
// the damage is reported once per run. A longer file is read only as far as its first record.
void LoadIntConfig();

// Writes IntConfig as the whole of program folder + "intcfg.dat", atomically (temporary file, then
// rename). Raises the run time's input-output error when it cannot, and also when the last load found
// the file but could not read it at all: that file may still hold bookmarks and is never replaced.
void SaveIntConfig();
// The save for the viewer's own changes (favourites, text style): a record that cannot be written
// is reported once a run and the change stays in memory for the rest of it.
void SaveIntConfigOrReport();

// Adds CurrentDoc to the favourites, saves, rewrites the fragment and reopens the page. A slot is
// filled only once the page's title was read: a failed read leaves the table as it was.
void AddBookmark();

// Removes bookmark Slot (0..100; other numbers are ignored), closes the gap, saves and rewrites the
// fragment.
void DeleteBookmark(uint16_t Slot);

// Writes the favourites fragment to program folder + "data\_favorites.tmp" (or where the generated
// pages go, viewer/scratch.h).
void WriteFavoritesPage();
// The same before a skin button's action: the action goes on when the fragment cannot be written (a
// page it composes or writes says so itself).
void RefreshFavoritesPage();

// ---- pieces exposed for tests ----

// The title of a page line as the add takes it: between the first "=" and the first ";".
std::string TitleFromLine(const std::string& Line);
// The fragment text WriteFavoritesPage writes (without its line end).
std::string FavoritesFragment();
// "dd.mm.yyyy hh:nn:ss" of the moment, as the add stores it (at most 19 characters).
std::string BookmarkTimestamp();
// Zero-fills IntConfig and forgets that a damaged record was reported.
void ResetBindingsState();

}  // namespace viewer
