#include "tests/updater/update_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/forms/application.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/drives.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/registry.h"
#include "viewer/bindings.h"
#include "viewer/main.h"

namespace updatertest {

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Python's zipfile reads the entries from a folder of numbered files named by a list; a size in the
// list of stated sizes replaces the entry's size in the directory, which is written at the close; an
// "r" in it makes the entry read-only, ":" and a number its method (Deflate64: stored data so labelled).
constexpr const char* kZipScript =
    "import sys, zipfile\n"
    "names = open(sys.argv[2], encoding='utf-8').read().split('\\n')\n"
    "stated = open(sys.argv[4]).read().split('\\n')\n"
    "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
    "    for i, name in enumerate(names):\n"
    "        if name:\n"
    "            flags, _, method = stated[i].partition(':')\n"
    "            m = int(method or 8)\n"
    "            z.writestr(name, open(sys.argv[3] + '/' + str(i), 'rb').read(), 0 if m == 9 else m)\n"
    "            z.filelist[-1].compress_type = m\n"
    "            if flags.startswith('r'): z.filelist[-1].external_attr = (0o100444 << 16) | 1\n"
    "            if flags.lstrip('r'): z.filelist[-1].file_size = int(flags.lstrip('r'))\n";

}  // namespace

void UpdateTest::SetUp() {
    static int serial = 0;
    scratch_ = (fs::temp_directory_path() / ("tome-updater-" + std::to_string(::getpid()) + "-" +
                                             std::to_string(++serial)))
                   .string() + "/";
    fs::remove_all(scratch_);
    book_ = scratch_ + "book/";
    fs::create_directories(book_ + "data");
    savedCwd_ = fs::current_path().string();
    setenv("TOME_REGISTRY", (scratch_ + "registry").c_str(), 1);
    rtl::SetProgramFolderForTests(rtl::FromNativePath(book_));
    viewer::AppDir = rtl::IncludeTrailingBackslash(rtl::FromNativePath(book_));
    forms::SetResourcesFolder(rtl::FromNativePath(TOME_TEST_RESOURCES));
    rtl::SetDialogService(&dialogs_);
    viewer::ResetBindingsState();
    viewer::PendingUpdates.clear();
    viewer::UpdateCancelled = false;
    viewer::UpdatePauseMs = 0;

    server_ = std::make_unique<nettest::TestHttpServer>([this](const nettest::TestRequest& request) {
        std::lock_guard<std::mutex> lock(filesMutex_);
        const std::string name = request.target.size() > 1 ? request.target.substr(1) : "";
        auto file = files_.find(name);
        if (file == files_.end()) return nettest::TestResponse::Text("missing", 404, "Not Found");
        nettest::TestResponse response = nettest::TestResponse::Text(file->second);
        auto stall = stalls_.find(name);
        if (stall != stalls_.end()) response.stallBeforeMs = stall->second;
        auto hold = holds_.find(name);
        if (hold != holds_.end()) {
            const std::string head =
                "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(file->second.size()) + "\r\n\r\n";
            response.raw = head + file->second;
            response.stallAfterBytes = head.size() + hold->second.first;
            response.stallAfterMs = hold->second.second;
        }
        if (auto length = lengths_.find(name); length != lengths_.end()) {
            response.sendContentLength = false;
            if (length->second)
                response.headers.push_back({"Content-Length", std::to_string(*length->second)});
        }
        return response;
    });
    viewer::UpdateUrl = server_->Url("/");
    form_ = new viewer::TForm5(&forms::Application());
}

void UpdateTest::TearDown() {
    forms::ResetApplication();
    form_ = nullptr;
    server_.reset();
    viewer::PendingUpdates.clear();
    viewer::UpdateCancelled = false;
    viewer::UpdatePauseMs = 1000;
    viewer::UpdateUrl.clear();
    rtl::SetDiskFreeForTests(-1);
    viewer::ResetBindingsState();
    rtl::SetDialogService(nullptr);
    rtl::SetProgramFolderForTests("");
    forms::SetResourcesFolder("");
    fs::current_path(savedCwd_);
    fs::remove_all(scratch_);
}

void UpdateTest::Serve(const std::string& name, const std::string& body) {
    std::lock_guard<std::mutex> lock(filesMutex_);
    files_[name] = body;
}

void UpdateTest::ServeStalled(const std::string& name, int stallMs) {
    std::lock_guard<std::mutex> lock(filesMutex_);
    stalls_[name] = stallMs;
    files_.emplace(name, "late");
}

void UpdateTest::ServeInTwoParts(const std::string& name, const std::string& body, size_t firstBytes, int holdMs) {
    std::lock_guard<std::mutex> lock(filesMutex_);
    files_[name] = body;
    holds_[name] = {firstBytes, holdMs};
}

void UpdateTest::ServeLength(const std::string& name, const std::string& body, std::optional<size_t> length) {
    std::lock_guard<std::mutex> lock(filesMutex_);
    files_[name] = body;
    lengths_[name] = length;
}

std::string UpdateTest::MakeZip(const std::vector<ZipEntry>& entries) {
    static int serial = 0;
    const std::string folder = scratch_ + "zip" + std::to_string(++serial) + "/";
    fs::create_directories(folder + "entries");
    std::string names;
    std::string stated;
    for (size_t i = 0; i < entries.size(); ++i) {
        std::ofstream(folder + "entries/" + std::to_string(i), std::ios::binary) << entries[i].Content;
        names += entries[i].Name + "\n";
        if (entries[i].ReadOnly) stated += "r";
        if (entries[i].StatedSize) stated += std::to_string(*entries[i].StatedSize);
        if (entries[i].Method != 8) stated += ":" + std::to_string(entries[i].Method);
        stated += "\n";
    }
    std::ofstream(folder + "names", std::ios::binary) << names;
    std::ofstream(folder + "stated", std::ios::binary) << stated;
    std::ofstream(folder + "make.py", std::ios::binary) << kZipScript;
    const std::string command = "python3 '" + folder + "make.py' '" + folder + "pack.zip' '" + folder + "names' '" +
                                folder + "entries' '" + folder + "stated'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadAll(folder + "pack.zip");
}

std::string UpdateTest::PackLine(int version, const std::string& file, const std::string& body) {
    Serve(file, body);
    return std::to_string(version) + "|" + file + "|" + std::to_string(body.size()) + "\r\n";
}

std::string UpdateTest::BookFile(const std::string& name) const { return book_ + name; }

bool UpdateTest::BookFileExists(const std::string& name) const { return fs::exists(book_ + name); }

std::string UpdateTest::ReadBookFile(const std::string& name) const { return ReadAll(book_ + name); }

void UpdateTest::SetProxyRegistry(int enable, const std::string& server) {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_CURRENT_USER;
    ASSERT_TRUE(registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", true));
    registry.WriteInteger("ProxyEnable", enable);
    registry.WriteString("ProxyServer", server);
    registry.CloseKey();
}

void UpdateTest::HoverAndClick(forms::TImage* zone) {
    ASSERT_NE(zone, nullptr);
    const forms::TRect r = zone->FormRect();
    const int x = r.Left + r.Width() / 2;
    const int y = r.Top + r.Height() / 2;
    backend_->MouseMove(Dialog(), x, y);
    backend_->Click(Dialog(), x, y);
}

}  // namespace updatertest
