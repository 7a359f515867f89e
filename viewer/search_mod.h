// Full-text search over the book's data pages.
//
// There is no index: every search walks the data folder, reads each page, and counts how many of the
// query's words (lower-cased, Russian endings stripped) occur in its lower-cased text. Pages with hits
// are listed in a results page built from the search list template, written to
// "data\tomeview_search.tmp".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "viewer/types.h"

namespace viewer {

// One searched page.
struct TSearch_header {
  std::string Path;   // relative to the data folder, folders separated by "\"
  std::string Title;
  std::string Text;   // the page prepared for matching
  uint16_t MatchCount = 0;
};
using TSearch_res = std::vector<TSearch_header>;

// Query words after ending stripping, in query order.
using TPattern = std::vector<std::string>;

namespace search {

// A page's raw bytes as the search reads them: every line followed by one blank, then runs of blanks
// shortened three times over ("  " -> " "), so a run of k blanks keeps ceil(k / 8).
std::string JoinAndSqueeze(const std::string& bytes);

// Fills Title and Text of a page from its prepared text: header blocks ("<?" ... "?>") are removed, and one
// holding "title", "=" and ";" gives the title.
void TakeHeaderBlocks(std::string text, TSearch_header& page);

// Reads one page under DataDir (Windows-style, trailing "\"); raises the run time's errors.
void ReadPage(const std::string& DataDir, const std::string& RelativePath, TSearch_header& page);

// The query's words: trimmed, lower-cased (cp1251), split at blanks (empty words kept), endings stripped
// from words longer than three characters.
TPattern MakePattern(const std::string& Query);

// Counts, for every word in order, whether it occurs in Text lowered as the query is (cp1251), so a
// word matches whatever its case on the page; an empty word never occurs.
uint16_t CountMatches(const std::string& Text, const TPattern& Words);

// Every page under DataDir + Prefix (Prefix empty or ending in "\"), subfolders included. With Words given,
// each page is counted as it is read and its text is not kept. A page that cannot be opened or read (a
// link to nothing among them) raises the run time's error of the first such page in walk order, and
// Pages is left as it was.
void CollectPages(const std::string& DataDir, const std::string& Prefix, TSearch_res& Pages,
                  const TPattern* Words = nullptr);

// The pages with hits, in the order of the viewer's exchange sort: ascending by MatchCount, with its own
// order among equal counts.
TSearch_res FilterAndSort(const TSearch_res& Pages);

// The results page's text for the ordered hits.
std::string ResultsPageText(const TSearch_res& Hits, uint16_t WordCount, const TKorTemplate& Template);

// Writes the results page into ProgramDir + "data\tomeview_search.tmp" (or where the generated pages
// go, viewer/scratch.h) and returns that full path.
std::string WriteResultsPage(const std::string& ProgramDir, const TSearch_res& Hits, uint16_t WordCount,
                             const TKorTemplate& Template);

// One whole search for Query: the results page is written and handed to OpenPage by its full path. A page
// that cannot be read ends the search with its error before anything is written or opened.
void RunSearch(const std::string& Query, const std::string& ProgramDir, const TKorTemplate& Template,
               const std::function<void(const std::string&)>& OpenPage);

}  // namespace search
}  // namespace viewer
