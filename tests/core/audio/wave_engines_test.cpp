#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <numeric>
#include <thread>

#include "core/audio/file_error.h"
#include "core/audio/recorder_console.h"
#include "core/audio/wave_in.h"
#include "core/audio/wave_out.h"
#include "core/audio/wave_recording_file.h"
#include "support/fake_pcm.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::FakePcmSystem;
using namespace std::chrono_literals;

const WaveFormat kMono16 = [] {
    CWave wave;
    wave.SetFormat(1, 8000, 16);
    return wave.GetFormat();
}();

// Chunks as they arrive (read only after the engine answered a command).
struct ChunkList : WaveChunkSink {
    int Append(const CWaveBuffer& chunk) override {
        sizes.push_back(chunk.GetCount());
        bytes.insert(bytes.end(), chunk.GetData(), chunk.GetData() + chunk.GetByteSize());
        return 0;
    }
    std::vector<std::uint32_t> sizes;
    std::vector<std::uint8_t> bytes;
};

// The fake's first `frames` samples, 0, 1, 2 ...: every frame once, in order.
std::vector<std::uint8_t> Counting(unsigned frames) {
    std::vector<std::uint8_t> bytes;
    for (unsigned i = 0; i < frames; ++i) {
        bytes.insert(bytes.end(),
                     {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8)});
    }
    return bytes;
}

template <typename Condition>
bool Eventually(Condition condition) {
    for (int i = 0; i < 500 && !condition(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    return static_cast<bool>(condition());
}

class WaveInTest : public testing::Test {
protected:
    void SetUp() override {
        recorder.SetFormat(kMono16);
        recorder.SetChunkSink(chunks);
        ASSERT_TRUE(recorder.Open() && recorder.Start(4096)) << recorder.ErrorText();
    }

    FakePcmSystem devices;
    CWaveIn recorder{devices};
    std::shared_ptr<ChunkList> chunks = std::make_shared<ChunkList>();
};

TEST_F(WaveInTest, PauseAndCloseHandOnThePartlyFilledBuffersInOrder) {
    ASSERT_TRUE(devices.Supply(5000));
    ASSERT_TRUE(recorder.Pause());
    EXPECT_EQ(chunks->sizes, (std::vector<std::uint32_t>{2048, 2048, 904}));
    ASSERT_TRUE(recorder.Continue() && devices.Supply(3000) && recorder.Close());
    EXPECT_EQ(chunks->sizes, (std::vector<std::uint32_t>{2048, 2048, 904, 2048, 952}));
    EXPECT_EQ(chunks->bytes, Counting(8000));
    EXPECT_EQ(devices.Log().at(1), "configure 2048x2");  // two device buffers of 4096 bytes
}

TEST_F(WaveInTest, AnOverrunIsRecoveredAndAFailedDeviceKeepsWhatWasRecorded) {
    ASSERT_TRUE(devices.Supply(3000));
    devices.FailNextTransfer(-EPIPE);  // overrun: recovered, nothing recorded is lost
    ASSERT_TRUE(devices.Supply(3000));
    devices.FailNextTransfer(-ENODEV, -ENODEV);  // unplugged: the recording stops
    std::optional<int> failure;
    ASSERT_TRUE(Eventually([&] { return (failure = failure ? failure : recorder.TakeFailure()); }));
    EXPECT_EQ(failure, -ENODEV);
    EXPECT_TRUE(recorder.Close());  // what was recorded can still be saved
    EXPECT_EQ(chunks->bytes, Counting(6000));
    const auto log = devices.Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "recover -32"), 1);
}

TEST_F(WaveInTest, ADeviceThatStopsAnsweringNeverHoldsTheCallerLong) {
    recorder.SetAnswerDeadline(50ms);
    devices.Hang();
    EXPECT_FALSE(recorder.Close());
    EXPECT_EQ(recorder.ErrorText(), "error -110");
    EXPECT_FALSE(recorder.IsOpen());  // given up on: the engine is closed, and opens anew
    devices.Release();
    EXPECT_TRUE(recorder.Close() && recorder.Pause() && recorder.Continue() && recorder.Reset());
    EXPECT_FALSE(recorder.Start(4096));
    devices.openError = -EBUSY;
    EXPECT_FALSE(recorder.Open());
    EXPECT_EQ(recorder.ErrorText(), "error -16");
}

TEST(WaveOutTest, PlaysEverythingInChunksAndPauseReplaysWhatWasNotHeard) {
    FakePcmSystem devices;
    CWaveOut player(devices);
    std::vector<std::uint8_t> sound(10001);
    std::iota(sound.begin(), sound.end(), 0);
    CWave wave;
    wave.SetFormat(1, 8000, 16);
    wave.SetData(sound.data(), 5000);
    player.SetWave(wave);
    devices.SetUnheard(1000);
    ASSERT_TRUE(player.Open() && player.Play()) << player.ErrorText();
    EXPECT_EQ(devices.Log().at(1), "configure 2048x3");
    ASSERT_TRUE(Eventually([&] { return devices.Played().size() == 10000; }));
    ASSERT_TRUE(player.Pause() && player.IsPlaying() && player.Continue());
    devices.SetUnheard(0);
    ASSERT_TRUE(Eventually([&] { return !player.IsPlaying(); }));
    std::vector<std::uint8_t> expected(sound.begin(), sound.end() - 1);
    expected.insert(expected.end(), sound.end() - 2001, sound.end() - 1);  // the unheard tail
    EXPECT_EQ(devices.Played(), expected);

    player.SetWave(CWave());  // nothing to play: done at once
    ASSERT_TRUE(player.Play());
    EXPECT_TRUE(Eventually([&] { return !player.IsPlaying(); }));
}

TEST(WaveRecordingFileTest, IsAWholeWaveAfterEveryChunkAndReplacesTheTargetOnlyAtFinish) {
    test::TempDir dir;
    dir.Write("take.wav", "old");
    CWaveBuffer chunk;
    const std::uint8_t samples[6] = {1, 0, 2, 0, 3, 0};
    chunk.CopyIn(samples, 3, 2);
    {
        WaveRecordingFile dropped(dir / "take.wav", kMono16);
        ASSERT_EQ(dropped.Append(chunk), 0);
    }
    WaveRecordingFile recording(dir / "take.wav", kMono16);
    for (unsigned i = 1; i <= 2; ++i) {
        ASSERT_EQ(recording.Append(chunk), 0);
        CWave sofar;  // what a crash now would leave
        sofar.Load(recording.TemporaryPath().string());
        EXPECT_EQ(sofar.GetFrameCount(), 3 * i);
        EXPECT_EQ(dir.Read("take.wav"), "old");
    }
    recording.Finish();
    CWave saved;
    saved.Load((dir / "take.wav").string());
    EXPECT_EQ(saved.GetFormat(), kMono16);
    EXPECT_EQ(saved.GetFrameCount(), 6u);
    EXPECT_EQ(dir.Entries(), 1u);
    EXPECT_THROW(WaveRecordingFile(dir.path(), kMono16), FileError);
}

TEST(RecorderConsoleTest, TypedNamesLandInTheRecordingsFolderWithAnExtension) {
    FakePcmSystem devices;
    RecorderConsole console(devices, "/home/op/Music");
    EXPECT_EQ(console.ResolveName("notice"), "/home/op/Music/notice.wav");
    EXPECT_EQ(console.ResolveName("Day1.dat"), "/home/op/Music/Day1.dat");  // never a table
    EXPECT_EQ(console.ResolveName("/srv/bells/ring"), "/srv/bells/ring.wav");
}

}  // namespace
}  // namespace chimeon
