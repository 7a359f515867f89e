// Helpers of the system tests: a private temporary folder, small native file utilities.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"

namespace rtltest {

// A fresh folder under /tmp, removed with everything in it at the end of the test.
class TempFolder {
public:
    TempFolder() {
        std::string tmpl = "/tmp/rtlsys-XXXXXX";
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
        native_ = tmpl;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(native_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Native (UTF-8) path of a name inside, "" for the folder itself.
    std::string Native(const std::string& utf8Name = {}) const {
        return utf8Name.empty() ? native_ : native_ + "/" + utf8Name;
    }
    // Windows-style cp1251 path of the folder with a trailing "\".
    std::string Win() const { return rtl::FromNativePath(native_) + "\\"; }

private:
    std::string native_;
};

inline void WriteNative(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string ReadNative(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool NativeExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Restores the current folder when the test ends.
class CurrentDirGuard {
public:
    CurrentDirGuard() : saved_(std::filesystem::current_path()) {}
    ~CurrentDirGuard() {
        std::error_code ec;
        std::filesystem::current_path(saved_, ec);
    }

private:
    std::filesystem::path saved_;
};

// Sets an environment variable for the test's life.
class EnvGuard {
public:
    EnvGuard(const char* name, const std::string& value) : name_(name) {
        if (const char* old = getenv(name)) {
            had_ = true;
            old_ = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~EnvGuard() {
        if (had_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

// Removes the lock files of a test's own named mutex from the user's folders.
inline void RemoveMutexFiles(const std::string& name) {
    std::error_code ignored;
    for (const std::string folder : {"/run/user/", "/tmp/tome-"})
        std::filesystem::remove(folder + std::to_string(geteuid()) + "/tome-mutex-" + name + ".lock", ignored);
}

}  // namespace rtltest
