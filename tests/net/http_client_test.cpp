// Requests, headers, status errors, redirects, cookies and binding against a loopback server.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/net/httpclient.h"
#include "platform/net/ipwatch.h"
#include "platform/rtl/streams.h"
#include "tests/net/test_http_server.h"

using namespace nettest;
using net::THttpClient;

namespace {

TestResponse Echo(const TestRequest& r) {
    if (r.target == "/hello") return TestResponse::Text("Hello, world");
    if (r.target == "/missing") return TestResponse::Text("no such page", 404, "Not Found");
    if (r.target == "/broken") return TestResponse::Text("server fault", 500, "Internal Server Error");
    if (r.target == "/headers") {
        TestResponse x = TestResponse::Text("h");
        x.headers.push_back({"X-Pack-Count", " 3 "});
        return x;
    }
    if (r.target == "/binary") return TestResponse::Text(std::string("\0\x01\xFF\r\n\0end", 8));
    if (r.target == "/nolength") {
        TestResponse x = TestResponse::Text(std::string(70000, 'n'));
        x.sendContentLength = false;
        return x;
    }
    return TestResponse::Text(r.target);
}

}  // namespace

TEST(HttpClientGet, ReturnsWholeBodyAndStatus) {
    TestHttpServer server(Echo);
    THttpClient client;
    EXPECT_EQ(client.Get(server.Url("/hello")), "Hello, world");
    EXPECT_EQ(client.ResponseCode(), 200);
    EXPECT_EQ(client.ResponseText(), "HTTP/1.1 200 OK");
    EXPECT_EQ(client.Response().ContentLength, 12);
    EXPECT_EQ(client.Get(server.Url("/binary")), std::string("\0\x01\xFF\r\n\0end", 8));
    EXPECT_EQ(client.Get(server.Url("/nolength")), std::string(70000, 'n'));
}

TEST(HttpClientGet, WritesBodyIntoStreamAtItsPosition) {
    TestHttpServer server(Echo);
    THttpClient client;
    rtl::TStringStream stream("head:");
    stream.Seek(0, rtl::soEnd);
    client.Get(server.Url("/hello"), stream);
    EXPECT_EQ(stream.DataString(), "head:Hello, world");
}

TEST(HttpClientGet, SendsConfiguredRequestHeaders) {
    TestHttpServer server(Echo);
    THttpClient client;
    client.Request.UserAgent = "Korvel v1";
    client.Request.ContentType = "text/html";
    client.Get(server.Url("/hello"));
    const TestRequest r = server.Requests().at(0);
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.version, "HTTP/1.1");
    EXPECT_EQ(r.Header("user-agent"), "Korvel v1");
    EXPECT_EQ(r.Header("accept"), "text/html, */*");
    EXPECT_EQ(r.Header("content-type"), "text/html");
    EXPECT_EQ(r.Header("connection"), "close");
}

TEST(HttpClientGet, ResponseHeadersAreAvailable) {
    TestHttpServer server(Echo);
    THttpClient client;
    client.Get(server.Url("/headers"));
    EXPECT_EQ(client.Response().HeaderValue("x-pack-count"), "3");
    EXPECT_EQ(client.Response().HeaderValue("CONTENT-TYPE"), "text/plain");
    EXPECT_EQ(client.Response().HeaderValue("X-Absent"), "");
}

TEST(HttpClientGet, SpacesAndHighBytesInAddressesAreEscaped) {
    TestHttpServer server(Echo);
    THttpClient client;
    EXPECT_EQ(client.Get(server.Url("/pack 1\xE0.zip")), "/pack%201%E0.zip");
    EXPECT_THROW(client.Get(server.Url("/a\r\nX-Injected: 1")), net::ESocketError);
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST(HttpClientErrors, FailureStatusesRaiseProtocolErrorsWithCode) {
    TestHttpServer server(Echo);
    THttpClient client;
    try {
        client.Get(server.Url("/missing"));
        FAIL() << "no exception";
    } catch (const net::EHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode, 404);
        EXPECT_EQ(e.Message(), "HTTP/1.1 404 Not Found");
        EXPECT_EQ(e.ErrorMessage, "no such page");
    }
    EXPECT_EQ(client.ResponseCode(), 404);
    try {
        client.Get(server.Url("/broken"));
        FAIL() << "no exception";
    } catch (const net::EHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode, 500);
        EXPECT_EQ(e.ErrorMessage, "server fault");
    }
    // The client stays usable after failures.
    EXPECT_EQ(client.Get(server.Url("/hello")), "Hello, world");
}

TEST(HttpClientErrors, UnreachableServerIsASocketError) {
    int port;
    {
        TestHttpServer closed(Echo);
        port = closed.Port();
    }
    THttpClient client;
    EXPECT_THROW(client.Get("http://127.0.0.1:" + std::to_string(port) + "/x"), net::ESocketError);
    EXPECT_EQ(client.ResponseCode(), 0);
}

TEST(HttpClientErrors, OnlyPlainHttpIsFetched) {
    THttpClient client;
    EXPECT_THROW(client.Get("file:///etc/passwd"), net::ESocketError);
    EXPECT_THROW(client.Get("ftp://127.0.0.1/x"), net::ESocketError);
}

TEST(HttpClientErrors, BadSettingsFailBeforeConnecting) {
    TestHttpServer server(Echo);
    THttpClient client;
    client.BoundIP = "localhost";  // names are never resolved for binding
    EXPECT_THROW(client.Get(server.Url("/hello")), net::ESocketError);
    client.BoundIP.clear();
    client.ProxyParams.ProxyServer = "127.0.0.1";
    client.ProxyParams.ProxyPort = 0;
    EXPECT_THROW(client.Get(server.Url("/hello")), net::ESocketError);
    client.ProxyParams.ProxyPort = 70000;
    EXPECT_THROW(client.Get(server.Url("/hello")), net::ESocketError);
    client.ProxyParams = {};
    client.Request.UserAgent = "a\r\nb: c";
    EXPECT_THROW(client.Get(server.Url("/hello")), net::ESocketError);
    EXPECT_EQ(server.RequestCount(), 0u);
}

namespace {

TestResponse Redirects(const TestRequest& r) {
    if (r.target.rfind("/loop/", 0) == 0)
        return TestResponse::Redirect("/loop/" + std::to_string(std::stoi(r.target.substr(6)) + 1));
    if (r.target.rfind("/chain/", 0) == 0) {
        const int left = std::stoi(r.target.substr(7));
        if (left == 0) return TestResponse::Text("arrived");
        const int status = left % 3 == 0 ? 301 : left % 3 == 1 ? 302 : 307;
        return TestResponse::Redirect("/chain/" + std::to_string(left - 1), status);
    }
    if (r.target == "/bigredirect") {
        TestResponse x = TestResponse::Redirect("/final");
        x.body.assign(200000, 'r');
        return x;
    }
    if (r.target == "/tofile") return TestResponse::Redirect("file:///etc/hostname");
    if (r.target == "/tohttps") return TestResponse::Redirect("https://127.0.0.1:1/x");
    if (r.target == "/nolocation") return TestResponse::Text("", 302, "Found");
    return TestResponse::Text("final " + r.target);
}

}  // namespace

TEST(HttpClientRedirects, FollowsUpToFifteen) {
    TestHttpServer server(Redirects);
    THttpClient client;
    EXPECT_EQ(client.Get(server.Url("/chain/15")), "arrived");
    EXPECT_EQ(server.RequestCount(), 16u);
    EXPECT_EQ(client.URL(), server.Url("/chain/0"));
    for (const TestRequest& r : server.Requests()) EXPECT_EQ(r.method, "GET");
}

TEST(HttpClientRedirects, ALoopEndsAfterTheLimit) {
    TestHttpServer server(Redirects);
    THttpClient client;
    try {
        client.Get(server.Url("/loop/0"));
        FAIL() << "no exception";
    } catch (const net::ETooManyRedirects& e) {
        EXPECT_EQ(e.ErrorCode, 302);
    }
    EXPECT_EQ(server.RequestCount(), 16u);
}

TEST(HttpClientRedirects, RedirectBodiesAreSkippedAndLimitsRespected) {
    TestHttpServer server(Redirects);
    THttpClient client;
    client.MaxBodySize = 1000;
    EXPECT_EQ(client.Get(server.Url("/bigredirect")), "final /final");
    client.RedirectMaximum = 2;
    EXPECT_THROW(client.Get(server.Url("/chain/3")), net::ETooManyRedirects);
    client.RedirectMaximum = 15;
    client.HandleRedirects = false;
    try {
        client.Get(server.Url("/chain/1"));
        FAIL() << "no exception";
    } catch (const net::EHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode, 302);
    }
    client.HandleRedirects = true;
    EXPECT_THROW(client.Get(server.Url("/nolocation")), net::EHTTPProtocolException);
    EXPECT_THROW(client.Get(server.Url("/tofile")), net::ESocketError);  // only http is followed
    EXPECT_THROW(client.Get(server.Url("/tohttps")), net::ESocketError);
}

TEST(HttpClientCookies, CookiesComeBackForTheClientsLife) {
    TestHttpServer server([](const TestRequest& r) {
        if (r.target == "/login") {
            TestResponse x = TestResponse::Redirect("/after");
            x.headers.push_back({"Set-Cookie", "session=abc123; Path=/"});
            return x;
        }
        if (r.target == "/second") {
            TestResponse x = TestResponse::Text("ok");
            x.headers.push_back({"Set-Cookie", "lang=ru; Path=/"});
            return x;
        }
        return TestResponse::Text(r.Header("cookie"));
    });
    THttpClient client;
    EXPECT_EQ(client.Get(server.Url("/login")), "session=abc123");  // set on a redirect, sent after it
    client.Get(server.Url("/second"));
    const std::string cookies = client.Get(server.Url("/check"));
    EXPECT_NE(cookies.find("session=abc123"), std::string::npos);
    EXPECT_NE(cookies.find("lang=ru"), std::string::npos);

    THttpClient other;  // a new client starts without cookies
    EXPECT_EQ(other.Get(server.Url("/check")), "");
}

namespace {

bool IsLocalAddress(const std::string& address) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return bound;
}

std::string ForeignAddress() {
    for (const char* candidate : {"203.0.113.77", "198.51.100.77", "192.0.2.77"})
        if (!IsLocalAddress(candidate)) return candidate;
    return {};
}

}  // namespace

TEST(HttpClientBinding, BindsToTheGivenLocalAddress) {
    TestHttpServer server(Echo);
    THttpClient client;
    client.BoundIP = "127.0.0.1";
    client.Get(server.Url("/hello"));
    client.BoundIP = "127.0.0.2";  // the whole 127/8 is local on Linux
    client.Get(server.Url("/hello"));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].peerAddress, "127.0.0.1");
    EXPECT_EQ(requests[1].peerAddress, "127.0.0.2");

    const std::string foreign = ForeignAddress();
    ASSERT_FALSE(foreign.empty());
    client.BoundIP = foreign;  // not an address of this machine
    EXPECT_THROW(client.Get(server.Url("/hello")), net::ESocketError);
}

TEST(HttpClientBinding, TheWatchersAddressReachesALoopbackServer) {
    // As the updater does: bind to the watcher's address, then fetch from the server.
    TestHttpServer server(Echo);
    net::TLocalAddressWatcher watcher({}, false);
    THttpClient client;
    client.BoundIP = watcher.LocalIP();
    EXPECT_EQ(client.Get(server.Url("/hello")), "Hello, world");
    EXPECT_EQ(server.Requests().at(0).peerAddress, watcher.LocalIP());
}
