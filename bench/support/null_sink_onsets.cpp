#include "support/null_sink_onsets.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/engine/gst_media_player.h"
#include "support/gst/gst_pipeline_run.h"
#include "support/pulse_null_sink.h"

extern char** environ;

namespace chimeon::bench {
namespace {

constexpr int kRate = 44100;
constexpr int kOnsetLevel = 3000;  // of 32767: well above silence, well below the click

}  // namespace

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

std::int64_t RealtimeMinusMonotonicNs() {
    timespec real{}, mono{};
    clock_gettime(CLOCK_REALTIME, &real);
    clock_gettime(CLOCK_MONOTONIC, &mono);
    return (static_cast<std::int64_t>(real.tv_sec) - mono.tv_sec) * kSecond +
           (real.tv_nsec - mono.tv_nsec);
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

double CpuMs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index) {
        ticks += index >= 14 ? std::stol(field) : 0;
    }
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int ClicksToPlay(int byDefault) {
    const char* text = getenv("CHIMEON_BENCH_CLICKS");
    return text != nullptr ? std::max(1, atoi(text)) : byDefault;
}

std::filesystem::path PrepareFolder(std::string* error) {
    char pattern[] = "/tmp/chimeon-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        *error = "no temporary folder";
        return {};
    }
    std::filesystem::path dir = pattern;
    setenv("GST_REGISTRY", (dir / "registry.bin").c_str(), 1);
    if (!EnsureGStreamer()) {
        *error = "GStreamer does not start";
        return {};
    }
    if (!test::RunPipeline("audiotestsrc freq=1000 num-buffers=10 samplesperbuffer=441 ! "
                           "audio/x-raw,rate=44100,channels=2 ! wavenc ! filesink location=" +
                           ClickFile(dir).string())) {
        *error = "cannot make the click";
        return {};
    }
    return dir;
}

std::filesystem::path ClickFile(const std::filesystem::path& folder) {
    return folder / "click.wav";
}

SoundServer::SoundServer() {
    std::string why;
    if (!test::PulseNullSink::Start(&why)) {
        throw std::runtime_error("no sound server of our own: " + why);
    }
}

MonitorRecorder::MonitorRecorder(const std::string& sink) {
    const std::string description =
        "pulsesrc device=" + (sink.empty() ? test::PulseNullSink::SinkName() : sink) +
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

MonitorRecorder::~MonitorRecorder() {
    stop_ = true;
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    thread_.join();
    gst_object_unref(sink_);
    gst_object_unref(pipeline_);
}

std::int64_t MonitorRecorder::LastLoudBefore(std::int64_t fromNs, std::int64_t toNs) {
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

std::int64_t MonitorRecorder::OnsetAfter(std::int64_t fromNs, std::int64_t toNs) {
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

std::int64_t MonitorRecorder::SteadyOnsetAfter(std::int64_t fromNs, std::int64_t toNs) {
    std::lock_guard lock(mutex_);
    std::vector<std::int64_t> offsets;
    for (const Chunk& chunk : chunks_) {
        if (chunk.startNs > fromNs - kSecond && chunk.startNs < toNs + kSecond) {
            offsets.push_back(chunk.startNs - chunk.firstSample * kSecond / kRate);
        }
    }
    if (offsets.empty()) {
        return -1;
    }
    std::nth_element(offsets.begin(), offsets.begin() + static_cast<long>(offsets.size() / 2),
                     offsets.end());
    const std::int64_t offset = offsets[offsets.size() / 2];
    for (const Chunk& chunk : chunks_) {
        for (size_t i = 0; i < chunk.samples.size(); ++i) {
            const std::int64_t at =
                offset + (chunk.firstSample + static_cast<std::int64_t>(i)) * kSecond / kRate;
            if (at > toNs) {
                return -1;
            }
            if (at >= fromNs && std::abs(chunk.samples[i]) > kOnsetLevel) {
                return at;
            }
        }
    }
    return -1;
}

std::vector<double> MonitorRecorder::LatenessMs(const std::vector<std::int64_t>& dueNs,
                                                std::int64_t withinMs) {
    std::vector<double> late;
    for (std::int64_t at : dueNs) {
        std::int64_t onset = OnsetAfter(at - 100 * kMillisecond, at + withinMs * kMillisecond);
        if (onset >= 0) {
            late.push_back(static_cast<double>(onset - at) / 1e6);
        }
    }
    return late;
}

void MonitorRecorder::Pull() {
    while (!stop_) {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), 100 * GST_MSECOND);
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
            chunk.firstSample = recorded_;
            recorded_ += static_cast<std::int64_t>(chunk.samples.size());
            chunks_.push_back(std::move(chunk));
        }
        gst_sample_unref(sample);
    }
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

}  // namespace chimeon::bench
