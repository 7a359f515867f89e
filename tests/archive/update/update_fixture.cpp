#include "tests/archive/update/update_fixture.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"

namespace fs = std::filesystem;

void UpdateTest::SetUp()
{
    char pattern[] = "/tmp/zaupdate-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    savedDir_ = fs::current_path().string();
    fs::current_path(dir_);
    rtl::SetDialogService(&dialogs_);
}

void UpdateTest::TearDown()
{
    rtl::SetDialogService(nullptr);
    fs::current_path(savedDir_);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

void UpdateTest::Put(const std::string& name, const std::string& bytes) const
{
    const fs::path path = Path(name);
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string UpdateTest::Get(const std::string& name) const
{
    std::ifstream in(Path(name), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> UpdateTest::Listing() const
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir_))
        names.push_back(entry.path().lexically_relative(dir_).string());
    std::sort(names.begin(), names.end());
    return names;
}

void UpdateTest::MakeArchive(const std::string& zipName, const std::vector<std::string>& files, uint8_t mode,
                             const std::string& password, TZip64Mode zip64)
{
    TZipArchiver zip;
    zip.FileName = Path(zipName);
    zip.SetCompressionMode(mode);
    zip.Password = password;
    zip.Zip64Mode = zip64;
    zip.OpenArchive();
    zip.BeginUpdate();
    for (const std::string& file : files)
        ASSERT_GE(zip.AddFile(file), 0) << file;
    zip.EndUpdate();
    zip.CloseArchive();
}

std::vector<std::pair<std::string, std::string>> UpdateTest::ReadBack(const std::string& zipName,
                                                                      const std::string& password)
{
    std::vector<std::pair<std::string, std::string>> entries;
    TZipArchiver zip;
    zip.FileName = Path(zipName);
    zip.Password = password;
    zip.OpenArchiveWithMode(ZA_MODE_READONLY);
    for (int i = 0; i < zip.DirManager->CurrentDir.Count(); ++i) {
        rtl::TMemoryStream data;
        zip.ExtractToStream(i, data);
        entries.emplace_back(zip.DirManager->CurrentDir.ItemAt(i).FileName,
                             std::string(static_cast<const char*>(data.Memory()), static_cast<size_t>(data.Size())));
    }
    zip.CloseArchive();
    return entries;
}

std::string RandomBytes(size_t n, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

std::string TextBytes(size_t n)
{
    static const std::string line = "The quick brown fox jumps over the lazy dog 0123456789.\r\n";
    std::string bytes;
    bytes.reserve(n);
    for (size_t i = 0; bytes.size() < n; ++i)
        bytes += line.substr(i % 7) + std::to_string(i);
    bytes.resize(n);
    return bytes;
}

int RunCommand(const std::string& command, std::string* out)
{
    const std::string redirect = out != nullptr ? " 2>&1" : " >/dev/null 2>&1";
    FILE* pipe = popen(("(" + command + ")" + redirect).c_str(), "r");
    if (pipe == nullptr)
        return -1;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        if (out != nullptr)
            out->append(buffer, got);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const std::string& tool)
{
    return RunCommand("command -v " + tool) == 0;
}

std::string Quote(const std::string& s)
{
    std::string quoted = "'";
    for (char c : s)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
