#include "tests/archive/archiver/fixture.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/rtl/drives.h"

void ArchiverTest::SetUp()
{
    char pattern[] = "/tmp/zaarch-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    rtl::SetDialogService(&dialogs_);
}

void ArchiverTest::TearDown()
{
    rtl::SetDialogService(nullptr);
    rtl::SetRemovableFolderForTests("", "", 0);
    std::error_code ec;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(dir_, ec);
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool Shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

bool HaveTool(const std::string& tool)
{
    return Shell("command -v " + tool + " >/dev/null 2>&1");
}

bool Python(const std::string& code, const std::string& path)
{
    const std::string script = path + ".py";
    WriteAll(script, "import sys, zipfile\npath = sys.argv[1]\n" + code + "\n");
    return Shell("python3 '" + script + "' '" + path + "'");
}
