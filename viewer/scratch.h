// The viewer's generated pages: the composed page, the search results and the favourites fragment.
//
// They belong in the book's data folder. Where that folder cannot be written (a read-only medium, a
// book installed by another user) they go to a private folder of the reader's cache for this book,
// $XDG_CACHE_HOME/tome/<device>-<inode>/ (else ~/.cache/tome/...), keyed by the book folder's
// identity. Which of the two is decided once per book and run, by trying to create a file there.
#pragma once

#include <string>
#include <string_view>

namespace viewer::scratch {

inline constexpr char kComposedPage[] = "tomeview.tmp";
inline constexpr char kSearchResults[] = "tomeview_search.tmp";
inline constexpr char kFavorites[] = "_favorites.tmp";

// True when the generated pages of the book in ProgramDir (Windows-style, trailing separator) are
// in the cache folder.
bool InCache(std::string_view ProgramDir);

// The folder of the generated pages, with its trailing separator: ProgramDir + "data\", or the
// cache folder.
std::string Folder(std::string_view ProgramDir);

// Writes generated page Name atomically into Folder() and returns its full name. In the cache, the
// folder is made (mode 0700) where missing, and refused when a link or another user's folder stands
// at its name. A failure raises rtl::EInOutError with a message for the reader.
std::string Write(std::string_view ProgramDir, std::string_view Name, std::string_view Bytes);

// A file named relative to the data folder: a generated page's name leads into Folder().
std::string DataFile(std::string_view ProgramDir, std::string_view Name);

// Forgets the choice made (tests start afresh with a folder that may have changed).
void Reset();

}  // namespace viewer::scratch
