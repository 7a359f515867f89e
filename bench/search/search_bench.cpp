// Times the viewer's full-text search against `grep -rlF` of the same words over the same tree, and
// prints the ratios, on two generated books of cp1251 pages: 10,000 pages (about 200 MB) in nested
// folders, and 20,000 pages (about 100 MB) in one folder.
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

std::string MakePage(std::mt19937& random, int number, size_t bytes = kPageBytes) {
  const auto& words = Vocabulary();
  std::string page = "<?template_top=top.htm;template_bot=bot.htm;title=" + rtl::Ru("Статья ") +
                     std::to_string(number) + ";?>\r\n<h1>" + rtl::Ru("Статья") + "</h1>\r\n<p>";
  while (page.size() < bytes) {
    page += words[random() % words.size()];
    page += (random() % 12 == 0) ? ".</p>\r\n<p>" : " ";
  }
  // A rare word in about one page in twenty, so the one-word query has a modest number of hits.
  if (number % 20 == 0) page += rtl::Ru(" архипелаг");
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

double TimeGrep(const fs::path& data, const std::vector<std::string>& words) {
  std::string command = "LC_ALL=C grep -rlF";
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

void Compare(const fs::path& root, const std::string& label, const std::vector<std::string>& stems,
             const std::string& query) {
  const std::string programDir = rtl::FromNativePath(root.string()) + "\\";
  const double search = TimeSearch(programDir, query);
  const double grep = TimeGrep(root / "data", stems);
  std::printf("%-10s search %.3f s   grep -rlF %.3f s   ratio %.2f (target <= 1.50)\n", label.c_str(), search, grep,
              search / grep);
  Breakdown(root, query);
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path root = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "tome-search-bench";
  if (!fs::exists(root / "data" / "part9" / "sec9" / "99.html")) {
    std::printf("Generating %d pages under %s ...\n", kFolders * kSubfolders * kPagesPerFolder, root.c_str());
    Generate(root / "data");
  }
  const fs::path flat = root / "flat";
  if (!fs::exists(flat / "data" / "pages" / (std::to_string(kFlatPages - 1) + ".html"))) {
    std::printf("Generating %d pages in one folder under %s ...\n", kFlatPages, flat.c_str());
    GenerateFlat(flat / "data");
  }
  // The search strips endings; grep looks for the same stems.
  const std::pair<fs::path, const char*> books[] = {{root, "nested"}, {flat, "one folder"}};
  for (const auto& [book, label] : books) {
    std::printf("%s:\n", label);
    Compare(book, "one word", {rtl::Ru("архипелаг")}, rtl::Ru("архипелаг"));
    Compare(book, "three words", {rtl::Ru("энциклопед"), rtl::Ru("архипелаг"), rtl::Ru("северн")},
            rtl::Ru("энциклопедия архипелаг северный"));
  }
  return 0;
}
