// The local-address watcher: the system's address, polling, history and its file.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/net/iphistory.h"
#include "platform/net/ipwatch.h"
#include "platform/net/localaddr.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/textfile.h"

using net::TLocalAddressWatcher;

namespace {

// Hands out the addresses a test sets, as a changing network would.
class FakeNetwork {
public:
    void Set(std::string address) {
        std::lock_guard<std::mutex> lock(mutex_);
        address_ = std::move(address);
    }
    TLocalAddressWatcher::TAddressSource Source() {
        return [this] {
            std::lock_guard<std::mutex> lock(mutex_);
            ++reads_;
            return address_;
        };
    }
    int Reads() {
        std::lock_guard<std::mutex> lock(mutex_);
        return reads_;
    }

private:
    std::mutex mutex_;
    std::string address_ = "10.0.0.1";
    int reads_ = 0;
};

class IpWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ipwatchXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        file_ = rtl::FromNativePath(dir_ + "/kor_iphist.dat");
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string dir_, file_;
    FakeNetwork network_;
};

}  // namespace

TEST(LocalAddress, SystemAddressIsADottedQuad) {
    const std::string address = net::FirstLocalIPv4();
    EXPECT_TRUE(net::IsDottedQuad(address)) << address;
    TLocalAddressWatcher watcher;
    EXPECT_EQ(watcher.LocalIP(), address);
}

TEST(LocalAddress, DottedQuadCheck) {
    EXPECT_TRUE(net::IsDottedQuad("0.0.0.0"));
    EXPECT_TRUE(net::IsDottedQuad("255.255.255.255"));
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1..2.3",
                            "1.2.3.0004", "a.b.c.d", "1.2.3.4\r"})
        EXPECT_FALSE(net::IsDottedQuad(bad)) << bad;
}

TEST_F(IpWatchTest, PollingFollowsAddressChanges) {
    TLocalAddressWatcher watcher(network_.Source());
    watcher.SetWatchInterval(20);
    EXPECT_EQ(watcher.LocalIP(), "10.0.0.1");
    EXPECT_TRUE(watcher.IsOnline());
    network_.Set("10.0.0.2");
    for (int i = 0; i < 200 && watcher.LocalIP() != "10.0.0.2"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(watcher.LocalIP(), "10.0.0.2");
    EXPECT_EQ(watcher.PreviousIP(), "10.0.0.1");
    watcher.SetActive(false);
    const int reads = network_.Reads();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(network_.Reads(), reads);  // no polling while inactive
}

TEST_F(IpWatchTest, FailingOrOddSourceMeansLoopback) {
    TLocalAddressWatcher throwing([]() -> std::string { throw std::runtime_error("no network"); }, false);
    EXPECT_EQ(throwing.LocalIP(), "127.0.0.1");
    EXPECT_FALSE(throwing.IsOnline());
    TLocalAddressWatcher odd([] { return std::string("fe80::1"); }, false);
    EXPECT_EQ(odd.LocalIP(), "127.0.0.1");
}

TEST_F(IpWatchTest, HistoryFileRoundTripAcrossRuns) {
    {
        TLocalAddressWatcher watcher(network_.Source(), false);
        watcher.HistoryFilename = file_;
        network_.Set("10.0.0.2");
        watcher.ForceCheck();
        watcher.ForceCheck();  // unchanged: not recorded twice
    }
    EXPECT_EQ(rtl::ReadFileBytes(file_), "10.0.0.1\r\n10.0.0.2\r\n");
    {
        TLocalAddressWatcher watcher(network_.Source(), false);  // starts on 10.0.0.2 again
        watcher.HistoryFilename = file_;
        network_.Set("192.168.1.7");
        watcher.ForceCheck();
        EXPECT_EQ(watcher.IPHistory(), (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "192.168.1.7"}));
    }
    EXPECT_EQ(net::ReadHistoryFile(file_), (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "192.168.1.7"}));
}

TEST_F(IpWatchTest, DamagedHistoryFileIsIgnoredAndReplaced) {
    for (const std::string& damaged : {std::string("10.0.0.9\r\ngarbage\r\n"), std::string("\0\0\0\0", 4),
                                      std::string(5000, '1'), std::string("1.2.3.4\r\n\r\n")}) {
        rtl::WriteFileBytes(file_, damaged);
        EXPECT_TRUE(net::ReadHistoryFile(file_).empty());
        {
            TLocalAddressWatcher watcher(network_.Source(), false);
            watcher.HistoryFilename = file_;
            EXPECT_EQ(watcher.IPHistory(), (std::vector<std::string>{"10.0.0.1"}));
        }
        EXPECT_EQ(rtl::ReadFileBytes(file_), "10.0.0.1\r\n");
    }
}

TEST_F(IpWatchTest, HistoryIsBoundedAndOptional) {
    std::vector<std::string> many;
    for (int i = 0; i < 150; ++i) many.push_back("10.1.0." + std::to_string(i));
    net::WriteHistoryFile(file_, many);
    const auto read = net::ReadHistoryFile(file_);
    ASSERT_EQ(read.size(), net::kMaxHistoryEntries);
    EXPECT_EQ(read.front(), "10.1.0.50");
    EXPECT_EQ(read.back(), "10.1.0.149");
    {
        TLocalAddressWatcher watcher(network_.Source(), false);
        watcher.HistoryFilename = file_;
        watcher.HistoryEnabled = false;
    }
    EXPECT_EQ(net::ReadHistoryFile(file_).size(), net::kMaxHistoryEntries);  // untouched
    {
        TLocalAddressWatcher watcher(network_.Source(), false);
        watcher.HistoryFilename = rtl::FromNativePath(dir_ + "/missing/folder/h.dat");
    }  // an unwritable history file is not an error at destruction
}
