// Start-up of the viewer as a reader meets it: the built program folder is copied, the viewer is
// started with TOME_STARTUP_TRACE set (it then reports its first document's completion on stderr),
// and the screen is grabbed over and over. The first page frame is the first grab that already
// looks as the screen does once everything has settled (main window shown, page painted, splash
// gone). Both times count from the moment the process is started; the median of the runs
// is reported. Needs an X display (run_bench.sh provides one); starts openbox on it when no window
// manager runs there.
//
// usage: startup_bench PROGRAM_FOLDER [--runs N] [--shots DIR]
// --shots saves the screen of the first run as PNG files at a few moments (shot-<ms>.png) and once
// settled (shot-final.png), to look at what the reader saw.
#include <gdk/gdk.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kTile = 16;
// The screen is taken as final this long after the document completes, and not before the main
// window's time (the splash pause is 2 s and the page may complete within it).
constexpr double kSettleMs = 1500;
constexpr double kFinalNotBeforeMs = 4000;
constexpr double kGiveUpMs = 20000;  // a start that takes longer counts as failed
// Share of the screen's tiles that must already look final: a blinking caret or a fading scroll
// bar may still differ, a splash or a blank page may not.
constexpr double kMatchShare = 0.98;

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Moments of the first run whose screen --shots saves.
const double kShotMs[] = {300, 1000, 2000, 2200, 2300, 2400, 2600};

// One grab of the screen, kept as a hash per tile (and the picture itself when it is to be saved).
struct Frame {
    double ms = 0;
    int columns = 0;
    std::vector<uint64_t> tiles;
    GdkPixbuf* kept = nullptr;
};

Frame Grab(double startMs, bool keep) {
    GdkWindow* root = gdk_get_default_root_window();
    int w = gdk_window_get_width(root), h = gdk_window_get_height(root);
    Frame frame;
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(root, 0, 0, w, h);
    frame.ms = NowMs() - startMs;
    if (!shot) return frame;
    frame.columns = w / kTile;
    int rows = h / kTile, channels = gdk_pixbuf_get_n_channels(shot), stride = gdk_pixbuf_get_rowstride(shot);
    const guchar* data = gdk_pixbuf_read_pixels(shot);
    frame.tiles.assign(size_t(frame.columns) * size_t(rows), 1469598103934665603ull);
    for (int y = 0; y < rows * kTile; ++y) {
        const guchar* row = data + size_t(y) * size_t(stride);
        for (int x = 0; x < frame.columns * kTile; ++x) {
            uint64_t& hash = frame.tiles[size_t(y / kTile) * size_t(frame.columns) + size_t(x / kTile)];
            for (int c = 0; c < 3; ++c) hash = (hash ^ row[x * channels + c]) * 1099511628211ull;
        }
    }
    if (keep) frame.kept = shot;
    else g_object_unref(shot);
    return frame;
}

// Saves the frames that kept their pictures (the last one as the settled screen) and frees them.
void SaveShots(std::vector<Frame>& frames, const std::string& folder) {
    for (Frame& frame : frames) {
        if (!frame.kept) continue;
        std::string name = &frame == &frames.back() ? "final" : std::to_string(int(frame.ms));
        gdk_pixbuf_save(frame.kept, (folder + "/shot-" + name + ".png").c_str(), "png", nullptr, nullptr);
        g_object_unref(frame.kept);
        frame.kept = nullptr;
    }
}

// Share of the frame's tiles that equal the final frame's.
double ShareLikeFinal(const Frame& frame, const Frame& final) {
    if (frame.tiles.size() != final.tiles.size() || frame.tiles.empty()) return 0;
    size_t matched = 0;
    for (size_t i = 0; i < frame.tiles.size(); ++i) matched += frame.tiles[i] == final.tiles[i];
    return double(matched) / double(frame.tiles.size());
}

bool WindowManagerAnnounced() {
    GdkAtom type = GDK_NONE;
    gint format = 0, length = 0;
    guchar* data = nullptr;
    bool found = gdk_property_get(gdk_get_default_root_window(), gdk_atom_intern_static_string("_NET_SUPPORTING_WM_CHECK"),
                                  GDK_NONE, 0, 1, FALSE, &type, &format, &length, &data) &&
                 length > 0;
    g_free(data);
    return found;
}

pid_t Spawn(const std::vector<std::string>& args, int stderrFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stderrFd >= 0) posix_spawn_file_actions_adddup2(&actions, stderrFd, 2);
    else posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Starts openbox when the display has no window manager; its pid, or -1 when none was started.
pid_t StartWindowManager() {
    if (WindowManagerAnnounced()) return -1;
    pid_t pid = Spawn({"openbox", "--sm-disable"}, -1);
    for (double until = NowMs() + 5000; pid > 0 && NowMs() < until && !WindowManagerAnnounced();) usleep(20000);
    if (!WindowManagerAnnounced()) std::fputs("startup_bench: no window manager on the display\n", stderr);
    return pid;
}

// The viewer's report of its first document's completion (its monotonic clock), when the line is one.
std::optional<double> ParseCompletion(const std::string& line) {
    double ms = 0;
    if (std::sscanf(line.c_str(), "tomeview: document complete %lf ms", &ms) != 1) return std::nullopt;
    return ms;
}

struct RunResult {
    double completeMs = -1, firstFrameMs = -1;
};

RunResult RunOnce(const std::string& program, const std::string& registry, const std::string& shots) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    setenv("TOME_STARTUP_TRACE", "1", 1);
    setenv("TOME_REGISTRY", registry.c_str(), 1);
    const double start = NowMs();
    pid_t viewer = Spawn({program}, pipeFds[1]);
    close(pipeFds[1]);
    RunResult result;
    std::optional<double> completion;
    std::vector<Frame> frames;
    std::string pending;
    size_t nextShot = 0;
    while (viewer > 0 && NowMs() - start < kGiveUpMs) {
        bool keep = !shots.empty() && nextShot < std::size(kShotMs) && NowMs() - start >= kShotMs[nextShot];
        if (keep) ++nextShot;
        frames.push_back(Grab(start, keep));
        char buffer[4096];
        for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) pending.append(buffer, size_t(n));
        for (size_t eol; (eol = pending.find('\n')) != std::string::npos; pending.erase(0, eol + 1))
            if (!completion) completion = ParseCompletion(pending.substr(0, eol));
        if (completion && frames.back().ms > std::max(*completion - start + kSettleMs, kFinalNotBeforeMs)) {
            if (!shots.empty()) {
                if (frames.back().kept) g_object_unref(frames.back().kept);
                frames.back() = Grab(start, true);
            }
            break;
        }
        if (waitpid(viewer, nullptr, WNOHANG) == viewer) viewer = -1;
    }
    if (viewer > 0) {
        kill(viewer, SIGTERM);
        waitpid(viewer, nullptr, 0);
    }
    close(pipeFds[0]);
    if (!shots.empty()) SaveShots(frames, shots);
    if (!completion || frames.empty()) return result;
    result.completeMs = *completion - start;
    for (const Frame& frame : frames)
        if (ShareLikeFinal(frame, frames.back()) >= kMatchShare) {
            result.firstFrameMs = frame.ms;
            break;
        }
    return result;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: startup_bench PROGRAM_FOLDER [--runs N]\n", stderr);
        return 2;
    }
    int runs = 5;
    std::string shots;
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--shots") == 0) shots = argv[i + 1];
    }
    if (!gdk_init_check(&argc, &argv)) {
        std::fputs("startup_bench: no X display (run it through run_bench.sh or xvfb-run)\n", stderr);
        return 2;
    }
    // A private copy, so the runs' files (started.dat, composed pages) stay out of the build tree.
    fs::path scratch = fs::temp_directory_path() / ("tome-startup-" + std::to_string(getpid()));
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    fs::copy(argv[1], scratch / "book", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    pid_t windowManager = StartWindowManager();

    std::vector<double> complete, firstFrame;
    for (int run = 1; run <= runs; ++run) {
        RunResult r = RunOnce((scratch / "book" / "tomeview").string(),
                              (scratch / ("registry-" + std::to_string(run))).string(), run == 1 ? shots : "");
        std::printf("run %d: document complete %.0f ms, first page frame %.0f ms\n", run, r.completeMs,
                    r.firstFrameMs);
        std::fflush(stdout);
        if (r.completeMs >= 0) complete.push_back(r.completeMs);
        if (r.firstFrameMs >= 0) firstFrame.push_back(r.firstFrameMs);
        usleep(300000);  // let the engine's helper processes of the run end
    }
    std::printf("median of %d: document complete %.0f ms, first page frame %.0f ms (from process start)\n", runs,
                Median(complete), Median(firstFrame));

    if (windowManager > 0) {
        kill(windowManager, SIGTERM);
        waitpid(windowManager, nullptr, 0);
    }
    fs::remove_all(scratch);
    return complete.size() == size_t(runs) && firstFrame.size() == size_t(runs) ? 0 : 1;
}
