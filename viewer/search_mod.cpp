#include "viewer/search_mod.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <atomic>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <span>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/findfile.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/textfile.h"
#include "viewer/scratch.h"

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

bool Contains(std::string_view text, const std::string& word) {
  return !word.empty() && memmem(text.data(), text.size(), word.data(), word.size()) != nullptr;
}

// The results rows' match texts.
std::string MatchText(uint16_t count, uint16_t wordCount) {
  return count == wordCount ? rtl::Ru("полное совпадение") : rtl::Ru("нестрогое совпадение");
}

}  // namespace

namespace {

// Squeezes Bytes as JoinAndSqueeze does; WholePage says whether Bytes ends the page (then a last line
// without its line end gets its blank).
std::string Squeeze(std::string_view bytes, bool wholePage) {
  // Byte classes: 0 plain, 1 blank, 2 line feed, 3 carriage return.
  static const auto kClass = [] {
    std::array<uint8_t, 256> table{};
    table[' '] = 1;
    table['\n'] = 2;
    table['\r'] = 3;
    return table;
  }();
  const size_t n = bytes.size();
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  std::string out(n + 1, '\0');
  char* w = out.data();
  size_t blanks = 0;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = in[i];
    const uint8_t kind = kClass[c];
    if (kind == 0 || (kind == 3 && (i + 1 >= n || in[i + 1] != '\n'))) {
      if (blanks != 0) {
        // Three rounds of "  " -> " " leave ceil(k / 8) of a run of k blanks.
        const size_t kept = (blanks + 7) / 8;
        std::memset(w, ' ', kept);
        w += kept;
        blanks = 0;
      }
      *w++ = static_cast<char>(c);
      continue;
    }
    if (kind == 3) ++i;  // CR LF ends a line like LF
    ++blanks;            // a blank, or the blank that follows every line
  }
  if (wholePage && n > 0 && in[n - 1] != '\n') ++blanks;  // a last line without its line end
  const size_t kept = (blanks + 7) / 8;
  std::memset(w, ' ', kept);
  w += kept;
  out.resize(static_cast<size_t>(w - out.data()));
  return out;
}

// Removes every occurrence of Block from Text (left to right, not overlapping) in one pass.
void RemoveAll(std::string& text, const std::string& block) {
  size_t read = text.find(block);
  if (read == std::string::npos) return;
  size_t write = read;
  while (read != std::string::npos) {
    read += block.size();
    const size_t next = text.find(block, read);
    const size_t end = next == std::string::npos ? text.size() : next;
    std::memmove(&text[write], text.data() + read, end - read);
    write += end - read;
    read = next;
  }
  text.resize(write);
}

bool IsBreak(char c) { return c == ' ' || c == '\n' || c == '\r'; }

// Counting straight on a page's bytes. Squeezing only shortens runs of blanks and line ends and never
// removes one entirely, so a word holding none of ' ', CR and LF occurs in the prepared text exactly
// where it occurs in the bytes, except around header blocks. The page is therefore cut after its last
// "?>": the head is prepared in full (its blocks give the title and are removed), the tail, which holds
// no "?>" and so no block, is searched as it is, and a word may still straddle the cut within the run of
// non-blank characters around it.
bool CanCountOnBytes(const TPattern& words) {
  for (const auto& word : words)
    if (word.find_first_of(" \r\n") != std::string::npos) return false;
  return true;
}

// Where the last "?>" starts, or npos. The scan looks for '?', which is rare in page text.
size_t FindLastClose(std::string_view bytes) {
  size_t end = bytes.size() > 0 ? bytes.size() - 1 : 0;  // a "?>" must start before the last byte
  while (end > 0) {
    const void* hit = memrchr(bytes.data(), '?', end);
    if (hit == nullptr) break;
    const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - bytes.data());
    if (bytes[at + 1] == '>') return at;
    end = at;
  }
  return std::string_view::npos;
}

// The title comes from the page as written; only then are the head's text and the tail lowered, in place.
uint16_t CountOnBytes(std::string bytes, const TPattern& words, std::string& title) {
  const size_t lastClose = FindLastClose(bytes);
  const size_t cut = lastClose == std::string::npos ? 0 : lastClose + 2;
  TSearch_header head;
  TakeHeaderBlocks(Squeeze(std::string_view(bytes).substr(0, cut), false), head);
  title = std::move(head.Title);
  rtl::AnsiLowerInPlace(head.Text);
  rtl::AnsiLowerInPlace(std::span<char>(bytes).subspan(cut));
  const std::string_view tail = std::string_view(bytes).substr(cut);

  size_t longest = 0;
  for (const auto& word : words) longest = std::max(longest, word.size());
  std::string seam;
  if (longest > 1) {
    size_t from = head.Text.size();
    while (from > 0 && head.Text.size() - from < longest - 1 && !IsBreak(head.Text[from - 1])) --from;
    seam = head.Text.substr(from);
    for (size_t i = 0; i < tail.size() && i < longest - 1 && !IsBreak(tail[i]); ++i) seam.push_back(tail[i]);
  }

  uint16_t count = 0;
  for (const auto& word : words) {
    if (word.empty()) continue;
    const bool found = Contains(head.Text, word) || Contains(tail, word) || Contains(seam, word);
    if (found) ++count;
  }
  return count;
}

}  // namespace

std::string JoinAndSqueeze(const std::string& bytes) { return Squeeze(bytes, true); }

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
    RemoveAll(text, block);
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
  const std::string lowered = rtl::AnsiLowerCase(Text);
  uint16_t count = 0;
  for (const auto& word : Words)
    if (Contains(lowered, word)) ++count;
  return count;
}

namespace {

// The pages under DataDir + Prefix in walk order: folders are walked where they stand in their parent.
void WalkPages(const std::string& DataDir, const std::string& Prefix, std::vector<std::string>& paths) {
  rtl::TSearchRec entry;
  if (rtl::FindFirst(DataDir + Prefix + "*.*", kWalkAttributes, entry) != 0) return;
  do {
    if (entry.Name == "." || entry.Name == "..") continue;
    // Only a plain folder is walked: hidden and linked folders are not, and a folder is never a page.
    if (entry.Attr == rtl::faDirectory) {
      WalkPages(DataDir, Prefix + entry.Name + "\\", paths);
      continue;
    }
    // Devices, pipes and sockets carry the system attribute here; opening a pipe would wait for a writer.
    const bool plainFile = (entry.Attr & (rtl::faDirectory | rtl::faSysFile)) == 0;
    if (plainFile && IsPageExtension(entry.Name)) paths.push_back(Prefix + entry.Name);
  } while (rtl::FindNext(entry) == 0);
  rtl::FindClose(entry);
}

// Reads and, with Words, counts one page; a page that cannot be read raises the run time's error.
void PreparePage(const std::string& DataDir, const TPattern* Words, TSearch_header& page) {
  if (Words != nullptr && CanCountOnBytes(*Words)) {
    page.MatchCount = CountOnBytes(rtl::ReadFileBytes(DataDir + page.Path), *Words, page.Title);
    return;
  }
  ReadPage(DataDir, page.Path, page);
  if (Words != nullptr) {
    page.MatchCount = CountMatches(page.Text, *Words);
    std::string().swap(page.Text);
  }
}

// The error of the earliest failing page in walk order, gathered from the search's threads. Pages
// after a failure need not be read; those before it still are, so the error reported is the one a
// walk page by page would meet first.
class TFirstFailure {
public:
  bool Skips(size_t index) const { return index > first_.load(); }
  void Record(size_t index, std::exception_ptr error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= first_.load()) return;
    first_ = index;
    error_ = std::move(error);
  }
  void RethrowAny() const {
    if (error_) std::rethrow_exception(error_);
  }

private:
  std::atomic<size_t> first_{SIZE_MAX};
  std::mutex mutex_;
  std::exception_ptr error_;
};

// Runs Work(0..Count-1) on a few threads; the caller waits, so the search still blocks its caller
// for its whole length, only shorter. Without threads it runs the items itself.
void RunSpread(size_t count, const std::function<void(size_t)>& work) {
  constexpr size_t kItemsPerThread = 64;
  const size_t threads =
      std::min<size_t>({std::max(1u, std::thread::hardware_concurrency()), 8, (count + kItemsPerThread - 1) / kItemsPerThread});
  std::atomic<size_t> next{0};
  auto drain = [&] {
    for (size_t i = next++; i < count; i = next++) work(i);
  };
  std::vector<std::thread> pool;
  try {
    for (size_t t = 1; t < threads; ++t) pool.emplace_back(drain);
  } catch (const std::system_error&) {
    // fewer helpers than hoped: the rest is done here
  }
  drain();
  for (auto& thread : pool) thread.join();
}

}  // namespace

void CollectPages(const std::string& DataDir, const std::string& Prefix, TSearch_res& Pages, const TPattern* Words) {
  std::vector<std::string> paths;
  WalkPages(DataDir, Prefix, paths);
  std::vector<TSearch_header> found(paths.size());
  TFirstFailure failure;
  RunSpread(paths.size(), [&](size_t i) {
    if (failure.Skips(i)) return;
    found[i].Path = std::move(paths[i]);
    try {
      PreparePage(DataDir, Words, found[i]);
    } catch (...) {
      failure.Record(i, std::current_exception());
    }
  });
  failure.RethrowAny();
  for (auto& page : found) Pages.push_back(std::move(page));
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
  return scratch::Write(ProgramDir, scratch::kSearchResults, rtl::JoinLines({ResultsPageText(Hits, WordCount, Template)}));
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
