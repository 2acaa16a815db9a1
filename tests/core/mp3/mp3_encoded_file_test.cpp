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

// Frames hold 1152 samples (MPEG 1) or 576 (MPEG 2), whatever their bitrate; the encoder adds
// at most a few for its delay and flush. Constant-bitrate frames are of one length or one byte
// more (padding): 128 kbit/s at 44100 Hz makes 417 or 418 bytes, 40 kbit/s at 22050 Hz 130 or 131.
TEST_F(EncodedMp3Test, FramesRateAndPlayTimeOfWhatTheEncoderMade) {
    const struct {
        const char* name;
        int buffers, samples, rate, channels;
        const char* settings;
        int version, bitrate, frameBytes;  // bitrate and frame length 0: variable
    } cases[] = {
        {"cbr.mp3", 192, 1152, 44100, 2, "target=bitrate cbr=true bitrate=128", 3, 128, 417},
        {"lsf.mp3", 100, 576, 22050, 1, "target=bitrate cbr=true bitrate=40", 2, 40, 130},
        {"vbr.mp3", 780, 1152, 44100, 2, "target=quality quality=4", 3, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Encode(c.name, c.buffers, c.samples, c.rate, c.channels, c.settings);
        CMp3Info info;
        ASSERT_TRUE(info.Load(path));
        const unsigned frames = info.GetFrameCount();
        EXPECT_GE(frames, unsigned(c.buffers));
        EXPECT_LE(frames, unsigned(c.buffers + 4));
        EXPECT_EQ(info.GetVersion(), c.version);
        EXPECT_EQ(info.GetLayer(), 3);
        EXPECT_EQ(info.GetSampleRate(), c.rate);
        EXPECT_EQ(info.GetPlayTime(), static_cast<int>(frames * c.samples / c.rate));
        if (c.bitrate > 0) {
            EXPECT_EQ(info.GetAverageBitrate(), c.bitrate);
            EXPECT_GE(std::filesystem::file_size(path), c.frameBytes * frames);
            EXPECT_LE(std::filesystem::file_size(path), (c.frameBytes + 1) * frames);
        } else {
            EXPECT_GE(info.GetAverageBitrate(), 32);
            EXPECT_LE(info.GetAverageBitrate(), 320);
        }
    }
    EXPECT_EQ(ProbeDuration((dir_ / "cbr.mp3").string()), "0:05");
}

}  // namespace
}  // namespace chimeon
