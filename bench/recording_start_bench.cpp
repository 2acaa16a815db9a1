// How long after "录音" the first sample is captured, through ALSA's "default" on a PulseAudio
// null sink of the bench's own (its monitor is the input): the time the recorder page waits
// before it says "录音开始！". Sound before that moment is not in the file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <alsa/asoundlib.h>

#include "core/audio/recorder_console.h"
#include "platform/audio/alsa_pcm.h"
#include "support/pulse_null_sink.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using chimeon::test::PulseNullSink;

// Records `runs` times; the median delay from 录音 to the first captured sample, in ms (a
// negative figure when recording could not start).
double Measure(const char* setting, int runs, chimeon::PcmSystem& devices) {
    chimeon::test::TempDir folder;
    std::vector<double> captured;
    for (int run = 0; run < runs; ++run) {
        chimeon::RecorderConsole console(devices, folder.path());
        const auto pressed = Clock::now();
        const auto answer = console.Record("take" + std::to_string(run), nullptr);
        const auto returned = Clock::now();
        if (console.RecordState() != chimeon::RecorderConsole::kActive) {
            std::fprintf(stderr, "recording did not start: %s\n",
                         answer.status.value_or("").c_str());
            return -1;
        }
        while (!console.TakeRecordStart() && Clock::now() - pressed < std::chrono::seconds(10)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const auto first = Clock::now();
        (void)console.StopRecording();
        captured.push_back(std::chrono::duration<double, std::milli>(first - pressed).count());
        std::printf("%s, run %d: device started after %.1f ms, first sample after %.1f ms\n",
                    setting, run + 1,
                    std::chrono::duration<double, std::milli>(returned - pressed).count(),
                    captured.back());
    }
    std::sort(captured.begin(), captured.end());
    return captured[captured.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(1, std::stoi(argv[1])) : 5;
    std::string why;
    if (!PulseNullSink::Start(&why)) {
        std::fprintf(stderr, "no sound server: %s\n", why.c_str());
        return 1;
    }
    snd_config_update_free_global();  // ALSA reads its configuration again with the server up
    const std::string monitor = PulseNullSink::SinkName() + ".monitor";
    PulseNullSink::Pactl("set-default-source " + monitor);
    chimeon::AlsaPcmSystem devices("default");
    const double idle = Measure("idle sink", runs, devices);
    // A listener with a short latency keeps the sink rendering in short blocks, as a sink that
    // plays does (an idle null sink renders up to two seconds at a time).
    PulseNullSink::Pactl("load-module module-null-sink sink_name=chimeon_bench_drain");
    PulseNullSink::Pactl("load-module module-loopback latency_msec=30 source=" + monitor +
                         " sink=chimeon_bench_drain");
    const double busy = Measure("busy sink", runs, devices);
    std::printf(
        "median delay from 录音 to the first captured sample: %.1f ms (idle sink), "
        "%.1f ms (busy sink)\n",
        idle, busy);
    return idle < 0 || busy < 0 ? 1 : 0;
}
