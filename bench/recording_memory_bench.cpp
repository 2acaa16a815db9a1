// The program's resident memory before and after an hour of recording. The recorder reads
// ALSA's "null" capture device, which delivers silence as fast as it is read, so 60 minutes of
// sound (8000 Hz, 16-bit mono: 57.6 MB) pass in seconds. The baseline is what keeping the
// recording in memory until "停止" would hold.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/audio/wave_in.h"
#include "core/audio/wave_recording_file.h"
#include "platform/audio/alsa_pcm.h"

namespace {

constexpr std::uint64_t kHourBytes = 60ull * 60 * 16000;

double ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024;
        }
    }
    return 0;
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    const fs::path folder =
        (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
        "chimeon-recording-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);

    chimeon::AlsaPcmSystem devices("null");
    chimeon::CWaveIn recorder(devices);
    chimeon::CWave format;
    format.SetFormat(1, 8000, 16);
    recorder.SetFormat(format.GetFormat());
    auto recording =
        std::make_shared<chimeon::WaveRecordingFile>(folder / "hour.wav", format.GetFormat());
    recorder.SetChunkSink(recording);
    if (!recorder.Open() || !recorder.Start(4096)) {
        std::fprintf(stderr, "cannot record from ALSA's null device: %s\n",
                     recorder.ErrorText().c_str());
        return 1;
    }
    const double before = ResidentMegabytes();
    const auto begin = std::chrono::steady_clock::now();
    std::error_code error;
    while (fs::file_size(recording->TemporaryPath(), error) < kHourBytes) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double during = ResidentMegabytes();
    const bool closed = recorder.Close();
    recording->Finish();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    const double after = ResidentMegabytes();
    const auto bytes = fs::file_size(folder / "hour.wav") - chimeon::kWaveHeaderSize;

    std::printf("recorded %.1f minutes (%.1f MB) in %.1f s%s\n", bytes / 16000.0 / 60, bytes / 1e6,
                seconds, closed ? "" : " (close failed)");
    std::printf("resident memory: %.1f MB before, %.1f MB at 60 minutes, %.1f MB after stop\n",
                before, during, after);
    std::printf("growth %.2f MB; keeping the recording in memory would add %.1f MB\n",
                after - before, bytes / 1048576.0);
    fs::remove_all(folder);
    return 0;
}
