#include "viewer/search_mod.h"

#include <cstring>
#include <deque>
#include <map>

#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/findfile.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/textfile.h"

namespace viewer {
namespace search {
namespace {

// A title is at most this long.
constexpr int kMaxTitle = 999;

// Attributes the walk asks for: read-only, hidden, system, volume label, directory, archive.
constexpr int kWalkAttributes = 63;

bool IsPageExtension(const std::string& name) {
  const size_t dot = name.find('.');
  const std::string ext = dot == std::string::npos ? name.substr(0, 9) : name.substr(dot + 1, 9);
  return ext == "htm" || ext == "html" || ext == "edf";
}

const std::vector<std::string>& TwoLetterEndings() {
  static const std::vector<std::string> endings = {
      rtl::Ru("ая"), rtl::Ru("ие"), rtl::Ru("ия"), rtl::Ru("ее"), rtl::Ru("ой"), rtl::Ru("ей"),
      rtl::Ru("ых"), rtl::Ru("ии"), rtl::Ru("ый"), rtl::Ru("ию"), rtl::Ru("ое"), rtl::Ru("ов")};
  return endings;
}

const std::string& OneLetterEndings() {
  static const std::string endings = rtl::Ru("аиоыеуюяь");
  return endings;
}

void StripEndings(std::string& word) {
  if (word.size() <= 3) return;
  for (const auto& ending : TwoLetterEndings()) {
    if (word.compare(word.size() - 2, 2, ending) == 0) {
      word.resize(word.size() - 2);
      break;
    }
  }
  if (!word.empty() && OneLetterEndings().find(word.back()) != std::string::npos) word.pop_back();
}

bool Contains(const std::string& text, const std::string& word) {
  return !word.empty() && memmem(text.data(), text.size(), word.data(), word.size()) != nullptr;
}

// The results rows' match texts.
std::string MatchText(uint16_t count, uint16_t wordCount) {
  return count == wordCount ? rtl::Ru("полное совпадение") : rtl::Ru("нестрогое совпадение");
}

}  // namespace

std::string JoinAndSqueeze(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() + 1);
  size_t blanks = 0;
  auto blank = [&] { ++blanks; };
  auto flushBlanks = [&] {
    out.append((blanks + 7) / 8, ' ');
    blanks = 0;
  };
  const size_t n = bytes.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = bytes[i];
    if (c == '\n' || (c == '\r' && i + 1 < n && bytes[i + 1] == '\n')) {
      if (c == '\r') ++i;
      blank();  // the blank that follows every line
    } else if (c == ' ') {
      blank();
    } else {
      flushBlanks();
      out.push_back(c);
    }
  }
  if (n > 0 && bytes[n - 1] != '\n') blank();  // a last line without its line end
  flushBlanks();
  return out;
}

void TakeHeaderBlocks(std::string text, TSearch_header& page) {
  for (;;) {
    const size_t open = text.find("<?");
    if (open == std::string::npos) break;
    // Only a "?>" after the "<?" closes a block; without one the rest of the page is plain text.
    const size_t close = text.find("?>", open + 1);
    if (close == std::string::npos) break;
    const std::string block = text.substr(open, close + 2 - open);
    const int titleAt = rtl::Pos("title", rtl::LowerCase(block));
    if (titleAt > 0 && block.find(';') != std::string::npos) {
      std::string entry = rtl::Trim(rtl::Copy(block, titleAt, static_cast<int>(block.size())));
      entry = rtl::Trim(rtl::Copy(entry, 1, rtl::Pos(";", entry) - 1));
      page.Title = rtl::Copy(entry, rtl::Pos("=", entry) + 1, kMaxTitle);
    }
    text = rtl::StringReplace(text, block, "", rtl::rfReplaceAll);
  }
  page.Text = std::move(text);
}

void ReadPage(const std::string& DataDir, const std::string& RelativePath, TSearch_header& page) {
  TakeHeaderBlocks(JoinAndSqueeze(rtl::ReadFileBytes(DataDir + RelativePath)), page);
}

TPattern MakePattern(const std::string& Query) {
  std::string rest = rtl::AnsiLowerCase(rtl::Trim(Query)) + " ";
  TPattern words;
  while (!rest.empty()) {
    const size_t blank = rest.find(' ');
    words.push_back(rtl::Trim(rest.substr(0, blank + 1)));
    rest.erase(0, blank + 1);
  }
  for (auto& word : words) StripEndings(word);
  return words;
}

uint16_t CountMatches(const std::string& Text, const TPattern& Words) {
  uint16_t count = 0;
  for (const auto& word : Words)
    if (Contains(Text, word)) ++count;
  return count;
}

void CollectPages(const std::string& DataDir, const std::string& Prefix, TSearch_res& Pages, const TPattern* Words) {
  rtl::TSearchRec entry;
  if (rtl::FindFirst(DataDir + Prefix + "*.*", kWalkAttributes, entry) != 0) return;
  do {
    if (entry.Name == "." || entry.Name == "..") continue;
    // Only a plain folder is walked: hidden, read-only and linked folders are not.
    if (entry.Attr == rtl::faDirectory) {
      CollectPages(DataDir, Prefix + entry.Name + "\\", Pages, Words);
      continue;
    }
    if ((entry.Attr & rtl::faDirectory) != 0 || !IsPageExtension(entry.Name)) continue;
    TSearch_header page;
    page.Path = Prefix + entry.Name;
    try {
      ReadPage(DataDir, page.Path, page);
    } catch (const rtl::Exception&) {
      continue;  // a page that cannot be read is left out, the search goes on
    }
    if (Words != nullptr) {
      page.MatchCount = CountMatches(page.Text, *Words);
      std::string().swap(page.Text);
    }
    Pages.push_back(std::move(page));
  } while (rtl::FindNext(entry) == 0);
  rtl::FindClose(entry);
}

// The order is that of an exchange sort: for i and j over all positions, swap when element j's count is
// greater than element i's. Its first round carries the first largest element to the front; every later
// round i inserts element i into the sorted front part behind its equals, and, in each group of equal
// counts above it, moves the group's first element to the group's end. That is replayed here group by
// group, in time linear in the hits times the number of distinct counts.
TSearch_res FilterAndSort(const TSearch_res& Pages) {
  TSearch_res hits;
  for (const auto& page : Pages)
    if (page.MatchCount != 0) hits.push_back(page);
  const size_t n = hits.size();
  if (n < 2) return hits;

  for (size_t j = 1; j < n; ++j)
    if (hits[j].MatchCount > hits[0].MatchCount) std::swap(hits[0], hits[j]);

  std::map<uint16_t, std::deque<size_t>> groups;  // count -> indices into hits, in final order
  groups[hits[0].MatchCount].push_back(0);
  for (size_t i = 1; i < n; ++i) {
    const uint16_t count = hits[i].MatchCount;
    for (auto group = groups.upper_bound(count); group != groups.end(); ++group) {
      auto& members = group->second;
      members.push_back(members.front());
      members.pop_front();
    }
    groups[count].push_back(i);
  }

  TSearch_res sorted;
  sorted.reserve(n);
  for (auto& [count, members] : groups)
    for (size_t index : members) sorted.push_back(std::move(hits[index]));
  return sorted;
}

std::string ResultsPageText(const TSearch_res& Hits, uint16_t WordCount, const TKorTemplate& Template) {
  if (Hits.empty()) return Template.empty;
  std::string text = "<? TEMPLATE_TOP=" + Template.template_top + ";#10#13TEMPLATE_BOT=" + Template.template_bot +
                     ";#10#13TITLE=" + rtl::Ru("Результаты поиска") + ";#10#13KEYWORDS=;#10#13?>" + Template.prefix;
  for (size_t i = 0; i < Hits.size(); ++i) {
    const bool even = i % 2 == 0;
    const std::string& pre = even ? Template.pre_even : Template.pre_odd_row;
    const std::string& post = even ? Template.post_even : Template.post_odd_row;
    text += pre + rtl::IntToStr(static_cast<int64_t>(i) + 1) + "&nbsp;<a href=\"" + Hits[i].Path +
            "\" class=\"template_search_link\">" + Hits[i].Title + "</a>" + Template.middle +
            MatchText(Hits[i].MatchCount, WordCount) + post;
  }
  return text + Template.postfix;
}

std::string WriteResultsPage(const std::string& ProgramDir, const TSearch_res& Hits, uint16_t WordCount,
                             const TKorTemplate& Template) {
  const std::string path = ProgramDir + "data\\tomeview_search.tmp";
  rtl::WriteLines(path, {ResultsPageText(Hits, WordCount, Template)});
  return path;
}

void RunSearch(const std::string& Query, const std::string& ProgramDir, const TKorTemplate& Template,
               const std::function<void(const std::string&)>& OpenPage) {
  TSearch_res pages;
  TPattern words;
  if (Query.empty()) {
    rtl::ShowMessage(rtl::Ru("Задан пустой поисковый запрос"));
  } else {
    words = MakePattern(Query);
    CollectPages(ProgramDir + "data\\", "", pages, &words);
  }
  const std::string path =
      WriteResultsPage(ProgramDir, FilterAndSort(pages), static_cast<uint16_t>(words.size()), Template);
  if (OpenPage) OpenPage(path);
}

}  // namespace search
}  // namespace viewer
