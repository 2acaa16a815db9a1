#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/history/play_history.h"
#include "core/schedule/holiday_calendar.h"

typedef struct _GstElement GstElement;

// What the start benches share: a private sound server with a null sink, a recording of its
// monitor timestamped on the monotonic clock, and the onsets of clicks found in it.
namespace chimeon::bench {

inline constexpr std::int64_t kSecond = 1'000'000'000;  // in nanoseconds
inline constexpr std::int64_t kMillisecond = 1'000'000;

std::int64_t MonotonicNs();
void SleepUntil(std::int64_t monotonicNs);
// Wall time (CLOCK_REALTIME) minus monotonic time, as measured now.
std::int64_t RealtimeMinusMonotonicNs();
// Starts a program (searched on PATH); -1 when it cannot be started.
pid_t Spawn(const std::vector<std::string>& arguments);

// CPU time (user + system) of a running process in milliseconds, from /proc.
double CpuMs(pid_t pid);

// How many clicks to play: CHIMEON_BENCH_CLICKS, else `byDefault`.
int ClicksToPlay(int byDefault);

// A fresh temporary folder with GStreamer started (its plugin cache inside) and a click of
// 100 ms made there as "click.wav"; empty (with the reason) when that fails.
std::filesystem::path PrepareFolder(std::string* error);
std::filesystem::path ClickFile(const std::filesystem::path& folder);

// The tests' own PulseAudio server with its null sink (started once, ended at exit): the
// process's environment points every sound client at it. Throws when it cannot run.
class SoundServer {
public:
    SoundServer();
};

// Records the null sink's monitor with the capture time of every buffer on the monotonic clock.
class MonitorRecorder {
public:
    // `sink`: another null sink's name than the sound server's own.
    explicit MonitorRecorder(const std::string& sink = "");
    ~MonitorRecorder();

    // The first loud sample between the two times, or -1.
    std::int64_t OnsetAfter(std::int64_t fromNs, std::int64_t toNs);
    // The same, each sample timed by its place in the recording rather than by its buffer's
    // time: a buffer's time jitters with the moment the recorder's thread woke, the samples'
    // count does not. The count is placed by the median of the buffers' offsets within a second
    // of the span.
    std::int64_t SteadyOnsetAfter(std::int64_t fromNs, std::int64_t toNs);
    // The last loud sample between the two times, or -1.
    std::int64_t LastLoudBefore(std::int64_t fromNs, std::int64_t toNs);
    // How late after each due moment a click was heard, within `withinMs` (ms); clicks not heard
    // are left out.
    std::vector<double> LatenessMs(const std::vector<std::int64_t>& dueNs, std::int64_t withinMs);

private:
    struct Chunk {
        std::int64_t startNs;
        std::int64_t firstSample;  // its first sample's place in the recording
        std::vector<std::int16_t> samples;
    };
    void Pull();

    GstElement* pipeline_ = nullptr;
    GstElement* sink_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Chunk> chunks_;
    std::int64_t recorded_ = 0;  // samples so far
};

struct Figures {
    double median = 0;
    double p99 = 0;
    double max = 0;
    int missed = 0;
};
// Median, 99th percentile (nearest rank) and maximum of what was heard of `expected` clicks.
Figures Summarise(std::vector<double> lateMs, int expected);

// A calendar on which every day is a working day, whatever today is.
inline HolidayCalendar WorkingEveryDay() {
    HolidayCalendar calendar;
    calendar.restDays.fill(false);
    return calendar;
}

// Keeps how late after its second the clock asked each start for sound.
class AskedLateness : public PlayHistory {
public:
    void Record(const HistoryEvent& event) override {
        if (event.kind == HistoryEvent::Kind::kStart && event.latenessMs) {
            const std::lock_guard lock(mutex_);
            lateMs_.push_back(static_cast<double>(*event.latenessMs));
        }
    }
    void KeepNewestDays(int) override {}
    std::vector<double> LateMs() {
        const std::lock_guard lock(mutex_);
        return lateMs_;
    }

private:
    std::mutex mutex_;
    std::vector<double> lateMs_;
};

}  // namespace chimeon::bench
