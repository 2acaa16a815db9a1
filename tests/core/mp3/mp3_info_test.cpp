#include "core/mp3/mp3_info.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "core/mp3/genre_names.h"
#include "core/mp3/mp3_info_report.h"
#include "support/mp3_frames.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::Field;
using test::Frame;
using test::FrameFields;
using test::FrameHeader;
using test::Tag;

std::string Repeat(const std::string& block, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += block;
    }
    return out;
}

const FrameFields kCbr128;  // MPEG 1 Layer III, 128 kbit/s, 44100 Hz: 417 bytes
const std::string kFrame128 = Frame(kCbr128, 417);

FrameFields WithBitrate(FrameFields f, int index) {
    f.bitrateIndex = index;
    return f;
}

CMp3Info LoadBytes(const test::TempDir& dir, const std::string& bytes,
                   const std::string& name = "a.mp3") {
    dir.Write(name, bytes);
    CMp3Info info;
    EXPECT_TRUE(info.Load((dir / name).string()));
    return info;
}

// 1001 equal frames: lengths, bitrates and times below are worked out by hand from the frame
// rules (e.g. MPEG 2 Layer III 40 kbit/s at 22050 Hz: 40 × 72000 ÷ 22050 = 130 bytes, each
// frame 130 × 8 ÷ 40000 = 0.026 s, 1001 frames 26.026 s). Fields: version code, layer code,
// protection, bitrate index, rate index, padding.
TEST(Mp3InfoTest, ConstantBitrateFramesOfEveryVersionAndLayer) {
    const struct {
        FrameFields fields;
        int length, bitrate, sampleRate, version, layer, playTime;
    } cases[] = {
        {{3, 1, 1, 9, 0, 1}, 418, 128, 44100, 3, 3, 26},  {{3, 1, 1, 14, 1, 0}, 960, 320, 48000, 3, 3, 24},
        {{3, 1, 1, 13, 2, 1}, 1153, 256, 32000, 3, 3, 36}, {{3, 3, 1, 14, 0, 1}, 488, 448, 44100, 3, 1, 8},
        {{3, 3, 1, 1, 1, 0}, 32, 32, 48000, 3, 1, 8},     {{3, 2, 1, 14, 1, 0}, 1152, 384, 48000, 3, 2, 24},
        {{2, 1, 1, 5, 0, 0}, 130, 40, 22050, 2, 3, 26},    {{2, 1, 1, 1, 2, 0}, 36, 8, 16000, 2, 3, 36},
        {{2, 2, 1, 14, 0, 0}, 1044, 160, 22050, 2, 2, 52}, {{2, 3, 1, 9, 0, 0}, 312, 144, 22050, 2, 1, 17},
        {{0, 1, 1, 14, 1, 0}, 960, 160, 12000, 1, 3, 48},  {{0, 3, 1, 1, 0, 0}, 136, 32, 11025, 1, 1, 34},
        {{0, 2, 1, 8, 0, 1}, 836, 64, 11025, 1, 2, 104},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        CMp3Info info = LoadBytes(dir, Repeat(Frame(c.fields, c.length), 1001));
        SCOPED_TRACE(c.length);
        EXPECT_EQ(info.GetFrameCount(), 1001u);
        EXPECT_EQ(info.GetAverageBitrate(), c.bitrate);
        EXPECT_EQ(info.GetSampleRate(), c.sampleRate);
        EXPECT_EQ(info.GetVersion(), c.version);
        EXPECT_EQ(info.GetLayer(), c.layer);
        EXPECT_EQ(info.GetPlayTime(), c.playTime);
        EXPECT_EQ(info.GetStatus(), kMp3FramesCounted);
        EXPECT_EQ(info.GetCrcPresent(), 0);
    }
}

TEST(Mp3InfoTest, VariableBitrateAveragesPerFrameBitratesAndSumsFrameTimes) {
    test::TempDir dir;
    // 32, 128 and 320 kbit/s frames: 104, 417 and 1044 bytes; 0.026 + 0.0260625 + 0.0261 s.
    std::string triple =
        Frame(WithBitrate(kCbr128, 1), 104) + kFrame128 + Frame(WithBitrate(kCbr128, 14), 1044);
    CMp3Info info = LoadBytes(dir, Repeat(triple, 100) + Frame(WithBitrate(kCbr128, 1), 104));
    EXPECT_EQ(info.GetFrameCount(), 301u);
    EXPECT_EQ(info.GetAverageBitrate(), 159);  // 48032 / 301
    EXPECT_EQ(info.GetPlayTime(), 7);          // 7.81625 + 0.026
}

TEST(Mp3InfoTest, FreeFormatAndForbiddenBitrateFramesAreCountedWithoutTime) {
    test::TempDir dir;
    // A free-format frame has no length: the next search starts behind its header.
    CMp3Info free = LoadBytes(dir, FrameHeader(WithBitrate(kCbr128, 0)) + std::string(100, '\0') +
                                       Repeat(kFrame128, 1001));
    EXPECT_EQ(free.GetFrameCount(), 1002u);
    EXPECT_EQ(free.GetAverageBitrate(), 127);  // 128128 / 1002
    EXPECT_EQ(free.GetPlayTime(), 26);
    // Read as -1 kbit/s, each such header would otherwise add (-3 × 8) ÷ -1000 = 0.024 s: 100
    // of them 2.4 s of sound that is not there.
    CMp3Info forbidden = LoadBytes(
        dir, Repeat(FrameHeader(WithBitrate(kCbr128, 15)), 100) + Repeat(kFrame128, 1001));
    EXPECT_EQ(forbidden.GetFrameCount(), 1101u);
    EXPECT_EQ(forbidden.GetAverageBitrate(), 116);  // 128128 / 1101
    EXPECT_EQ(forbidden.GetPlayTime(), 26);
}

TEST(Mp3InfoTest, ReservedLayerFramesHaveNoBitrate) {
    test::TempDir dir;
    FrameFields reserved = kCbr128;
    reserved.layerCode = 0;
    CMp3Info info = LoadBytes(dir, Repeat(FrameHeader(reserved), 3));
    EXPECT_EQ(info.GetFrameCount(), 3u);
    EXPECT_EQ(info.GetLayer(), 0);
    EXPECT_EQ(info.GetAverageBitrate(), 0);
    EXPECT_EQ(info.GetPlayTime(), 0);
}

TEST(Mp3InfoTest, SampleRateIndexThreeKeepsThePreviousRate) {
    test::TempDir dir;
    FrameFields index3 = kCbr128;
    index3.rateIndex = 3;
    CMp3Info info = LoadBytes(dir, kFrame128 + Frame(index3, 417) + kFrame128);
    EXPECT_EQ(info.GetFrameCount(), 3u);
    EXPECT_EQ(info.GetSampleRate(), 44100);
}

TEST(Mp3InfoTest, FirstHeaderWithoutUsableSampleRateEndsTheWalk) {
    FrameFields index3 = kCbr128;
    index3.rateIndex = 3;
    FrameFields reservedVersion = kCbr128;
    reservedVersion.versionCode = 1;
    for (const FrameFields& first : {index3, reservedVersion}) {
        test::TempDir dir;
        CMp3Info info = LoadBytes(dir, Frame(first, 417) + Repeat(kFrame128, 10));
        EXPECT_EQ(info.GetFrameCount(), 0u);
        EXPECT_EQ(info.GetStatus() & kMp3FramesCounted, 0u);
        EXPECT_EQ(info.GetAverageBitrate(), 0);
        EXPECT_EQ(info.GetPlayTime(), 0);
        EXPECT_EQ(info.GetSampleRate(), 0);
    }
}

TEST(Mp3InfoTest, FirstHeaderFixesVersionLayerCrcLastHeaderGivesModeAndBits) {
    test::TempDir dir;
    FrameFields first = kCbr128;
    first.protection = 0;
    FrameFields second = kCbr128;
    second.layerCode = 3;  // Layer I here, yet its bitrate and length follow the first's Layer III
    second.channelMode = 3;
    second.copyright = 1;
    second.original = 1;
    second.emphasis = 1;
    CMp3Info info = LoadBytes(dir, Frame(first, 417) + Frame(second, 417) + Frame(second, 417));
    EXPECT_EQ(info.GetFrameCount(), 3u);
    EXPECT_EQ(info.GetVersion(), 3);
    EXPECT_EQ(info.GetLayer(), 3);
    EXPECT_EQ(info.GetCrcPresent(), 1);
    EXPECT_EQ(info.GetAverageBitrate(), 128);
    EXPECT_EQ(info.GetChannelMode(), 3);
    EXPECT_EQ(info.GetCopyright(), 1);
    EXPECT_EQ(info.GetOriginal(), 1);
    EXPECT_EQ(info.GetEmphasis(), 1);
}

TEST(Mp3InfoTest, SyncSearchGivesUpAfterTenThousandMisses) {
    struct Case {
        std::string bytes;
        unsigned frames;
    };
    const Case cases[] = {
        {std::string(10000, '\0') + kFrame128, 1},
        {std::string(10001, '\0') + kFrame128, 0},
        {kFrame128 + std::string(10000, '\x11') + kFrame128, 2},
        {kFrame128 + std::string(10001, '\x11') + kFrame128, 1},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        EXPECT_EQ(LoadBytes(dir, c.bytes).GetFrameCount(), c.frames) << c.bytes.size();
    }
}

TEST(Mp3InfoTest, ShortAndTruncatedFilesNeverReadPastTheEnd) {
    struct Case {
        const char* name;
        std::string bytes;
        unsigned frames;
        int bitrate;
    };
    const Case cases[] = {
        {"empty", "", 0, 0},
        {"three bytes of a header", FrameHeader(kCbr128).substr(0, 3), 0, 0},
        {"a lone header", FrameHeader(kCbr128), 1, 128},
        {"header in the last three bytes", kFrame128 + FrameHeader(kCbr128).substr(0, 3), 1, 128},
        {"truncated frame", kFrame128.substr(0, 200), 1, 128},
        {"garbage", std::string(5000, '\x5A'), 0, 0},
        {"sync bytes only (no usable rate)", std::string(64, '\xFF'), 0, 0},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        CMp3Info info = LoadBytes(dir, c.bytes);
        EXPECT_EQ(info.GetFrameCount(), c.frames) << c.name;
        EXPECT_EQ(info.GetAverageBitrate(), c.bitrate) << c.name;
        EXPECT_EQ(info.GetPlayTime(), 0) << c.name;
        EXPECT_EQ(FormatPlayTime(info.GetPlayTime()), "0:00") << c.name;
    }
}

TEST(Mp3InfoTest, ReadsId3v1AndId3v11Tags) {
    struct Case {
        const char* name;
        std::string tag;
        std::string title, artist, album, year, comment;
        int track;
        int genre;
    };
    const std::string full30(30, 'x');
    const Case cases[] = {
        {"v1.0 comment of 30 bytes",
         Tag(Field("Bell", 30) + Field("School", 30) + Field("Album", 30) + "2010" +
                 Field(std::string(29, 'c') + "C", 30),
             17),
         "Bell", "School", "Album", "2010", std::string(29, 'c') + "C", 0, 17},
        {"v1.1 track",
         Tag(Field("T", 30) + Field("", 30) + Field("", 30) + "1999" + Field("hi", 28) +
                 std::string(1, '\0') + "\x07",
             80),
         "T", "", "", "1999", "hi", 7, 80},
        {"v1.1 with track 0",
         Tag(std::string(90, '\0') + "12" + std::string(2, '\0') + std::string(28, 'k') +
                 std::string(2, '\0'),
             0),
         "", "", "", "12", std::string(28, 'k'), 0, 0},
        {"fields of full width", Tag(full30 + full30 + full30 + "2024" + full30, 255), full30,
         full30, full30, "2024", full30, 0, 255},
        {"trailing blanks kept", Tag(Field("Ring   ", 30), 12), "Ring   ", "", "", "", "", 0, 12},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        CMp3Info info = LoadBytes(dir, Repeat(kFrame128, 3) + c.tag);
        EXPECT_EQ(info.GetStatus(), kMp3TagRead | kMp3FramesCounted) << c.name;
        EXPECT_EQ(info.GetRawTitle(), c.title) << c.name;
        EXPECT_EQ(info.GetRawArtist(), c.artist) << c.name;
        EXPECT_EQ(info.GetRawAlbum(), c.album) << c.name;
        EXPECT_EQ(info.GetRawYear(), c.year) << c.name;
        EXPECT_EQ(info.GetRawComment(), c.comment) << c.name;
        EXPECT_EQ(info.GetTrack(), c.track) << c.name;
        EXPECT_EQ(info.GetGenre(), c.genre) << c.name;
    }
}

TEST(Mp3InfoTest, TagTextsComeOutAsUtf8AndStayAvailableAsStored) {
    test::TempDir dir;
    const std::string gbkTitle = test::Hex("c9 cf bf ce c1 e5");  // 上课铃
    CMp3Info info = LoadBytes(dir, Tag(Field(gbkTitle, 30) + Field("\xd6\xd0", 30), 255));
    EXPECT_EQ(info.GetTitle(), "上课铃");
    EXPECT_EQ(info.GetArtist(), "中");
    EXPECT_EQ(info.GetRawTitle(), gbkTitle);
}

TEST(Mp3InfoTest, NoTagInShortFilesOrWithoutTheMarker) {
    test::TempDir dir;
    std::string tagLike = Tag(Field("Bell", 30), 3);
    struct Case {
        const char* name;
        std::string bytes;
        unsigned frames;
    };
    const Case cases[] = {
        {"shorter than a tag", kFrame128.substr(0, 100), 1},
        {"tag cut short", kFrame128 + tagLike.substr(0, 127), 1},
        {"no marker", kFrame128 + "TAB" + tagLike.substr(3), 1},
    };
    for (const Case& c : cases) {
        CMp3Info info = LoadBytes(dir, c.bytes);
        EXPECT_EQ(info.GetFrameCount(), c.frames) << c.name;
        EXPECT_EQ(info.GetStatus() & kMp3TagRead, 0u) << c.name;
        EXPECT_EQ(info.GetRawTitle(), "") << c.name;
        EXPECT_EQ(info.GetGenre(), 255) << c.name;
        EXPECT_EQ(info.GetTrack(), 0) << c.name;
    }
    CMp3Info tagOnly = LoadBytes(dir, tagLike);
    EXPECT_EQ(tagOnly.GetStatus(), kMp3TagRead);
    EXPECT_EQ(tagOnly.GetRawTitle(), "Bell");
}

// An ID3v2 header: version, flags and a syncsafe size.
std::string Id3v2Header(int major, int flags, std::uint32_t size) {
    std::string h = "ID3";
    h += static_cast<char>(major);
    h += '\0';
    h += static_cast<char>(flags);
    for (int shift : {21, 14, 7, 0}) {
        h += static_cast<char>((size >> shift) & 0x7F);
    }
    return h;
}

TEST(Mp3InfoTest, LeadingId3v2TagIsSkippedWhenWellFormed) {
    const std::string frames = Repeat(kFrame128, 1001);
    const std::string cover(200000, '\0');  // far beyond the sync search's reach
    struct Case {
        const char* name;
        std::string bytes;
        unsigned frames;
    };
    std::string badSize = Id3v2Header(3, 0, 200000);
    badSize[6] = static_cast<char>(0x80);
    const Case cases[] = {
        {"v2.3", Id3v2Header(3, 0, 200000) + cover + frames, 1001},
        {"v2.4 with footer",
         Id3v2Header(4, 0x10, 200000) + cover + "3DI" + std::string(7, '\0') + frames, 1001},
        {"v2.2", Id3v2Header(2, 0, 200000) + cover + frames, 1001},
        {"size byte not syncsafe", badSize + cover + frames, 0},
        {"unknown version", Id3v2Header(5, 0, 200000) + cover + frames, 0},
        // Claims more than the file holds: the walk starts at the beginning as usual.
        {"size beyond the file", Id3v2Header(3, 0, 5000000) + std::string(100, '\0') + frames,
         1001},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        CMp3Info info = LoadBytes(dir, c.bytes);
        EXPECT_EQ(info.GetFrameCount(), c.frames) << c.name;
        if (c.frames > 0) {
            EXPECT_EQ(info.GetPlayTime(), 26) << c.name;
        }
    }
}

TEST(Mp3InfoTest, EveryLoadStartsFromResetAndOneThatFailsForgetsThePath) {
    test::TempDir dir;
    dir.Write("tagged.mp3", Repeat(kFrame128, 3) + Tag(Field("Bell", 30), 1));
    dir.Write("plain.mp3", "");
    ASSERT_EQ(mkfifo((dir / "fifo.mp3").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.mp3");
    for (const char* name : {"plain.mp3", "missing.mp3", "fifo.mp3", "folder.mp3"}) {
        CMp3Info info((dir / "tagged.mp3").string());
        ASSERT_EQ(info.GetRawTitle(), "Bell");
        const bool opened = *name == 'p';
        EXPECT_EQ(info.Load((dir / name).string()), opened) << name;
        EXPECT_EQ(info.GetPath(), opened ? (dir / name).string() : "") << name;
        EXPECT_EQ(info.GetStatus(), 0u) << name;
        EXPECT_EQ(info.GetFrameCount(), 0u) << name;
        EXPECT_EQ(info.GetRawTitle(), "") << name;
        EXPECT_EQ(info.GetGenre(), 255) << name;
    }
}

TEST(Mp3InfoTest, StopFlagAbandonsTheWalk) {
    test::TempDir dir;
    dir.Write("long.mp3", Repeat(kFrame128, 10000));
    std::atomic<bool> stop{true};
    CMp3Info info;
    EXPECT_FALSE(info.Load((dir / "long.mp3").string(), &stop));
    EXPECT_EQ(info.GetFrameCount(), 0u);
    stop = false;
    EXPECT_TRUE(info.Load((dir / "long.mp3").string(), &stop));
    EXPECT_EQ(info.GetFrameCount(), 10000u);
}

TEST(Mp3InfoTest, PageGenreBoxHasTheEmptyEntryFirst) {
    test::TempDir dir;
    for (auto [genre, index] : {std::pair{0, 1}, {147, 148}, {148, 0}, {255, 0}}) {
        CMp3Info info = LoadBytes(dir, Repeat(kFrame128, 3) + Tag(Field("Bell", 30), genre));
        EXPECT_EQ(MakeMp3InfoView(info.GetPath(), true, info).genreIndex, index) << genre;
    }
}

TEST(Mp3InfoTest, FormatPlayTimeGivesMinutesAndTwoDigitSeconds) {
    const std::pair<int, const char*> cases[] = {{0, "0:00"},  {5, "0:05"},  {59, "0:59"},
                                                 {60, "1:00"}, {65, "1:05"}, {3725, "62:05"}};
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(FormatPlayTime(seconds), text);
    }
    EXPECT_EQ(FormatPlayTime64(30000), "500:00");
}

TEST(Mp3InfoTest, GenreNamesAreTheFixedList) {
    EXPECT_EQ(kGenreNames.size(), 148u);
    EXPECT_EQ(GenreName(0), "Blues");
    EXPECT_EQ(GenreName(67), "Psychadelic");
    EXPECT_EQ(GenreName(147), "SynthPop");
    for (int outside : {148, 255, -1}) {
        EXPECT_EQ(GenreName(outside), "") << outside;
    }
}

}  // namespace
}  // namespace chimeon
