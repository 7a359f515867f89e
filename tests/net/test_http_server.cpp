#include "tests/net/test_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <stdexcept>

namespace nettest {

namespace {

constexpr int kIoTimeoutMs = 5000;
constexpr size_t kMaxRequestHead = 64 * 1024;
constexpr size_t kMaxFetched = 4 * 1024 * 1024;

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

bool WaitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    return poll(&p, 1, timeoutMs) > 0;
}

// Reads until the blank line ending the head, within the time limit.
std::string ReadHead(int fd) {
    std::string head;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kIoTimeoutMs);
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestHead) {
        if (!WaitFor(fd, POLLIN, RemainingMs(deadline))) return {};
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return {};
        head.append(buffer, size_t(n));
    }
    return head;
}

bool SendAll(int fd, const char* data, size_t size) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kIoTimeoutMs);
    while (size > 0) {
        if (!WaitFor(fd, POLLOUT, RemainingMs(deadline))) return false;
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

TestRequest ParseHead(const std::string& head) {
    TestRequest request;
    size_t lineEnd = head.find("\r\n");
    const std::string first = head.substr(0, lineEnd);
    const size_t s1 = first.find(' '), s2 = first.rfind(' ');
    if (s1 != std::string::npos && s2 > s1) {
        request.method = first.substr(0, s1);
        request.target = first.substr(s1 + 1, s2 - s1 - 1);
        request.version = first.substr(s2 + 1);
    }
    size_t pos = lineEnd + 2;
    while (pos < head.size()) {
        lineEnd = head.find("\r\n", pos);
        if (lineEnd == std::string::npos || lineEnd == pos) break;
        const std::string line = head.substr(pos, lineEnd - pos);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string& value = request.headers[Lower(Trim(line.substr(0, colon)))];
            value += (value.empty() ? "" : "; ") + Trim(line.substr(colon + 1));
        }
        pos = lineEnd + 2;
    }
    return request;
}

std::string Serialise(const TestResponse& r) {
    if (r.raw) return *r.raw;
    std::string out = "HTTP/1.1 " + std::to_string(r.status) + " " + r.reason + "\r\n";
    for (const auto& [name, value] : r.headers) out += name + ": " + value + "\r\n";
    if (r.sendContentLength) out += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    return out + r.body;
}

int ConnectLoopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::string TestRequest::Header(const std::string& lowerName) const {
    const auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

TestResponse TestResponse::Text(std::string body, int status, std::string reason) {
    TestResponse r;
    r.status = status;
    r.reason = std::move(reason);
    r.body = std::move(body);
    r.headers.push_back({"Content-Type", "text/plain"});
    return r;
}

TestResponse TestResponse::Redirect(const std::string& location, int status) {
    TestResponse r = Text("moved", status, "Found");
    r.headers.push_back({"Location", location});
    return r;
}

TestHttpServer::TestHttpServer(Handler handler, int maxConnections)
    : handler_(std::move(handler)), maxConnections_(maxConnections) {
    listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd_ < 0) throw std::runtime_error("socket");
    const int yes = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 16) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(listenFd_);
        throw std::runtime_error("bind/listen");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

TestHttpServer::~TestHttpServer() {
    stopping_ = true;
    thread_.join();
    close(listenFd_);
}

std::string TestHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<TestRequest> TestHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

size_t TestHttpServer::RequestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

bool TestHttpServer::Pause(int fd, int milliseconds) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < deadline) {
        if (stopping_) return false;
        // A client that gave up closes its end; the stall ends with it.
        char byte;
        if (WaitFor(fd, POLLIN, 10) && recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0) return false;
    }
    return !stopping_;
}

void TestHttpServer::Serve() {
    for (int served = 0; served < maxConnections_ && !stopping_;) {
        if (!WaitFor(listenFd_, POLLIN, 50)) continue;
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int fd = accept(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length);
        if (fd < 0) continue;
        ++served;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        ServeConnection(fd, text);
        close(fd);
    }
}

void TestHttpServer::ServeConnection(int fd, const std::string& peer) {
    const std::string head = ReadHead(fd);
    if (head.empty()) return;
    TestRequest request = ParseHead(head);
    request.peerAddress = peer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
    }
    const TestResponse response = handler_(request);
    if (response.stallBeforeMs > 0 && !Pause(fd, response.stallBeforeMs)) return;
    const std::string bytes = Serialise(response);
    if (response.stallAfterMs > 0) {
        const size_t first = std::min(response.stallAfterBytes, bytes.size());
        if (!SendAll(fd, bytes.data(), first) || !Pause(fd, response.stallAfterMs)) return;
        SendAll(fd, bytes.data() + first, bytes.size() - first);
        return;
    }
    SendAll(fd, bytes.data(), bytes.size());
}

std::string FetchRaw(const std::string& absoluteUrl, const std::vector<std::string>& headerLines) {
    const std::string prefix = "http://127.0.0.1:";
    if (absoluteUrl.compare(0, prefix.size(), prefix) != 0) return {};
    const size_t slash = absoluteUrl.find('/', prefix.size());
    const int port = std::stoi(absoluteUrl.substr(prefix.size(), slash - prefix.size()));
    const std::string path = slash == std::string::npos ? "/" : absoluteUrl.substr(slash);
    const int fd = ConnectLoopback(port);
    if (fd < 0) return {};
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (const std::string& line : headerLines) request += line + "\r\n";
    request += "Connection: close\r\n\r\n";
    std::string response;
    if (SendAll(fd, request.data(), request.size())) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(kIoTimeoutMs);
        char buffer[4096];
        while (response.size() < kMaxFetched && WaitFor(fd, POLLIN, RemainingMs(deadline))) {
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            response.append(buffer, size_t(n));
        }
    }
    close(fd);
    return response;
}

std::string Base64(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 | (unsigned char)bytes[i + 2];
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63], kAlphabet[v & 63]};
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = (unsigned char)bytes[i] << 16;
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8;
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63], '='};
    }
    return out;
}

}  // namespace nettest
