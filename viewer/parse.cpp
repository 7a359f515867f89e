#include "viewer/parse.h"

#include <map>
#include <vector>

#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/textfile.h"
#include "viewer/scratch.h"

namespace viewer {
namespace compose {
namespace {

// A template or page name is at most this long.
constexpr int kMaxTemplateName = 99;

// Bounds of the include pass: how deep inclusions may nest and how many bytes they may add in all.
constexpr size_t kMaxIncludeDepth = 32;
constexpr size_t kMaxIncludedBytes = 4u << 20;

std::string ForwardSlashes(std::string s) {
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

std::string JoinLines(const std::vector<std::string>& lines, const std::string& separator) {
  std::string out;
  for (const auto& line : lines) {
    out += line;
    out += separator;
  }
  return out;
}

// One template name out of the header: the entry starting at Key up to the first ";" of the header.
std::string TakeEntry(const std::string& header, const std::string& low, const char* key) {
  const int at = rtl::Pos(key, low);
  const int semicolon = rtl::Pos(";", low);
  if (at == 0 || semicolon == 0) return "";
  const std::string entry = rtl::Trim(rtl::Copy(header, at, semicolon - at));
  const int eq = rtl::Pos("=", entry);
  if (eq == 0) return entry;
  return rtl::Copy(entry, eq + 1, kMaxTemplateName);
}

// Drops everything up to and including the first ";".
void CutAfterFirstSemicolon(std::string& s) { rtl::Delete(s, 1, rtl::Pos(";", s)); }

// The file name of a directive: from the second character after its first "(" to the second
// character before its first ")". For include("name") that is exactly the name.
std::string DirectiveFileName(const std::string& inner) {
  const std::string low = rtl::LowerCase(inner);
  const int open = rtl::Pos("(", low);
  const int close = rtl::Pos(")", low);
  return rtl::Trim(rtl::Copy(inner, open + 2, close - open - 3));
}

// A file inserted by a directive: where it ends, counted as the number of page bytes that follow it
// (which stays true while the bytes before it are consumed), and its node in the tree of inclusions,
// whose parent links give the chain of files that led to it, so that a file including itself,
// directly or through others, is noticed.
struct Inclusion {
  size_t endFromBack;
  int node;
};

struct IncludeNode {
  int parent;  // -1 for a file included by the page itself
  size_t depth;
  std::string key;  // the file name lower-cased: names are compared without regard to case
};

bool ChainHolds(const std::vector<IncludeNode>& nodes, int node, const std::string& key) {
  for (; node >= 0; node = nodes[node].parent)
    if (nodes[node].key == key) return true;
  return false;
}

// Included files read once per composition; a missing file reads as nothing.
class IncludeFiles {
 public:
  // Key is the name as written: two names that differ only in case may be two files here.
  const std::string& Get(const std::string& key, const std::string& path) {
    auto found = cache_.find(key);
    if (found != cache_.end()) return found->second;
    std::string content;
    if (rtl::FileExists(path)) content = ReadJoinedWithSpaces(path);
    return cache_.emplace(key, std::move(content)).first->second;
  }

 private:
  std::map<std::string, std::string> cache_;
};

// Include names are relative to the program folder; a generated page among them
// ("data\_favorites.tmp") is read where the viewer writes it.
std::string IncludePath(const std::string& base, const std::string& name) {
  const std::string folder = rtl::Copy(name, 1, 5);
  if (rtl::SameText(folder, "data\\") || rtl::SameText(folder, "data/")) return scratch::DataFile(base, name.substr(5));
  return base + name;
}

// A page composed outside the data folder opens with the address it has there, so that what it leaves
// relative (the templates' links, style sheets, in-page anchors) is taken there; the browser shows it
// as that address.
std::string AddressInTheBook(const std::string& base) {
  return "<base href=\"file://" + base + "data/" + scratch::kComposedPage + "\">";
}

std::string ReadTemplate(const std::string& path) {
  if (!rtl::FileExists(path)) {
    rtl::Dialogs().MessageDlg(rtl::Ru("Файл шаблона не найден"), rtl::mtCustom, rtl::mbOK);
    throw rtl::EInOutError("File not found", 2);
  }
  return JoinLines(rtl::ReadLines(path), "");
}

}  // namespace

std::string ReadJoinedWithSpaces(const std::string& Path) { return JoinLines(rtl::ReadLines(Path), " "); }

TemplateNames ParseHeader(const std::string& HeaderText) {
  std::string header = rtl::Trim(HeaderText);
  std::string low = rtl::LowerCase(header);
  TemplateNames names;
  names.Top = TakeEntry(header, low, "template_top");
  CutAfterFirstSemicolon(header);
  CutAfterFirstSemicolon(low);
  names.Bottom = TakeEntry(header, low, "template_bot");
  return names;
}

// The pass always resolves the first directive of the page, and everything before it is final. The
// page is therefore held as a finished part and an unread rest; the rest is kept reversed, so taking
// bytes from its front and putting an included file in front of it cost only the bytes moved, and the
// whole pass is linear in the bytes it produces.
void ResolveIncludes(std::string& Page, const std::string& Base) {
  std::string done;
  std::string rest(Page.rbegin(), Page.rend());
  std::vector<Inclusion> open;  // inclusions enclosing the current directive, outermost first
  size_t inserted = 0;
  IncludeFiles files;
  std::vector<IncludeNode> nodes;

  for (;;) {
    // A "<" ending the finished part and a "?" opening the rest (brought together by a removed directive
    // or an included file) form a "<?" too: that "<" is read again.
    if (!done.empty() && done.back() == '<' && !rest.empty() && rest.back() == '?') {
      done.pop_back();
      rest.push_back('<');
    }
    const size_t openAt = rest.rfind("?<");  // first "<?" of the unread text
    if (openAt == std::string::npos) break;
    const size_t a = rest.size() - 2 - openAt;  // offset of "<?" from the front of the rest
    // "?>" counts only after the "<?" it closes, so "?>" before "<?" and "<?>" cannot stall the pass.
    const size_t closeAt = openAt >= 2 ? rest.rfind(">?", openAt - 2) : std::string::npos;
    if (closeAt == std::string::npos) break;
    const size_t b = rest.size() - 2 - closeAt;

    done.append(rest.rbegin(), rest.rbegin() + static_cast<std::ptrdiff_t>(a));
    const std::string inner(rest.rbegin() + static_cast<std::ptrdiff_t>(a + 2), rest.rbegin() + static_cast<std::ptrdiff_t>(b));
    rest.resize(rest.size() - (b + 2));

    const size_t directiveFromBack = rest.size() + (b + 2 - a);
    while (!open.empty() && directiveFromBack <= open.back().endFromBack) open.pop_back();
    const int parent = open.empty() ? -1 : open.back().node;
    const size_t depth = parent < 0 ? 0 : nodes[parent].depth + 1;

    const std::string name = DirectiveFileName(inner);
    const std::string key = rtl::AnsiLowerCase(name);
    const bool allowed = !name.empty() && depth < kMaxIncludeDepth && !ChainHolds(nodes, parent, key);
    if (!allowed) continue;
    const std::string& content = files.Get(name, IncludePath(Base, name));
    if (content.empty() || inserted + content.size() > kMaxIncludedBytes) continue;

    inserted += content.size();
    nodes.push_back({parent, depth, key});
    open.push_back({rest.size(), static_cast<int>(nodes.size()) - 1});
    rest.append(content.rbegin(), content.rend());
  }
  done.append(rest.rbegin(), rest.rend());
  Page = std::move(done);
}

void RewriteLinks(std::string& Page, const std::string& Base) {
  const int all = rtl::rfReplaceAll | rtl::rfIgnoreCase;
  const std::string prefix = Base + "data\\";
  auto replace = [&](const std::string& from, const std::string& to) {
    Page = rtl::StringReplace(Page, from, to, all);
  };
  // In-page anchors are masked so the two double-quoted href steps leave them relative.
  replace("href = \"#", "h----ref = \"#");
  replace("href=\"#", "h----ref=\"#");
  replace("href = \"", "href = \"" + prefix);
  replace("href=\"", "href=\"" + prefix);
  replace("src = \"", "src = \"" + prefix);
  replace("src=\"", "src=\"" + prefix);
  replace("href = '", "href = '" + prefix);
  replace("href='", "href='" + prefix);
  replace("src = '", "src = 'file://" + prefix);
  replace("src='", "src='file://" + prefix);
  replace("h----ref = \"#", "href = \"#");
  replace("h----ref=\"#", "href=\"#");
  replace("data//", "data/");
  replace("data\\\\", "data\\");
}

}  // namespace compose

void ComposePage(const std::string& ProgramDir, const std::string& PageName, std::string& ComposedPath) {
  const std::string base = compose::ForwardSlashes(ProgramDir);
  std::string pageName = compose::ForwardSlashes(PageName);
  // Full names (the search results page) are used as they are; on this system a full name may also
  // begin with a separator.
  if (!rtl::IsFullPath(pageName)) pageName = base + "data/" + pageName;
  if (!rtl::FileExists(pageName)) return;

  const std::string text = compose::ReadJoinedWithSpaces(pageName);
  std::string page = text;
  compose::TemplateNames names;
  const int p1 = rtl::Pos("<?", text);
  const int p2 = rtl::Pos("?>", text);
  if (p1 > 0 && p2 > 0) {
    names = compose::ParseHeader(rtl::Copy(text, p1 + 2, p2 - p1 - 2));
    // The header block is cut off only when the page begins with it; elsewhere the include pass drops it.
    if (p1 == 1) rtl::Delete(page, 1, p2 + 1);
    compose::ResolveIncludes(page, base);
  }

  std::string top, bottom;
  if (!names.Top.empty()) top = compose::ReadTemplate(base + "data\\templates\\" + names.Top);
  if (!names.Bottom.empty()) bottom = compose::ReadTemplate(base + "data\\templates\\" + names.Bottom);

  compose::RewriteLinks(page, base);

  std::vector<std::string> lines{top, page, bottom};
  if (scratch::InCache(base)) lines.front().insert(0, compose::AddressInTheBook(base));
  ComposedPath = scratch::Write(base, scratch::kComposedPage, rtl::JoinLines(lines));
}

}  // namespace viewer
