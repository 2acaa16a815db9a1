#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ctl_test_support.h"
#include "support/mp3_frames.h"
#include "support/pulse_null_sink.h"
#include "support/wave_bytes.h"

namespace chimeon {
namespace {

using test::Ctl;
using test::Hex;
using test::JsonLines;
using test::SilentWav;
using test::TempDir;

const std::string kOnce = Hex("b2 a5 cd ea d6 d5 d6 b9");  // 播完终止
const std::string kChained = Hex("d0 f8 b2 a5");           // 续播
const std::string kMonday = Hex("d0 c7 c6 da d2 bb");      // 星期一
const std::string kTuesday = Hex("d0 c7 c6 da b6 fe");     // 星期二

// A stored row: title, start, "end  volume", marker + path.
std::string Row(const std::string& title, const std::string& start, const std::string& end,
                const std::string& path) {
    return title + "\r\n" + start + "\r\n" + end + "  100\r\n0" + path + "\r\n";
}

nlohmann::ordered_json Day(const TempDir& data, const std::string& date,
                           std::string* err = nullptr) {
    auto result = Ctl(data, {"day", date, "--json"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    if (err != nullptr) {
        *err = result.err;
    }
    return nlohmann::ordered_json::parse(result.out);
}

TEST(CtlDay, TodaysTableSelectionByDate) {
    TempDir data;
    data.Write("Day1.dat", Row("bell", "8:0:0", kOnce, "/nowhere/ring.wav"));
    data.Write("Day6.dat", Row("sat", "9:0:0", kOnce, "/nowhere/sat.wav"));
    // Rest days Sunday and Saturday; 5/3/2010 off; 10/01/2010 off but written with a leading zero.
    data.Write("HlidSave.dat", "1000001\r\n5/3/2010\r\n10/01/2010\r\n");
    // 5/1/2010 (a Saturday) works as Monday; 5/3/2010 is both off and extra (Tuesday, written
    // after Monday, so it applies); 5/4/2010 names an unknown table.
    data.Write("WorkSave.dat", "5/1/2010\r\n" + kMonday + "\r\n5/3/2010\r\n" + kMonday +
                                   "\r\n5/3/2010\r\n" + kTuesday + "\r\n5/4/2010\r\n" +
                                   Hex("d0 c7 c6 da b0 cb") + "\r\n");

    // "broadcast table file rows", as chimeonctl tells them; a table it cannot read is said.
    const std::pair<const char*, const char*> cases[] = {
        {"2010-05-01", R"(true "星期一" "Day1.dat" 1)"},
        {"2010-05-02", "false null null 0"},
        {"2010-05-03", R"(true "星期二" "Day2.dat" 0)"},
        {"2010-05-04", R"(true "星期八" null 0)"},
        {"2010-10-01", R"(true "星期五" "Day5.dat" 0)"},
        {"2010-05-10", R"(true "星期一" "Day1.dat" 1)"},
    };
    for (const auto& [date, chosen] : cases) {
        std::string err;
        auto day = Day(data, date, &err);
        EXPECT_EQ(day["broadcast"].dump() + " " + day["table"].dump() + " " + day["file"].dump() +
                      " " + std::to_string(day["rows"].size()),
                  chosen);
        EXPECT_EQ(err.empty(), day["broadcast"] == false || !day["rows"].empty()) << date << err;
    }
    auto saturday = Day(data, "2010-05-01");
    EXPECT_EQ(saturday["status"], "2010-05-01 播放星期一的节目表！") << "another day is no 今天";
    EXPECT_EQ(Day(data, "2010-05-02")["status"], "2010-05-02 是节假日！");
    auto today = Ctl(data, {"day", "--json"});
    EXPECT_EQ(
        nlohmann::ordered_json::parse(today.out)["status"].get<std::string>().rfind("今天", 0), 0u);
    EXPECT_EQ(saturday["date_text"], "5/1/2010");
    EXPECT_EQ(saturday["weekday"], 6);
    EXPECT_EQ(saturday["rows"][0]["exists"], false);
    EXPECT_TRUE(saturday["rows"][0]["duration"].is_null());

    for (const char* bad : {"2026-02-30", "tomorrow", ""}) {
        EXPECT_EQ(Ctl(data, {"day", bad}).exitCode, 2) << bad;
        EXPECT_EQ(Ctl(data, {"next", "--at", bad}).exitCode, 2) << bad;
    }
    // A damaged table's control bytes are escaped in the text, as in JSON.
    data.Write("Day3.dat", Row(std::string("a\0b\tc\x1b", 6), "8:0:0", kOnce, "/x.wav"));
    auto text = Ctl(data, {"day", "2010-05-05"});
    EXPECT_NE(text.out.find("\ta\\u0000b\\u0009c\\u001b\t"), std::string::npos) << text.out;
}

TEST(CtlNext, StartsAcrossDaysWithChainedRowsFollowing) {
    TempDir data;
    // Monday: 9:0:0 with a chained row, 8:0:0 listed later in the table, a duplicate 8:0:0.
    data.Write("Day1.dat", Row("nine", "9:0:0", kOnce, "/a.wav") +
                               Row("after nine", kChained, kOnce, "/b.wav") +
                               Row("eight", "8:0:0", kOnce, "/c.wav") +
                               Row("shadow", "8:0:0", kOnce, "/d.wav"));
    data.Write("HlidSave.dat", "1000001\r\n");
    auto result = Ctl(data, {"next", "--at", "2026-12-07 08:30:00", "--count", "3", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto lines = JsonLines(result.out);
    ASSERT_EQ(lines.size(), 5u) << result.out;
    EXPECT_EQ(lines[0]["date"], "2026-12-07");
    EXPECT_EQ(lines[0]["time"], "9:0:0");
    EXPECT_EQ(lines[0]["in_seconds"], 1800);
    EXPECT_EQ(lines[1]["time"], "续播");
    EXPECT_EQ(lines[1]["after_row"], 1);
    EXPECT_EQ(lines[2]["date"], "2026-12-14") << "the weekend and Tuesday to Sunday have no rows";
    EXPECT_EQ(lines[2]["title"], "eight");
    EXPECT_EQ(lines[2]["row"], 3);
    EXPECT_EQ(lines[3]["title"], "nine");
    EXPECT_EQ(lines[4]["title"], "after nine");
}

class CtlCheck : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!test::PulseNullSink::Start(&why)) {
            GTEST_SKIP() << "no PulseAudio null sink for the audio path: " << why;
        }
        ASSERT_TRUE(test::PulseNullSink::Pactl("set-sink-volume " +
                                               test::PulseNullSink::SinkName() + " 60%"));
        ASSERT_TRUE(
            test::PulseNullSink::Pactl("set-sink-mute " + test::PulseNullSink::SinkName() + " 0"));
        std::filesystem::create_directories(data / "media/folder");
        std::filesystem::create_directories(data / "media/empty");
        data.Write("media/bell.wav", test::ToneWav(2));
        data.Write("media/folder/x.wav", test::ToneWav(1));
        data.Write("media/broken.wav", "RIFF....not a wave at all, just words");
        data.Write("HlidSave.dat", "1000001\r\n");
    }
    std::string Media(const std::string& name) const { return (data / "media" / name).string(); }
    TempDir data;
};

TEST_F(CtlCheck, CleanDirectoryHasNothingToSay) {
    // A relative path lies in the data directory, wherever chimeonctl runs.
    data.Write("Day1.dat", Row("bell", "8:0:0", kOnce, Media("BELL.WAV")) +
                               Row("music", kChained, "9:0:0", Media("folder/")) +
                               Row("relative", "10:0:0", kOnce, "MEDIA\\bell.wav"));
    auto result = Ctl(data, {"check", "--at", "2026-12-07 07:00:00"});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.out, "");
    // The same tables on a PC whose clock nobody vouches for: every start is only that exact.
    auto unvouched = Ctl(data, {"check", "--at", "2026-12-07 07:00:00"}, "",
                         "unix:path=" + (data / "no-bus").string());
    EXPECT_EQ(unvouched.exitCode, 1) << unvouched.err;
    EXPECT_NE(unvouched.out.find("无法得知系统时钟是否同步"), std::string::npos) << unvouched.out;
}

TEST_F(CtlCheck, EachPlantedFaultIsFound) {
    data.Write("Day1.dat", Row("chained first", kChained, kOnce, Media("bell.wav")) +
                               Row("padded", "08:00:00", kOnce, Media("bell.wav")) +
                               Row("bad end", "8:0:1", "25:0:0", Media("bell.wav")) +
                               Row("missing", "8:1:0", kOnce, Media("gone.wav")) +
                               Row("unmeasurable", "8:2:0", kOnce, Media("broken.wav")) +
                               Row("no folder", "8:3:0", kOnce, Media("nofolder/")) +
                               Row("empty folder", "8:4:0", kOnce, Media("empty/")) +
                               Row("duplicate", "8:1:0", kOnce, Media("bell.wav")) +
                               Row("long", "9:0:0", "9:30:0", Media("bell.wav")) +
                               Row("shadowed", "9:10:0", kOnce, Media("bell.wav")) +
                               Row("0-byte", "10:0:0", kOnce, Media("empty.mp3")) +
                               Row("tag only", "10:1:0", kOnce, Media("tag.mp3")) +
                               Row("not media", "10:2:0", kOnce, Media("noise.ogg")));
    data.Write("media/empty.mp3", "");
    data.Write("media/tag.mp3", "TAG" + std::string(125, ' '));
    data.Write("media/noise.ogg", std::string(4096, '\x5a'));
    data.Write("Day2.dat",
               std::string("\x80\x81", 2));  // garbage loads as one row that cannot play
    data.Write("WorkSave.dat", "12/08/2026\r\n" + kMonday + "\r\n12/9/2026\r\nnone\r\n");
    data.Write("HlidSave.dat", "1000001\r\n12/25/2026\r\n1/01/2027\r\n");
    ASSERT_TRUE(
        test::PulseNullSink::Pactl("set-sink-volume " + test::PulseNullSink::SinkName() + " 0"));

    auto result = Ctl(data, {"check", "--at", "2026-12-07 07:00:00", "--json"});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    std::vector<std::string> found;
    for (const auto& line : JsonLines(result.out)) {
        found.push_back(line["file"].get<std::string>() + ":" +
                        std::to_string(line["row"].get<int>()));
    }
    std::vector<std::string> expected = {
        "HlidSave.dat:3", "WorkSave.dat:1", "WorkSave.dat:4", "Day1.dat:1",  "Day1.dat:2",
        "Day1.dat:3",     "Day1.dat:4",     "Day1.dat:5",     "Day1.dat:6",  "Day1.dat:7",
        "Day1.dat:8",     "Day1.dat:10",    "Day1.dat:11",    "Day1.dat:12", "Day1.dat:13",
        "Day2.dat:1",     "Day2.dat:1",     "Day2.dat:1",     ":0"};
    EXPECT_EQ(found, expected) << result.out;
    EXPECT_NE(result.out.find("master volume is at zero"), std::string::npos);
}

TEST_F(CtlCheck, DamagedCalendarAndUnreadableTableAreFound) {
    data.Write("HlidSave.dat", "10000\r\n");
    // There, but cannot be read: the program keeps the rows it showed, and the check says so.
    std::filesystem::create_directory(data / "Day1.dat");
    std::filesystem::create_symlink("/unmounted/share/Day2.dat", data / "Day2.dat");
    data.Write("day3.dat", "a\r\n");
    data.Write("DAY3.DAT", "b\r\n");
    data.Write("Day4.dat", Row("nul", std::string("8:0:0\0", 6), kOnce, Media("bell.wav")));
    auto result = Ctl(data, {"check", "--at", "2026-12-07 07:00:00"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("HlidSave.dat:1: the first line is not seven"), std::string::npos)
        << result.out;
    for (const char* expected :
         {"Day1.dat: cannot be read (是一个文件夹)",
          "Day2.dat: cannot be read (符号链接指向的文件不存在)",
          "Day3.dat: cannot be read (有几个名字只差大小写：DAY3.DAT、day3.dat)",
          "Day4.dat:1: start \"8:0:0\\u0000\" never equals"}) {
        EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
    }
    auto next = Ctl(data, {"next", "--at", "2026-12-07 07:00:00", "--count", "1"});
    EXPECT_NE(next.err.find("cannot read Day1.dat (是一个文件夹)"), std::string::npos) << next.err;
}

TEST(CtlMedia, ProbeAndMp3InfoOfGeneratedFiles) {
    TempDir data;
    data.Write("bell.wav", SilentWav(3));
    data.Write("notes.mid", "MThd");
    auto probe =
        Ctl(data, {"probe", (data / "bell.wav").string(), (data / "notes.mid").string(), "--json"});
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    auto lines = JsonLines(probe.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["text"], "0:03");
    EXPECT_EQ(lines[0]["seconds"], 3);
    EXPECT_EQ(lines[1]["text"], "00:00");
    EXPECT_TRUE(lines[1]["seconds"].is_null());

    // Two MPEG-1 Layer III frames at 128 kbit/s, 44100 Hz, and an ID3v1.1 tag.
    data.Write("song.mp3",
               test::Repeat(test::Frame(test::FrameFields{}, 417), 2) +
                   test::Tag(test::Field("Title", 90) + "2026" + test::Field("", 29) + "\x07", 12));
    auto info = Ctl(data, {"mp3info", (data / "song.mp3").string(), "--json"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    lines = JsonLines(info.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["opened"], true);
    EXPECT_EQ(lines[0]["frames"], 2);
    EXPECT_EQ(lines[0]["avg_bitrate"], 128);
    EXPECT_EQ(lines[0]["sample_rate"], 44100);
    EXPECT_EQ(lines[0]["tag"]["title"], "Title");
    EXPECT_EQ(lines[0]["tag"]["track"], 7);
    EXPECT_EQ(lines[0]["tag"]["genre"], 12);
    EXPECT_EQ(lines[0]["tag"]["genre_name"], "Other");
}

TEST(CtlMedia, WhatIsNotAFileIsBadInputForBoth) {
    TempDir data;
    ASSERT_EQ(::mkfifo((data / "fifo").c_str(), 0600), 0);
    for (const char* command : {"probe", "mp3info"}) {
        for (const std::string& bad : {(data / "gone.mp3").string(), data.path().string(),
                                       (data / "fifo").string(), std::string("/dev/zero")}) {
            auto result = Ctl(data, {command, bad});
            EXPECT_EQ(result.exitCode, 2) << command << ' ' << bad;
            EXPECT_EQ(result.out, "") << command << ' ' << bad;
            EXPECT_EQ(result.err.rfind("chimeonctl: cannot open " + bad + " (", 0), 0u)
                << result.err;
        }
    }
}

}  // namespace
}  // namespace chimeon
