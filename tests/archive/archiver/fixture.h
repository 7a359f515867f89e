// Shared helpers of the archiver tests: a scratch folder per test, file helpers, an installed
// scripted dialog service, and archives made by Python's zipfile or Info-ZIP zip.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/ZAExcept.h"
#include "archive/ZipArchiver.h"
#include "tests/archive/native_error.h"
#include "platform/rtl/dialogs.h"

class ArchiverTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Full name (with "/") of a file in the scratch folder.
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& Dir() const { return dir_; }

    rtl::ScriptedDialogs dialogs_;

private:
    std::string dir_;
};

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// Runs a shell command; true on exit status 0.
bool Shell(const std::string& command);
bool HaveTool(const std::string& tool);
// Runs a Python snippet with `path` bound to the given file name; true on success.
bool Python(const std::string& code, const std::string& path);

