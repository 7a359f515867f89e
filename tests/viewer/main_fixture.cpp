#include "tests/viewer/main_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "platform/forms/application.h"
#include "platform/forms/bitmap.h"
#include "platform/forms/bmp.h"
#include "platform/forms/formdesc.h"
#include "platform/media/fake_media.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/registry.h"
#include "viewer/facefile.h"
#include "viewer/forms.h"
#include "viewer/ncf.h"
#include "viewer/prepare.h"

namespace viewertest {

namespace fs = std::filesystem;
using namespace viewer;

namespace {

std::string SolidBmp(int width, int height, uint32_t pixel) {
    forms::TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, pixel);
    return forms::EncodeBmp24(bitmap);
}

}  // namespace

void ViewerTest::SetUp() {
    static int serial = 0;
    scratch_ = (fs::temp_directory_path() / ("tome-vmain-" + std::to_string(::getpid()) + "-" +
                                             std::to_string(++serial)))
                   .string() + "/";
    fs::remove_all(scratch_);
    book_ = scratch_ + "book/";
    fs::create_directories(book_ + "data/templates");
    savedCwd_ = fs::current_path().string();
    setenv("TOME_REGISTRY", (scratch_ + "registry").c_str(), 1);
    rtl::SetProgramFolderForTests(rtl::FromNativePath(book_));
    forms::SetResourcesFolder(rtl::FromNativePath(TOME_TEST_RESOURCES));
    rtl::SetDialogService(&dialogs_);
    web::UseFakeWebBrowsers();
    media::UseFakeMedia();
    ResetMainState();
    ResetPrepareState();
    SplashPauseMs = 0;
    SetHaltHandler([](int code) { throw HaltCalled{code}; });
    WriteBookFile("data/templates/favorites.edt", "prefix=<ul>;\r\n");
    WriteBookFile("data/templates/search.edt", "prefix=<ul>;\r\n");
}

void ViewerTest::TearDown() {
    forms::ResetApplication();
    Form1 = nullptr;
    Form2 = nullptr;
    Form3 = nullptr;
    Form4 = nullptr;
    Form5 = nullptr;
    sett = nullptr;
    ResetMainState();
    ResetPrepareState();
    SetHaltHandler({});
    rtl::SetDialogService(nullptr);
    rtl::SetProgramFolderForTests("");
    forms::SetResourcesFolder("");
    fs::current_path(savedCwd_);
    fs::remove_all(scratch_);
}

std::string ViewerTest::BookWin() const { return rtl::FromNativePath(book_); }

void ViewerTest::WriteBookFile(const std::string& name, const std::string& content) {
    fs::create_directories(fs::path(book_ + name).parent_path());
    std::ofstream(book_ + name, std::ios::binary) << content;
}

bool ViewerTest::BookFileExists(const std::string& name) const { return fs::exists(book_ + name); }

std::string ViewerTest::ReadBookFile(const std::string& name) const {
    std::ifstream in(book_ + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ViewerTest::Button(const std::string& subtype, const std::string& target, int left) {
    return "BUTTON=data," + subtype + "," + target + "," + std::to_string(left) +
           ",0,40,20,btn_n.bmp,btn_d.bmp,btn_u.bmp,btn_n.bmp,vis,l,t,hint,";
}

void ViewerTest::WriteSkin(const std::vector<std::string>& buttonLines, const std::vector<std::string>& startLines) {
    std::vector<std::string> lines = {"DATACENTER_top=10", "DATACENTER_left=10", "HEADER_height=30"};
    lines.insert(lines.end(), startLines.begin(), startLines.end());
    lines.insert(lines.end(), buttonLines.begin(), buttonLines.end());
    WriteBookFile("config.ncf", EncodeNcf(lines));
    WriteBookFile("face.dat", WriteFaceFile({{"btn_n.bmp", SolidBmp(40, 20, kNormalPixel)},
                                             {"btn_d.bmp", SolidBmp(40, 20, kDownPixel)},
                                             {"btn_u.bmp", SolidBmp(40, 20, kUpPixel)}}));
}

void ViewerTest::WritePage(const std::string& name, const std::string& body) {
    WriteBookFile("data/" + name, "<html><body>" + body + "</body></html>\r\n");
}

void ViewerTest::CreateWindows() {
    forms::TApplication& application = forms::Application();
    application.Title = "TestBook";
    application.CreateForm(Form1);
    application.CreateForm(Form2);
    application.CreateForm(Form3);
    application.CreateForm(Form5);
    application.CreateForm(sett);
    application.CreateForm(Form4);
}

void ViewerTest::Start() {
    CreateWindows();
    Form1->Show();
    Pump();
}

web::FakeBrowserPeer& ViewerTest::Engine() {
    web::FakeBrowserPeer* engine = web::FakeBrowserPeer::Of(*Form1->datacenter);
    if (!engine) throw std::runtime_error("the main browser has no engine yet");
    return *engine;
}

std::string ViewerTest::BookUri(const std::string& name) const { return "file://" + book_ + name; }

bool ViewerTest::ShowsComposedPage() {
    const std::vector<std::string>& loads = Engine().Loads();
    return !loads.empty() && loads.back().find("tomeview.tmp") != std::string::npos;
}

bool ViewerTest::Terminated() const { return forms::Application().Terminated(); }

std::string ViewerTest::ReadViewerValue(const std::string& name) {
    return ReadMachineValue("\\Software\\TestBook", name);
}

void ViewerTest::WriteViewerValue(const std::string& name, const std::string& value) {
    WriteMachineValue("\\Software\\TestBook", name, value);
}

void ViewerTest::WriteMachineValue(const std::string& key, const std::string& name, const std::string& value) {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    if (!registry.OpenKey(key, true)) throw std::runtime_error("registry key");
    registry.WriteString(name, value);
}

std::string ViewerTest::ReadMachineValue(const std::string& key, const std::string& name) {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    if (!registry.OpenKey(key, false)) return "<no key>";
    if (!registry.ValueExists(name)) return "<no value>";
    return registry.ReadString(name);
}

}  // namespace viewertest
