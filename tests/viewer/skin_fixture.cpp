#include "skin_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/forms/application.h"
#include "platform/forms/bitmap.h"
#include "platform/forms/bmp.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/paths.h"
#include "viewer/ncf.h"

namespace skintest {

namespace fs = std::filesystem;

std::string SolidBmp(int width, int height, uint32_t pixel) {
    forms::TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, pixel);
    return forms::EncodeBmp24(bitmap);
}

void SkinTest::SetUp() {
    char pattern[] = "/tmp/vskin-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = std::string(pattern) + "/";
    fs::create_directories(folder_ + "data/templates");
    registryFile_ = folder_ + "registry";
    setenv("TOME_REGISTRY", registryFile_.c_str(), 1);
    savedCwd_ = fs::current_path().string();

    rtl::SetProgramFolderForTests(rtl::FromNativePath(folder_));
    forms::SetResourcesFolder(rtl::FromNativePath(SKIN_TEST_RESOURCES));
    rtl::SetDialogService(&dialogs_);
    viewer::SetHaltHandler([](int code) { throw HaltCalled{code}; });
    viewer::ResetMainState();
    viewer::ResetPrepareState();
    viewer::SplashPauseMs = 0;
    forms::Application().CreateForm(viewer::Form1);
    forms::Application().CreateForm(viewer::Form2);
    viewer::ExePath = rtl::FromNativePath(folder_);
}

void SkinTest::TearDown() {
    forms::ResetApplication();
    viewer::ResetMainState();
    viewer::ResetPrepareState();
    viewer::SetHaltHandler(nullptr);
    rtl::SetDialogService(nullptr);
    rtl::SetProgramFolderForTests("");
    forms::SetResourcesFolder("");
    fs::current_path(savedCwd_);
    unsetenv("TOME_REGISTRY");
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

void SkinTest::WriteFile(const std::string& relativeName, const std::string& bytes) {
    fs::create_directories(fs::path(folder_ + relativeName).parent_path());
    std::ofstream out(folder_ + relativeName, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void SkinTest::RemoveFile(const std::string& relativeName) { fs::remove(folder_ + relativeName); }

void SkinTest::WriteConfig(const std::vector<std::string>& lines) { WriteFile("config.ncf", viewer::EncodeNcf(lines)); }

void SkinTest::WriteFace(const std::vector<viewer::TFaceEntry>& entries) {
    WriteFile("face.dat", viewer::WriteFaceFile(entries));
}

void SkinTest::WriteTemplates() {
    WriteFile("data/templates/favorites.edt", "prefix=<ul>;\r\n");
    WriteFile("data/templates/search.edt", "prefix=<ol>;\r\n");
}

bool SkinTest::Apply(const std::vector<std::string>& lines) {
    WriteConfig(lines);
    if (fs::exists(folder_ + "face.dat")) F2().LoadFaceImages();
    return F2().ApplyConfig();
}

std::string SkinTest::LastBoxText() const {
    auto log = dialogs_.Log();
    return log.empty() ? std::string() : log.back().Text;
}

}  // namespace skintest
