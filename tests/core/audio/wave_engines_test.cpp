#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <numeric>
#include <thread>

#include "core/audio/file_error.h"
#include "core/audio/recorder_console.h"
#include "core/audio/sound_error_text.h"
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
        WaveRecordingFile empty(dir / "take.wav", kMono16);  // nothing recorded: nothing left
    }
    {
        // Not finished (its rename failed at the exit, say): the sound stays for the rescue.
        WaveRecordingFile dropped(dir / "take.wav", kMono16);
        ASSERT_EQ(dropped.Append(chunk), 0);
    }
    ASSERT_EQ(dir.Entries(), 2u);
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
    EXPECT_EQ(dir.Entries(), 2u);
    EXPECT_THROW(WaveRecordingFile(dir.path(), kMono16), FileError);
}

TEST(WaveRecordingFileTest, WhatACrashLeftBecomesAPlayableWaveBesideItNeverOverAFile) {
    test::TempDir dir;
    const auto header = [](std::uint32_t dataSize) {
        const auto bytes = WaveHeader(kMono16, dataSize);
        return std::string(bytes.begin(), bytes.end());
    };
    // The header lags behind the last sound written, which ends in half a frame.
    dir.Write("take.wav.AbC123.part", header(2) + std::string("\1\0\2\0\3", 5));
    dir.Write("old.wav.Zz9999.part", header(2) + std::string("\1\0", 2));
    dir.Write("old.wav.Zz9999.wav", "keep");
    dir.Write("empty.wav.Qq1111.part", header(0));
    dir.Write("song.wav.part", header(2) + "ab");  // some other program's
    std::string damaged = header(0);
    damaged[32] = damaged[34] = '\0';  // no frame size, no sample size: the sound still counts
    dir.Write("other/hit.wav.Bb2222.part", damaged + std::string("\1\0\2\0", 4));
    WaveRecordingFile live(dir / "live.wav", kMono16);  // still being recorded
    RememberRecordingFolder(dir / "folders.txt", dir / "other");
    RememberRecordingFolder(dir / "folders.txt", dir.path());
    RememberRecordingFolder(dir / "folders.txt", dir / "other");  // to the front, once
    EXPECT_EQ(RememberedRecordingFolders(dir / "folders.txt"),
              (std::vector<std::filesystem::path>{dir / "other", dir.path()}));
    const auto made = RescueRecordings(RecordingFoldersToRescue(dir.path(), dir / "folders.txt"));
    ASSERT_EQ(made, (std::vector<std::filesystem::path>{dir / "take.wav.AbC123.wav",
                                                        dir / "other/hit.wav.Bb2222.wav"}));
    for (const auto& [file, frames] : {std::pair{made[0], 2u}, {made[1], 2u}}) {
        CWave rescued;
        rescued.Load(file.string());
        EXPECT_EQ(rescued.GetFrameCount(), frames) << file;
    }
    EXPECT_EQ(dir.Read("old.wav.Zz9999.wav"), "keep");
    EXPECT_EQ(dir.Read("old.wav.Zz9999.part").size(), 46u);
    EXPECT_EQ(dir.Read("song.wav.part").size(), 46u);
    EXPECT_TRUE(std::filesystem::exists(live.TemporaryPath()));
    EXPECT_EQ(dir.Entries(), 7u);  // the empty one is gone
    EXPECT_EQ(RescuedRecordingsList({"/a.wav", "/b.wav"}), "/a.wav、/b.wav");
}

TEST(RecorderConsoleTest, AnOrderlyEndKeepsTheRecordingUnderAnyLegalName) {
    test::TempDir dir;
    FakePcmSystem devices;
    for (const std::string& name :
         {std::string("take"), std::string(246, 'n')}) {  // 250 bytes with ".wav"
        {
            RecorderConsole console(devices, dir.path());
            ASSERT_EQ(console.Record(name, nullptr).status, "正在准备录音，请稍候……");
            ASSERT_TRUE(devices.Supply(300));
            ASSERT_EQ(console.PauseRecording().status, "录音已经暂停！");
        }  // the window closed, or SIGTERM
        CWave kept;
        kept.Load((dir / (name + ".wav")).string());
        EXPECT_EQ(kept.GetFrameCount(), 300u) << name;
    }
    EXPECT_EQ(dir.Entries(), 2u);
}

TEST(RecorderConsoleTest, ATargetThatCannotBeOneIsSaidPlainlyAndNeverOfferedForOverwriting) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "box.wav");
    dir.Write("notes.txt", "");
    FakePcmSystem devices;
    RecorderConsole console(devices, dir.path());
    const std::pair<std::string, std::string> rows[] = {
        {"box", "是一个文件夹"},
        {"missing/take", "文件夹“" + (dir / "missing").string() + "”不存在"},
        {"notes.txt/take", "不是文件夹"},
        {std::string(252, 'n'), "文件名太长"}};
    for (const auto& [name, says] : rows) {
        bool asked = false;
        const auto answer = console.Record(name, [&](const auto&) { return asked = true; });
        EXPECT_NE(answer.status.value_or("").find(says), std::string::npos) << *answer.status;
        EXPECT_FALSE(asked);
        EXPECT_EQ(console.RecordState(), 0);
    }
    devices.openError = -ENOENT;  // no sound device, no sound server
    EXPECT_EQ(console.Record("take", nullptr).status, "没有可用的声音设备");
    EXPECT_EQ(dir.Entries(), 2u);
}

TEST(SoundErrorTextTest, SaysWhatWentWrongInChinese) {
    const std::pair<int, std::string> rows[] = {{-ENOENT, "没有可用的声音设备"},
                                                {-EBUSY, "声音设备正被其他程序占用"},
                                                {ENOSPC, "磁盘已满"},
                                                {-4242, "声音设备出错（system words）"}};
    for (const auto& [error, text] : rows) {
        EXPECT_EQ(SoundErrorText(error, "system words"), text) << error;
    }
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
