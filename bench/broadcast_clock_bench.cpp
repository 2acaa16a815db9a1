// Cost of one broadcast step over a large idle list, and resident memory over a simulated year.
//
//   build/bench/broadcast_clock_bench
//
// IdleStepOver10000Rows: one Step while nothing plays, each at a new second (the start lookup
// and the look-ahead for the next start both run). YearOfDays: 365 days of a 200-row week of
// tables stepped every second (files, folders, chains, end times, a file that cannot be opened),
// reporting the resident set size after day 1 and after day 365.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/engine/broadcast_clock.h"
#include "core/engine/clock_text.h"
#include "core/engine/folder_listing.h"
#include "core/schedule/schedule_file.h"
#include "support/fake_engine_ports.h"
#include "support/fake_local_clock.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;

// Every file plays 20 s; a path with "bad" in it cannot be opened.
// (The tests' fake player keeps a log of every command; over a simulated year that log would be
// the memory measured.)
class BenchPlayer : public MediaPlayer {
public:
    explicit BenchPlayer(const LocalClock& clock) : clock_(clock) {}
    void SetParentWindow(VideoOutput*) override {}
    void SetFile(std::string_view path) override { file_ = std::string(path); }
    bool Open() override {
        open_ = file_.find("bad") == std::string::npos;
        return open_;
    }
    void Close() override { open_ = false; }
    void Play() override { startedMs_ = Now(); }
    void Stop() override {}
    void Seek(std::int64_t) override { startedMs_ = Now(); }
    std::int64_t GetPosition() override {
        return open_ ? std::min<std::int64_t>(kLengthMs, Now() - startedMs_) : 0;
    }
    std::int64_t GetLength() override { return open_ ? kLengthMs : 0; }
    void SetVolume(int) override {}
    int GetVolume() const override { return kNormalPlayerVolume; }
    void ShowMaximized() override {}

private:
    static constexpr std::int64_t kLengthMs = 20'000;
    std::int64_t Now() const { return clock_.Read().epochMs; }

    const LocalClock& clock_;
    std::string file_;
    bool open_ = false;
    std::int64_t startedMs_ = 0;
};

// Counts the rows that began playing.
class StartCounter : public TodayListObserver {
public:
    explicit StartCounter(const TodayList& list) : list_(list) {}
    void OnRowsReplaced(std::uint64_t) override {}
    // Only the clock changes rows here, and only their state.
    void OnRowChanged(int row) override { starts += list_.IsPlaying(row) ? 1 : 0; }
    std::int64_t starts = 0;

private:
    const TodayList& list_;
};

std::int64_t ResidentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE) / 1024;
}

// Monday 7 December 2026, 0:00.
constexpr std::int64_t kStartMs = 1'796'601'600'000;

struct Bench {
    explicit Bench(const ScheduleTable& table)
        : player(clock),
          broadcast(BroadcastClockParts{clock, player, lister, calendar, stepTimer, dayTimer, list,
                                        folder.path()}) {
        calendar.calendar.restDays.fill(false);
        clock.SetMs(ms);
        SaveWeek(table);
    }
    void SaveWeek(const ScheduleTable& table) {
        for (int weekday = 0; weekday < 7; ++weekday) {
            if (!SaveScheduleFile(folder / ("Day" + std::to_string(weekday) + ".dat"), table)) {
                std::abort();
            }
        }
    }
    void Advance(std::int64_t by) { clock.SetMs(ms += by); }

    std::int64_t ms = kStartMs;
    test::TempDir folder;
    test::FakeLocalClock clock;
    BenchPlayer player;
    FileSystemDirectoryLister lister;
    test::FakeCalendarSource calendar;
    test::FakeClockTimer stepTimer, dayTimer;
    TodayList list;
    BroadcastClock broadcast;
};

void IdleStepOver10000Rows(benchmark::State& state) {
    // Ten thousand rows, all due before noon; the steps run in the afternoon.
    ScheduleTable table;
    std::mt19937 random(7);
    for (int i = 0; i < 10'000; ++i) {
        table.push_back(ProgramItem{"row", TimeText(static_cast<int>(random() % 43'200)),
                                    "播完终止", "100", "顺序", "/srv/bells/ring.mp3"});
    }
    Bench bench(table);
    bench.Advance(12 * 3'600'000);
    bench.broadcast.Start();
    bench.broadcast.Step();
    for (auto _ : state) {
        bench.Advance(1000);
        bench.broadcast.Step();
    }
    if (bench.broadcast.IsPlaying() || bench.list.RowCount() != 10'000) {
        state.SkipWithError("the list was not idle");
    }
}
BENCHMARK(IdleStepOver10000Rows)->Iterations(40'000)->Unit(benchmark::kMicrosecond);

void YearOfDays(benchmark::State& state) {
    Bench bench({});
    fs::create_directory(bench.folder / "music");
    for (const char* name : {"a.mp3", "b.mp3", "c.wav", "bad.mp3", "d.mid"}) {
        bench.folder.Write(std::string("music/") + name, "x");
    }
    std::string folder = (bench.folder / "music").string() + "/";
    ScheduleTable table;
    std::mt19937 random(11);
    for (int i = 0; i < 200; ++i) {
        bool chained = i % 2 == 1;
        int start = static_cast<int>(random() % 86'000);
        std::string path = i % 3 == 0 ? folder : i % 7 == 0 ? "/srv/bad.mp3" : "/srv/ring.mp3";
        table.push_back(ProgramItem{"row", chained ? "续播" : TimeText(start),
                                    i % 4 == 0 ? TimeText(start + 60) : "播完终止", "80",
                                    i % 6 == 0 ? "随机" : "顺序", path});
    }
    bench.SaveWeek(table);

    StartCounter counter(bench.list);
    bench.list.AddObserver(&counter);
    std::int64_t dayOne = 0, dayLast = 0;
    for (auto _ : state) {
        bench.broadcast.Start();
        for (int day = 1; day <= 365; ++day) {
            for (int second = 0; second < 86'400; ++second) {
                bench.Advance(1000);
                bench.broadcast.Step();
            }
            bench.broadcast.DayCheck();
            if (day == 1) {
                dayOne = ResidentKilobytes();
            }
        }
        dayLast = ResidentKilobytes();
    }
    state.counters["rss_day1_kB"] = static_cast<double>(dayOne);
    state.counters["rss_day365_kB"] = static_cast<double>(dayLast);
    state.counters["rows_started"] = static_cast<double>(counter.starts);
}
BENCHMARK(YearOfDays)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace chimeon

BENCHMARK_MAIN();
