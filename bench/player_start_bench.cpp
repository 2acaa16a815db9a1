// Measured start of a broadcast: how late after its scheduled second a click is heard.
//
// Starts a private PulseAudio server with a null sink (no sound card needed, root is fine),
// records the sink's monitor, and plays 30 scheduled clicks two ways in the same run:
//   player   - today's table holds a click every two seconds; the real broadcast clock starts
//              them through GstMediaPlayer, stepped by the step driver's rule (a step just after
//              each second boundary, UntilNextStep);
//   baseline - a `gst-play-1.0` process spawned at the second.
// The lateness of each click is the onset found in the recording minus its scheduled time,
// both on the monotonic clock. Run: ./build/bench/player_start_bench
// (CHIMEON_BENCH_CLICKS=N changes the number of clicks).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/engine/broadcast_clock.h"
#include "core/engine/calendar_copy.h"
#include "core/engine/clock_text.h"
#include "core/engine/folder_listing.h"
#include "core/engine/history_recorder.h"
#include "core/schedule/schedule_file.h"
#include "core/schedule/table_id.h"
#include "platform/engine/gst_media_player.h"
#include "platform/system/system_local_clock.h"
#include "support/fake_engine_ports.h"
#include "support/null_sink_onsets.h"

namespace chimeon {
namespace {

using namespace bench;

// Plays `clicks` rows of today's table through the real clock and player; gives the monotonic
// moments at which each row was due.
std::vector<std::int64_t> PlayThroughTheClock(const std::filesystem::path& dir,
                                              const std::string& click, int clicks,
                                              std::vector<double>* askedLateMs) {
    SystemLocalClock wall;
    LocalDateTime now = wall.Now();
    std::int64_t offset = RealtimeMinusMonotonicNs();
    std::int64_t firstWall = (wall.EpochSeconds() + 4) * kSecond;
    int firstSecond = now.hour * 3600 + now.minute * 60 + now.second + 4;
    ScheduleTable table;
    std::vector<std::int64_t> dueAt;
    for (int i = 0; i < clicks; ++i) {
        table.push_back({"click", TimeText((firstSecond + 2 * i) % kSecondsPerDay),
                         std::string(kEndPlayOnce), "100", "顺序", click});
        dueAt.push_back(firstWall + 2LL * i * kSecond - offset);
    }
    if (!SaveScheduleFile(dir / TableFileName(WeekdayTable(now.weekday)), table)) {
        return {};
    }
    GstMediaPlayer player;
    FileSystemDirectoryLister lister;
    CalendarCopy calendar;
    calendar.Update(WorkingEveryDay());
    test::FakeClockTimer stepTimer, dayTimer;  // run by the step driver below while armed
    TodayList list;
    BroadcastClock clock({wall, player, lister, calendar, stepTimer, dayTimer, list, dir});
    AskedLateness asked;
    HistoryRecorder recorder(wall, list, asked);
    clock.SetObserver(&recorder);
    clock.Start();
    std::int64_t end = dueAt.back() + 2 * kSecond;
    std::int64_t lastDayCheck = 0;
    while (MonotonicNs() < end) {
        SleepUntil(MonotonicNs() + std::chrono::nanoseconds(clock.UntilNextStep()).count());
        if (stepTimer.IsArmed()) {
            clock.Step();
        }
        if (dayTimer.IsArmed() && MonotonicNs() - lastDayCheck >= kSecond) {
            lastDayCheck = MonotonicNs();
            clock.DayCheck();
        }
    }
    clock.Shutdown();
    *askedLateMs = asked.LateMs();
    return dueAt;
}

void BM_StartOfScheduledClick(benchmark::State& state) {
    const int clicks = ClicksToPlay(30);
    std::string error;
    const std::filesystem::path dir = PrepareFolder(&error);
    if (dir.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string click = ClickFile(dir).string();

    std::vector<double> playerLate;
    std::vector<double> baselineLate;
    std::vector<double> playerHeard;  // how much of each 100 ms click was heard
    std::vector<double> askedLate;    // when the clock asked the player for sound
    for (auto _ : state) {
        SoundServer server;
        MonitorRecorder recorder;
        std::vector<std::int64_t> playerAt = PlayThroughTheClock(dir, click, clicks, &askedLate);
        std::vector<std::int64_t> baselineAt;
        std::int64_t first = (MonotonicNs() / kSecond + 2) * kSecond;
        for (int i = 0; i < clicks; ++i) {
            std::int64_t baselineDue = first + static_cast<std::int64_t>(i) * 2 * kSecond;
            SleepUntil(baselineDue);
            pid_t pid = Spawn({"gst-play-1.0", "-q", "--no-interactive", click});
            baselineAt.push_back(baselineDue);
            SleepUntil(baselineDue + 900 * 1000000LL);
            if (pid > 0) {
                kill(pid, SIGTERM);
                waitpid(pid, nullptr, 0);
            }
        }
        SleepUntil(MonotonicNs() + 300 * 1000000LL);
        for (std::int64_t at : playerAt) {
            std::int64_t onset = recorder.OnsetAfter(at - 100 * 1000000LL, at + 900 * 1000000LL);
            if (onset >= 0) {
                playerLate.push_back(static_cast<double>(onset - at) / 1e6);
                std::int64_t last = recorder.LastLoudBefore(onset, at + 900 * 1000000LL);
                playerHeard.push_back(static_cast<double>(last - onset) / 1e6);
            }
        }
        baselineLate = recorder.LatenessMs(baselineAt, 900);
    }
    Figures mine = Summarise(playerLate, clicks);
    Figures spawned = Summarise(baselineLate, clicks);
    Figures heard = Summarise(playerHeard, clicks);
    state.counters["player_heard_min_ms"] =
        playerHeard.empty() ? 0 : *std::min_element(playerHeard.begin(), playerHeard.end());
    state.counters["player_median_ms"] = mine.median;
    state.counters["player_p99_ms"] = mine.p99;
    state.counters["player_max_ms"] = mine.max;
    state.counters["player_missed"] = mine.missed;
    state.counters["spawned_median_ms"] = spawned.median;
    state.counters["spawned_p99_ms"] = spawned.p99;
    state.counters["spawned_max_ms"] = spawned.max;
    state.counters["spawned_missed"] = spawned.missed;
    state.counters["median_ratio"] = mine.median > 0 ? spawned.median / mine.median : 0;
    std::printf("lateness of sound after the scheduled second, %d clicks each (ms):\n", clicks);
    std::printf("  player  : median %.1f  p99 %.1f  max %.1f  missed %d\n", mine.median, mine.p99,
                mine.max, mine.missed);
    std::printf("  player  : click of 100 ms heard for median %.1f, min %.1f\n", heard.median,
                state.counters["player_heard_min_ms"].value);
    Figures asking = Summarise(askedLate, clicks);
    std::printf("  clock asked the player for sound: median %.1f  p99 %.1f  max %.1f\n",
                asking.median, asking.p99, asking.max);
    std::printf("  spawned : median %.1f  p99 %.1f  max %.1f  missed %d\n", spawned.median,
                spawned.p99, spawned.max, spawned.missed);
    for (auto* list : {&playerLate, &baselineLate}) {
        std::printf("  %s each, in order:", list == &playerLate ? "player " : "spawned");
        for (double late : *list) {
            std::printf(" %.0f", late);
        }
        std::printf("\n");
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}
BENCHMARK(BM_StartOfScheduledClick)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace chimeon

BENCHMARK_MAIN();
