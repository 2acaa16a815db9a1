#include "platform/audio/alsa_pcm.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "core/audio/recorder_console.h"
#include "core/audio/wave_recording_file.h"
#include "support/pulse_null_sink.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::PulseNullSink;
using namespace std::chrono_literals;

constexpr int kWindow = 400;  // 50 ms at 8000 Hz

// Recording from the null sink's monitor through ALSA's "default", which plays into the sink.
class AlsaPcmTest : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!PulseNullSink::Start(&why)) {
            GTEST_SKIP() << "no PulseAudio null sink to record from: " << why;
        }
        snd_config_update_free_global();  // ALSA reads its configuration again with the server up
        PulseNullSink::Pactl("set-sink-volume " + PulseNullSink::SinkName() + " 100%");
        const std::string monitor = PulseNullSink::SinkName() + ".monitor";
        PulseNullSink::Pactl("set-default-source " + monitor);
        // An idle null sink renders in blocks of up to two seconds, and a new recording waits
        // for the block under way: a listener with a short latency keeps the blocks short (the
        // sink restarts, so that the block under way is short too).
        const std::string suspend = "suspend-sink " + PulseNullSink::SinkName();
        static const bool listening =
            PulseNullSink::Pactl("load-module module-null-sink sink_name=chimeon_test_drain") &&
            PulseNullSink::Pactl("load-module module-loopback latency_msec=30 source=" + monitor +
                                 " sink=chimeon_test_drain") &&
            PulseNullSink::Pactl(suspend + " 1") && PulseNullSink::Pactl(suspend + " 0");
        ASSERT_TRUE(listening);
    }

    // A sine tone at `hertz`, 8000 Hz 16-bit mono, saved as a WAV file.
    std::string Tone(const char* name, int hertz, int ms) {
        std::vector<std::int16_t> samples(static_cast<std::size_t>(8 * ms));
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * hertz * i / 8000.0));
        }
        CWave wave;
        wave.SetFormat(1, 8000, 16);
        wave.SetData(samples.data(), static_cast<std::uint32_t>(samples.size()));
        wave.Save((dir / name).string());
        return name;
    }

    // Per 50 ms of the sound: 'a' for the 500 Hz tone, 'b' for 2000 Hz, '.' for anything else.
    static std::string Windows(const CWave& wave) {
        const auto* samples = reinterpret_cast<const std::int16_t*>(wave.GetData());
        std::string shapes;
        for (std::uint32_t start = 0; start + kWindow <= wave.GetFrameCount(); start += kWindow) {
            int crossings = 0;
            for (int i = 1; i < kWindow; ++i) {
                crossings += (samples[start + i - 1] < 0) != (samples[start + i] < 0);
            }
            shapes += std::abs(crossings - 50) <= 5     ? 'a'
                      : std::abs(crossings - 200) <= 10 ? 'b'
                                                        : '.';
        }
        return shapes;
    }

    test::TempDir dir;
    AlsaPcmSystem devices;
    RecorderConsole console{devices, dir.path()};
};

// Tone a plays while the first stretch is recorded, tone b while the second is.
TEST_F(AlsaPcmTest, RecordsBothStretchesOfAPausedRecordingInOrderAndWhatPlaysReachesTheSink) {
    CWaveIn recorder(devices);
    CWave format;
    format.SetFormat(1, 8000, 16);
    recorder.SetFormat(format.GetFormat());
    auto recording = std::make_shared<WaveRecordingFile>(dir / "both.wav", format.GetFormat());
    recorder.SetChunkSink(recording);
    using Clock = std::chrono::steady_clock;

    ASSERT_EQ(console.Play(Tone("a.wav", 500, 3000)).status, "正在放音！");
    ASSERT_TRUE(recorder.Open() && recorder.Start(4096)) << recorder.ErrorText();
    Clock::time_point begin = Clock::now();
    std::this_thread::sleep_for(800ms);
    ASSERT_TRUE(recorder.Pause()) << recorder.ErrorText();
    Clock::duration recorded = Clock::now() - begin;
    ASSERT_EQ(console.StopPlaying().status, "音频文件已经停止播放！");
    ASSERT_EQ(console.Play(Tone("b.wav", 2000, 3000)).status, "正在放音！");
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(recorder.Continue()) << recorder.ErrorText();
    begin = Clock::now();
    std::this_thread::sleep_for(800ms);
    ASSERT_TRUE(recorder.Close());
    recorded += Clock::now() - begin;
    recording->Finish();

    const std::string bytes = dir.Read("both.wav");
    CWave both;
    both.Load((dir / "both.wav").string());
    EXPECT_EQ(both.GetFormat(), format.GetFormat());
    EXPECT_EQ(bytes.size(), kWaveHeaderSize + both.GetByteSize());
    // 16000 bytes a second; what the device still held at a stop may be more or less.
    EXPECT_NEAR(static_cast<double>(both.GetByteSize()),
                16000 * std::chrono::duration<double>(recorded).count(), 16000 * 0.5);
    const std::string shapes = Windows(both);
    const auto lastA = shapes.rfind('a');
    const auto firstB = shapes.find('b');
    ASSERT_NE(lastA, std::string::npos) << shapes;
    ASSERT_NE(firstB, std::string::npos) << shapes;
    EXPECT_LT(lastA, firstB) << shapes;
    EXPECT_GE(std::count(shapes.begin(), shapes.end(), 'a'), 6) << shapes;
    EXPECT_GE(std::count(shapes.begin(), shapes.end(), 'b'), 6) << shapes;

    // A sound that ran out is noticed, and 放音 plays it again.
    ASSERT_EQ(console.StopPlaying().status, "音频文件已经停止播放！");
    ASSERT_EQ(console.Play(Tone("c.wav", 1000, 100)).status, "正在放音！");
    for (int i = 0; i < 300 && console.player().IsPlaying(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(console.player().IsPlaying());
    EXPECT_EQ(console.Play("c.wav").status, "正在放音！");
}

}  // namespace
}  // namespace chimeon
