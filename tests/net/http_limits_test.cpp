// Time-outs, the body cap, the work event and cancellation.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "platform/net/httpclient.h"
#include "platform/rtl/exceptions.h"
#include "tests/net/test_http_server.h"

using namespace nettest;
using net::THttpClient;

namespace {

using Clock = std::chrono::steady_clock;

int64_t ElapsedMs(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TestResponse Limits(const TestRequest& r) {
    if (r.target == "/silent") {
        TestResponse x = TestResponse::Text("late");
        x.stallBeforeMs = 20000;
        return x;
    }
    if (r.target == "/halfbody") {
        TestResponse x = TestResponse::Text(std::string(1000, 'b'));
        x.stallAfterBytes = 300;  // headers and the start of the body, then silence
        x.stallAfterMs = 20000;
        return x;
    }
    if (r.target == "/pausing") {
        TestResponse x = TestResponse::Text(std::string(1000, 'p'));
        x.stallAfterBytes = 400;
        x.stallAfterMs = 300;
        return x;
    }
    if (r.target == "/slow") {
        TestResponse x = TestResponse::Text("done");
        x.stallBeforeMs = 600;
        return x;
    }
    if (r.target == "/big") return TestResponse::Text(std::string(5000, 'x'));
    if (r.target == "/bigunannounced") {
        TestResponse x = TestResponse::Text(std::string(5000, 'x'));
        x.sendContentLength = false;
        return x;
    }
    if (r.target == "/bigerror") return TestResponse::Text(std::string(200000, 'e'), 503, "Busy");
    if (r.target == "/manyheaders") {
        TestResponse x = TestResponse::Text("h");
        for (int i = 0; i < 400; ++i) x.headers.push_back({"X-H" + std::to_string(i), "v"});
        return x;
    }
    return TestResponse::Text("ok");
}

}  // namespace

TEST(HttpClientTimeouts, SilentServerFailsWithinTheReadTimeout) {
    TestHttpServer server(Limits);
    THttpClient client;
    client.ReadTimeout = 700;
    const auto start = Clock::now();
    EXPECT_THROW(client.Get(server.Url("/silent")), net::EReadTimeout);
    EXPECT_GE(ElapsedMs(start), 650);
    EXPECT_LT(ElapsedMs(start), 3000);
}

TEST(HttpClientTimeouts, ServerGoingSilentMidBodyFails) {
    TestHttpServer server(Limits);
    THttpClient client;
    client.ReadTimeout = 500;
    rtl::TStringStream stream;
    const auto start = Clock::now();
    EXPECT_THROW(client.Get(server.Url("/halfbody"), stream), net::EReadTimeout);
    EXPECT_LT(ElapsedMs(start), 3000);
    EXPECT_GT(stream.Size(), 0);  // what arrived before the silence
    EXPECT_EQ(client.ResponseCode(), 200);
}

namespace {

// A listening socket that never accepts, with its queue filled, so further connections hang.
class FullBacklog {
public:
    FullBacklog() {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener_, 0);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length);
        port_ = ntohs(a.sin_port);
        for (int i = 0; i < 4; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            fcntl(fd, F_SETFL, O_NONBLOCK);
            connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
            fillers_.push_back(fd);
        }
    }
    ~FullBacklog() {
        for (int fd : fillers_) close(fd);
        close(listener_);
    }
    int Port() const { return port_; }

private:
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> fillers_;
};

}  // namespace

TEST(HttpClientTimeouts, ConnectionThatCannotBeMadeFailsWithinTheConnectTimeout) {
    FullBacklog backlog;
    THttpClient client;
    client.ConnectTimeout = 500;
    const auto start = Clock::now();
    EXPECT_THROW(client.Get("http://127.0.0.1:" + std::to_string(backlog.Port()) + "/"),
                 net::EConnectTimeout);
    EXPECT_GE(ElapsedMs(start), 450);
    EXPECT_LT(ElapsedMs(start), 3000);
}

TEST(HttpClientTimeouts, SlowButWithinLimitSucceeds) {
    TestHttpServer server(Limits);
    THttpClient client;
    client.ReadTimeout = 3000;
    EXPECT_EQ(client.Get(server.Url("/slow")), "done");
}

TEST(HttpClientTimeouts, WholeRequestLimit) {
    TestHttpServer server(Limits);
    THttpClient client;
    client.RequestTimeout = 300;
    const auto start = Clock::now();
    EXPECT_THROW(client.Get(server.Url("/slow")), net::EReadTimeout);
    EXPECT_LT(ElapsedMs(start), 2000);
}

TEST(HttpClientWork, WorkEventKeepsComingWhileTheServerIsSilent) {
    TestHttpServer server(Limits);
    THttpClient client;
    client.ReadTimeout = 600;
    client.WorkInterval = 20;
    int calls = 0;
    client.OnWork = [&](THttpClient&, int64_t, int64_t) { ++calls; };
    EXPECT_THROW(client.Get(server.Url("/silent")), net::EReadTimeout);
    EXPECT_GE(calls, 10);  // a GUI pumping here would have stayed alive
}

TEST(HttpClientWork, WorkEventReportsProgressAndLength) {
    TestHttpServer server(Limits);
    THttpClient client;
    client.WorkInterval = 10;
    int64_t partCount = -1, partMax = 0;
    client.OnWork = [&](THttpClient&, int64_t count, int64_t max) {
        if (count > 0 && count < 1000) {
            partCount = count;
            partMax = max;
        }
    };
    EXPECT_EQ(client.Get(server.Url("/pausing")).size(), 1000u);
    EXPECT_GT(partCount, 0);
    EXPECT_EQ(partMax, 1000);
}

TEST(HttpClientWork, CancelFromTheWorkEventEndsTheRequest) {
    TestHttpServer server(Limits);
    THttpClient client;
    client.WorkInterval = 20;
    client.OnWork = [](THttpClient& sender, int64_t, int64_t) { sender.Cancel(); };
    const auto start = Clock::now();
    EXPECT_THROW(client.Get(server.Url("/silent")), net::ERequestCancelled);
    EXPECT_LT(ElapsedMs(start), 1000);
    client.OnWork = [](THttpClient& sender, int64_t, int64_t) { sender.Disconnect(); };
    EXPECT_THROW(client.Get(server.Url("/silent")), net::ERequestCancelled);
    client.OnWork = nullptr;  // a cancel does not stick to the next request
    EXPECT_EQ(client.Get(server.Url("/ok")), "ok");
}

TEST(HttpClientWork, WorkEventErrorsAndNestedRequests) {
    TestHttpServer server(Limits);
    THttpClient client;
    client.WorkInterval = 20;
    bool nestedFailed = false;
    client.OnWork = [&](THttpClient& sender, int64_t, int64_t) {
        try {
            sender.Get(server.Url("/ok"));
        } catch (const net::ESocketError&) {
            nestedFailed = true;
        }
        throw rtl::Exception("stop");
    };
    EXPECT_THROW(client.Get(server.Url("/silent")), rtl::Exception);
    EXPECT_TRUE(nestedFailed);
    EXPECT_FALSE(client.Busy());
    client.OnWork = nullptr;
    EXPECT_EQ(client.Get(server.Url("/ok")), "ok");
}

TEST(HttpClientCap, BodiesOverTheCapAreRefused) {
    TestHttpServer server(Limits);
    THttpClient client;
    client.MaxBodySize = 4999;
    EXPECT_THROW(client.Get(server.Url("/big")), net::EResponseTooLarge);
    EXPECT_THROW(client.Get(server.Url("/bigunannounced")), net::EResponseTooLarge);
    client.MaxBodySize = 5000;
    EXPECT_EQ(client.Get(server.Url("/big")).size(), 5000u);
    EXPECT_EQ(client.Get(server.Url("/bigunannounced")).size(), 5000u);
}

TEST(HttpClientCap, HugeErrorBodiesAndHeaderFloodsAreBounded) {
    TestHttpServer server(Limits);
    THttpClient client;
    try {
        client.Get(server.Url("/bigerror"));
        FAIL() << "no exception";
    } catch (const net::EHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode, 503);
        EXPECT_EQ(e.ErrorMessage.size(), 64u * 1024u);
    }
    EXPECT_THROW(client.Get(server.Url("/manyheaders")), net::EResponseTooLarge);
}

TEST(HttpClientCap, StreamErrorsPassThrough) {
    TestHttpServer server(Limits);
    THttpClient client;
    struct FullDisk : rtl::TMemoryStream {
        int64_t Write(const void*, int64_t) override { throw rtl::EWriteError("Stream write error"); }
    } stream;
    EXPECT_THROW(client.Get(server.Url("/big"), stream), rtl::EWriteError);
}
