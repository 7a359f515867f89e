#include "tools/bookpack/pack.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/rtl/codepage.h"
#include "tools/bookpack/art.h"
#include "viewer/facefile.h"
#include "viewer/ncf.h"

namespace bookpack {

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EPackError("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) throw EPackError("cannot write " + path.string());
}

// Text files of the data folder are stored in Windows-1251; everything else is copied as it is.
bool IsTextFile(const fs::path& path) {
    static const std::set<std::string> kText = {".html", ".htm", ".inc", ".edt", ".css", ".txt"};
    return kText.count(path.extension().string()) > 0;
}

// Picture names of the configuration: the values of BACKGROUND_ (but the colour) and of the
// picture keys of HEADER_, and the four picture fields of every BUTTON line.
std::set<std::string> NamedPictures(const std::vector<std::string>& lines) {
    static const std::set<std::string> kHeaderPictures = {"bg", "ico_min", "ico_max", "ico_clo", "ico_log",
                                                          "ico_name", "sound_fon1", "sound_but1", "play1",
                                                          "pause1", "searcher_img"};
    std::set<std::string> names;
    for (const std::string& line : lines) {
        size_t eq = line.find('=');
        if (eq == std::string::npos || line[0] == ';') continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key.starts_with("BACKGROUND_") && key != "BACKGROUND_color") names.insert(value);
        if (key.starts_with("HEADER_") && kHeaderPictures.count(key.substr(7))) names.insert(value);
        if (key == "BUTTON") {
            std::vector<std::string> fields;
            std::stringstream parts(value);
            for (std::string field; std::getline(parts, field, ',');) fields.push_back(field);
            for (size_t i = 7; i <= 10 && i < fields.size(); ++i) names.insert(fields[i]);
        }
    }
    return names;
}

void CheckPicturesDrawn(const std::vector<std::string>& lines, const std::vector<viewer::TFaceEntry>& pictures) {
    std::set<std::string> drawn;
    for (const viewer::TFaceEntry& e : pictures) drawn.insert(e.Name);
    for (const std::string& name : NamedPictures(lines))
        if (!drawn.count(name)) throw EPackError("config.txt names a picture the packer does not draw: " + name);
}

size_t PackData(const fs::path& source, const fs::path& target) {
    size_t count = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(source)) {
        if (!entry.is_regular_file()) continue;
        fs::path relative = fs::relative(entry.path(), source);
        std::string bytes = ReadFile(entry.path());
        if (IsTextFile(entry.path())) bytes = ToCp1251(bytes, relative.string());
        WriteFile(target / relative, bytes);
        ++count;
    }
    return count;
}

}  // namespace

std::string ToCp1251(const std::string& utf8Text, const std::string& where) {
    std::string converted = rtl::Utf8ToCp1251(utf8Text);
    if (rtl::Cp1251ToUtf8(converted) != utf8Text)
        throw EPackError(where + ": holds a character that Windows-1251 lacks");
    return converted;
}

std::vector<std::string> ConfigLines(const std::string& utf8Text) {
    std::vector<std::string> lines;
    std::stringstream in(utf8Text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(ToCp1251(line, "config.txt"));
    }
    return lines;
}

TPackSummary PackBook(const std::string& sampleFolder, const std::string& bookFolder) {
    const fs::path sample(sampleFolder), book(bookFolder);
    TPackSummary summary;
    const std::vector<std::string> lines = ConfigLines(ReadFile(sample / "config.txt"));
    const std::vector<viewer::TFaceEntry> pictures = SkinPictures();
    CheckPicturesDrawn(lines, pictures);
    try {
        WriteFile(book / "config.ncf", viewer::EncodeNcf(lines));
    } catch (const viewer::ENcfError& e) {
        throw EPackError(std::string("config.txt: ") + e.what());
    }
    WriteFile(book / "face.dat", viewer::WriteFaceFile(pictures));
    summary.ConfigLines = lines.size();
    summary.Pictures = pictures.size();

    const fs::path data = book / "data";
    fs::remove_all(data);
    summary.DataFiles = PackData(sample / "data", data);
    for (const TPageFile& file : PagePictures()) WriteFile(data / file.Name, file.Bytes);
    for (const TPageFile& file : CursorFiles()) WriteFile(data / file.Name, file.Bytes);
    // The first text style at the medium size is the one in force until the reader picks another.
    fs::copy_file(data / "css" / "classic_medium.css", data / "style.css", fs::copy_options::overwrite_existing);
    return summary;
}

}  // namespace bookpack
