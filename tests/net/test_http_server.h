// A small HTTP/1.1 server on 127.0.0.1 for the client's tests: one thread, one request per
// connection, answers made by a handler. Every wait is bounded in time and the number of
// connections it serves is bounded, so a faulty client cannot hang a test.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

struct TestRequest {
    std::string method, target, version;
    std::map<std::string, std::string> headers;  // names lower-cased
    std::string peerAddress;
    std::string Header(const std::string& lowerName) const;
};

struct TestResponse {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    bool sendContentLength = true;
    std::optional<std::string> raw;  // sent as is instead of the fields above
    int stallBeforeMs = 0;            // silence before anything is sent
    size_t stallAfterBytes = 0;       // with stallAfterMs: send this many bytes, then go silent
    int stallAfterMs = 0;

    static TestResponse Text(std::string body, int status = 200, std::string reason = "OK");
    static TestResponse Redirect(const std::string& location, int status = 302);
};

class TestHttpServer {
public:
    using Handler = std::function<TestResponse(const TestRequest&)>;

    explicit TestHttpServer(Handler handler, int maxConnections = 200);
    ~TestHttpServer();

    int Port() const { return port_; }
    std::string Url(const std::string& path) const;  // "http://127.0.0.1:<port>" + path
    std::vector<TestRequest> Requests() const;
    size_t RequestCount() const;

private:
    void Serve();
    void ServeConnection(int fd, const std::string& peer);
    bool Pause(int fd, int milliseconds) const;  // false when the server stops or the client leaves

    Handler handler_;
    int maxConnections_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<TestRequest> requests_;
    std::thread thread_;
};

// A blocking GET of an absolute "http://host:port/path" address; the raw response bytes (bounded in
// size and time), or "" on failure. The test proxy uses it to forward requests.
std::string FetchRaw(const std::string& absoluteUrl, const std::vector<std::string>& headerLines);

std::string Base64(const std::string& bytes);

}  // namespace nettest
