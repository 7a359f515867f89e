// The launcher on the headless backend: a scratch CD folder as the program folder, a private
// registry file and mutex name, recorded program starts, opened documents and sounds.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "launcher/Unit1.h"
#include "platform/headless/headless.h"
#include "platform/media/fake_media.h"
#include "platform/rtl/dialogs.h"

namespace launchertest {

struct StartedProgram {
    std::string cmdLine;
    int showCmd;
    size_t soundsBefore;  // click sounds played before this start
};

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void WriteCdFile(const std::string& name, const std::string& content);
    void SetInstallPath(const std::string& path);  // writes HKLM "\Software\orbel_lumen\" PATH
    void SetBrowserVersion(const std::string& version);
    // Runs the program block on the headless backend; the window is shown once it returns. The
    // single-instance mutex carries the test's own name, so that tests run side by side (and the
    // user's launcher) do not meet.
    int Start();
    std::string CdWin() const;  // the CD folder, Windows-style with a trailing "\"
    size_t Sounds() const { return media_.sound->Sounds.size(); }
    bool Closed() const;
    void Click(int x, int y) { backend_->Click(*launcher::Form1, x, y); }

    headless::TScopedHeadless backend_;
    rtl::ScriptedDialogs dialogs_;
    media::FakeMedia media_;
    std::vector<StartedProgram> started_;
    std::vector<std::string> opened_;
    int startResult_ = 33;  // what the fake program starter answers
    std::string scratch_;
    std::string cd_;
    std::string mutexName_;

private:
    std::string savedCwd_;
};

}  // namespace launchertest
