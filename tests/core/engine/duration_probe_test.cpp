#include "core/engine/duration_probe.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/mp3_frames.h"
#include "support/temp_dir.h"
#include "support/wave_bytes.h"

namespace chimeon {
namespace {

using test::Le32;

// The 44-byte header the probe expects: 16-bit stereo at 44100 Hz, 176400 bytes a second.
const std::string kHeader = test::WaveHeader(2, 44100, 16, 0);

// A WAV file's length is its data over its byte rate, rounded half up; the header's tags and
// rate are checked, nothing else.
TEST(DurationProbeTest, WaveLengthFromTheHeader) {
    test::TempDir dir;
    auto with = [&](std::size_t at, const std::string& bytes) {
        std::string changed = kHeader;
        changed.replace(at, bytes.size(), bytes);
        return changed;
    };
    struct Case {
        const char* name;
        std::string header;
        std::uint64_t dataBytes;  // sparse, behind the header
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {"no data", kHeader, 0, "0:00"},
        {"10 s of 16-bit stereo at 44100 Hz", kHeader, 1764000, "0:10"},
        {"10.5 s: halves go up", kHeader, 1852200, "0:11"},
        {"just under", kHeader, 1852199, "0:10"},
        {"minutes are not limited to 59", kHeader, 176400ull * 3725, "62:05"},
        {"5.3 GB: beyond 32-bit lengths", kHeader, 176400ull * 30000, "500:00"},
        {"fmt followed by another byte", with(15, "_"), 176400, "0:01"},
        {"RIFX", with(0, "RIFX"), 176400, std::nullopt},
        {"not WAVE", with(8, "WAVF"), 176400, std::nullopt},
        {"not fmt", with(12, "fmX "), 176400, std::nullopt},
        {"byte rate 0", with(28, Le32(0)), 176400, std::nullopt},
        {"negative byte rate", with(28, Le32(0xFFFFFFFF)), 176400, std::nullopt},
        {"39 bytes", kHeader.substr(0, 39), 0, std::nullopt},
        {"40 bytes", kHeader.substr(0, 40), 0, std::nullopt},
        {"43 bytes", kHeader.substr(0, 43), 0, std::nullopt},
        {"empty", "", 0, std::nullopt},
    };
    for (const Case& c : cases) {
        dir.Write("a.wav", c.header);
        std::filesystem::resize_file(dir / "a.wav", c.header.size() + c.dataBytes);
        EXPECT_EQ(ProbeDuration((dir / "a.wav").string()), c.text) << c.name;
    }
}

TEST(DurationProbeTest, OnlyPathsEndingInWavOrMp3AreMeasured) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "Music");
    std::filesystem::create_directories(dir / "x.mp3s");
    std::filesystem::create_directories(dir / "folder.wav");
    std::string wave = kHeader + std::string(176400 * 2, '\0');
    dir.Write("Music/Song.WAV", wave);
    dir.Write("a.wav.bak", wave);
    dir.Write("x.mp3s/bell.mid", wave);
    dir.Write("bell.mp3", test::Frame(test::FrameFields{}, 417));
    ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir / "pipe.mp3").c_str(), 0600), 0);
    const std::string root = dir.path().string();
    struct Case {
        std::string path;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {root + "/Music/Song.WAV", "0:02"},
        {root + "/music/song.wav", "0:02"},    // letter case of a stored path
        {root + "\\Music\\Song.WAV", "0:02"},  // separators of a stored path
        {root + "/BELL.MP3", "0:00"},
        {root + "/a.wav.bak", std::nullopt},
        {root + "/x.mp3s/bell.mid", std::nullopt},
        {root + "/x.mp3s/", std::nullopt},     // a folder item
        {root + "/folder.wav", std::nullopt},  // a folder named like a file
        {root + "/pipe.wav", std::nullopt},    // never waits for a writer
        {root + "/pipe.mp3", std::nullopt},
        {root + "/missing.mp3", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProbeDuration(c.path), c.text) << c.path;
    }
}

TEST(DurationProbeTest, Mp3PlayTimeComesFromTheFrameWalk) {
    test::TempDir dir;
    // 0.0260625 s each: 125.1 s; long enough for the walk to look at its stop flag on the way.
    dir.Write("a.mp3", test::Repeat(test::Frame(test::FrameFields{}, 417), 4800));
    dir.Write("none.mp3", std::string(20000, '\0'));
    EXPECT_EQ(ProbeDuration((dir / "a.mp3").string()), "2:05");
    EXPECT_EQ(ProbeDuration((dir / "none.mp3").string()), "0:00");
    std::atomic<bool> stop{true};
    EXPECT_EQ(ProbeDuration((dir / "a.mp3").string(), &stop), std::nullopt);
}

}  // namespace
}  // namespace chimeon
