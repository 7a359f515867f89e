// A program folder in a temporary directory, the registry in a temporary file, the headless
// backend with scripted dialogs, the update dialog created from its description, and an HTTP
// server on 127.0.0.1 serving the files a test puts there.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/rtl/dialogs.h"
#include "tests/net/test_http_server.h"
#include "updater/update.h"

namespace updatertest {

struct ZipEntry {
    std::string Name;
    std::string Content;
    std::optional<uint64_t> StatedSize = std::nullopt;  // the directory's size, when not the content's
    bool ReadOnly = false;                              // mode 0444 and the read-only attribute
    int Method = 8;  // 0 stored, 8 deflated, 12 BZip2, 14 LZMA, 9 Deflate64 (stored data so labelled)
};

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The server answers "/<name>" with the file put here, 404 otherwise.
    void Serve(const std::string& name, const std::string& body);
    void ServeStalled(const std::string& name, int stallMs);
    // Serves body in two parts: its first firstBytes, then silence for holdMs, then the rest.
    void ServeInTwoParts(const std::string& name, const std::string& body, size_t firstBytes, int holdMs);
    // Serves body with a Content-Length of length, whatever its size; with none, without one.
    void ServeLength(const std::string& name, const std::string& body, std::optional<size_t> length);
    std::vector<nettest::TestRequest> Requests() const { return server_->Requests(); }

    // A ZIP archive made by Python's zipfile.
    std::string MakeZip(const std::vector<ZipEntry>& entries);
    // "version|file|size" with the real size of body, and body served as file.
    std::string PackLine(int version, const std::string& file, const std::string& body);

    std::string BookFile(const std::string& name) const;  // Linux path
    bool BookFileExists(const std::string& name) const;
    std::string ReadBookFile(const std::string& name) const;
    void SetProxyRegistry(int enable, const std::string& server);

    viewer::TForm5& Dialog() { return *form_; }
    bool Shows(forms::TImage* image) const { return image && image->Visible(); }
    void HoverAndClick(forms::TImage* zone);

    headless::TScopedHeadless backend_;
    rtl::ScriptedDialogs dialogs_;
    std::string scratch_;
    std::string book_;

private:
    std::string savedCwd_;
    std::unique_ptr<nettest::TestHttpServer> server_;
    mutable std::mutex filesMutex_;
    std::map<std::string, std::string> files_;
    std::map<std::string, int> stalls_;
    std::map<std::string, std::pair<size_t, int>> holds_;  // name -> body bytes before the silence, its length
    std::map<std::string, std::optional<size_t>> lengths_;  // name -> the Content-Length sent
    viewer::TForm5* form_ = nullptr;
};

}  // namespace updatertest
