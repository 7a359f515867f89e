#include "tests/launcher/launcher_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/forms/application.h"
#include "platform/forms/cursors.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/registry.h"
#include "tests/rtl/child_process.h"
#include "tests/rtl/system_fixture.h"

namespace launchertest {

namespace fs = std::filesystem;

void LauncherTest::SetUp() {
    static int serial = 0;
    static const fs::path base = fs::temp_directory_path();  // before TMPDIR names a test's folder
    scratch_ = (base /
                ("tome-launcher-" + std::to_string(::getpid()) + "-" + std::to_string(++serial)))
                   .string() + "/";
    fs::remove_all(scratch_);
    cd_ = scratch_ + "cd/";
    fs::create_directories(cd_);
    mutexName_ = "tome-launcher-test-" + std::to_string(::getpid()) + "-" + std::to_string(serial);
    savedCwd_ = fs::current_path().string();
    setenv("TOME_REGISTRY", (scratch_ + "registry").c_str(), 1);
    rtl::SetProgramFolderForTests(rtl::FromNativePath(cd_));
    forms::SetResourcesFolder(rtl::FromNativePath(TOME_LAUNCHER_TEST_RESOURCES));
    rtl::SetDialogService(&dialogs_);
    media_ = media::UseFakeMedia();
    launcher::SetProgramStarter([this](const std::string& cmdLine, int showCmd) {
        started_.push_back({cmdLine, showCmd, Sounds()});
        return startResult_;
    });
    launcher::SetDocumentOpener([this](const std::string& target) {
        opened_.push_back(target);
        return 42;
    });
    WriteCdFile("click.wav", "RIFF");
}

void LauncherTest::TearDown() {
    forms::ResetApplication();
    forms::Screen().Clear();
    launcher::Form1 = nullptr;
    launcher::MutexHandle.Close();
    launcher::ProductKey = "orbel_lumen";
    rtltest::RemoveMutexFiles(mutexName_);
    rtltest::RemoveOtherUsersFolders();
    launcher::InstallPath.clear();
    launcher::InstallRowSelector = launcher::RemoveRowSelector = launcher::RunRowSelector = 0;
    launcher::PendingRow = 0;
    launcher::SetProgramStarter({});
    launcher::SetDocumentOpener({});
    media::SetSoundOutput(nullptr);
    rtl::SetDialogService(nullptr);
    rtl::SetProgramFolderForTests("");
    forms::SetResourcesFolder("");
    fs::current_path(savedCwd_);
    fs::remove_all(scratch_);
}

void LauncherTest::WriteCdFile(const std::string& name, const std::string& content) {
    fs::path path = cd_ + name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

void LauncherTest::SetInstallPath(const std::string& path) {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(registry.OpenKey("\\Software\\orbel_lumen\\", true));
    registry.WriteString("PATH", path);
}

void LauncherTest::SetBrowserVersion(const std::string& version) {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(registry.OpenKey("Software\\Microsoft\\Internet Explorer", true));
    registry.WriteString("Version", version);
}

int LauncherTest::Start() {
    launcher::ProductKey = mutexName_;
    return launcher::RunInstaller();
}

std::string LauncherTest::CdWin() const { return rtl::FromNativePath(cd_); }

bool LauncherTest::Closed() const { return forms::Application().Terminated(); }

}  // namespace launchertest
