// TLocalAddressWatcher: polls the machine's local IPv4 address on a thread of its own (every
// WatchInterval milliseconds while active) so that a request can bind to it without asking the
// system each time. Every change of the address is recorded; the history of earlier runs is kept in
// HistoryFilename (format in iphistory.h), which is read when first needed and written, merged with
// this run's addresses, when the watcher is destroyed or SaveHistory is called.
//
// LocalIP, PreviousIP and IsOnline may be called from any thread. HistoryFilename, HistoryEnabled,
// SetActive, IPHistory and SaveHistory belong to the thread that owns the watcher.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace net {

class TLocalAddressWatcher {
public:
    // Returns the current local address as a dotted quad; the default asks the system.
    using TAddressSource = std::function<std::string()>;

    static constexpr unsigned kDefaultWatchInterval = 1000;

    // Reads the address once at once; starts polling when active.
    explicit TLocalAddressWatcher(TAddressSource source = {}, bool active = true);
    // Stops polling and saves the history (a failure to save is ignored: the history is a convenience).
    ~TLocalAddressWatcher();
    TLocalAddressWatcher(const TLocalAddressWatcher&) = delete;
    TLocalAddressWatcher& operator=(const TLocalAddressWatcher&) = delete;

    std::string HistoryFilename;  // "" keeps no file
    bool HistoryEnabled = true;

    bool Active() const;
    void SetActive(bool active);
    unsigned WatchInterval() const;
    void SetWatchInterval(unsigned milliseconds);  // at least 10

    std::string LocalIP() const;     // the address last read
    std::string PreviousIP() const;  // the one before the last change; "" when none
    bool IsOnline() const;           // the address is not a loopback one

    // Reads the address now, on the calling thread.
    void ForceCheck();
    // Earlier runs' addresses (from HistoryFilename) followed by this run's, oldest first.
    std::vector<std::string> IPHistory();
    // Writes IPHistory() to HistoryFilename; raises rtl::EInOutError when it cannot.
    void SaveHistory();

private:
    void Poll();
    void Run();
    void StartThread();
    void StopThread();
    void LoadFileHistory();

    TAddressSource source_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    bool stopping_ = false;
    bool active_ = false;
    unsigned interval_ = kDefaultWatchInterval;
    std::string current_;
    std::string previous_;
    std::vector<std::string> runHistory_;   // guarded by mutex_
    std::vector<std::string> fileHistory_;  // owner's thread only
    std::string fileHistoryFrom_;
    bool fileHistoryRead_ = false;
};

}  // namespace net
