// Real MP3 files made at test time by LAME through GStreamer, checked against what the encoder's
// settings imply. Skipped when the encoder is not installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/engine/duration_probe.h"
#include "core/mp3/mp3_info.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

class EncodedMp3Test : public testing::Test {
protected:
    void SetUp() override {
        // GStreamer keeps a plugin registry under the home folder; keep it in the test's folder.
        env_ = "env HOME='" + dir_.path().string() + "' XDG_CACHE_HOME='" + dir_.path().string() +
               "' GST_REGISTRY='" + (dir_ / "registry.bin").string() + "' ";
        if (std::system((env_ + "gst-inspect-1.0 --exists lamemp3enc >/dev/null 2>&1").c_str()) !=
            0) {
            GTEST_SKIP() << "GStreamer's lamemp3enc is not installed (gstreamer1.0-tools, "
                            "gstreamer1.0-plugins-good): encoded-file checks skipped";
        }
    }

    // Encodes `buffers` buffers of `samplesPerBuffer` samples of a test tone.
    std::string Encode(const std::string& name, int buffers, int samplesPerBuffer, int rate,
                       int channels, const std::string& encoderSettings) {
        std::string path = (dir_ / name).string();
        std::string command =
            env_ +
            "timeout 60 gst-launch-1.0 -q audiotestsrc num-buffers=" + std::to_string(buffers) +
            " samplesperbuffer=" + std::to_string(samplesPerBuffer) +
            " ! audio/x-raw,rate=" + std::to_string(rate) +
            ",channels=" + std::to_string(channels) + " ! audioconvert ! lamemp3enc " +
            encoderSettings + " ! filesink location='" + path + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }

    test::TempDir dir_;
    std::string env_;
};

TEST_F(EncodedMp3Test, ConstantBitrateMpeg1) {
    // 192 × 1152 samples at 44100 Hz: 192 frames of sound, plus at most a few for the encoder's
    // delay and flush; 128 kbit/s frames at 44100 Hz are 417 or 418 bytes.
    std::string path =
        Encode("cbr.mp3", 192, 1152, 44100, 2, "target=bitrate cbr=true bitrate=128");
    CMp3Info info;
    ASSERT_TRUE(info.Load(path));
    unsigned frames = info.GetFrameCount();
    EXPECT_GE(frames, 192u);
    EXPECT_LE(frames, 195u);
    auto size = std::filesystem::file_size(path);
    EXPECT_GE(size, 417u * frames);
    EXPECT_LE(size, 418u * frames);
    EXPECT_EQ(info.GetVersion(), 3);
    EXPECT_EQ(info.GetLayer(), 3);
    EXPECT_EQ(info.GetAverageBitrate(), 128);
    EXPECT_EQ(info.GetSampleRate(), 44100);
    EXPECT_EQ(info.GetPlayTime(), static_cast<int>(frames * 1152 / 44100));
    EXPECT_EQ(ProbeDuration(path), "0:05");
}

TEST_F(EncodedMp3Test, ConstantBitrateMpeg2Mono) {
    // MPEG 2 Layer III frames hold 576 samples; 40 kbit/s at 22050 Hz makes 130 or 131 bytes.
    std::string path = Encode("lsf.mp3", 100, 576, 22050, 1, "target=bitrate cbr=true bitrate=40");
    CMp3Info info;
    ASSERT_TRUE(info.Load(path));
    unsigned frames = info.GetFrameCount();
    EXPECT_GE(frames, 100u);
    EXPECT_LE(frames, 103u);
    auto size = std::filesystem::file_size(path);
    EXPECT_GE(size, 130u * frames);
    EXPECT_LE(size, 131u * frames);
    EXPECT_EQ(info.GetVersion(), 2);
    EXPECT_EQ(info.GetLayer(), 3);
    EXPECT_EQ(info.GetAverageBitrate(), 40);
    EXPECT_EQ(info.GetSampleRate(), 22050);
    EXPECT_EQ(info.GetChannelMode(), 3);
    EXPECT_EQ(info.GetPlayTime(), static_cast<int>(frames * 576 / 22050));
}

TEST_F(EncodedMp3Test, VariableBitrate) {
    // 20.4 seconds of tone; each frame still holds 1152 samples whatever its bitrate.
    std::string path = Encode("vbr.mp3", 780, 1152, 44100, 2, "target=quality quality=4");
    CMp3Info info;
    ASSERT_TRUE(info.Load(path));
    unsigned frames = info.GetFrameCount();
    EXPECT_GE(frames, 780u);
    EXPECT_LE(frames, 784u);
    EXPECT_GE(info.GetAverageBitrate(), 32);
    EXPECT_LE(info.GetAverageBitrate(), 320);
    EXPECT_EQ(info.GetPlayTime(), 20);
}

}  // namespace
}  // namespace chimeon
