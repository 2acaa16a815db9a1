// The bell on the second: how far from its due second (signed: early is negative) a click is
// heard, started by the real broadcast clock through GstMediaPlayer into a private PulseAudio
// null sink, its onset found on the sink's monitor as player_start_bench finds it.
//
// Ways, one click a second each, in one run:
//   reference - GstMediaPlayer::ScheduleStart called directly 300 ms ahead of a due moment, no
//               clock, idle and busy: the pipeline's base time and offset are known, so its
//               onsets bound the monitor's own offset (with the sink's error) in either state;
//   scheduled - the clock schedules each start ahead on the player, idle and with both cores
//               kept busy by spinning threads;
//   today's   - the same clock and player, but the player is only played at the step of the
//               second (the design before scheduled starts), idle and busy.
// Run: ./build/bench/on_the_second_bench (CHIMEON_BENCH_CLICKS=N clicks per way, default 15).
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/engine/broadcast_clock.h"
#include "core/engine/calendar_copy.h"
#include "core/engine/clock_text.h"
#include "core/engine/folder_listing.h"
#include "core/engine/reporting_player.h"
#include "core/schedule/schedule_file.h"
#include "core/schedule/table_id.h"
#include "platform/engine/gst_media_player.h"
#include "platform/system/system_local_clock.h"
#include "support/fake_engine_ports.h"
#include "support/null_sink_onsets.h"

namespace chimeon {
namespace {

using namespace bench;

// The player as the clock saw it before: it cannot schedule, so every start is a Play.
class PlayOnlyPlayer : public ReportingPlayer {
public:
    explicit PlayOnlyPlayer(MediaPlayer& player)
        : ReportingPlayer(player, [](OpenFailure, std::string) {}) {}
    bool CanScheduleStart() const override { return false; }
};

// Counts the starts that were scheduled ahead (the others were played at the step).
class CountingPlayer : public ReportingPlayer {
public:
    explicit CountingPlayer(MediaPlayer& player)
        : ReportingPlayer(player, [](OpenFailure, std::string) {}) {}
    bool ScheduleStart(std::int64_t dueMs, std::chrono::milliseconds lead) override {
        const bool scheduled = ReportingPlayer::ScheduleStart(dueMs, lead);
        count += scheduled ? 1 : 0;
        return scheduled;
    }
    int count = 0;
};

// Both cores kept busy while it lives.
class Spinners {
public:
    explicit Spinners(bool on) {
        for (int i = 0; on && i < 2; ++i) {
            threads_.emplace_back([this] {
                while (!stop_) {
                    spun_.fetch_add(1, std::memory_order_relaxed);
                }
            });
        }
    }
    ~Spinners() {
        stop_ = true;
        for (auto& thread : threads_) {
            thread.join();
        }
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> spun_{0};
    std::vector<std::thread> threads_;
};

// Plays `clicks` rows, one a second, through the real clock; the monotonic due moments.
std::vector<std::int64_t> ThroughTheClock(const std::filesystem::path& dir,
                                          const std::string& click, int clicks,
                                          MediaPlayer& player) {
    SystemLocalClock wall;
    const ClockReading now = wall.Read();
    const std::int64_t offset = RealtimeMinusMonotonicNs();
    const std::int64_t firstWall = (LocalClock::EpochSecondsOf(now) + 3) * kSecond;
    const int firstSecond = now.local.hour * 3600 + now.local.minute * 60 + now.local.second + 3;
    ScheduleTable table;
    std::vector<std::int64_t> dueAt;
    for (int i = 0; i < clicks; ++i) {
        table.push_back({"click", TimeText((firstSecond + i) % kSecondsPerDay),
                         std::string(kEndPlayOnce), "100", "顺序", click});
        dueAt.push_back(firstWall + i * kSecond - offset);
    }
    if (!SaveScheduleFile(dir / TableFileName(WeekdayTable(now.local.weekday)), table)) {
        return {};
    }
    FileSystemDirectoryLister lister;
    CalendarCopy calendar;
    calendar.Update(WorkingEveryDay());
    test::FakeClockTimer stepTimer, dayTimer;
    TodayList list;
    BroadcastClock clock({wall, player, lister, calendar, stepTimer, dayTimer, list, dir});
    clock.Start();
    const std::int64_t end = dueAt.back() + kSecond;
    while (MonotonicNs() < end) {
        SleepUntil(MonotonicNs() + std::chrono::nanoseconds(clock.UntilNextStep()).count());
        if (stepTimer.IsArmed()) {
            clock.Step();
        }
    }
    clock.Shutdown();
    return dueAt;
}

// Scheduled straight on the player, 300 ms ahead of each next second.
std::vector<std::int64_t> Reference(const std::string& click, int clicks, GstMediaPlayer& player) {
    std::vector<std::int64_t> dueAt;
    player.Prepare(click);  // GStreamer's first use is slow
    for (int i = 0; i < clicks; ++i) {
        const std::int64_t due = (MonotonicNs() / kSecond + 2) * kSecond;
        SleepUntil(due - 300 * kMillisecond);
        player.SetFile(click);
        const bool opened = player.Open();
        if (opened && player.ScheduleStart((due + RealtimeMinusMonotonicNs()) / kMillisecond,
                                           std::chrono::milliseconds(300))) {
            dueAt.push_back(due);
        } else {
            std::fprintf(stderr, "reference click %d not scheduled (%s)\n", i,
                         opened ? "opened" : "not opened");
        }
        SleepUntil(due + 500 * kMillisecond);
        player.Close();
    }
    return dueAt;
}

struct Signed {
    double median = 0, p99 = 0, earliest = 0, p99Abs = 0, medianAbs = 0;
    int heard = 0;
};

Signed Measure(MonitorRecorder& recorder, const std::vector<std::int64_t>& dueAt) {
    std::vector<double> late;
    for (std::int64_t at : dueAt) {
        const std::int64_t onset =
            recorder.OnsetAfter(at - 100 * kMillisecond, at + 600 * kMillisecond);
        if (onset >= 0) {
            late.push_back(static_cast<double>(onset - at) / 1e6);
        }
    }
    Signed figures;
    figures.heard = static_cast<int>(late.size());
    if (late.empty()) {
        return figures;
    }
    auto rank = [](std::vector<double> values, double share) {
        std::sort(values.begin(), values.end());
        const size_t at = static_cast<size_t>(share * static_cast<double>(values.size()) + 0.999);
        return values[std::clamp<size_t>(at, 1, values.size()) - 1];
    };
    std::fprintf(stderr, " each:");
    for (double value : late) {
        std::fprintf(stderr, " %.1f", value);
    }
    std::fprintf(stderr, "\n");
    std::vector<double> magnitude;
    for (double value : late) {
        magnitude.push_back(std::abs(value));
    }
    figures.median = rank(late, 0.5);
    figures.p99 = rank(late, 0.99);
    figures.earliest = *std::min_element(late.begin(), late.end());
    figures.medianAbs = rank(magnitude, 0.5);
    figures.p99Abs = rank(magnitude, 0.99);
    return figures;
}

int Run() {
    const int clicks = ClicksToPlay(15);
    std::string error;
    const std::filesystem::path dir = PrepareFolder(&error);
    if (dir.empty()) {
        std::fprintf(stderr, "cannot prepare: %s\n", error.c_str());
        return 1;
    }
    const std::string click = ClickFile(dir).string();
    SoundServer server;
    MonitorRecorder recorder;
    GstMediaPlayer player;
    PlayOnlyPlayer playOnly(player);
    CountingPlayer counting(player);

    struct Way {
        const char* name;
        bool scheduled;
        bool busy;
        std::vector<std::int64_t> due;
        int scheduledAhead = 0;
    };
    std::vector<Way> ways = {{"scheduled, idle", true, false, {}},
                             {"scheduled, busy", true, true, {}},
                             {"today's,   idle", false, false, {}},
                             {"today's,   busy", false, true, {}}};
    Reference(click, 1, player);  // wakes the sound server's sink; not counted
    std::vector<std::int64_t> reference[2];
    for (bool busy : {false, true}) {
        const Spinners spinners(busy);
        reference[busy ? 1 : 0] = Reference(click, clicks / 2, player);
    }
    for (Way& way : ways) {
        const Spinners spinners(way.busy);
        counting.count = 0;
        way.due = way.scheduled ? ThroughTheClock(dir, click, clicks, counting)
                                : ThroughTheClock(dir, click, clicks, playOnly);
        way.scheduledAhead = counting.count;
    }
    SleepUntil(MonotonicNs() + 300 * kMillisecond);

    std::printf("signed lateness of the onset after its due moment (ms), %d clicks a way\n",
                clicks);
    for (int busy : {0, 1}) {
        const Signed ref = Measure(recorder, reference[busy]);
        std::printf("  reference, %s: median %.1f p99 %.1f earliest %.1f heard %d/%zu\n",
                    busy ? "busy" : "idle", ref.median, ref.p99, ref.earliest, ref.heard,
                    reference[busy].size());
    }
    std::vector<std::int64_t> mine, today;
    for (const Way& way : ways) {
        const Signed f = Measure(recorder, way.due);
        std::printf(
            "  %s: median %.1f p99 %.1f earliest %.1f |median| %.1f |p99| %.1f heard %d/%d, "
            "scheduled ahead %d\n",
            way.name, f.median, f.p99, f.earliest, f.medianAbs, f.p99Abs, f.heard, clicks,
            way.scheduledAhead);
        (way.scheduled ? mine : today)
            .insert((way.scheduled ? mine : today).end(), way.due.begin(), way.due.end());
    }
    const Signed all = Measure(recorder, mine);
    const Signed old = Measure(recorder, today);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    std::printf(
        "on the second: median %.1f ms p99 %.1f ms earliest %.1f ms (today's design: median %.1f "
        "ms p99 %.1f ms)\n",
        all.median, all.p99, all.earliest, old.median, old.p99);
    return 0;
}

}  // namespace
}  // namespace chimeon

int main() {
    return chimeon::Run();
}
