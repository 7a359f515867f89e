// A viewer on the headless backend with fake browsers, scripted dialogs, its own registry file and
// a book folder made for the test: skin (config.ncf, face.dat), templates and pages.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/rtl/dialogs.h"
#include "platform/web/fake_browser.h"
#include "viewer/main.h"

namespace viewertest {

// Colours of the three pictures of every test button (0x00RRGGBB pixels).
constexpr uint32_t kNormalPixel = 0x0000FF;
constexpr uint32_t kDownPixel = 0x00FF00;
constexpr uint32_t kUpPixel = 0xFF0000;

// Raised by the program's halt in tests.
struct HaltCalled {
    int ExitCode;
};

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Book folder (Linux path with "/") and its Windows-style spelling ("\...\", as AppDir).
    std::string Book() const { return book_; }
    std::string BookWin() const;
    // Writes a file under the book folder; name with "/" separators, content cp1251.
    void WriteBookFile(const std::string& name, const std::string& content);
    bool BookFileExists(const std::string& name) const;
    std::string ReadBookFile(const std::string& name) const;

    // A skin of the given BUTTON lines (START_ names the first button and registry key "TestBook"
    // unless startLines replace them); every button uses the pictures btn_n/btn_d/btn_u.bmp.
    void WriteSkin(const std::vector<std::string>& buttonLines,
                   const std::vector<std::string>& startLines = {"START_button=1", "START_registry=TestBook"});
    static std::string Button(const std::string& subtype, const std::string& target, int left = 10);
    // A page under data\; includes nothing and names no template.
    void WritePage(const std::string& name, const std::string& body = "page");

    // Creates the six windows in program order.
    void CreateWindows();
    // Creates the windows and shows the main window (the start sequence runs), then pumps.
    void Start();
    void Pump() { backend_->ProcessMessages(); }

    // The engine behind the main browser.
    web::FakeBrowserPeer& Engine();
    // The file URI the fake engine sees for a book file ("data/x.html").
    std::string BookUri(const std::string& name) const;
    // Whether the last load started by the main browser was the composed page.
    bool ShowsComposedPage();
    size_t LoadCount() { return Engine().Loads().size(); }

    // Registry values of the viewer's key (HKLM \Software\TestBook).
    std::string ReadViewerValue(const std::string& name);
    void WriteViewerValue(const std::string& name, const std::string& value);
    void WriteMachineValue(const std::string& key, const std::string& name, const std::string& value);
    std::string ReadMachineValue(const std::string& key, const std::string& name);

    headless::THeadlessBackend& Backend() { return *backend_; }
    headless::TScopedHeadless backend_;
    rtl::ScriptedDialogs dialogs_;
    bool Terminated() const;

private:
    std::string scratch_;
    std::string book_;
    std::string savedCwd_;
};

}  // namespace viewertest
