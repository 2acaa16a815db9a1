#include "platform/engine/gst_media_player.h"

#include <gst/gst.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/alsa_master_mixer.h"
#include "platform/engine/gst_video_hop.h"
#include "support/fake_media_player.h"
#include "support/gst/gst_pipeline_run.h"
#include "support/pulse_null_sink.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

// GStreamer keeps its plugin cache in the build folder, never in the real home folder.
const bool kRegistryPlaced = [] {
#ifdef CHIMEON_TEST_GST_REGISTRY
    setenv("GST_REGISTRY", CHIMEON_TEST_GST_REGISTRY, 0);
#endif
    return true;
}();

using std::chrono::milliseconds;

// One second of tone, 100 buffers of 10 ms.
const std::string kTone =
    "audiotestsrc num-buffers=100 samplesperbuffer=441 ! audio/x-raw,rate=44100,channels=1";
// 300 ms of it.
const std::string kShortTone =
    "audiotestsrc num-buffers=30 samplesperbuffer=441 ! audio/x-raw,rate=44100,channels=1";

// The folder of the test files, made once per test process.
const test::TempDir& MediaDir() {
    static test::TempDir dir;
    return dir;
}

std::string InMedia(const std::string& name) {
    return (MediaDir() / name).string();
}

// A test file by name, made on first use from its gst-launch recipe (the MIDI file by hand).
std::string Media(const std::string& name) {
    auto pictures = [](const char* count) {  // small ones, 25 a second
        return std::string("videotestsrc num-buffers=") + count +
               " ! video/x-raw,width=64,height=48,framerate=25/1 ! vp8enc";
    };
    static const std::map<std::string, std::string> recipes = {
        {"tone.wav", kTone + " ! wavenc"},
        {"short.wav", kShortTone + " ! wavenc"},
        {"silence.wav",
         "audiotestsrc wave=silence num-buffers=100 samplesperbuffer=441 ! "
         "audio/x-raw,rate=44100,channels=1 ! wavenc"},
        // Constant bitrate without a frame index, the kind whose length GStreamer learns late.
        {"tone.mp3", kTone + " ! lamemp3enc target=bitrate cbr=true bitrate=64"},
        // Ten seconds with a tag.
        {"long.mp3",
         "audiotestsrc num-buffers=1000 samplesperbuffer=441 ! "
         "audio/x-raw,rate=44100,channels=2 ! lamemp3enc target=bitrate cbr=true "
         "bitrate=128 ! id3v2mux"},
        // Variable bitrate with a Xing index.
        {"vbr.mp3", kTone + " ! lamemp3enc ! xingmux"},
        {"clip.webm",
         pictures("25") + " ! m. " + kTone + " ! audioconvert ! vorbisenc ! m. webmmux name=m"},
        {"picture.webm", pictures("10") + " ! webmmux"},
    };
    const std::string path = InMedia(name);
    if (std::filesystem::exists(path)) {
        return path;
    }
    if (name == "note.mid") {  // format 0, one note held for one second
        MediaDir().Write(name, test::Hex("4d 54 68 64 00 00 00 06 00 00 00 01 01 e0"  // 480 a beat
                                         "4d 54 72 6b 00 00 00 17"        // the track, 23 bytes:
                                         "00 ff 51 03 07 a1 20"           // tempo 500000 us a beat
                                         "00 c0 00 00 90 3c 64"           // piano, note on
                                         "87 40 80 3c 40 00 ff 2f 00"));  // 960 ticks: off; end
        return path;
    }
    std::string error;
    EXPECT_TRUE(test::RunPipeline(recipes.at(name) + " ! filesink location=" + path, &error))
        << error;
    return path;
}

GstMediaPlayerOptions SinkOptions(const std::string& audioSink) {
    GstMediaPlayerOptions options;
    options.audioSink = [audioSink] { return audioSink; };
    return options;
}

// Fast: the file is decoded as quickly as the machine can.
GstMediaPlayerOptions Unpaced() {
    return SinkOptions("fakesink sync=false");
}

// Polls as the broadcast clock does until position and length meet; false if they never do.
bool PlayToEnd(GstMediaPlayer& player) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (player.GetPosition() == player.GetLength()) {
            return true;
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    return false;
}

// Opens the file, shows it (or not), plays it to its end and closes it: the length at the end,
// or -1 where it did not open or never ended.
std::int64_t PlayThrough(GstMediaPlayer& player, const std::string& path,
                         std::optional<int> volume = std::nullopt, bool show = true) {
    player.SetFile(path);
    if (!player.Open()) {
        return -1;
    }
    if (volume) {
        player.SetVolume(*volume);
    }
    if (show) {
        player.ShowMaximized();
    }
    player.Play();
    const std::int64_t length = PlayToEnd(player) ? player.GetLength() : -1;
    player.Close();
    return length;
}

void ExpectClosed(GstMediaPlayer& player) {
    EXPECT_FALSE(player.IsOpen());
    EXPECT_EQ(player.GetPosition(), 0);
    EXPECT_EQ(player.GetLength(), 0);
}

// Closed, a player reports zero and ignores every command.
void ExpectInert(GstMediaPlayer& player) {
    const int volume = player.GetVolume();
    player.SetVolume(300);
    player.Seek(500);
    player.Play();
    player.Stop();
    player.ShowMaximized();
    ExpectClosed(player);
    EXPECT_EQ(player.GetVolume(), volume);
}

// The loudest sample of raw 16-bit audio written by a test's audio sink.
int PeakOf(const std::string& rawPath) {
    std::ifstream in(rawPath, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int peak = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto sample = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[i]) |
                                                (static_cast<unsigned char>(bytes[i + 1]) << 8));
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    return peak;
}

// An audio sink that writes each opened file's sound to its own raw file, so tests can hear the
// gain really applied.
struct RecordingSink {
    explicit RecordingSink(const test::TempDir& dir) : dir(dir) {}
    GstMediaPlayerOptions Options() {
        GstMediaPlayerOptions options;
        options.audioSink = [this] {
            files.push_back((dir / ("out" + std::to_string(files.size()) + ".raw")).string());
            return "audioconvert ! audio/x-raw,format=S16LE ! filesink location=" + files.back();
        };
        return options;
    }
    const test::TempDir& dir;
    std::vector<std::string> files;
};

constexpr int kFullPeak = 26214;  // audiotestsrc's default volume of 0.8

// One second of 16-bit mono at 44100 Hz, its loudest sample near `peak`.
void ExpectOneSecondAt(const std::string& rawPath, int peak) {
    EXPECT_NEAR(static_cast<double>(std::filesystem::file_size(rawPath)), 88200.0, 88200.0 * 0.05);
    EXPECT_NEAR(PeakOf(rawPath), peak, 400);
}

struct FormatCase {
    const char* name;
    const char* file;
    std::int64_t lengthMs;
    const char* neededElement;
    bool paced = false;  // played at the clock's pace, not as fast as it decodes
};

TEST(GstMediaPlayerTest, OpensEachFormatAndEndsWithPositionEqualToLength) {
    const FormatCase cases[] = {
        {"wav", "tone.wav", 1000, "wavparse"},
        {"wav paced by the clock", "tone.wav", 1000, "wavparse", true},
        {"mp3", "tone.mp3", 1000, "mpegaudioparse"},
        {"ten seconds of mp3 with a tag", "long.mp3", 10000, "id3v2mux"},
        // The encoder's delay and padding lengthen it by up to a frame.
        {"vbr mp3", "vbr.mp3", 1050, "xingmux"},
        {"webm video with sound", "clip.webm", 1000, "matroskademux"},
        {"webm without sound", "picture.webm", 400, "matroskademux"},
        {"midi", "note.mid", 1000, "fluiddec"},
    };
    for (const FormatCase& format : cases) {
        SCOPED_TRACE(format.name);
        if (!test::HasElement(format.neededElement)) {
            std::cout << "[ note ] " << format.name << " not checked: " << format.neededElement
                      << " missing\n";
            continue;
        }
        GstMediaPlayer player(format.paced ? SinkOptions("fakesink sync=true") : Unpaced());
        player.SetFile(Media(format.file));
        ASSERT_TRUE(player.Open());
        EXPECT_EQ(player.GetVolume(), 1000);
        EXPECT_EQ(player.GetPosition(), 0);
        EXPECT_NEAR(player.GetLength(), format.lengthMs, 50);
        EXPECT_NE(player.GetPosition(), player.GetLength());
        player.Seek(0);
        player.ShowMaximized();
        player.Play();
        // Paced, the position stays short of the length while it plays.
        EXPECT_TRUE(!format.paced || player.GetPosition() < player.GetLength());
        ASSERT_TRUE(PlayToEnd(player));
        std::int64_t length = player.GetLength();
        EXPECT_NEAR(length, format.lengthMs, 50);
        // The end is stable: later polls see the same equal pair, and Play at the end is inert.
        player.Play();
        EXPECT_EQ(player.GetPosition(), length);
        EXPECT_EQ(player.GetLength(), length);
        player.Stop();
        player.Close();
        ExpectInert(player);
    }
}

TEST(GstMediaPlayerTest, UnplayableFilesAndASlowOpenLeaveThePlayerClosed) {
    const test::TempDir& dir = MediaDir();
    dir.Write("notes.txt", "This is not a sound.\r\nJust text.\r\n");
    dir.Write("empty.mp3", "");
    Media("tone.mp3");
    dir.Write("truncated.mp3", dir.Read("tone.mp3").substr(0, 300));
    std::filesystem::create_directory(dir / "folder.mp3");
    ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    std::filesystem::copy_file(Media("tone.wav"), dir / "locked.wav");
    chmod((dir / "locked.wav").c_str(), 0);

    testing::internal::CaptureStderr();
    std::vector<std::string> names = {"missing.wav", "notes.txt", "empty.mp3",  "truncated.mp3",
                                      "folder.mp3",  "pipe.wav",  "locked.wav", ""};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        std::string path = name.empty() ? "" : InMedia(name);
        if (name == "locked.wav" && access(path.c_str(), R_OK) == 0) {
            std::cout << "[ note ] running with the right to read every file: the file without "
                         "permission is readable here and is not checked\n";
            continue;
        }
        for (bool prepared : {false, true}) {
            GstMediaPlayer player(Unpaced());
            if (prepared) {
                player.Prepare(path);
            }
            player.SetFile(path);
            EXPECT_FALSE(player.Open());
            EXPECT_EQ(player.LastOpenFailure(), OpenFailure::kFile);
            ExpectInert(player);
        }
    }
    // A file that cannot be played is not mistaken for a missing output.
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors.find("no audio output"), std::string::npos) << errors;

    // The same player, never opened and then refused a bad file, opens a good one.
    GstMediaPlayer player(Unpaced());
    EXPECT_EQ(player.GetVolume(), 0);
    ExpectInert(player);
    player.SetFile(InMedia("notes.txt"));
    EXPECT_FALSE(player.Open());
    EXPECT_NEAR(PlayThrough(player, Media("tone.wav")), 1000, 50);

    // One out of time for opening gives up and stays closed.
    GstMediaPlayerOptions hurried = Unpaced();
    hurried.openTimeout = milliseconds(0);
    GstMediaPlayer late(hurried);
    EXPECT_EQ(PlayThrough(late, Media("tone.mp3")), -1);
    ExpectClosed(late);
}

TEST(GstMediaPlayerTest, VolumeIsKeptOnReplayResetByOpenAndNeverAboveUnity) {
    test::TempDir out;
    RecordingSink sink(out);
    GstMediaPlayer player(sink.Options());
    const std::string wav = Media("tone.wav");

    // A prepared pipeline taken over by Open sounds all of the file, at the volume set after Open.
    player.Prepare(wav);
    EXPECT_NEAR(PlayThrough(player, wav, 500), 1000, 50);
    ASSERT_EQ(sink.files.size(), 1u);  // no second pipeline was built
    ExpectOneSecondAt(sink.files[0], kFullPeak / 2);

    player.SetFile(wav);
    ASSERT_TRUE(player.Open());
    player.SetVolume(500);
    player.Play();
    ASSERT_TRUE(PlayToEnd(player));
    player.Stop();
    player.Seek(0);
    EXPECT_NE(player.GetPosition(), player.GetLength());
    player.Play();
    ASSERT_TRUE(PlayToEnd(player));
    EXPECT_EQ(player.GetVolume(), 500);
    player.Close();
    // The seek back to the start emptied the recording: what is there is the replay, at the
    // volume set before the first pass.
    ExpectOneSecondAt(sink.files.back(), kFullPeak / 2);

    // Each Open starts at the normal volume; a hand-edited 500 percent arrives as 5000: clamped
    // to unity, never five-fold.
    const std::pair<std::optional<int>, int> volumes[] = {
        {std::nullopt, 1000}, {5000, 1000}, {1001, 1000}, {-20, 0}};
    for (auto [given, kept] : volumes) {
        SCOPED_TRACE(given.value_or(-1));
        EXPECT_NEAR(PlayThrough(player, wav, given), 1000, 50);
        EXPECT_EQ(player.GetVolume(), kept);
        EXPECT_NEAR(PeakOf(sink.files.back()), kFullPeak * kept / 1000, 400);
    }
}

TEST(GstMediaPlayerTest, SeekMovesThePositionAndRestartsAfterTheEnd) {
    GstMediaPlayer player(Unpaced());
    player.SetFile(Media("tone.wav"));
    ASSERT_TRUE(player.Open());
    player.Seek(600);
    EXPECT_NEAR(player.GetPosition(), 600, 50);
    player.Play();
    ASSERT_TRUE(PlayToEnd(player));
    // Past the end is the end.
    player.Stop();
    player.Seek(99999);
    player.Play();
    ASSERT_TRUE(PlayToEnd(player));
    player.Stop();
    player.Seek(0);
    EXPECT_EQ(player.GetPosition(), 0);
    EXPECT_NE(player.GetLength(), 0);
}

TEST(GstMediaPlayerTest, AnOutputThatStopsTakingSoundOrFailsEndsTheFile) {
    // An application sink that nobody reads takes one buffer and then holds the stream still,
    // as a stuck sound output does, without an error.
    GstMediaPlayerOptions options = SinkOptions("appsink max-buffers=1 drop=false sync=false");
    options.stallLimit = std::chrono::milliseconds(300);
    GstMediaPlayer player(options);
    player.SetFile(Media("long.mp3"));
    ASSERT_TRUE(player.Open());
    std::int64_t length = player.GetLength();
    testing::internal::CaptureStderr();
    player.Play();
    EXPECT_TRUE(PlayToEnd(player)) << "a stalled file must end, or every later bell is skipped";
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("has not moved"), std::string::npos) << errors;
    EXPECT_EQ(player.GetPosition(), length);

    // A file that plays on normally is never cut short by the watch.
    GstMediaPlayerOptions paced = SinkOptions("fakesink sync=true");
    paced.stallLimit = std::chrono::milliseconds(300);
    GstMediaPlayer healthy(paced);
    testing::internal::CaptureStderr();
    EXPECT_NEAR(PlayThrough(healthy, Media("short.wav")), 300, 50);
    EXPECT_EQ(testing::internal::GetCapturedStderr().find("has not moved"), std::string::npos);

    // An error during play counts as the end: the sink fails after a few buffers, as a sound
    // server that goes away would.
    GstMediaPlayer broken(SinkOptions("identity error-after=20 ! fakesink sync=false"));
    testing::internal::CaptureStderr();
    broken.SetFile(Media("tone.wav"));
    ASSERT_TRUE(broken.Open());
    broken.Play();
    ASSERT_TRUE(PlayToEnd(broken));
    length = broken.GetLength();
    EXPECT_GT(length, 0);
    // It stays at its end: a replay of the broken file stays silent and finished.
    broken.Stop();
    broken.Seek(0);
    broken.Play();
    EXPECT_EQ(broken.GetPosition(), length);
    EXPECT_EQ(broken.GetLength(), length);
    errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("ended by an error"), std::string::npos) << errors;
}

TEST(GstMediaPlayerTest, MissingAudioOutputIsReportedAndTriedAgainAtTheNextOpen) {
    int opens = 0;
    GstMediaPlayerOptions options;
    options.audioSink = [&opens] {
        // The first attempt finds no sound device; the next one finds the output.
        return opens++ == 0 ? std::string("alsasink device=hw:97,0") : "fakesink sync=false";
    };
    GstMediaPlayer player(options);
    testing::internal::CaptureStderr();
    player.SetFile(Media("tone.wav"));
    EXPECT_FALSE(player.Open());
    EXPECT_EQ(player.LastOpenFailure(), OpenFailure::kNoAudioOutput);
    EXPECT_NE(player.LastOpenFailureReason().find("no audio output"), std::string::npos);
    ExpectClosed(player);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("no audio output"), std::string::npos) << errors;
    EXPECT_NE(errors.find("tries again"), std::string::npos) << errors;

    EXPECT_TRUE(player.Open());
    EXPECT_EQ(player.LastOpenFailure(), OpenFailure::kNone);
}

TEST(GstMediaPlayerTest, PreparedFileIsTakenOverByOpen) {
    std::string wav = Media("tone.wav");
    // Another file prepared is dropped; the one asked for plays.
    GstMediaPlayer player(Unpaced());
    player.Prepare(Media("tone.mp3"));
    EXPECT_NEAR(PlayThrough(player, wav), 1000, 50);

    // A file replaced on disk after it was prepared is opened as it is now; one that vanished
    // opens as a closed player.
    const test::TempDir& dir = MediaDir();
    const std::string changing = InMedia("changing.wav");
    std::filesystem::copy_file(wav, changing);
    player.Prepare(changing);
    ASSERT_TRUE(
        test::RunPipeline(kShortTone + " ! wavenc ! filesink location=" + changing + ".new"));
    std::filesystem::rename(changing + ".new", changing);
    EXPECT_NEAR(PlayThrough(player, changing), 300, 50);
    player.Prepare(changing);
    std::filesystem::remove(dir / "changing.wav");
    EXPECT_EQ(PlayThrough(player, changing), -1);
    ExpectClosed(player);
}

// The WebM clip with every picture's coded bytes scrambled: the container and the sound stay
// intact (the video is track 1, written in SimpleBlocks of up to 16 KiB).
std::string DamagedClip() {
    Media("clip.webm");
    std::string bytes = MediaDir().Read("clip.webm");
    int blocks = 0;
    for (size_t i = bytes.find('\xa3'); i != std::string::npos; i = bytes.find('\xa3', i + 1)) {
        auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
        if (i + 4 >= bytes.size() || (at(i + 1) & 0xc0) != 0x40) {
            continue;
        }
        size_t size = (at(i + 1) & 0x3f) << 8 | at(i + 2);
        size_t payload = i + 3 + 4;  // track number, timecode and flags
        if (at(i + 3) != 0x81 || size < 24 || i + 3 + size > bytes.size()) {
            continue;
        }
        for (size_t k = payload + 3; k < i + 3 + size - 4; ++k) {
            bytes[k] = static_cast<char>(bytes[k] ^ 0x5a);
        }
        ++blocks;
    }
    EXPECT_GT(blocks, 10);
    MediaDir().Write("damaged.webm", bytes);
    return InMedia("damaged.webm");
}

TEST(GstMediaPlayerTest, PlaysThroughTheSoundServerWhenOneRuns) {
    std::string why;
    if (!test::PulseNullSink::Start(&why)) {
        GTEST_SKIP() << "no PulseAudio null sink: " << why;
    }
    std::string wav = Media("short.wav");
    GstMediaPlayer player;  // the default output: the sound server
    testing::internal::CaptureStderr();
    for (bool prepared : {false, true}) {
        SCOPED_TRACE(prepared ? "prepared" : "opened from nothing");
        if (prepared) {
            player.Prepare(wav);
        }
        EXPECT_NEAR(PlayThrough(player, wav, 800), 300, 50);
    }
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors.find("no audio output"), std::string::npos) << errors;
}

// Each start's first seconds are measured where the sound leaves the player: after the item's
// volume, and after the sound server's stream volume where that does the gain; the master volume
// (the sound server's sink, through ALSA's "Master") at zero or muted silences it too.
TEST(GstMediaPlayerTest, StartLevelTellsAToneFromSilenceAndFromVolumeZero) {
    std::vector<std::pair<std::string, GstMediaPlayerOptions>> outputs = {{"fake", Unpaced()}};
    std::string why;
    if (test::PulseNullSink::Start(&why)) {
        GstMediaPlayerOptions server;
        server.outputSilence = [] { return ReadMasterSilence(); };
        outputs.emplace_back("null sink", server);
    }
    const std::string sink = " " + test::PulseNullSink::SinkName() + " ";
    struct {
        const char* file;
        int volume;
        bool silent;
        std::string master;  // a pactl command on the sink before the start, undone after it
        OutputSilence output = OutputSilence::kNone;
    } cases[] = {
        {"tone.wav", 1000, false, ""},
        {"silence.wav", 1000, true, ""},
        {"tone.wav", 0, true, ""},
        {"tone.wav", 1000, true, "set-sink-mute" + sink + "1", OutputSilence::kMasterMuted},
        {"tone.wav", 1000, true, "set-sink-volume" + sink + "0", OutputSilence::kMasterAtZero}};
    for (auto& [name, options] : outputs) {
        GstMediaPlayer player(options);
        for (const auto& c : cases) {
            if (!c.master.empty() && !options.outputSilence) {
                continue;
            }
            SCOPED_TRACE(name + " " + c.file + " at " + std::to_string(c.volume) + " " + c.master);
            if (!c.master.empty()) {
                ASSERT_TRUE(test::PulseNullSink::Pactl(c.master));
            }
            player.SetFile(Media(c.file));
            ASSERT_TRUE(player.Open());
            player.SetVolume(c.volume);
            EXPECT_FALSE(player.TakeStartLevel()) << "not played yet";
            player.Play();
            ASSERT_TRUE(PlayToEnd(player));
            std::optional<SoundLevel> level = player.TakeStartLevel();
            ASSERT_TRUE(level);
            EXPECT_EQ(level->silent, c.silent) << level->peakDb;
            EXPECT_EQ(level->output, c.output);
            EXPECT_GT(level->peakDb, c.silent ? -130 : -3) << "audiotestsrc's tone is at 0.8";
            EXPECT_FALSE(player.TakeStartLevel()) << "once per start";
            player.Close();
            if (!c.master.empty()) {
                EXPECT_TRUE(test::PulseNullSink::Pactl("set-sink-mute" + sink + "0"));
                EXPECT_TRUE(test::PulseNullSink::Pactl("set-sink-volume" + sink + "100%"));
            }
        }
    }
}

TEST(GstMediaPlayerTest, PicturesGoToTheSurfaceOnlyWhileShownAndDamagedOnesNeverEndTheSound) {
    test::FakeVideoOutput surface;
    GstMediaPlayer player(Unpaced());
    player.SetParentWindow(&surface);
    // Not shown: decoded and dropped.
    EXPECT_NEAR(PlayThrough(player, Media("clip.webm"), std::nullopt, /*show=*/false), 1000, 50);
    EXPECT_EQ(surface.frames, 0);

    EXPECT_NEAR(PlayThrough(player, Media("clip.webm")), 1000, 50);
    EXPECT_GT(surface.frames, 0);
    EXPECT_EQ(surface.width, 64);
    EXPECT_EQ(surface.height, 48);
    EXPECT_GE(surface.stride, 64 * 4);
    // videotestsrc's first bar is white (nearly, after lossy coding)
    EXPECT_GT(surface.firstPixel & 0xff, 0xf0);
    EXPECT_GT(surface.firstPixel >> 16 & 0xff, 0xf0);
    EXPECT_EQ(surface.clears, 1);

    // Audio shows nothing.
    int framesBefore = surface.frames;
    EXPECT_NEAR(PlayThrough(player, Media("tone.wav")), 1000, 50);
    EXPECT_EQ(surface.frames, framesBefore);

    // Prepared ahead, the picture still reaches the surface; prepared before the surface was
    // given, it is opened afresh with one.
    for (bool surfaceFirst : {true, false}) {
        SCOPED_TRACE(surfaceFirst ? "surface, then prepared" : "prepared, then surface");
        int before = surface.frames;
        player.SetParentWindow(surfaceFirst ? &surface : nullptr);
        player.Prepare(Media("clip.webm"));
        player.SetParentWindow(&surface);
        EXPECT_NEAR(PlayThrough(player, Media("clip.webm")), 1000, 50);
        EXPECT_GT(surface.frames, before);
    }

    // Pictures too damaged to decode, with a surface and without: the sound plays to its end.
    std::string damaged = DamagedClip();
    for (VideoOutput* output : std::vector<VideoOutput*>{&surface, nullptr}) {
        player.SetParentWindow(output);
        EXPECT_NEAR(PlayThrough(player, damaged), 1000, 50);
    }
}

// The window's surface in another process's place: counts what arrives, and can stop taking
// pictures (a frozen window) until it is let go.
struct WindowSurface : VideoOutput {
    void Present(const VideoFrame& frame) override {
        firstPixel = frame.data[0] | frame.data[1] << 8 | frame.data[2] << 16;
        width = frame.width;
        ++frames;
        if (frozen) {
            thawed.wait();
        }
    }
    void Clear() override { ++clears; }
    std::atomic<int> frames = 0;
    std::atomic<int> clears = 0;
    std::atomic<int> width = 0;
    std::atomic<int> firstPixel = 0;
    bool frozen = false;
    std::promise<void> thaw;
    std::shared_future<void> thawed = thaw.get_future().share();
};

bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 400 && !done(); ++i) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    return done();
}

TEST(GstMediaPlayerTest, PicturesReachAnotherProcessWithoutEverHoldingUpTheClip) {
    enum class Attach { kBefore, kMidClip, kAgainWhilePaused, kNever };
    enum class Then { kStays, kFreezes, kGoes };
    struct Case {
        const char* name;
        Attach attach;
        Then then;
    };
    const Case cases[] = {
        {"attached before the clip", Attach::kBefore, Then::kStays},
        {"attached in the middle", Attach::kMidClip, Then::kStays},
        {"another window while paused: the paused picture", Attach::kAgainWhilePaused,
         Then::kStays},
        {"frozen from the first picture", Attach::kBefore, Then::kFreezes},
        {"gone in the middle", Attach::kBefore, Then::kGoes},
        {"no window", Attach::kNever, Then::kStays},
    };
    test::TempDir dir;
    const std::filesystem::path socket = dir / "hop" / "video.sock";
    // Room for a few of the clip's pictures only, so a frozen window fills it at once.
    constexpr unsigned kRoom = 64 * 48 * 4 * 5;
    GstMediaPlayer player(SinkOptions("fakesink sync=true"));
    const std::string clip = Media("clip.webm");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto feed = ShmVideoFeed::Start(socket, kRoom);
        ASSERT_TRUE(feed);
        struct stat info {};
        EXPECT_EQ(::stat(socket.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        player.SetParentWindow(feed.get());
        auto surface = std::make_shared<WindowSurface>();
        surface->frozen = c.then == Then::kFreezes;
        auto window = std::make_unique<ShmVideoReceiver>(socket, surface);
        auto attach = [&] {
            EXPECT_TRUE(Eventually([&] { return window->Poll() && feed->Watched(); }));
        };
        if (c.attach == Attach::kBefore || c.attach == Attach::kAgainWhilePaused) {
            attach();
        }
        player.SetFile(clip);
        ASSERT_TRUE(player.Open());
        player.ShowMaximized();
        const auto started = std::chrono::steady_clock::now();
        player.Play();
        std::this_thread::sleep_for(milliseconds(300));
        auto paused = std::chrono::steady_clock::duration::zero();
        if (c.attach == Attach::kMidClip) {
            attach();
        } else if (c.attach == Attach::kAgainWhilePaused) {
            const auto pausedAt = std::chrono::steady_clock::now();
            player.Stop();
            surface = std::make_shared<WindowSurface>();
            window = std::make_unique<ShmVideoReceiver>(socket, surface);
            attach();
            EXPECT_TRUE(Eventually([&] { return surface->frames > 0; }));
            player.Play();
            paused = std::chrono::steady_clock::now() - pausedAt;
        } else if (c.then == Then::kGoes) {
            window.reset();
        }
        EXPECT_TRUE(PlayToEnd(player));
        const auto took = std::chrono::steady_clock::now() - started - paused;
        EXPECT_LT(took, milliseconds(1400)) << "the clip ends on time";
        player.Close();
        if (c.attach == Attach::kNever || c.then == Then::kFreezes) {
            EXPECT_EQ(surface->frames, c.attach == Attach::kNever ? 0 : 1);
        } else if (c.then == Then::kStays) {
            EXPECT_GT(surface->frames, 5);
            EXPECT_EQ(surface->width, 64);
            EXPECT_GT(surface->firstPixel & 0xff, 0xf0) << "videotestsrc's white bar";
            EXPECT_TRUE(Eventually([&] { return surface->clears > 0; })) << "closed: cleared";
        }
        surface->thaw.set_value();
        // Whatever that window did, the feed sees it go and the next one attaches.
        window.reset();
        EXPECT_TRUE(Eventually([&] { return !feed->Watched(); }));
        window = std::make_unique<ShmVideoReceiver>(socket, surface);
        attach();
        // The broadcaster ends: the window lets go; it comes back: the window attaches again.
        player.SetParentWindow(nullptr);
        feed.reset();
        EXPECT_TRUE(Eventually([&] { return !window->Poll(); }));
        feed = ShmVideoFeed::Start(socket, kRoom);
        EXPECT_TRUE(Eventually([&] { return window->Poll(); }));
        window.reset();
    }
    // Windows that go while they attach never leave the feed deaf to the next one.
    auto feed = ShmVideoFeed::Start(socket, kRoom);
    for (int i = 0; i < 5; ++i) {
        ShmVideoReceiver(socket, std::make_shared<WindowSurface>()).Poll();
    }
    ShmVideoReceiver next(socket, std::make_shared<WindowSurface>());
    EXPECT_TRUE(Eventually([&] { return next.Poll() && feed->Watched(); }));
    struct stat info {};
    ASSERT_EQ(::stat((dir / "hop").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // Named by the data directory itself: the same by every name of it, another for another.
    std::filesystem::create_directory(dir / "data");
    std::filesystem::create_directory(dir / "other");
    std::filesystem::create_directory_symlink(dir / "data", dir / "link");
    EXPECT_EQ(VideoSocketPath(dir / "data", "/run/user/7"),
              VideoSocketPath(dir / "link", "/run/user/7"));
    EXPECT_NE(VideoSocketPath(dir / "data", "/run/user/7"),
              VideoSocketPath(dir / "other", "/run/user/7"));
    EXPECT_EQ(VideoSocketPath(dir / "data", "/run/user/7").parent_path(),
              "/run/user/7/chimeon-video");
    EXPECT_EQ(VideoSocketPath(dir / "data", nullptr, 7).parent_path(), "/tmp/chimeon-video-7");
}

int OpenDescriptors() {
    auto entries = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<int>(std::distance(begin(entries), end(entries)));
}

// Every way a file leaves the player, a few hundred times over, in a child process with
// GStreamer's leaks tracer on: it names every object still alive when GStreamer ends.
TEST(GstMediaPlayerTest, EveryWayOfEndingReleasesThePipeline) {
    if (std::getenv("CHIMEON_LEAK_CHILD") == nullptr) {
        auto child = test::RunProgram(
            std::filesystem::read_symlink("/proc/self/exe"),
            {"--gtest_filter=*EveryWayOfEndingReleasesThePipeline"}, "",
            {"CHIMEON_LEAK_CHILD=1", "GST_TRACERS=leaks", "GST_DEBUG=GST_TRACER:7"});
        EXPECT_EQ(child.exitCode, 0) << child.out;
        std::smatch alive;  // its format line has "%s" for the type
        EXPECT_FALSE(std::regex_search(child.err, alive,
                                       std::regex(R"(object-alive, type-name=\(string\)[^%].*)")))
            << alive.str();
        return;
    }
    const std::string bell = Media("short.wav"), clip = Media("clip.webm"),
                      text = InMedia("words.wav");
    MediaDir().Write("words.wav", "no sound here\n");
    GstMediaPlayerOptions hurried = Unpaced();
    hurried.openTimeout = milliseconds(0);
    std::vector<std::unique_ptr<GstMediaPlayer>> players;
    for (const auto& options : {Unpaced(), hurried, SinkOptions("alsasink device=hw:97,0"),
                                SinkOptions("identity error-after=2 ! fakesink sync=false")}) {
        players.push_back(std::make_unique<GstMediaPlayer>(options));
    }
    test::FakeVideoOutput surface;
    struct Way {
        size_t player;  // the plain one, one out of time, one without output, one that breaks
        std::string prepared, opened;
        bool toEnd, picture;
    };
    const std::vector<Way> ways = {{0, bell, bell, true, false}, {0, "", bell, true, false},
                                   {0, clip, "", false, false},  {0, "", text, false, false},
                                   {1, "", bell, false, false},  {2, "", bell, false, false},
                                   {3, "", bell, true, false},   {0, "", clip, false, true}};
    testing::internal::CaptureStderr();
    // Each pipeline's bus holds descriptors until the pipeline is released.
    const int descriptors = OpenDescriptors();
    for (size_t i = 0; i < 300; ++i) {
        const Way& way = ways[i % ways.size()];
        GstMediaPlayer& player = *players[way.player];
        player.SetParentWindow(way.picture ? &surface : nullptr);
        player.Prepare(way.prepared);  // drops what was prepared before
        player.SetFile(way.opened);
        if (!way.opened.empty() && player.Open()) {
            player.ShowMaximized();
            player.Play();
            EXPECT_TRUE(!way.toEnd || PlayToEnd(player));
        }
        player.Close();
    }
    players.clear();
    // Pipelines still prerolling are released on GStreamer's own threads.
    for (int wait = 0; wait < 1000 && OpenDescriptors() > descriptors; ++wait) {
        std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
    testing::internal::GetCapturedStderr();
    if (!HasFailure()) {
        gst_deinit();  // the tracer's report; safe now that no pipeline is being released
    }
}

}  // namespace
}  // namespace chimeon
