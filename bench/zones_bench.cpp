// Bells on the second at every building: a Snapcast server and three clients on the loopback
// address (scripts/snapcast-local.sh, each client into a raw file of its own written in real
// time), GstMediaPlayer feeding the server with the network output only, 30 clicks each
// scheduled on a due second. Each client's file is watched as it grows: the earliest moment a
// size was seen, less the time its bytes take to play, places the file's first sample on the
// clock (the file output writes what is due now). The onset of each click in each file is then
// a moment, measured against its due second; the spread is the widest gap between the clients
// at one click.
// Run: ./build/bench/zones_bench (CHIMEON_BENCH_CLICKS=N, default 30; CHIMEON_BENCH_PORT).
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/engine/gst_media_player.h"
#include "platform/network/snapcast_feed.h"
#include "support/null_sink_onsets.h"

namespace chimeon {
namespace {

using namespace bench;

constexpr int kClients = 3;
constexpr int kBufferMs = 600;
constexpr double kBytesPerNs = 48000.0 * 4 / 1e9;

// Watches a growing file: the earliest moment (CLOCK_REALTIME) its first byte could have played.
class GrowthWatch {
public:
    explicit GrowthWatch(std::string path) : path_(std::move(path)) {
        thread_ = std::thread([this] {
            off_t last = -1;
            while (!stop_) {
                struct stat info {};
                const std::int64_t now = SnapcastFeed::RealtimeNs();
                if (stat(path_.c_str(), &info) == 0 && info.st_size != last) {
                    if (last > 0) {
                        // The bytes before this write were due by now at the latest.
                        anchor_ =
                            std::min<double>(anchor_, static_cast<double>(now) -
                                                          static_cast<double>(last) / kBytesPerNs);
                    }
                    last = info.st_size;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        });
    }
    ~GrowthWatch() {
        stop_ = true;
        thread_.join();
    }
    double anchorNs() const { return anchor_; }

private:
    std::string path_;
    std::atomic<bool> stop_{false};
    std::atomic<double> anchor_{1e30};
    std::thread thread_;
};

// The first loud sample at or after `fromNs`, within `withinNs`, as a moment; NaN if none.
double OnsetNs(const std::vector<std::int16_t>& samples, double anchorNs, double fromNs,
               double withinNs) {
    const auto frames = static_cast<std::int64_t>(samples.size() / 2);
    auto frame = static_cast<std::int64_t>(std::max(0.0, (fromNs - anchorNs) * 48000 / 1e9));
    const auto last = frame + static_cast<std::int64_t>(withinNs * 48000 / 1e9);
    for (; frame < std::min(frames, last); ++frame) {
        if (std::abs(samples[static_cast<std::size_t>(frame * 2)]) > 1000) {
            return anchorNs + static_cast<double>(frame) * 1e9 / 48000;
        }
    }
    return NAN;
}

int Run() {
    std::string error;
    const std::filesystem::path dir = PrepareFolder(&error);
    if (dir.empty()) {
        std::fprintf(stderr, "zones_bench: %s\n", error.c_str());
        return 1;
    }
    const char* portText = std::getenv("CHIMEON_BENCH_PORT");
    const int port = portText != nullptr ? std::atoi(portText) : 24700;
    const std::string script = CHIMEON_SNAPCAST_SCRIPT;
    const std::string server = (dir / "snapcast").string();
    pid_t started = Spawn({"bash", script, "start", server, std::to_string(port),
                           std::to_string(kClients), std::to_string(kBufferMs)});
    int status = 0;
    waitpid(started, &status, 0);
    {
        std::vector<std::unique_ptr<GrowthWatch>> watches;
        for (int k = 1; k <= kClients; ++k) {
            watches.push_back(
                std::make_unique<GrowthWatch>(server + "/client" + std::to_string(k) + ".raw"));
        }
        auto feed =
            std::make_shared<SnapcastFeed>("127.0.0.1", port, std::chrono::milliseconds(kBufferMs));
        GstMediaPlayerOptions options;
        options.network = feed;
        options.localToo = false;
        GstMediaPlayer player(options);
        std::this_thread::sleep_for(std::chrono::seconds(2));  // clients connected, streams running
        const int clicks = ClicksToPlay(30);
        std::vector<std::int64_t> due;
        const auto lead = std::chrono::milliseconds(kBufferMs + 150);
        for (int i = 0; i < clicks; ++i) {
            const std::int64_t dueNs = (SnapcastFeed::RealtimeNs() / kSecond + 2) * kSecond;
            player.SetFile(ClickFile(dir).string());
            player.Prepare(ClickFile(dir).string());
            std::this_thread::sleep_for(std::chrono::nanoseconds(
                dueNs - lead.count() * kMillisecond - SnapcastFeed::RealtimeNs()));
            if (!player.Open() || !player.ScheduleStart(dueNs / kMillisecond, lead)) {
                std::fprintf(stderr, "click %d not scheduled\n", i);
            }
            due.push_back(dueNs);
            std::this_thread::sleep_for(
                std::chrono::nanoseconds(dueNs + 300 * kMillisecond - SnapcastFeed::RealtimeNs()));
            player.Close();
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
        std::vector<double> late;
        std::vector<double> spreads;
        int missed = 0;
        std::vector<std::vector<double>> onsets(due.size());
        for (int k = 0; k < kClients; ++k) {
            std::ifstream in(server + "/client" + std::to_string(k + 1) + ".raw", std::ios::binary);
            std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            std::vector<std::int16_t> samples(bytes.size() / 2);
            std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
            const double anchor = watches[static_cast<std::size_t>(k)]->anchorNs();
            std::vector<double> mine;
            for (std::size_t i = 0; i < due.size(); ++i) {
                const double at = OnsetNs(samples, anchor, static_cast<double>(due[i]) - 4e8, 9e8);
                if (std::isnan(at)) {
                    ++missed;
                    continue;
                }
                mine.push_back((at - static_cast<double>(due[i])) / 1e6);
                if (std::getenv("CHIMEON_BENCH_VERBOSE") != nullptr) {
                    std::printf("client%d click %zu: %+.1f ms\n", k + 1, i, mine.back());
                }
                onsets[i].push_back(at);
            }
            const Figures figures = Summarise(mine, static_cast<int>(due.size()));
            std::printf("client%d: median %.1f ms p99 %.1f ms max %.1f ms, missed %d\n", k + 1,
                        figures.median, figures.p99, figures.max, figures.missed);
            for (double ms : mine) {
                late.push_back(std::abs(ms));
            }
        }
        for (const auto& at : onsets) {
            if (at.size() >= 2) {
                spreads.push_back((*std::max_element(at.begin(), at.end()) -
                                   *std::min_element(at.begin(), at.end())) /
                                  1e6);
            }
        }
        const Figures all = Summarise(late, static_cast<int>(late.size()));
        const Figures spread = Summarise(spreads, static_cast<int>(spreads.size()));
        std::printf(
            "zones: %d clients, onset median %.1f ms p99 %.1f ms, spread %.1f ms, missed %d\n",
            kClients, all.median, all.p99, spread.max, missed);
    }
    pid_t stopped = Spawn({"bash", script, "stop", server});
    waitpid(stopped, &status, 0);
    std::filesystem::remove_all(dir);
    return 0;
}

}  // namespace
}  // namespace chimeon

int main() {
    return chimeon::Run();
}
