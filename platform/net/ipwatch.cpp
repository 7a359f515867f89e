#include "platform/net/ipwatch.h"

#include <chrono>
#include <utility>

#include "platform/net/iphistory.h"
#include "platform/net/localaddr.h"

namespace net {

namespace {

constexpr const char* kLoopback = "127.0.0.1";

// A source that fails or returns something else than an address counts as "no network".
std::string ReadAddress(const TLocalAddressWatcher::TAddressSource& source) {
    try {
        std::string address = source();
        return IsDottedQuad(address) ? address : kLoopback;
    } catch (...) {
        return kLoopback;
    }
}

}  // namespace

TLocalAddressWatcher::TLocalAddressWatcher(TAddressSource source, bool active)
    : source_(source ? std::move(source) : TAddressSource(&FirstLocalIPv4)) {
    ForceCheck();
    SetActive(active);
}

TLocalAddressWatcher::~TLocalAddressWatcher() {
    StopThread();
    try {
        SaveHistory();
    } catch (...) {
    }
}

bool TLocalAddressWatcher::Active() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return active_;
}

void TLocalAddressWatcher::SetActive(bool active) {
    if (active == Active()) return;
    if (active) StartThread();
    else StopThread();
}

unsigned TLocalAddressWatcher::WatchInterval() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return interval_;
}

void TLocalAddressWatcher::SetWatchInterval(unsigned milliseconds) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        interval_ = milliseconds < 10 ? 10 : milliseconds;
    }
    wake_.notify_all();
}

std::string TLocalAddressWatcher::LocalIP() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_;
}

std::string TLocalAddressWatcher::PreviousIP() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return previous_;
}

bool TLocalAddressWatcher::IsOnline() const {
    const std::string address = LocalIP();
    return address.compare(0, 4, "127.") != 0;
}

void TLocalAddressWatcher::ForceCheck() { Poll(); }

void TLocalAddressWatcher::Poll() {
    const std::string address = ReadAddress(source_);  // outside the lock: it may take a while
    std::lock_guard<std::mutex> lock(mutex_);
    if (address == current_) return;
    if (!current_.empty()) previous_ = current_;
    current_ = address;
    runHistory_.push_back(address);
    if (runHistory_.size() > kMaxHistoryEntries) runHistory_.erase(runHistory_.begin());
}

void TLocalAddressWatcher::StartThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
        active_ = true;
    }
    thread_ = std::thread([this] { Run(); });
}

void TLocalAddressWatcher::StopThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        active_ = false;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void TLocalAddressWatcher::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        const auto interval = std::chrono::milliseconds(interval_);
        if (wake_.wait_for(lock, interval, [this] { return stopping_; })) break;
        lock.unlock();
        Poll();
        lock.lock();
    }
}

void TLocalAddressWatcher::LoadFileHistory() {
    if (fileHistoryRead_ && fileHistoryFrom_ == HistoryFilename) return;
    fileHistory_ = ReadHistoryFile(HistoryFilename);
    fileHistoryFrom_ = HistoryFilename;
    fileHistoryRead_ = true;
}

std::vector<std::string> TLocalAddressWatcher::IPHistory() {
    LoadFileHistory();
    std::vector<std::string> run;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        run = runHistory_;
    }
    return MergeHistory(fileHistory_, run);
}

void TLocalAddressWatcher::SaveHistory() {
    if (!HistoryEnabled || HistoryFilename.empty()) return;
    WriteHistoryFile(HistoryFilename, IPHistory());
}

}  // namespace net
