// The packed book, file by file: the configuration, the picture file, the pages, the links between
// them, the pictures and the cursors.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "book_fixture.h"
#include "platform/forms/bitmap.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "tools/bookpack/pack.h"
#include "viewer/facefile.h"
#include "viewer/ncf.h"

namespace fs = std::filesystem;
using booktest::FilesUnder;
using booktest::PackedBook;
using booktest::ReadBytes;
using booktest::SampleFolder;
using rtl::Ru;

namespace {

std::vector<std::string> Fields(const std::string& value) {
    std::vector<std::string> fields;
    std::stringstream parts(value);
    for (std::string field; std::getline(parts, field, ',');) fields.push_back(field);
    return fields;
}

std::string ValueOf(const std::vector<std::string>& lines, const std::string& key) {
    for (const std::string& line : lines)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

std::vector<std::vector<std::string>> ButtonLines(const std::vector<std::string>& lines) {
    std::vector<std::vector<std::string>> buttons;
    for (const std::string& line : lines)
        if (line.rfind("BUTTON=", 0) == 0) buttons.push_back(Fields(line.substr(7)));
    return buttons;
}

std::map<std::string, std::shared_ptr<forms::TBitmap>> FacePictures() {
    viewer::TKorImages images;
    viewer::ReadFaceFile(ReadBytes(PackedBook() + "face.dat"), images);
    std::map<std::string, std::shared_ptr<forms::TBitmap>> byName;
    for (const auto& image : images) byName[image.Name] = image.Picture;
    return byName;
}

std::vector<std::string> Pages() {
    std::vector<std::string> pages;
    for (const std::string& name : FilesUnder(SampleFolder() + "data"))
        if (name.ends_with(".html")) pages.push_back(name);
    return pages;
}

std::string PackedText(const std::string& relative) { return ReadBytes(PackedBook() + "data/" + relative); }

// Every quoted text that follows `opening` in text, up to `closing`.
std::vector<std::string> Between(const std::string& text, const std::string& opening, const std::string& closing) {
    std::vector<std::string> found;
    for (size_t at = text.find(opening); at != std::string::npos; at = text.find(opening, at + 1)) {
        size_t from = at + opening.size(), to = text.find(closing, from);
        if (to == std::string::npos) break;
        found.push_back(text.substr(from, to - from));
    }
    return found;
}

bool HasTitleLine(const std::string& header) {
    for (const std::string& line : Between("\n" + header, "\ntitle=", ";"))
        if (!line.empty() && line.find('\n') == std::string::npos) return true;
    return false;
}

// ---- configuration ----

TEST(PackedConfig, DecodesToTheSourceLines) {
    viewer::TKorDecoded decoded = viewer::DecodeNcfFile(rtl::FromNativePath(PackedBook() + "config.ncf"));
    EXPECT_EQ(decoded, booktest::SourceConfigLines());
    EXPECT_EQ(fs::file_size(PackedBook() + "config.ncf"), viewer::kNcfRecordBytes);
}

TEST(PackedConfig, UsesEverySection) {
    const auto lines = booktest::SourceConfigLines();
    for (const char* prefix : {"START_", "MAINFORM_", "DATACENTER_", "HEADER_", "BACKGROUND_", "SEARCH_", "SKIN",
                               "URL_", "BUTTON"})
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }))
            << prefix;
    EXPECT_EQ(ValueOf(lines, "START_registry"), "orbel_lumen");
    EXPECT_EQ(ValueOf(lines, "URL_update"), "http://127.0.0.1:8765/updates/");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("SKIN=", 0) == 0; }),
              2);
    const auto buttons = ButtonLines(lines);
    std::set<std::string> subtypes;
    for (const auto& b : buttons) {
        ASSERT_GE(b.size(), 15u);
        subtypes.insert(b[1]);
    }
    for (const char* subtype : {"html", "help", "copyright", "favorites_add", "favorites_show", "search", "exit"})
        EXPECT_TRUE(subtypes.count(subtype)) << subtype;
    // The start button (the first) opens the title page.
    EXPECT_EQ(ValueOf(lines, "START_button"), "1");
    EXPECT_EQ(buttons[0][1], "html");
    EXPECT_EQ(buttons[0][2], "index.html");
}

TEST(PackedConfig, ConfigLinesRefuseCharactersWindows1251Lacks) {
    EXPECT_EQ(bookpack::ConfigLines("a\r\n\r\nb\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_THROW(bookpack::ConfigLines("START_name=\xE2\x86\x90\n"), bookpack::EPackError);  // an arrow
}

// ---- pictures of the skin ----

TEST(PackedFace, HoldsEveryPictureTheConfigurationNames) {
    const auto lines = booktest::SourceConfigLines();
    const auto pictures = FacePictures();
    std::set<std::string> named;
    for (const std::string& line : lines) {
        size_t eq = line.find('=');
        if (eq == std::string::npos || line[0] == ';') continue;
        std::string key = line.substr(0, eq);
        if ((key.rfind("BACKGROUND_", 0) == 0 && key != "BACKGROUND_color") ||
            (key.rfind("HEADER_", 0) == 0 && line.find(".bmp") != std::string::npos))
            named.insert(line.substr(eq + 1));
    }
    for (const auto& b : ButtonLines(lines))
        for (int i = 7; i <= 10; ++i) named.insert(b[size_t(i)]);
    EXPECT_GE(named.size(), 40u);
    for (const std::string& name : named) {
        ASSERT_TRUE(pictures.count(name)) << name;
        ASSERT_TRUE(pictures.at(name)) << name << " carries no bitmap";
    }
    ASSERT_TRUE(pictures.count("settings.bmp"));
    EXPECT_EQ(pictures.at("settings.bmp")->Width(), 400);
    EXPECT_EQ(pictures.at("settings.bmp")->Height(), 300);
    int splashes = 0;
    for (const auto& [name, picture] : pictures)
        if (name.rfind("startup_", 0) == 0) {
            ++splashes;
            EXPECT_EQ(picture->Width(), 400);
        }
    EXPECT_GE(splashes, 3);
}

TEST(PackedFace, PictureSizesFitTheLayoutTheConfigurationGives) {
    const auto lines = booktest::SourceConfigLines();
    const auto pictures = FacePictures();
    const int header = std::stoi(ValueOf(lines, "HEADER_height"));
    const int band = std::stoi(ValueOf(lines, "DATACENTER_top"));
    const int foot = std::stoi(ValueOf(lines, "DATACENTER_bottom"));
    const int side = std::stoi(ValueOf(lines, "DATACENTER_left"));
    EXPECT_EQ(pictures.at(ValueOf(lines, "HEADER_bg"))->Height(), header);
    EXPECT_EQ(pictures.at(ValueOf(lines, "HEADER_ico_clo"))->Height(), header);
    EXPECT_EQ(pictures.at(ValueOf(lines, "BACKGROUND_top_center"))->Height(), band);
    EXPECT_EQ(pictures.at(ValueOf(lines, "BACKGROUND_top_left"))->Height(), band);
    EXPECT_EQ(pictures.at(ValueOf(lines, "BACKGROUND_bottom_center"))->Height(), foot);
    EXPECT_EQ(pictures.at(ValueOf(lines, "BACKGROUND_bottom_right"))->Height(), foot);
    EXPECT_EQ(pictures.at(ValueOf(lines, "BACKGROUND_mid_left_mid"))->Width(), side);
    EXPECT_GE(pictures.at(ValueOf(lines, "BACKGROUND_mid_left_mid"))->Height(), 1200);
    EXPECT_EQ(pictures.at(ValueOf(lines, "HEADER_searcher_img"))->Width(), std::stoi(ValueOf(lines, "SEARCH_search_img_width")));
    for (const auto& b : ButtonLines(lines))
        for (int i = 7; i <= 9; ++i) {
            EXPECT_EQ(pictures.at(b[size_t(i)])->Width(), std::stoi(b[5])) << b[size_t(i)];
            EXPECT_EQ(pictures.at(b[size_t(i)])->Height(), std::stoi(b[6])) << b[size_t(i)];
        }
}

TEST(PackedFace, PressedAndReleasedButtonsDifferFromTheRestPicture) {
    const auto pictures = FacePictures();
    auto same = [](const forms::TBitmap& a, const forms::TBitmap& b) {
        return std::equal(a.Data(), a.Data() + size_t(a.Width()) * size_t(a.Height()), b.Data());
    };
    EXPECT_FALSE(same(*pictures.at("btn_home.bmp"), *pictures.at("btn_home_down.bmp")));
    EXPECT_FALSE(same(*pictures.at("btn_home.bmp"), *pictures.at("btn_home_up.bmp")));
    EXPECT_FALSE(same(*pictures.at("btn_home.bmp"), *pictures.at("btn_help.bmp")));
}

// ---- pages ----

TEST(PackedPages, AreWindows1251ConversionsOfTheSources) {
    size_t checked = 0;
    for (const std::string& name : FilesUnder(SampleFolder() + "data")) {
        if (!(name.ends_with(".html") || name.ends_with(".htm") || name.ends_with(".inc") || name.ends_with(".edt")))
            continue;
        const std::string source = ReadBytes(SampleFolder() + "data/" + name);
        const std::string packed = PackedText(name);
        EXPECT_EQ(packed, rtl::Utf8ToCp1251(source)) << name;
        EXPECT_EQ(rtl::Cp1251ToUtf8(packed), source) << name;
        EXPECT_EQ(packed.find("\xD0\xB0"), std::string::npos) << name << " still holds UTF-8";
        ++checked;
    }
    EXPECT_GE(checked, 30u);
}

TEST(PackedPages, BeginWithAHeaderBlockNamingTemplatesAndATitle) {
    for (const std::string& name : Pages()) {
        const std::string page = PackedText(name);
        EXPECT_EQ(page.rfind("<?template_top=top.htm;", 0), 0u) << name;
        size_t end = page.find("?>");
        ASSERT_NE(end, std::string::npos) << name;
        const std::string header = page.substr(0, end);
        EXPECT_NE(header.find("template_bot=bot.htm;"), std::string::npos) << name;
        EXPECT_TRUE(HasTitleLine(header)) << name;
    }
    for (const char* name : {"index.html", "help.html", "copyright.html", "Creators.html", "favs.html", "frew.html"})
        EXPECT_TRUE(fs::exists(PackedBook() + "data/" + name)) << name;
    EXPECT_GE(Pages().size(), 22u);
}

TEST(PackedPages, ArticlesOfAFolderAreChainedByPartLinks) {
    int articles = 0;
    for (int folder = 1; folder <= 4; ++folder) {
        std::vector<int> numbers;
        for (const std::string& name : Pages())
            if (name.rfind(std::to_string(folder) + "part/", 0) == 0) numbers.push_back(std::stoi(name.substr(6)));
        std::sort(numbers.begin(), numbers.end());
        ASSERT_GE(numbers.size(), 3u);
        for (size_t i = 0; i < numbers.size(); ++i) {
            EXPECT_EQ(numbers[i] / 100, folder);
            const std::string page = PackedText(std::to_string(folder) + "part/" + std::to_string(numbers[i]) + ".html");
            const std::string next = std::to_string(numbers[i] + 1) + ".html\" class=\"navbutfordown\">";
            const std::string back = std::to_string(numbers[i] - 1) + ".html\" class=\"navbutbackdown\">";
            EXPECT_EQ(page.find(next) != std::string::npos, i + 1 < numbers.size()) << numbers[i];
            EXPECT_EQ(page.find(back) != std::string::npos, i > 0) << numbers[i];
        }
        articles += int(numbers.size());
    }
    EXPECT_GE(articles, 12);
}

TEST(PackedPages, LinksAndIncludesNameFilesOfTheBook) {
    std::vector<std::string> sources = Pages();
    for (const std::string& name : FilesUnder(SampleFolder() + "data"))
        if (name.ends_with(".inc") || name.ends_with(".htm")) sources.push_back(name);
    size_t links = 0;
    for (const std::string& name : sources) {
        const std::string text = PackedText(name);
        std::vector<std::string> targets = Between(text, "href=\"", "\"");
        for (const std::string& source : Between(text, "src=\"", "\"")) targets.push_back(source);
        for (const std::string& target : targets) {
            if (target.empty() || target[0] == '#' || target == "?add" || target.find("?delete=") != std::string::npos)
                continue;
            EXPECT_TRUE(fs::exists(PackedBook() + "data/" + target)) << name << " -> " << target;
            ++links;
        }
        for (std::string file : Between(text, "<?include(\"", "\")?>")) {
            std::replace(file.begin(), file.end(), '\\', '/');
            if (file == "data/_favorites.tmp") continue;  // written by the viewer
            EXPECT_TRUE(fs::exists(PackedBook() + file)) << name << " includes " << file;
        }
    }
    EXPECT_GE(links, 80u);
    EXPECT_NE(PackedText("favs.html").find("<?include(\"data\\_favorites.tmp\")?>"), std::string::npos);
}

TEST(PackedPages, SearchWordsOccurInDifferentNumbersOfPages) {
    auto pagesWith = [](const std::string& word) {
        int count = 0;
        for (const std::string& name : Pages()) count += PackedText(name).find(Ru(word)) != std::string::npos;
        return count;
    };
    int rivers = pagesWith("рек"), cities = pagesWith("город"), books = pagesWith("энциклопед");
    EXPECT_GE(books, 3);
    EXPECT_GT(cities, books);
    EXPECT_GT(rivers, cities);
}

TEST(PackedPages, StyleSheetsOfTheTextStylesExist) {
    for (const std::string& line : booktest::SourceConfigLines()) {
        if (line.rfind("SKIN=", 0) != 0) continue;
        for (const std::string& sheet : {Fields(line)[1], Fields(line)[2]}) {
            std::string path = sheet;
            std::replace(path.begin(), path.end(), '\\', '/');
            EXPECT_TRUE(fs::exists(PackedBook() + "data/" + path)) << path;
        }
    }
    EXPECT_EQ(PackedText("style.css"), PackedText("css/classic_medium.css"));
}

TEST(PackedPages, ListTemplatesNameTheirPieces) {
    const std::string favorites = PackedText("templates/favorites.edt");
    for (const char* key : {"prefix=", "pre_odd_row=", "post_odd_row=", "pre_even=", "post_even="})
        EXPECT_NE(favorites.find(key), std::string::npos) << key;
    EXPECT_NE(favorites.find("delete="), std::string::npos);
    const std::string search = PackedText("templates/search.edt");
    for (const char* key : {"template_top=top.htm;", "template_bot=bot.htm;", "prefix=", "postfix=", "middle=", "empty="})
        EXPECT_NE(search.find(key), std::string::npos) << key;
}

// ---- pictures of the pages and cursors ----

uint32_t BigEndian(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 | uint32_t(uint8_t(b[at + 2])) << 8 |
           uint8_t(b[at + 3]);
}

TEST(PackedPictures, PngFilesInflateToTheirRows) {
    int checked = 0;
    for (const std::string& name : FilesUnder(PackedBook() + "data/img")) {
        if (!name.ends_with(".png")) continue;
        const std::string png = ReadBytes(PackedBook() + "data/img/" + name);
        ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << name;
        ASSERT_EQ(png.substr(12, 4), "IHDR");
        const uint32_t width = BigEndian(png, 16), height = BigEndian(png, 20);
        const uint32_t idat = BigEndian(png, 33);
        ASSERT_EQ(png.substr(37, 4), "IDAT");
        std::string raw(size_t(height) * (size_t(width) * 3 + 1) + 16, '\0');
        uLongf size = uLongf(raw.size());
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &size,
                             reinterpret_cast<const Bytef*>(png.data() + 41), idat),
                  Z_OK)
            << name;
        EXPECT_EQ(size, height * (width * 3 + 1)) << name;
        EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND");
        ++checked;
    }
    EXPECT_GE(checked, 10);
    EXPECT_TRUE(fs::exists(PackedBook() + "data/img/chemistry.bmp"));
    EXPECT_TRUE(fs::exists(PackedBook() + "data/img/astronomy.svg"));
}

TEST(PackedPictures, CursorsAreCursorFiles) {
    for (const char* name : {"cursor.cur", "cursorlink.cur"}) {
        const std::string cur = ReadBytes(PackedBook() + "data/" + name);
        ASSERT_GE(cur.size(), 22u + 40u) << name;
        EXPECT_EQ(cur.substr(0, 6), std::string("\0\0\2\0\1\0", 6)) << name;
        EXPECT_EQ(uint8_t(cur[6]), 32);
        EXPECT_EQ(uint8_t(cur[7]), 32);
        const size_t bytes = uint8_t(cur[14]) | uint8_t(cur[15]) << 8 | uint8_t(cur[16]) << 16;
        EXPECT_EQ(cur.size(), 22u + bytes) << name;
        EXPECT_EQ(uint8_t(cur[22]), 40);              // info header
        EXPECT_EQ(uint8_t(cur[22 + 8]), 64);          // double height: colour and mask
        EXPECT_EQ(bytes, 40u + 32 * 32 * 4 + 32 * 4);  // 32-bit pixels, 1-bit mask
    }
}

}  // namespace
