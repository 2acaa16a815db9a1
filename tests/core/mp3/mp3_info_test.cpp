#include "core/mp3/mp3_info.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

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
using test::Repeat;
using test::Tag;

const FrameFields kCbr128;  // MPEG 1 Layer III, 128 kbit/s, 44100 Hz: 417 bytes
const std::string kFrame128 = Frame(kCbr128, 417);

// The bytes as a file, loaded.
CMp3Info LoadBytes(const test::TempDir& dir, const std::string& bytes) {
    dir.Write("a.mp3", bytes);
    CMp3Info info;
    EXPECT_TRUE(info.Load((dir / "a.mp3").string()));
    return info;
}

// What the walk found: "frames kbit/s Hz seconds".
std::string Walked(const CMp3Info& info) {
    return std::to_string(info.GetFrameCount()) + " " + std::to_string(info.GetAverageBitrate()) +
           " " + std::to_string(info.GetSampleRate()) + " " + std::to_string(info.GetPlayTime());
}

FrameFields With(FrameFields f, int bitrateIndex, int rateIndex = 0) {
    f.bitrateIndex = bitrateIndex;
    f.rateIndex = rateIndex;
    return f;
}

// 1001 equal frames: lengths, bitrates and times below are worked out by hand from the frame
// rules (e.g. MPEG 2 Layer III 40 kbit/s at 22050 Hz: 40 × 72000 ÷ 22050 = 130 bytes, each
// frame 130 × 8 ÷ 40000 = 0.026 s, 1001 frames 26.026 s). Fields: version code, layer code,
// protection, bitrate index, rate index, padding.
TEST(Mp3InfoTest, ConstantBitrateFramesOfEveryVersionAndLayer) {
    const struct {
        FrameFields fields;
        int length;
        const char* walked;
        int version, layer;
    } cases[] = {
        {{3, 1, 1, 9, 0, 1}, 418, "1001 128 44100 26", 3, 3},
        {{3, 1, 1, 14, 1, 0}, 960, "1001 320 48000 24", 3, 3},
        {{3, 1, 1, 13, 2, 1}, 1153, "1001 256 32000 36", 3, 3},
        {{3, 3, 1, 14, 0, 1}, 488, "1001 448 44100 8", 3, 1},
        {{3, 3, 1, 1, 1, 0}, 32, "1001 32 48000 8", 3, 1},
        {{3, 2, 1, 14, 1, 0}, 1152, "1001 384 48000 24", 3, 2},
        {{2, 1, 1, 5, 0, 0}, 130, "1001 40 22050 26", 2, 3},
        {{2, 1, 1, 1, 2, 0}, 36, "1001 8 16000 36", 2, 3},
        {{2, 2, 1, 14, 0, 0}, 1044, "1001 160 22050 52", 2, 2},
        {{2, 3, 1, 9, 0, 0}, 312, "1001 144 22050 17", 2, 1},
        {{0, 1, 1, 14, 1, 0}, 960, "1001 160 12000 48", 1, 3},
        {{0, 3, 1, 1, 0, 0}, 136, "1001 32 11025 34", 1, 1},
        {{0, 2, 1, 8, 0, 1}, 836, "1001 64 11025 104", 1, 2},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        CMp3Info info = LoadBytes(dir, Repeat(Frame(c.fields, c.length), 1001));
        EXPECT_EQ(Walked(info), c.walked);
        EXPECT_EQ(info.GetVersion(), c.version) << c.walked;
        EXPECT_EQ(info.GetLayer(), c.layer) << c.walked;
        EXPECT_EQ(info.GetStatus(), kMp3FramesCounted) << c.walked;
        EXPECT_EQ(info.GetCrcPresent(), 0) << c.walked;
    }
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

TEST(Mp3InfoTest, WalksOddStreamsWithoutReadingPastTheEnd) {
    FrameFields reservedLayer = kCbr128, reservedVersion = kCbr128;
    reservedLayer.layerCode = 0;
    reservedVersion.versionCode = 1;
    const std::string rate3 = Frame(With(kCbr128, 9, 3), 417);
    const std::string header = FrameHeader(kCbr128);
    const std::string frames = Repeat(kFrame128, 1001);
    const std::string cover(200000, '\0');  // far beyond the sync search's reach
    std::string badSize = Id3v2Header(3, 0, 200000);
    badSize[6] = static_cast<char>(0x80);
    const struct {
        const char* name;
        std::string bytes;
        const char* walked;
    } cases[] = {
        // 32, 128 and 320 kbit/s frames: 104, 417 and 1044 bytes; 0.026 + 0.0260625 + 0.0261 s.
        {"variable bitrate: averages",
         Repeat(Frame(With(kCbr128, 1), 104) + kFrame128 + Frame(With(kCbr128, 14), 1044), 100) +
             Frame(With(kCbr128, 1), 104),
         "301 159 44100 7"},
        // A free-format frame has no length: the next search starts behind its header.
        {"free format counted without time",
         FrameHeader(With(kCbr128, 0)) + std::string(100, '\0') + Repeat(kFrame128, 1001),
         "1002 127 44100 26"},
        // Read as -1 kbit/s, each would add (-3 × 8) ÷ -1000 = 0.024 s of sound not there.
        {"forbidden bitrate like free format",
         Repeat(FrameHeader(With(kCbr128, 15)), 100) + Repeat(kFrame128, 1001),
         "1101 116 44100 26"},
        {"reserved layer: no bitrate", Repeat(FrameHeader(reservedLayer), 3), "3 0 44100 0"},
        {"rate index 3 keeps the rate before", kFrame128 + rate3 + kFrame128, "3 128 44100 0"},
        {"no usable rate first: no walk", rate3 + Repeat(kFrame128, 10), "0 0 0 0"},
        {"reserved version first: no walk", Frame(reservedVersion, 417) + Repeat(kFrame128, 10),
         "0 0 0 0"},
        {"10000 bytes before sync", std::string(10000, '\0') + kFrame128, "1 128 44100 0"},
        {"10001 bytes before sync", std::string(10001, '\0') + kFrame128, "0 0 0 0"},
        {"10000 between frames", kFrame128 + std::string(10000, '\x11') + kFrame128,
         "2 128 44100 0"},
        {"10001 between frames", kFrame128 + std::string(10001, '\x11') + kFrame128,
         "1 128 44100 0"},
        {"empty", "", "0 0 0 0"},
        {"three bytes of a header", header.substr(0, 3), "0 0 0 0"},
        {"a lone header", header, "1 128 44100 0"},
        {"header in the last three bytes", kFrame128 + header.substr(0, 3), "1 128 44100 0"},
        {"truncated frame", kFrame128.substr(0, 200), "1 128 44100 0"},
        {"garbage", std::string(5000, '\x5A'), "0 0 0 0"},
        {"sync bytes only", std::string(64, '\xFF'), "0 0 0 0"},
        // A well-formed ID3v2 tag in front is skipped; one that claims more than the file holds
        // is not a tag, and the walk starts at the beginning as usual.
        {"ID3v2.3", Id3v2Header(3, 0, 200000) + cover + frames, "1001 128 44100 26"},
        {"ID3v2.4 with footer",
         Id3v2Header(4, 0x10, 200000) + cover + "3DI" + std::string(7, '\0') + frames,
         "1001 128 44100 26"},
        {"ID3v2.2", Id3v2Header(2, 0, 200000) + cover + frames, "1001 128 44100 26"},
        {"ID3v2 size not syncsafe", badSize + cover + frames, "0 0 0 0"},
        {"ID3v2 of an unknown version", Id3v2Header(5, 0, 200000) + cover + frames, "0 0 0 0"},
        {"ID3v2 beyond the file", Id3v2Header(3, 0, 5000000) + std::string(100, '\0') + frames,
         "1001 128 44100 26"},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        CMp3Info info = LoadBytes(dir, c.bytes);
        EXPECT_EQ(Walked(info), c.walked) << c.name;
        EXPECT_EQ((info.GetStatus() & kMp3FramesCounted) != 0, info.GetFrameCount() > 0) << c.name;
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

// What the tag gave: "title|artist|album|year|comment|track|genre", after "no tag: " when none
// was read.
std::string Tagged(const CMp3Info& info) {
    return std::string((info.GetStatus() & kMp3TagRead) ? "" : "no tag: ") + info.GetRawTitle() +
           "|" + info.GetRawArtist() + "|" + info.GetRawAlbum() + "|" + info.GetRawYear() + "|" +
           info.GetRawComment() + "|" + std::to_string(info.GetTrack()) + "|" +
           std::to_string(info.GetGenre());
}

TEST(Mp3InfoTest, ReadsId3v1AndId3v11TagsAtTheEndOnly) {
    const std::string x30(30, 'x'), c30 = std::string(29, 'c') + "C", k28(28, 'k');
    const std::string frames = Repeat(kFrame128, 3), bell = Tag(Field("Bell", 30), 3);
    const struct {
        const char* name;
        std::string bytes;
        std::string tagged;
    } cases[] = {
        {"v1.0: comment of 30 bytes",
         frames +
             Tag(Field("Bell", 30) + Field("School", 30) + Field("Album", 30) + "2010" + c30, 17),
         "Bell|School|Album|2010|" + c30 + "|0|17"},
        {"v1.1: track", frames + Tag(Field("T", 90) + "1999" + Field("hi", 28) + '\0' + "\x07", 80),
         "T|||1999|hi|7|80"},
        {"v1.1: track 0", frames + Tag(std::string(90, '\0') + Field("12", 4) + k28, 0),
         "|||12|" + k28 + "|0|0"},
        {"fields of full width", frames + Tag(x30 + x30 + x30 + "2024" + x30, 255),
         x30 + "|" + x30 + "|" + x30 + "|2024|" + x30 + "|0|255"},
        {"trailing blanks kept", frames + Tag(Field("Ring   ", 30), 12), "Ring   |||||0|12"},
        {"a tag alone", bell, "Bell|||||0|3"},
        {"shorter than a tag", kFrame128.substr(0, 100), "no tag: |||||0|255"},
        {"tag cut short", kFrame128 + bell.substr(0, 127), "no tag: |||||0|255"},
        {"no marker", kFrame128 + "TAB" + bell.substr(3), "no tag: |||||0|255"},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        EXPECT_EQ(Tagged(LoadBytes(dir, c.bytes)), c.tagged) << c.name;
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

// The page's box holds the empty entry first; a byte past the list names no genre.
TEST(Mp3InfoTest, GenreNamesAndThePagesGenreBox) {
    test::TempDir dir;
    for (auto [genre, index, name] :
         {std::tuple{0, 1, "Blues"}, {147, 148, "SynthPop"}, {148, 0, ""}, {255, 0, ""}}) {
        CMp3Info info = LoadBytes(dir, Repeat(kFrame128, 3) + Tag(Field("Bell", 30), genre));
        EXPECT_EQ(MakeMp3InfoView(info.GetPath(), true, info).genreIndex, index) << genre;
        EXPECT_EQ(GenreName(genre), name) << genre;
    }
    EXPECT_EQ(GenreName(-1), "");
}

}  // namespace
}  // namespace chimeon
