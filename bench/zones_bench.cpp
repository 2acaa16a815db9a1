// Bells on the second at every building: a Snapcast server and three clients on the loopback
// address (scripts/snapcast-local.sh), each client playing into a PulseAudio null sink of its own
// whose monitor is recorded; GstMediaPlayer feeds the server with the network output only, 30
// clicks each scheduled on a due second. The onset of each click at each client is measured
// against its due second, and the spread is the widest gap between the clients at one click.
// The third client starts only between the middle two clicks, three seconds or more before the
// next: it must play that one on time (its clicks before are not counted).
//
// Onsets are timed by the recording's sample count (a null sink consumes at the wall clock's
// pace), not by the time of each buffer: a buffer's time is when the recorder's thread woke,
// which differs from one sink to another by a millisecond or two and made most of the spread
// measured before. The first client's sink is recorded twice; the two recordings apart at one
// click are the measurement's own floor, printed with the spread the buffers' times give.
// Run: ./build/bench/zones_bench (CHIMEON_BENCH_CLICKS=N, default 30; CHIMEON_BENCH_PORT;
// CHIMEON_BENCH_PLAYER: snapclient's --player, default "pulse"; CHIMEON_BENCH_VERBOSE).
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/engine/gst_media_player.h"
#include "platform/network/snapcast_feed.h"
#include "support/null_sink_onsets.h"
#include "support/pulse_null_sink.h"

namespace chimeon {
namespace {

using namespace bench;

constexpr int kClients = 3;
constexpr int kBufferMs = 600;
// snapclient's PulseAudio output (CHIMEON_BENCH_PLAYER to try others).
constexpr const char* kPlayer = "pulse";

struct Measured {
    std::vector<double> late;     // |onset - due| of every click heard, ms
    std::vector<double> spreads;  // the widest gap between the clients at each click
    std::vector<double> floors;   // the two recordings of client1 apart at each click
    int missed = 0;
};

void RunScript(const std::vector<std::string>& arguments) {
    std::vector<std::string> line = {"bash", CHIMEON_SNAPCAST_SCRIPT};
    line.insert(line.end(), arguments.begin(), arguments.end());
    int status = 0;
    waitpid(Spawn(line), &status, 0);
}

int Run() {
    std::string error;
    const std::filesystem::path dir = PrepareFolder(&error);
    if (dir.empty()) {
        std::fprintf(stderr, "zones_bench: %s\n", error.c_str());
        return 1;
    }
    SoundServer sound;
    const char* portText = std::getenv("CHIMEON_BENCH_PORT");
    const std::string port = portText != nullptr ? portText : "24700";
    const std::string server = (dir / "snapcast").string();
    RunScript({"start", server, port, "0", std::to_string(kBufferMs)});
    std::vector<std::unique_ptr<MonitorRecorder>> monitors;
    // The first client's sink is recorded twice: what the two recordings differ by at one click
    // is the measurement's own spread, the floor under the clients'.
    std::unique_ptr<MonitorRecorder> twin;
    const char* playerText = std::getenv("CHIMEON_BENCH_PLAYER");
    const std::string player = playerText != nullptr ? playerText : kPlayer;
    auto startClient = [&](int k) {
        const std::string sink = "zone" + std::to_string(k);
        test::PulseNullSink::Pactl("load-module module-null-sink sink_name=" + sink);
        monitors.push_back(std::make_unique<MonitorRecorder>(sink));
        if (k == 1) {
            twin = std::make_unique<MonitorRecorder>(sink);
        }
        RunScript({"client", server, port, "client" + std::to_string(k), player, sink});
    };
    const int clicks = ClicksToPlay(30);
    std::vector<std::int64_t> due;
    std::vector<int> firstCounted(kClients, 0);
    {
        for (int k = 1; k < kClients; ++k) {
            startClient(k);
        }
        auto feed = std::make_shared<SnapcastFeed>("127.0.0.1", std::stoi(port),
                                                   std::chrono::milliseconds(kBufferMs));
        GstMediaPlayerOptions options;
        options.network = feed;
        options.localToo = false;
        GstMediaPlayer player(options);
        // Clients connected and settled: as long as the late one gets before its first click
        // (the first clicks of a client just started are up to 2 ms early while its time
        // synchronisation settles).
        std::this_thread::sleep_for(std::chrono::seconds(4));
        const auto lead = std::chrono::milliseconds(kBufferMs + 150);
        for (int i = 0; i < clicks; ++i) {
            if (i == clicks / 2) {
                startClient(kClients);
                firstCounted[kClients - 1] = i;
            }
            // The late client gets three seconds or more: a new snapclient needs about two
            // before it plays (its first time synchronisation and the server's buffer).
            const std::int64_t ahead = i == clicks / 2 ? 4 : 2;
            const std::int64_t dueNs = (SnapcastFeed::RealtimeNs() / kSecond + ahead) * kSecond;
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
    }
    const std::int64_t toMonotonic = RealtimeMinusMonotonicNs();
    // Each onset timed by the recording's sample count, and (for comparison) by the time of the
    // buffer it came in.
    auto measure = [&](bool steady, bool print) {
        auto onsetIn = [steady](MonitorRecorder& recorder, std::int64_t at) {
            const std::int64_t from = at - 100 * kMillisecond;
            const std::int64_t to = at + 400 * kMillisecond;
            return steady ? recorder.SteadyOnsetAfter(from, to) : recorder.OnsetAfter(from, to);
        };
        Measured measured;
        std::vector<double> lowest(due.size(), 1e9);
        std::vector<double> highest(due.size(), -1e9);
        for (int k = 0; k < kClients; ++k) {
            std::vector<double> mine;
            const int first = firstCounted[static_cast<std::size_t>(k)];
            for (std::size_t i = static_cast<std::size_t>(first); i < due.size(); ++i) {
                const std::int64_t at = due[i] - toMonotonic;
                const std::int64_t onset = onsetIn(*monitors[static_cast<std::size_t>(k)], at);
                if (onset < 0) {
                    ++measured.missed;
                    continue;
                }
                const double ms = static_cast<double>(onset - at) / 1e6;
                mine.push_back(ms);
                measured.late.push_back(std::abs(ms));
                lowest[i] = std::min(lowest[i], ms);
                highest[i] = std::max(highest[i], ms);
                if (print && std::getenv("CHIMEON_BENCH_VERBOSE") != nullptr) {
                    std::printf("client%d click %zu: %+.1f ms\n", k + 1, i, ms);
                }
            }
            const Figures figures = Summarise(mine, static_cast<int>(due.size()) - first);
            if (print) {
                std::printf("client%d%s: median %+.1f ms p99 %+.1f ms max %+.1f ms, missed %d\n",
                            k + 1, first > 0 ? " (started late)" : "", figures.median, figures.p99,
                            figures.max, figures.missed);
            }
        }
        for (std::size_t i = 0; i < due.size(); ++i) {
            if (highest[i] >= lowest[i]) {
                measured.spreads.push_back(highest[i] - lowest[i]);
            }
            const std::int64_t at = due[i] - toMonotonic;
            const std::int64_t once = onsetIn(*monitors[0], at);
            const std::int64_t again = onsetIn(*twin, at);
            if (once >= 0 && again >= 0) {
                measured.floors.push_back(std::abs(static_cast<double>(once - again)) / 1e6);
            }
        }
        return measured;
    };
    const Measured byCount = measure(true, true);
    const Measured byBuffers = measure(false, false);
    RunScript({"stop", server});
    monitors.clear();
    twin.reset();
    std::filesystem::remove_all(dir);
    auto largest = [](const std::vector<double>& values) {
        return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
    };
    std::printf("by the buffers' times instead: spread %.1f ms, measurement floor %.2f ms\n",
                largest(byBuffers.spreads), largest(byBuffers.floors));
    const double floor = largest(byCount.floors);
    std::printf(
        "measurement floor (client1 recorded twice): %.2f ms%s\n", floor,
        floor > 0.5 ? ": the measurement itself was disturbed, the figures say nothing" : "");
    const Figures all = Summarise(byCount.late, static_cast<int>(byCount.late.size()));
    std::printf("zones: %d clients, onset median %.1f ms p99 %.1f ms, spread %.1f ms, missed %d\n",
                kClients, all.median, all.p99, largest(byCount.spreads), byCount.missed);
    return 0;
}

}  // namespace
}  // namespace chimeon

int main() {
    return chimeon::Run();
}
