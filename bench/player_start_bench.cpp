// Measured start of a broadcast: how late after its scheduled second a click is heard.
//
// Starts a private PulseAudio server with a null sink (the tests' own; no sound card needed, root
// is fine), records the sink's monitor, and plays 30 scheduled clicks two ways in the same run:
//   player   - today's table holds a click every two seconds; the real broadcast clock starts
//              them through GstMediaPlayer, stepped by the step driver's rule (a step just after
//              each second boundary, MillisecondsUntilNextStep);
//   baseline - a `gst-play-1.0` process spawned at the second.
// The lateness of each click is the onset found in the recording minus its scheduled time,
// both on the monotonic clock. Run: ./build/bench/player_start_bench
// (CHIMEON_BENCH_CLICKS=N changes the number of clicks).
#include <benchmark/benchmark.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/engine/broadcast_clock.h"
#include "core/engine/clock_text.h"
#include "core/engine/folder_listing.h"
#include "core/engine/history_recorder.h"
#include "core/schedule/schedule_file.h"
#include "core/schedule/table_id.h"
#include "platform/engine/gst_media_player.h"
#include "platform/system/system_local_clock.h"
#include "support/fake_engine_ports.h"
#include "support/gst/gst_pipeline_run.h"
#include "support/pulse_null_sink.h"
#include "support/temp_dir.h"

extern char** environ;

namespace chimeon {
namespace {

constexpr int kRate = 44100;
constexpr std::int64_t kSecond = 1000000000;
constexpr int kOnsetLevel = 3000;  // of 32767: well above silence, well below the click

std::int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * kSecond + now.tv_nsec;
}

void SleepUntil(std::int64_t ns) {
    timespec at{static_cast<time_t>(ns / kSecond), static_cast<long>(ns % kSecond)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    return pid;
}

// Records the null sink's monitor with the capture time of every buffer on the monotonic clock.
class MonitorRecorder {
public:
    MonitorRecorder() {
        const std::string description =
            "pulsesrc device=" + test::PulseNullSink::SinkName() +
            ".monitor buffer-time=20000 latency-time=2000 slave-method=re-timestamp ! "
            "audio/x-raw,format=S16LE,rate=44100,channels=1 ! appsink name=rec sync=false";
        pipeline_ = gst_parse_launch(description.c_str(), nullptr);
        if (pipeline_ == nullptr) {
            throw std::runtime_error("cannot record the monitor");
        }
        GstClock* clock = gst_system_clock_obtain();  // CLOCK_MONOTONIC, like MonotonicNs
        gst_pipeline_use_clock(GST_PIPELINE(pipeline_), clock);
        gst_object_unref(clock);
        sink_ = gst_bin_get_by_name(GST_BIN(pipeline_), "rec");
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);
        thread_ = std::thread([this] { Pull(); });
    }
    ~MonitorRecorder() {
        stop_ = true;
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        thread_.join();
        gst_object_unref(sink_);
        gst_object_unref(pipeline_);
    }

    // The last loud sample between the two times, or -1.
    std::int64_t LastLoudBefore(std::int64_t fromNs, std::int64_t toNs) {
        std::lock_guard lock(mutex_);
        std::int64_t last = -1;
        for (const Chunk& chunk : chunks_) {
            for (size_t i = 0; i < chunk.samples.size(); ++i) {
                std::int64_t at = chunk.startNs + static_cast<std::int64_t>(i) * kSecond / kRate;
                if (at >= fromNs && at <= toNs && std::abs(chunk.samples[i]) > kOnsetLevel) {
                    last = at;
                }
            }
        }
        return last;
    }

    // The first loud sample after `fromNs`, or -1.
    std::int64_t OnsetAfter(std::int64_t fromNs, std::int64_t toNs) {
        std::lock_guard lock(mutex_);
        for (const Chunk& chunk : chunks_) {
            std::int64_t chunkEnd =
                chunk.startNs + static_cast<std::int64_t>(chunk.samples.size()) * kSecond / kRate;
            if (chunkEnd < fromNs || chunk.startNs > toNs) {
                continue;
            }
            for (size_t i = 0; i < chunk.samples.size(); ++i) {
                std::int64_t at = chunk.startNs + static_cast<std::int64_t>(i) * kSecond / kRate;
                if (at >= fromNs && std::abs(chunk.samples[i]) > kOnsetLevel) {
                    return at;
                }
            }
        }
        return -1;
    }

private:
    struct Chunk {
        std::int64_t startNs;
        std::vector<std::int16_t> samples;
    };

    void Pull() {
        while (!stop_) {
            GstSample* sample =
                gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), 100 * GST_MSECOND);
            if (sample == nullptr) {
                continue;
            }
            GstBuffer* buffer = gst_sample_get_buffer(sample);
            GstMapInfo map;
            if (buffer != nullptr && GST_BUFFER_PTS_IS_VALID(buffer) &&
                gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                Chunk chunk;
                chunk.startNs = static_cast<std::int64_t>(gst_element_get_base_time(pipeline_) +
                                                          GST_BUFFER_PTS(buffer));
                const auto* data = reinterpret_cast<const std::int16_t*>(map.data);
                chunk.samples.assign(data, data + map.size / 2);
                gst_buffer_unmap(buffer, &map);
                std::lock_guard lock(mutex_);
                chunks_.push_back(std::move(chunk));
            }
            gst_sample_unref(sample);
        }
    }

    GstElement* pipeline_ = nullptr;
    GstElement* sink_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Chunk> chunks_;
};

struct Figures {
    double median = 0;
    double p99 = 0;
    double max = 0;
    int missed = 0;
};

// Keeps how late after its second the clock asked each start for sound.
class AskedLateness : public PlayHistory {
public:
    void Record(const HistoryEvent& event) override {
        if (event.kind == HistoryEvent::Kind::kStart && event.latenessMs) {
            lateMs.push_back(static_cast<double>(*event.latenessMs));
        }
    }
    void KeepNewestDays(int) override {}
    std::vector<double> lateMs;
};

// Wall time (CLOCK_REALTIME) of a monotonic moment, and back, as measured now.
std::int64_t RealtimeMinusMonotonicNs() {
    timespec real{}, mono{};
    clock_gettime(CLOCK_REALTIME, &real);
    clock_gettime(CLOCK_MONOTONIC, &mono);
    return (static_cast<std::int64_t>(real.tv_sec) - mono.tv_sec) * kSecond +
           (real.tv_nsec - mono.tv_nsec);
}

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
    test::FakeCalendarSource calendar;  // every day a working day
    calendar.calendar.restDays.fill(false);
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
        SleepUntil(MonotonicNs() +
                   static_cast<std::int64_t>(clock.MillisecondsUntilNextStep()) * 1000000);
        if (stepTimer.IsArmed()) {
            clock.Step();
        }
        if (dayTimer.IsArmed() && MonotonicNs() - lastDayCheck >= kSecond) {
            lastDayCheck = MonotonicNs();
            clock.DayCheck();
        }
    }
    clock.Shutdown();
    *askedLateMs = asked.lateMs;
    return dueAt;
}

Figures Summarise(std::vector<double> lateMs, int expected) {
    Figures figures;
    figures.missed = expected - static_cast<int>(lateMs.size());
    if (lateMs.empty()) {
        return figures;
    }
    std::sort(lateMs.begin(), lateMs.end());
    auto rank = [&](double q) {
        size_t index = static_cast<size_t>(q * static_cast<double>(lateMs.size()) + 0.999999);
        return lateMs[std::clamp<size_t>(index, 1, lateMs.size()) - 1];
    };
    size_t n = lateMs.size();
    figures.median = n % 2 == 1 ? lateMs[n / 2] : (lateMs[n / 2 - 1] + lateMs[n / 2]) / 2;
    figures.p99 = rank(0.99);
    figures.max = lateMs.back();
    return figures;
}

void BM_StartOfScheduledClick(benchmark::State& state) {
    int clicks = 30;
    if (const char* text = getenv("CHIMEON_BENCH_CLICKS")) {
        clicks = std::max(1, atoi(text));
    }
    test::TempDir temporary;
    const std::filesystem::path& dir = temporary.path();
    setenv("GST_REGISTRY", (dir / "registry.bin").c_str(), 1);
    std::string why;
    if (!test::PulseNullSink::Start(&why)) {
        state.SkipWithError(("no sound server of our own: " + why).c_str());
        return;
    }
    if (!EnsureGStreamer()) {
        state.SkipWithError("GStreamer does not start");
        return;
    }
    std::string click = (dir / "click.wav").string();
    if (!test::RunPipeline("audiotestsrc freq=1000 num-buffers=10 samplesperbuffer=441 ! "
                           "audio/x-raw,rate=44100,channels=2 ! wavenc ! filesink location=" +
                           click)) {
        state.SkipWithError("cannot make the click");
        return;
    }

    std::vector<double> playerLate;
    std::vector<double> baselineLate;
    std::vector<double> playerHeard;  // how much of each 100 ms click was heard
    std::vector<double> askedLate;    // when the clock asked the player for sound
    for (auto _ : state) {
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
        for (std::int64_t at : baselineAt) {
            std::int64_t onset = recorder.OnsetAfter(at - 100 * 1000000LL, at + 900 * 1000000LL);
            if (onset >= 0) {
                baselineLate.push_back(static_cast<double>(onset - at) / 1e6);
            }
        }
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
}
BENCHMARK(BM_StartOfScheduledClick)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace chimeon

BENCHMARK_MAIN();
