// Times the viewer's full-text search against `grep -rlF` of the same words over the same tree, and
// prints the ratios, on two generated books of cp1251 pages: 10,000 pages (about 200 MB) in nested
// folders, and 20,000 pages (about 100 MB) in one folder. Paragraphs start with a capital letter.
//
// The search ignores case. Against exact grep, which lists only the pages holding the word in small
// letters, it does the folding on top. The "any case" rows time it against `grep -rliF` in a cp1251
// Russian locale built with localedef, which folds the same letters and so lists the same pages.
// Without that locale grep -i folds Latin letters only; the bench says so.
//
//   search_bench [FOLDER]   (default: a folder under the system's temporary folder; reused when present)
//
// Target: the search within 1.5 times grep's time.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "viewer/search_mod.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 10;
constexpr int kSubfolders = 10;
constexpr int kPagesPerFolder = 100;
constexpr size_t kPageBytes = 20000;
constexpr int kFlatPages = 20000;
constexpr size_t kFlatPageBytes = 5000;

const std::vector<std::string>& Vocabulary() {
  static const std::vector<std::string> words = [] {
    std::vector<std::string> w;
    for (const char* utf8 : {"энциклопедия", "история", "город", "река", "государство", "война", "наука", "природа",
                             "человек", "время", "земля", "море", "культура", "искусство", "литература", "язык",
                             "музыка", "театр", "столица", "население", "территория", "климат", "животные",
                             "растения", "открытие", "учёный", "первый", "большой", "новый", "древний",
                             "северный", "южный", "был", "была", "это", "который", "также", "после", "года"})
      w.push_back(rtl::Ru(utf8));
    return w;
  }();
  return words;
}

std::string Capitalised(std::string word) {
  word[0] = rtl::AnsiUpperChar(word[0]);
  return word;
}

std::string MakePage(std::mt19937& random, int number, size_t bytes = kPageBytes) {
  const auto& words = Vocabulary();
  std::string page = "<?template_top=top.htm;template_bot=bot.htm;title=" + rtl::Ru("Статья ") +
                     std::to_string(number) + ";?>\r\n<h1>" + rtl::Ru("Статья") + "</h1>\r\n<p>";
  bool paragraphStart = true;
  while (page.size() < bytes) {
    const std::string& word = words[random() % words.size()];
    page += paragraphStart ? Capitalised(word) : word;
    paragraphStart = random() % 12 == 0;
    page += paragraphStart ? ".</p>\r\n<p>" : " ";
  }
  // A rare word in about one page in twenty, so the one-word query has a modest number of hits; in
  // half of them it starts a paragraph.
  if (number % 40 == 0) page += rtl::Ru(".</p>\r\n<p>Архипелаг");
  if (number % 40 == 20) page += rtl::Ru(" архипелаг");
  return page + "</p>\r\n";
}

void Generate(const fs::path& data) {
  std::mt19937 random(2026);
  int number = 0;
  for (int f = 0; f < kFolders; ++f)
    for (int s = 0; s < kSubfolders; ++s) {
      const fs::path folder = data / ("part" + std::to_string(f)) / ("sec" + std::to_string(s));
      fs::create_directories(folder);
      for (int p = 0; p < kPagesPerFolder; ++p, ++number)
        std::ofstream(folder / (std::to_string(p) + ".html"), std::ios::binary) << MakePage(random, number);
    }
}

// The book whose one folder holds all its pages.
void GenerateFlat(const fs::path& data) {
  std::mt19937 random(2027);
  const fs::path folder = data / "pages";
  fs::create_directories(folder);
  for (int p = 0; p < kFlatPages; ++p)
    std::ofstream(folder / (std::to_string(p) + ".html"), std::ios::binary) << MakePage(random, p, kFlatPageBytes);
}

template <typename F>
double BestSeconds(F&& run, int rounds) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

double TimeSearch(const std::string& programDir, const std::string& query) {
  viewer::TKorTemplate tpl;
  tpl.empty = "none";
  return BestSeconds([&] { viewer::search::RunSearch(query, programDir, tpl, nullptr); }, 5);
}

// The grep command's start: exact in the C locale, or ignoring case in the cp1251 locale under
// Locales (empty: none, then only Latin letters fold).
std::string GrepCommand(bool anyCase, const fs::path& locales) {
  if (!anyCase) return "LC_ALL=C grep -rlF";
  if (locales.empty()) return "LC_ALL=C grep -rliF";
  return "LOCPATH='" + locales.string() + "' LC_ALL=ru_RU.CP1251 grep -rliF";
}

// Builds a cp1251 Russian locale under Root once; empty when localedef cannot.
fs::path BuildCp1251Locale(const fs::path& root) {
  const fs::path locales = root / "locales";
  if (fs::exists(locales / "ru_RU.CP1251" / "LC_CTYPE")) return locales;
  fs::create_directories(locales);
  const std::string command =
      "localedef -f CP1251 -i ru_RU '" + (locales / "ru_RU.CP1251").string() + "' > /dev/null 2>&1";
  return std::system(command.c_str()) == 0 ? locales : fs::path();
}

double TimeGrep(const std::string& grep, const fs::path& data, const std::vector<std::string>& words) {
  std::string command = grep;
  for (const auto& w : words) command += " -e '" + w + "'";
  command += " '" + data.string() + "' > /dev/null";
  return BestSeconds([&] { (void)std::system(command.c_str()); }, 5);
}

// Where a search's time goes: the walk and counting, the ordering, and the results page.
void Breakdown(const fs::path& root, const std::string& query) {
  const std::string programDir = rtl::FromNativePath(root.string()) + "\\";
  const viewer::TPattern words = viewer::search::MakePattern(query);
  viewer::TSearch_res pages;
  const double collect = BestSeconds([&] {
    pages.clear();
    viewer::search::CollectPages(programDir + "data\\", "", pages, &words);
  }, 3);
  viewer::TSearch_res hits;
  const double sort = BestSeconds([&] { hits = viewer::search::FilterAndSort(pages); }, 3);
  viewer::TKorTemplate tpl;
  const double write = BestSeconds([&] {
    viewer::search::WriteResultsPage(programDir, hits, static_cast<uint16_t>(words.size()), tpl);
  }, 3);
  std::printf("           walk+count %.3f s, order %.3f s, results page %.3f s (%zu hits)\n", collect, sort, write,
              hits.size());
}

struct TCase {
  const char* label;
  std::vector<std::string> stems;  // what grep looks for: the search strips endings
  std::string query;
  bool anyCase;
};

void Compare(const fs::path& root, const TCase& c, const fs::path& locales) {
  const std::string programDir = rtl::FromNativePath(root.string()) + "\\";
  const double search = TimeSearch(programDir, c.query);
  const double grep = TimeGrep(GrepCommand(c.anyCase, locales), root / "data", c.stems);
  std::printf("%-11s search %.3f s   grep %s %.3f s   ratio %.2f (target <= 1.50)\n", c.label, search,
              c.anyCase ? "-rliF" : "-rlF ", grep, search / grep);
  Breakdown(root, c.query);
}

// Pages from before paragraphs started with capitals are made anew.
void GenerateOnce(const fs::path& root) {
  const fs::path stamp = root / "capitalised";
  if (fs::exists(stamp)) return;
  fs::remove_all(root / "data");
  fs::remove_all(root / "flat");
  std::printf("Generating %d pages under %s ...\n", kFolders * kSubfolders * kPagesPerFolder, root.c_str());
  Generate(root / "data");
  std::printf("Generating %d pages in one folder under %s ...\n", kFlatPages, (root / "flat").c_str());
  GenerateFlat(root / "flat" / "data");
  std::ofstream{stamp};
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path root = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "tome-search-bench";
  GenerateOnce(root);
  const fs::path locales = BuildCp1251Locale(root);
  if (locales.empty()) std::printf("No cp1251 locale (localedef failed): grep -i folds Latin letters only.\n");
  const TCase cases[] = {
      {"one word", {rtl::Ru("архипелаг")}, rtl::Ru("архипелаг"), false},
      {"any case", {rtl::Ru("Архипелаг")}, rtl::Ru("Архипелаг"), true},
      {"three words", {rtl::Ru("энциклопед"), rtl::Ru("архипелаг"), rtl::Ru("северн")},
       rtl::Ru("энциклопедия архипелаг северный"), false},
  };
  const std::pair<fs::path, const char*> books[] = {{root, "nested"}, {root / "flat", "one folder"}};
  for (const auto& [book, label] : books) {
    std::printf("%s:\n", label);
    for (const auto& c : cases) Compare(book, c, locales);
  }
  return 0;
}
