// The main window and the splash window on the headless backend, with scripted dialogs, a registry
// file and a program folder of the test's own, for the skin loader's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/rtl/dialogs.h"
#include "viewer/facefile.h"
#include "viewer/main.h"
#include "viewer/prepare.h"

namespace skintest {

// Raised instead of ending the process when a fatal message was confirmed.
struct HaltCalled {
    int ExitCode;
};

// A BMP file image of one colour (0x00RRGGBB).
std::string SolidBmp(int width, int height, uint32_t pixel = 0x336699);

class SkinTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Program folder as a Linux path (trailing "/").
    const std::string& Folder() const { return folder_; }
    void WriteFile(const std::string& relativeName, const std::string& bytes);
    void RemoveFile(const std::string& relativeName);

    // Writes "config.ncf" holding these lines; "face.dat" holding these entries.
    void WriteConfig(const std::vector<std::string>& lines);
    void WriteFace(const std::vector<viewer::TFaceEntry>& entries);
    // Both list templates with one harmless line each.
    void WriteTemplates();

    // Loads face.dat and applies the given lines through the configuration file.
    bool Apply(const std::vector<std::string>& lines);

    // Box log helpers.
    std::vector<rtl::ScriptedDialogs::TShownBox> Boxes() const { return dialogs_.Log(); }
    std::string LastBoxText() const;

    viewer::TForm1& F1() { return *viewer::Form1; }
    viewer::TForm2& F2() { return *viewer::Form2; }

    headless::TScopedHeadless backend_;
    rtl::ScriptedDialogs dialogs_;

private:
    std::string folder_;
    std::string registryFile_;
    std::string savedCwd_;
};

}  // namespace skintest
