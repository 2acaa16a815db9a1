// Measuring today's list: 1000 rows, half WAV and half MP3 files of about 3 MB each, warm.
//
//   build/bench/duration_probe_bench
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "core/engine/duration_pass.h"
#include "core/engine/duration_probe.h"
#include "support/mp3_frames.h"
#include "support/temp_dir.h"
#include "support/wave_bytes.h"

namespace {

constexpr int kRows = 1000;
constexpr std::uint32_t kWaveBytes = 3 * 1024 * 1024;
constexpr int kMp3Frames = 7200;  // 128 kbit/s: about 3 MB, 3 minutes

std::string Mp3Bytes() {
    std::string out;
    for (int i = 0; i < kMp3Frames; ++i) {
        out += chimeon::test::Frame({}, 417);
    }
    return out;
}

struct Rows {
    chimeon::test::TempDir folder;
    std::vector<chimeon::DurationRequest> requests;

    Rows() {
        // The probe reads a WAV file's first 40 bytes and its length, so the samples behind the
        // header are left unwritten (a sparse file of the full length).
        const std::string wave = chimeon::test::WaveHeader(2, 44100, 16, kWaveBytes);
        const std::string mp3 = Mp3Bytes();
        for (int row = 0; row < kRows; ++row) {
            bool isWave = row % 2 == 0;
            std::string name = "row" + std::to_string(row) + (isWave ? ".wav" : ".mp3");
            folder.Write(name, isWave ? wave : mp3);
            if (isWave) {
                std::filesystem::resize_file(folder / name, 44 + kWaveBytes);
            }
            requests.push_back({row, (folder / name).string()});
        }
    }
};

Rows* rows = nullptr;

void ProbeEveryRow(benchmark::State& state) {
    for (auto _ : state) {
        int measured = 0;
        for (const auto& request : rows->requests) {
            measured += chimeon::ProbeDuration(request.path).has_value() ? 1 : 0;
        }
        if (measured != kRows) {
            state.SkipWithError("a row was not measured");
        }
    }
    state.counters["rows"] = kRows;
}

void PassOverEveryRow(benchmark::State& state) {
    for (auto _ : state) {
        std::atomic<int> measured{0};
        chimeon::DurationPass pass(1, rows->requests, [&](chimeon::DurationResult) { ++measured; });
        pass.Wait();
        if (measured != kRows) {
            state.SkipWithError("a row was not measured");
        }
    }
    state.counters["rows"] = kRows;
}

}  // namespace

int main(int argc, char** argv) {
    Rows created;
    rows = &created;
    benchmark::RegisterBenchmark("ProbeDuration/1000rows", ProbeEveryRow)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("DurationPass/1000rows", PassOverEveryRow)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
