// Requests through a proxy that asks for basic authentication and forwards to the origin server.
#include <gtest/gtest.h>

#include "platform/net/httpclient.h"
#include "tests/net/test_http_server.h"

using namespace nettest;
using net::THttpClient;

namespace {

TestResponse ProxyDenied() {
    TestResponse x = TestResponse::Text("auth", 407, "Proxy Authentication Required");
    x.headers.push_back({"Proxy-Authenticate", "Basic realm=\"test\""});
    return x;
}

class ProxyTest : public ::testing::Test {
protected:
    TestHttpServer origin{[](const TestRequest& r) {
        return TestResponse::Text("origin saw " + r.target + " from " + r.Header("user-agent"));
    }};
    TestHttpServer proxy{[](const TestRequest& r) {
        if (r.Header("proxy-authorization") != "Basic " + Base64("reader:se:cret")) return ProxyDenied();
        TestResponse forwarded;
        forwarded.raw = FetchRaw(r.target, {"User-Agent: " + r.Header("user-agent")});
        return forwarded;
    }};

    void UseProxy(THttpClient& client, bool basic, const std::string& password) {
        client.ProxyParams.ProxyServer = "127.0.0.1";
        client.ProxyParams.ProxyPort = proxy.Port();
        client.ProxyParams.BasicAuthentication = basic;
        client.ProxyParams.ProxyUsername = "reader";
        client.ProxyParams.ProxyPassword = password;
    }
};

}  // namespace

TEST_F(ProxyTest, AuthenticatedRequestGoesThroughTheProxy) {
    THttpClient client;
    client.Request.UserAgent = "Korvel v1";
    UseProxy(client, true, "se:cret");
    EXPECT_EQ(client.Get(origin.Url("/updates.list")), "origin saw /updates.list from Korvel v1");
    ASSERT_EQ(proxy.RequestCount(), 1u);
    EXPECT_EQ(proxy.Requests()[0].target, origin.Url("/updates.list"));  // absolute form to a proxy
    EXPECT_EQ(origin.RequestCount(), 1u);
}

TEST_F(ProxyTest, WrongOrMissingCredentialsAreProtocolErrors) {
    THttpClient client;
    UseProxy(client, true, "wrong");
    try {
        client.Get(origin.Url("/x"));
        FAIL() << "no exception";
    } catch (const net::EHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode, 407);
    }
    UseProxy(client, false, "se:cret");  // credentials are sent only with basic authentication on
    EXPECT_THROW(client.Get(origin.Url("/x")), net::EHTTPProtocolException);
    EXPECT_EQ(proxy.Requests().back().Header("proxy-authorization"), "");
    EXPECT_EQ(origin.RequestCount(), 0u);
}

TEST_F(ProxyTest, EmptyProxyServerConnectsDirectly) {
    THttpClient client;
    UseProxy(client, true, "se:cret");
    client.Get(origin.Url("/a"));
    client.ProxyParams.ProxyServer.clear();
    client.ProxyParams.ProxyPort = 0;
    EXPECT_EQ(client.Get(origin.Url("/b")), "origin saw /b from Mozilla/4.0 (compatible)");
    EXPECT_EQ(proxy.RequestCount(), 1u);
    EXPECT_EQ(origin.RequestCount(), 2u);
}
