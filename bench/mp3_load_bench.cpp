// CMp3Info::Load on 60-minute MP3 files against a plain sequential read of the same files.
//
//   build/bench/mp3_load_bench --benchmark_repetitions=5
//
// Prints each figure and, at the end, the ratio Load ÷ plain read for each file.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/mp3/mp3_info.h"
#include "support/mp3_frames.h"
#include "support/temp_dir.h"

namespace {

constexpr int kFrames = 137813;  // 60 minutes of 1152-sample frames at 44100 Hz

// MPEG 1 Layer III, 44100 Hz, no CRC, with a zero payload of the length the header implies.
void AppendFrame(std::string& out, int bitrateIndex, int bitrate, bool padding) {
    chimeon::test::FrameFields fields;
    fields.bitrateIndex = bitrateIndex;
    fields.padding = padding ? 1 : 0;
    out += chimeon::test::Frame(fields, bitrate * 144000 / 44100 + fields.padding);
}

std::string CbrFile() {
    std::string out;
    // Padding spreads the 0.959 byte left over per frame, as encoders do.
    long long carried = 0;
    for (int i = 0; i < kFrames; ++i) {
        carried += 18432000 % 44100;
        bool padding = carried >= 44100;
        if (padding) {
            carried -= 44100;
        }
        AppendFrame(out, 9, 128, padding);
    }
    return out;
}

std::string VbrFile() {
    static const int kBitrates[] = {0,   32,  40,  48,  56,  64,  80, 96,
                                    112, 128, 160, 192, 224, 256, 320};
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> index(1, 14);
    std::string out;
    for (int i = 0; i < kFrames; ++i) {
        int chosen = index(random);
        AppendFrame(out, chosen, kBitrates[chosen], false);
    }
    return out;
}

struct Files {
    chimeon::test::TempDir folder;
    std::map<std::string, std::string> paths;

    Files() {
        Write("cbr", CbrFile());
        Write("vbr", VbrFile());
    }
    void Write(const std::string& name, const std::string& bytes) {
        folder.Write(name + ".mp3", bytes);
        paths[name] = (folder / (name + ".mp3")).string();
    }
};

Files* files = nullptr;

void PlainRead(benchmark::State& state, const std::string& name) {
    const std::string& path = files->paths.at(name);
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY);
        std::size_t total = 0;
        for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;) {
            total += static_cast<std::size_t>(got);
        }
        ::close(fd);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void Load(benchmark::State& state, const std::string& name) {
    const std::string& path = files->paths.at(name);
    for (auto _ : state) {
        chimeon::CMp3Info info;
        info.Load(path);
        if (info.GetPlayTime() < 3590) {
            state.SkipWithError("wrong play time");
        }
        benchmark::DoNotOptimize(info.GetFrameCount());
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

// Collects each benchmark's time (the median when repetitions are asked for) so that the ratios
// can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Iteration && !medians_.count(name)) {
                times_[name] = run.GetAdjustedRealTime();
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times_[name] = run.GetAdjustedRealTime();
                medians_.insert(name);
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const char* name : {"cbr", "vbr"}) {
            double load = times_[std::string("Load/") + name];
            double plain = times_[std::string("PlainRead/") + name];
            if (plain > 0) {
                std::printf("Load / plain read, 60-minute %s file: %.2f (%.2f ms vs %.2f ms)\n",
                            name, load / plain, load, plain);
            }
        }
    }

private:
    std::map<std::string, double> times_;
    std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char** argv) {
    Files created;
    files = &created;
    for (const char* name : {"cbr", "vbr"}) {
        benchmark::RegisterBenchmark((std::string("PlainRead/") + name).c_str(), PlainRead,
                                     std::string(name))
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Load/") + name).c_str(), Load, std::string(name))
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
