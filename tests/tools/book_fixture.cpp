#include "book_fixture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/rtl/codepage.h"

namespace booktest {

namespace fs = std::filesystem;

namespace {

// Sizes and modification times of the packer and of every source: what the packed book depends on.
std::string SourcesKey() {
    std::ostringstream key;
    auto add = [&key](const fs::path& path) {
        key << path.generic_string() << ' ' << fs::file_size(path) << ' '
            << fs::last_write_time(path).time_since_epoch().count() << '\n';
    };
    add(BOOKPACK_EXE);
    for (const std::string& name : FilesUnder(BOOK_SAMPLE_DIR)) add(fs::path(BOOK_SAMPLE_DIR) / name);
    return key.str();
}

// Removes a private copy when the test program ends.
struct TScratch {
    std::vector<std::string> Folders;
    ~TScratch() {
        std::error_code ignored;
        for (const std::string& folder : Folders) fs::remove_all(folder, ignored);
    }
};

}  // namespace

const std::string& PackedBook() {
    static std::string book;
    if (!book.empty()) return book;
    const std::string root = BOOK_TEST_DIR;
    fs::create_directories(root);
    // Test processes run side by side: one packs while the others wait.
    int lock = open((root + "/pack.lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) ADD_FAILURE() << "cannot lock " << root;
    const std::string key = SourcesKey(), folder = root + "/book/";
    if (!fs::exists(root + "/key") || ReadBytes(root + "/key") != key) {
        fs::remove(root + "/key");
        fs::remove_all(folder);
        std::string command =
            std::string("\"") + BOOKPACK_EXE + "\" \"" + BOOK_SAMPLE_DIR + "\" \"" + folder + "\" > /dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::ofstream(root + "/key", std::ios::binary) << key;
    }
    if (lock >= 0) close(lock);
    book = folder;
    return book;
}

std::string CopyOfPackedBook() {
    static TScratch scratch;
    char pattern[] = "/tmp/vbook-book-XXXXXX";
    if (!mkdtemp(pattern)) ADD_FAILURE() << "no temporary folder";
    std::string copy = std::string(pattern) + "/";
    fs::copy(PackedBook(), copy, fs::copy_options::recursive);
    scratch.Folders.push_back(copy);
    return copy;
}

std::string SampleFolder() { return std::string(BOOK_SAMPLE_DIR) + "/"; }

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> FilesUnder(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), folder).generic_string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> SourceConfigLines() {
    std::vector<std::string> lines;
    std::istringstream in(ReadBytes(SampleFolder() + "config.txt"));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(rtl::Utf8ToCp1251(line));
    }
    return lines;
}

}  // namespace booktest
