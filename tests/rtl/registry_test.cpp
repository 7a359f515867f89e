#include "platform/rtl/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "platform/rtl/fscalls.h"

#include "tests/rtl/child_process.h"
#include "tests/rtl/readonly_place.h"
#include "tests/rtl/system_fixture.h"

using namespace rtl;
using rtltest::ReadNative;
using rtltest::WriteNative;

namespace {

// Every test gets its own store file in a folder that does not exist yet.
class RegistryTest : public ::testing::Test {
protected:
    rtltest::TempFolder tmp;
    std::string storeFile = tmp.Native("config/tome/registry");
    rtltest::EnvGuard env{"TOME_REGISTRY", storeFile};
};

void WriteValues(const std::string& key, const std::string& prefix, int count) {
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    if (!reg.OpenKey(key, true)) _exit(2);
    for (int i = 0; i < count; ++i) reg.WriteInteger(prefix + std::to_string(i), i);
}

}  // namespace

TEST_F(RegistryTest, StoreFileLocation) {
    EXPECT_EQ(RegistryFileName(), storeFile);
    unsetenv("TOME_REGISTRY");
    {
        rtltest::EnvGuard xdg("XDG_CONFIG_HOME", "/xdg/config");
        EXPECT_EQ(RegistryFileName(), "/xdg/config/tome/registry");
    }
    rtltest::EnvGuard noXdg("XDG_CONFIG_HOME", "");
    rtltest::EnvGuard home("HOME", "/home/reader");
    EXPECT_EQ(RegistryFileName(), "/home/reader/.config/tome/registry");
}

TEST_F(RegistryTest, StringsAndIntegersRoundTripWithCaseBlindNames) {
    {
        TRegistry reg;
        reg.RootKey = HKEY_LOCAL_MACHINE;
        ASSERT_TRUE(reg.OpenKey("\\Software\\orbel_lumen\\", true));
        reg.WriteString("PATH", Ru("\\opt\\книга\\"));
        reg.WriteInteger("Count", -5);
        reg.WriteBool("Flag", true);
        reg.WriteString(Ru("Ключ"), "");
    }
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\ORBEL_LUMEN", false));
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\ORBEL_LUMEN");
    EXPECT_EQ(reg.ReadString("path"), Ru("\\opt\\книга\\"));
    EXPECT_EQ(reg.ReadInteger("COUNT"), -5);
    EXPECT_TRUE(reg.ReadBool("flag"));
    EXPECT_TRUE(reg.ValueExists(Ru("КЛЮЧ")));
    EXPECT_EQ(reg.ReadString(Ru("ключ")), "");
    EXPECT_FALSE(reg.ValueExists("missing"));
    EXPECT_EQ(reg.ReadString("missing"), "");
    EXPECT_THROW(reg.ReadInteger("missing"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("path"), ERegistryException);
    EXPECT_THROW(reg.ReadString("count"), ERegistryException);

    reg.WriteString("PATH", "replaced");
    EXPECT_EQ(reg.ReadString("Path"), "replaced");
    EXPECT_EQ(reg.GetValueNames().size(), 4u);
    EXPECT_TRUE(reg.DeleteValue("pAtH"));
    EXPECT_FALSE(reg.DeleteValue("path"));
    EXPECT_FALSE(reg.ValueExists("PATH"));
}

TEST_F(RegistryTest, RootsAreKeptApart) {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    ASSERT_TRUE(reg.OpenKey("Software\\Shared", true));
    reg.WriteString("Where", "user");
    reg.RootKey = HKEY_LOCAL_MACHINE;  // closes the key
    EXPECT_FALSE(reg.KeyExists("\\Software\\Shared"));
    ASSERT_TRUE(reg.OpenKey("Software\\Shared", true));
    EXPECT_FALSE(reg.ValueExists("Where"));
    reg.WriteString("Where", "machine");
    reg.RootKey = HKEY_CURRENT_USER;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Shared", false));
    EXPECT_EQ(reg.ReadString("Where"), "user");
}

TEST_F(RegistryTest, KeyPaths) {
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("Software\\Missing", false));
    EXPECT_FALSE(reg.KeyExists("Software\\Missing"));
    EXPECT_FALSE(reg.KeyExists("Software"));  // nothing was created
    EXPECT_FALSE(reg.OpenKeyReadOnly("Software\\Missing"));

    ASSERT_TRUE(reg.OpenKey("\\\\Software\\\\A\\\\\\B\\", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\A\\B");
    EXPECT_TRUE(reg.KeyExists("\\software\\a"));  // parents exist too
    // Without a leading "\" a key is found below the open one.
    ASSERT_TRUE(reg.OpenKey("Inner", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\A\\B\\Inner");
    reg.CloseKey();
    EXPECT_TRUE(reg.KeyExists(Ru("SOFTWARE\\a\\b\\inner")));
    ASSERT_TRUE(reg.OpenKey("Software\\A", false));
    reg.CreateKey("C");
    std::vector<std::string> names = reg.GetKeyNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"B", "C"}));
    EXPECT_TRUE(reg.DeleteKey("\\Software\\A\\B"));
    EXPECT_FALSE(reg.KeyExists("\\Software\\A\\B\\Inner"));
    EXPECT_TRUE(reg.KeyExists("\\Software\\A\\C"));
    EXPECT_FALSE(reg.DeleteKey("\\Software\\A\\B"));
}

TEST_F(RegistryTest, ReadOnlyKeyRefusesWrites) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\RO", true));
    reg.WriteInteger("x", 1);
    reg.CloseKey();
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\RO"));
    EXPECT_EQ(reg.ReadInteger("x"), 1);
    EXPECT_THROW(reg.WriteInteger("x", 2), ERegistryException);
    EXPECT_FALSE(reg.DeleteValue("x"));
    EXPECT_EQ(reg.ReadInteger("x"), 1);
}

TEST_F(RegistryTest, AwkwardBytesSurviveAndTheFileStaysLineSafe) {
    std::string awkward = std::string("a b\r\n%41\t\\") + std::string(1, '\0') + Ru("ёЁ ") + "\xFF";
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(Ru("Ключ с пробелом\\%20"), true));
        reg.WriteString(awkward, awkward);
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(Ru("ключ С ПРОБЕЛОМ\\%20"), false));
    EXPECT_EQ(reg.ReadString(awkward), awkward);

    std::string file = ReadNative(storeFile);
    for (unsigned char c : file) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);
    EXPECT_EQ(file.substr(0, 10), "TOMEREG 1\n");
}

TEST_F(RegistryTest, DamagedStoreIsReadAroundItsBadLines) {
    std::string damaged =
        "garbage line\n"
        "S HKLM Software%5CBook PATH %2Fopt%2Fbook\n"
        "S HKLM Software%5CBook Broken %4\n"      // truncated escape
        "S HKLM Software%5CBook Broken2 %G1\n"    // not hex
        "I HKLM Software%5CBook Big 99999999999\n"  // out of range
        "I HKLM Software%5CBook Neg -17\r\n"
        "I HKLM Software%5CBook NotNum 12x\n"
        "S XXXX Software%5CBook Root bad\n"
        "S HKLM Software%5CBook Too many fields\n"
        "K HKLM\n" +
        std::string("\0\x01\xFF binary\n", 11) + "S HKLM Software%5CBook Last ok";  // no final line break
    WriteNative(storeFile, damaged);

    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(reg.OpenKey("Software\\Book", false));
    EXPECT_EQ(reg.ReadString("PATH"), "/opt/book");
    EXPECT_EQ(reg.ReadInteger("Neg"), -17);
    EXPECT_EQ(reg.ReadString("Last"), "ok");
    for (const char* bad : {"Broken", "Broken2", "Big", "NotNum", "Root", "Too"}) EXPECT_FALSE(reg.ValueExists(bad));

    reg.WriteInteger("New", 7);  // a write keeps every readable value
    EXPECT_EQ(reg.ReadString("PATH"), "/opt/book");
    EXPECT_EQ(reg.ReadInteger("New"), 7);
    EXPECT_EQ(ReadNative(storeFile).find("garbage"), std::string::npos);
    EXPECT_EQ(ReadNative(storeFile + ".damaged"), damaged);  // what the rewrite dropped is kept
}

// A store that is no store is kept beside the new one under a name of its own, and said so; a
// store that parses whole leaves nothing beside it, and one that cannot be kept is not replaced.
TEST_F(RegistryTest, ADamagedStoreIsKeptBesideTheRewrittenOne) {
    auto write = [] {
        TRegistry reg;
        reg.RootKey = HKEY_LOCAL_MACHINE;
        reg.WriteString("v", "x");
    };
    write();
    EXPECT_FALSE(rtltest::NativeExists(storeFile + ".damaged"));
    const std::string older(std::string("\x8F\0\xFFrandom", 9)), newer = "TOMEREG 1\nnot a record\n";
    for (const std::string& bytes : {older, newer}) {
        WriteNative(storeFile, bytes);
        testing::internal::CaptureStderr();
        write();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(storeFile + " was damaged"), std::string::npos) << said;
    }
    EXPECT_EQ(ReadNative(storeFile + ".damaged"), older);
    EXPECT_EQ(ReadNative(storeFile + ".damaged.1"), newer);
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    EXPECT_EQ(reg.ReadString("v"), "x");

    WriteNative(storeFile, older);
    rtltest::ReadOnlyPlace folder(tmp.Native("config/tome"));
    if (!folder.Usable()) GTEST_SKIP() << "a folder cannot be made read-only here";
    EXPECT_THROW(write(), ERegistryException);
    EXPECT_EQ(ReadNative(storeFile), older);
    EXPECT_FALSE(rtltest::NativeExists(storeFile + ".damaged.2"));
}

TEST_F(RegistryTest, UnwritableStoreRaisesOnWriteOnly) {
    std::filesystem::create_directories(storeFile);  // a folder where the file should be
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("Software\\X", true));
    EXPECT_THROW(reg.WriteString("v", "x"), ERegistryException);
    EXPECT_EQ(reg.ReadString("v"), "");
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    constexpr int kPerWriter = 40;
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            WriteValues("Software\\Race", "w" + std::to_string(w) + "_", kPerWriter);
            _exit(0);
        }
    }
    WriteValues("Software\\Race", "parent_", kPerWriter);
    for (pid_t pid : writers) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(reg.OpenKey("Software\\Race", false));
    EXPECT_EQ(reg.GetValueNames().size(), 3u * kPerWriter);
    for (const char* prefix : {"w0_", "w1_", "parent_"}) {
        for (int i = 0; i < kPerWriter; ++i) EXPECT_EQ(reg.ReadInteger(prefix + std::to_string(i)), i);
    }
}

// A writer killed before its new store took the old one's place leaves a temporary that the clean-up
// at a program's start knows for a dead writer's, and removes alone.
TEST_F(RegistryTest, AKilledWritersTemporaryCarriesItsIdAndGoes) {
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    reg.WriteString("v", "old");
    const std::string before = ReadNative(storeFile);
    EXPECT_EQ(rtltest::ExitCodeOf([&] {
        SetFsChangeObserver([](const TFsChange& change) {
            if (std::string_view(change.Call) == "rename") _exit(9);
        });
        reg.WriteString("v", "new");
        return 0;
    }), 9);
    EXPECT_EQ(RemoveRegistryLeftovers(), 1);
    EXPECT_EQ(ReadNative(storeFile), before);
}

TEST_F(RegistryTest, RandomGarbageNeverStopsAReader) {
    uint32_t seed = 2024;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0xFF; };
    const std::string pieces[] = {"K ", "S ", "I ", "HKLM ", "HKCU ", "%", "%4", "%41", " ", "\n", "-", "9"};
    for (int round = 0; round < 200; ++round) {
        std::string text;
        for (int i = 0; i < 60; ++i) {
            unsigned r = next();
            text += r < 128 ? pieces[r % 12] : std::string(1, static_cast<char>(next()));
        }
        WriteNative(storeFile, text);
        TRegistry reg;
        reg.RootKey = (round % 2) ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        reg.GetKeyNames();
        reg.GetValueNames();
        EXPECT_NO_THROW(reg.ValueExists("A"));
    }
}
