// Measuring today's list: 1000 rows, half WAV and half MP3 files of about 3 MB each, warm.
//
//   build/bench/duration_probe_bench
#include <stdlib.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/engine/duration_pass.h"
#include "core/engine/duration_probe.h"

namespace {

constexpr int kRows = 1000;
constexpr std::size_t kWaveBytes = 3 * 1024 * 1024;
constexpr int kMp3Frames = 7200;  // 128 kbit/s: about 3 MB, 3 minutes

std::string Le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

// The probe reads a WAV file's first 40 bytes and its length, so the samples behind the header
// are left unwritten (a sparse file of the full length).
std::string WaveHeader() {
    return "RIFF" + Le32(kWaveBytes + 36) + "WAVEfmt " + Le32(16) +
           std::string("\x01\x00\x02\x00\x44\xac\x00\x00", 8) + Le32(176400) +
           std::string("\x04\x00\x10\x00", 4) + "data" + Le32(kWaveBytes);
}

std::string Mp3Bytes() {
    std::string out;
    for (int i = 0; i < kMp3Frames; ++i) {
        out += "\xFF\xFB\x90\x44";
        out.append(413, '\x01');
    }
    return out;
}

struct Rows {
    std::filesystem::path folder;
    std::vector<chimeon::DurationRequest> requests;

    Rows() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "chimeon-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        folder = pattern;
        const std::string wave = WaveHeader();
        const std::string mp3 = Mp3Bytes();
        for (int row = 0; row < kRows; ++row) {
            bool isWave = row % 2 == 0;
            std::string path =
                (folder / ("row" + std::to_string(row) + (isWave ? ".wav" : ".mp3"))).string();
            const std::string& bytes = isWave ? wave : mp3;
            std::ofstream(path, std::ios::binary)
                .write(bytes.data(), static_cast<long>(bytes.size()));
            if (isWave) {
                std::filesystem::resize_file(path, 44 + kWaveBytes);
            }
            requests.push_back({row, path});
        }
    }
    ~Rows() { std::filesystem::remove_all(folder); }
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
