// Shared helpers of the updating tests: a scratch folder per test (also the current folder, so
// files added by relative name are stored under that name), scripted dialogs, archives made by the
// library, and runs of the tools that check them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "archive/ZAExcept.h"
#include "archive/ZipArchiver.h"
#include "tests/archive/native_error.h"
#include "platform/rtl/dialogs.h"

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& Dir() const { return dir_; }
    // Writes a file of the scratch folder (folders made as needed).
    void Put(const std::string& name, const std::string& bytes) const;
    std::string Get(const std::string& name) const;
    // Names of the files in the scratch folder (sorted).
    std::vector<std::string> Listing() const;

    // Opens Path(zipName) (made when missing), adds the files by their relative names in one batch
    // and closes it.
    void MakeArchive(const std::string& zipName, const std::vector<std::string>& files, uint8_t mode = 6,
                     const std::string& password = "", TZip64Mode zip64 = zmAuto);
    // Entry name -> bytes, read back through the library.
    std::vector<std::pair<std::string, std::string>> ReadBack(const std::string& zipName,
                                                              const std::string& password = "");

    rtl::ScriptedDialogs dialogs_;

private:
    std::string dir_;
    std::string savedDir_;
};

// Pseudo-random bytes (incompressible) and repetitive text (compressible).
std::string RandomBytes(size_t n, uint32_t seed);
std::string TextBytes(size_t n);
// Runs a shell command; its exit status, and its standard output in out when given.
int RunCommand(const std::string& command, std::string* out = nullptr);
bool HaveTool(const std::string& tool);
std::string Quote(const std::string& s);

