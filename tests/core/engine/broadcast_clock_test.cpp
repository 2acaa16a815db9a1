#include "core/engine/broadcast_clock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/engine/history_recorder.h"
#include "support/clock_rig.h"
#include "support/fake_system_ports.h"

namespace chimeon {
namespace {

using test::ClockRig;
using test::MsFromLocal;
using Files = std::vector<std::string>;

constexpr std::int64_t kSecond = 1000;
const std::string kOnce(kEndPlayOnce);

ProgramItem Row(std::string start, std::string end, std::string path, std::string volume = "100",
                std::string mode = "顺序") {
    return ProgramItem{
        "t", std::move(start), std::move(end), std::move(volume), std::move(mode), std::move(path)};
}

// Monday 7 December 2026 ("Day1.dat"); Tuesday's table is "Day2.dat".
class BroadcastClockTest : public ::testing::Test {
protected:
    explicit BroadcastClockTest(int hour = 7, int minute = 59, int second = 50)
        : rig(MsFromLocal(2026, 12, 7, hour, minute, second)) {}

    void Start(const ScheduleTable& monday) {
        rig.WriteTable("Day1.dat", monday);
        rig.StartClock();
    }
    int Count(const std::string& entry) const {
        const auto& log = rig.player.Log();
        return static_cast<int>(std::count(log.begin(), log.end(), entry));
    }

    ClockRig rig;
};

class BroadcastClockAtNightTest : public BroadcastClockTest {
protected:
    BroadcastClockAtNightTest() : BroadcastClockTest(23, 59, 40) {}
};

TEST_F(BroadcastClockTest, StartsInTheFirstStepOfItsSecondAndEndsAtTheEndOfPlay) {
    rig.AddFiles({{"/m/a.mp3", 2}});
    Start({Row("8:0:0", kOnce, "/m/a.mp3")});
    EXPECT_EQ(rig.clock.CurrentRow(), -1);
    EXPECT_EQ(rig.clock.StatusText(), "今天播放星期一的节目表！");

    rig.RunUntil(7, 59, 59, 999);
    EXPECT_EQ(rig.States(), "待播");
    EXPECT_TRUE(rig.player.Opened().empty());
    rig.RunUntil(8, 0, 0, 5);
    EXPECT_EQ(rig.States(), "正播");
    EXPECT_EQ(rig.player.Opened(), Files{"/m/a.mp3"});
    EXPECT_TRUE(rig.player.IsPlaying());
    EXPECT_EQ(rig.clock.CurrentRow(), 0);

    rig.RunUntil(8, 0, 1, 999);
    EXPECT_EQ(rig.States(), "正播");
    rig.RunUntil(8, 0, 2, 500);
    EXPECT_EQ(rig.States(), "待播");
    EXPECT_FALSE(rig.clock.IsPlaying());
    EXPECT_FALSE(rig.player.IsOpen());
    EXPECT_TRUE(rig.player.Violations().empty());
}

TEST_F(BroadcastClockTest, ChainedRowsFollowAndAFolderWithoutFilesIsPassedOver) {
    rig.AddFiles({{"/m/a.mp3", 1}, {"/m/c.mp3", 1}, {"/f/1.mp3", 0.5}, {"/f/2.mp3", 0.5}});
    rig.lister.SetFolder("/f/", {"/f/1.mp3", "/f/2.mp3"});
    Start({Row("8:0:0", kOnce, "/m/a.mp3"), Row("续播", kOnce, "/empty/"),
           Row("续播", kOnce, "/m/c.mp3"), Row("续播", kOnce, "/f/"), Row("续播", kOnce, "/empty/"),
           Row("8:0:5", kOnce, "/m/a.mp3")});
    rig.RunUntil(8, 0, 4);
    EXPECT_EQ(rig.player.Opened(), (Files{"/m/a.mp3", "/m/c.mp3", "/f/1.mp3", "/f/2.mp3"}));
    EXPECT_EQ(rig.States(), "待播|待播|待播|待播|待播|待播");
    EXPECT_FALSE(rig.clock.IsPlaying());  // an empty folder at the end of a chain: idle
    rig.RunUntil(8, 0, 6);
    EXPECT_EQ(rig.player.Opened().size(), 5u);
}

TEST_F(BroadcastClockTest, EndTimeLoopsTheFileAndTheChainFollowsAtTheEndTime) {
    rig.AddFiles({{"/m/a.mp3", 3}, {"/m/b.mp3", 1}});
    Start({Row("8:0:0", "8:0:10", "/m/a.mp3"), Row("续播", kOnce, "/m/b.mp3")});
    rig.RunUntil(8, 0, 9, 999);
    EXPECT_EQ(rig.States(), "正播|待播");
    EXPECT_EQ(Count("open /m/a.mp3"), 1);
    EXPECT_GE(Count("play"), 4);  // from the start, then again after 3, 6 and 9 seconds
    rig.RunUntil(8, 0, 10, 5);
    EXPECT_EQ(rig.States(), "待播|正播");
    EXPECT_EQ(rig.player.Opened(), (Files{"/m/a.mp3", "/m/b.mp3"}));
}

// Never a chained top row, only the upper of two rows with one start, no start while another row
// plays, never a start text the clock does not write (08:00:07, when nothing plays); an end and
// a start in one second both happen.
TEST_F(BroadcastClockTest, WhichRowsStart) {
    rig.AddFiles({{"/m/a.mp3", 60}, {"/m/b.mp3", 1}, {"/m/c.mp3", 1}});
    Start({Row("续播", kOnce, "/m/c.mp3"), Row("8:0:0", "8:0:5", "/m/a.mp3"),
           Row("8:0:0", kOnce, "/m/b.mp3"), Row("08:00:07", kOnce, "/m/b.mp3"),
           Row("8:0:5", kOnce, "/m/b.mp3"), Row("8:0:3", kOnce, "/m/c.mp3")});
    rig.RunUntil(8, 0, 5, 5);
    EXPECT_EQ(rig.States(), "待播|待播|待播|待播|正播|待播");
    rig.RunUntil(8, 1, 0);
    EXPECT_EQ(rig.player.Opened(), (Files{"/m/a.mp3", "/m/b.mp3"}));
}

TEST_F(BroadcastClockTest, FolderPlaysItsFilesInOrderPassingOverOneThatCannotPlay) {
    rig.AddFiles({{"/f/1.mp3", 1}, {"/f/3.mp3", 1}});
    rig.lister.SetFolder("/f/", {"/f/1.mp3", "/f/2.txt", "/f/3.mp3"});
    Start({Row("8:0:0", kOnce, "/f/", "80")});
    rig.RunUntil(8, 0, 10);
    EXPECT_EQ(rig.player.Opened(), (Files{"/f/1.mp3", "/f/2.txt", "/f/3.mp3"}));
    EXPECT_EQ(Count("volume 800"), 0);  // folder files keep the player's volume
    EXPECT_FALSE(rig.clock.IsPlaying());
}

TEST_F(BroadcastClockTest, RandomFolderRepeatsItsOrderUntilTheEndAndReshufflesOnTheNextStart) {
    Files files;
    for (int i = 0; i < 6; ++i) {
        files.push_back("/r/" + std::to_string(i) + ".mp3");
        rig.player.AddFile(files.back(), kSecond);
    }
    rig.lister.SetFolder("/r/", files);
    Start({Row("8:0:0", "8:0:20", "/r/", "100", "随机"),
           Row("8:1:0", "8:1:20", "/r/", "100", "随机")});

    rig.RunUntil(8, 0, 59);
    EXPECT_FALSE(rig.clock.IsPlaying());
    Files first = rig.player.Opened();
    ASSERT_GE(first.size(), 12u);
    const Files order(first.begin(), first.begin() + 6);
    EXPECT_NE(order, files);
    EXPECT_TRUE(std::is_permutation(order.begin(), order.end(), files.begin()));
    EXPECT_EQ(Files(first.begin() + 6, first.begin() + 12), order);

    rig.RunUntil(8, 1, 19);
    ASSERT_GE(rig.player.Opened().size(), first.size() + 6);
    const Files next(rig.player.Opened().begin() + static_cast<long>(first.size()),
                     rig.player.Opened().begin() + static_cast<long>(first.size()) + 6);
    EXPECT_NE(next, order);
    EXPECT_TRUE(std::is_permutation(next.begin(), next.end(), files.begin()));
}

TEST(BroadcastClockRowTest, VolumeAndEndTime) {
    struct Case {
        const char* path;
        const char* volume;
        std::string end;
        const char* volumeSet;  // "" for none
        bool playingAfterTwoSeconds;
    };
    const Case cases[] = {
        {"/m/a.MP3", "50", kOnce, "volume 500", true},
        {"/m/a.wav", "50", kOnce, "", true},
        {"/m/a.mp3", "0", kOnce, "volume 0", true},
        {"/m/a.mp3", "80abc", kOnce, "volume 800", true},
        {"/m/a.mp3", "-5", kOnce, "volume 0", true},
        {"/m/a.mp3", "150", kOnce, "volume 1000", true},
        {"/m/a.mp3", "100", "8:0:30", "", true},
        {"/m/a.mp3", "100", "", "", false},  // empty: midnight, so at or before any start
        {"/m/a.mp3", "100", "7:0:0", "",
         false},  // before the start: ends at the first step after it
        {"/m/a.mp3", "100", "8:0:0", "", false},  // the start itself
        {"/m/a.mp3", "100", "8:1", "", false},    // 8 h 0 min 1 s, not 8:1:0
        {"/m/a.mp3", "100", "8:1:x", "", true},   // 8:1:0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + c.volume + " until " + c.end);
        ClockRig rig(MsFromLocal(2026, 12, 7, 7, 59, 59));
        rig.AddFiles({{c.path, 600}});
        rig.WriteTable("Day1.dat", {Row("8:0:0", c.end, c.path, c.volume)});
        rig.StartClock();
        rig.RunUntil(8, 0, 0, 5);
        EXPECT_EQ(rig.States(), "正播");
        rig.RunUntil(8, 0, 2);
        EXPECT_EQ(rig.clock.IsPlaying(), c.playingAfterTwoSeconds);
        EXPECT_EQ(rig.player.IsOpen(), c.playingAfterTwoSeconds);
        Files volumes;
        std::copy_if(rig.player.Log().begin(), rig.player.Log().end(), std::back_inserter(volumes),
                     [](const std::string& entry) { return entry.starts_with("volume"); });
        EXPECT_EQ(volumes, *c.volumeSet ? Files{c.volumeSet} : Files{});
    }
}

// Stopped in automatic mode, a play-once item is over at the next step; one with an end time
// stays silent (shown waiting, yet still followed) until then. A folder item plays no next file.
TEST(BroadcastClockStopTest, StopInAutomaticModeWaitsForTheItemsEnd) {
    for (bool endTime : {false, true}) {
        for (bool folder : {false, true}) {
            SCOPED_TRACE(std::string(endTime ? "end time, " : "once, ") +
                         (folder ? "folder" : "file"));
            ClockRig rig(MsFromLocal(2026, 12, 7, 7, 59, 59));
            rig.AddFiles({{"/m/a.mp3", endTime ? 5 : 60}, {"/m/b.mp3", 60}});
            rig.lister.SetFolder("/f/", {"/m/a.mp3", "/m/a.mp3"});
            rig.WriteTable("Day1.dat",
                           {Row("8:0:0", endTime ? "8:0:30" : kOnce, folder ? "/f/" : "/m/a.mp3"),
                            Row("续播", kOnce, "/m/b.mp3")});
            rig.StartClock();
            rig.RunUntil(8, 0, 1);
            rig.clock.StopCurrent();
            EXPECT_EQ(rig.States(), "待播|待播");
            EXPECT_FALSE(rig.player.IsOpen());
            if (endTime) {
                rig.RunUntil(8, 0, 29, 999);
                EXPECT_EQ(rig.player.Opened(), Files{"/m/a.mp3"});  // not started again
                EXPECT_FALSE(rig.player.IsOpen());
                EXPECT_EQ(rig.States(), "待播|待播");
                EXPECT_TRUE(rig.clock.IsPlaying());
            }
            rig.RunForMs(400);
            EXPECT_EQ(rig.States(), "待播|正播");
            EXPECT_EQ(rig.player.Opened(), (Files{"/m/a.mp3", "/m/b.mp3"}));
        }
    }
}

TEST_F(BroadcastClockTest, StopInManualModeEndsTheItem) {
    rig.AddFiles({{"/m/a.mp3", 60}, {"/m/b.mp3", 60}});
    Start({Row("8:0:0", kOnce, "/m/a.mp3"), Row("续播", kOnce, "/m/b.mp3")});
    rig.RunUntil(8, 0, 1);
    rig.clock.SwitchToManual();
    rig.clock.StopCurrent();
    EXPECT_FALSE(rig.clock.IsPlaying());
    EXPECT_EQ(rig.States(), "待播|待播");
    rig.clock.StopCurrent();  // nothing plays: nothing happens
    EXPECT_EQ(rig.player.Opened(), Files{"/m/a.mp3"});
}

TEST_F(BroadcastClockAtNightTest, ManualModeOverMidnightReloadsOnlyAfterReturningToAutomatic) {
    rig.AddFiles({{"/m/long.mp3", 600}, {"/m/t.mp3", 1}});
    rig.WriteTable("Day2.dat", {ProgramItem{"tuesday", "0:0:5", kOnce, "100", "顺序", "/m/t.mp3"},
                                Row("0:0:40", kOnce, "/m/t.mp3")});
    Start({Row("23:59:50", kOnce, "/m/long.mp3")});
    rig.RunUntil(23, 59, 55);
    rig.clock.SwitchToManual();
    std::uint64_t generation = rig.list.Generation();
    rig.RunForMs(35 * kSecond);  // 0:0:30 on Tuesday
    EXPECT_EQ(rig.list.Generation(), generation);
    EXPECT_EQ(rig.States(), "正播");
    EXPECT_TRUE(rig.player.IsPlaying());

    rig.clock.SwitchToAutomatic();
    rig.RunForMs(500);
    EXPECT_EQ(rig.list.Item(0).title, "tuesday");
    EXPECT_FALSE(rig.player.IsOpen());
    EXPECT_EQ(rig.player.Opened(), Files{"/m/long.mp3"});  // 0:0:5 passed in manual mode
    rig.RunUntil(0, 0, 41);
    EXPECT_EQ(rig.player.Opened(), (Files{"/m/long.mp3", "/m/t.mp3"}));
}

TEST_F(BroadcastClockAtNightTest, AtMidnightTheNewDaysListIsLookedAtBeforeAnyRow) {
    for (std::int64_t stall : {0, 2500}) {
        ClockRig rig(MsFromLocal(2026, 12, 7, 23, 59, 40));
        rig.AddFiles({{"/m/long.mp3", 600}, {"/m/old.mp3", 1}, {"/m/new.mp3", 1}});
        rig.WriteTable("Day1.dat",
                       {Row("23:59:50", kOnce, "/m/long.mp3"), Row("0:0:0", kOnce, "/m/old.mp3")});
        rig.WriteTable("Day2.dat", {Row("0:0:0", kOnce, "/m/new.mp3")});
        rig.StartClock();
        rig.RunUntil(23, 59, 59, 900);
        rig.Stall(stall);  // a late first step of the day still finds 0:0:0
        rig.RunForMs(500);
        EXPECT_EQ(rig.player.Opened(), (Files{"/m/long.mp3", "/m/new.mp3"})) << stall;
        EXPECT_EQ(rig.States(), "正播") << stall;
        EXPECT_TRUE(rig.player.Violations().empty());
    }
}

TEST_F(BroadcastClockAtNightTest, ChangeOfDayToAMissingTableOrADayOffPlaysNothingOfYesterday) {
    for (bool dayOff : {false, true}) {
        ClockRig rig(MsFromLocal(2026, 12, 7, 23, 59, 40));
        rig.AddFiles({{"/m/a.mp3", 600}});
        if (dayOff) {
            rig.calendar.calendar.daysOff = {"12/8/2026"};
            rig.WriteTable("Day2.dat", {Row("0:0:10", kOnce, "/m/a.mp3")});
        }
        rig.WriteTable("Day1.dat",
                       {Row("23:59:50", kOnce, "/m/a.mp3"), Row("0:0:10", kOnce, "/m/a.mp3")});
        rig.StartClock();
        rig.RunUntil(23, 59, 51);
        EXPECT_EQ(rig.States(), "正播|待播");
        rig.RunForMs(30 * kSecond);
        EXPECT_EQ(rig.list.RowCount(), 0) << dayOff;
        EXPECT_FALSE(rig.player.IsOpen());
        EXPECT_EQ(rig.clock.NoBroadcastToday(), dayOff);
        EXPECT_EQ(rig.clock.StatusText(), dayOff ? "今天是节假日！" : "今天播放星期二的节目表！");
        EXPECT_EQ(rig.stepTimer.IsArmed(), !dayOff);
        EXPECT_TRUE(rig.dayTimer.IsArmed());

        rig.clock.SwitchToManual();
        rig.clock.SwitchToAutomatic();  // arms the step timer whatever the day is
        EXPECT_TRUE(rig.stepTimer.IsArmed());
        rig.RunForMs(60 * kSecond);
        EXPECT_EQ(rig.player.Opened(), Files{"/m/a.mp3"}) << dayOff;
    }
}

TEST(BroadcastClockAfterAHolidayTest, FirstSecondOfTheDayIsNotLostToTheDayChecksPhase) {
    // Sunday is a rest day: no step runs until the day check has loaded Monday, at some
    // moment within Monday's first second.
    for (int phase : {50, 500, 950}) {
        ClockRig rig(MsFromLocal(2026, 12, 6, 23, 59, 40, phase));
        rig.AddFiles({{"/m/a.mp3", 60}});
        rig.WriteTable("Day1.dat", {Row("0:0:0", kOnce, "/m/a.mp3")});
        rig.StartClock();
        EXPECT_TRUE(rig.clock.NoBroadcastToday());
        rig.RunUntil(23, 59, 59, 999);
        EXPECT_FALSE(rig.stepTimer.IsArmed());
        rig.RunForMs(1500);
        EXPECT_EQ(rig.States(), "正播") << phase;
    }
}

// Idle in the day's last seconds, the clock looks ahead no further than midnight.
TEST_F(BroadcastClockAtNightTest, UnreadableTableKeepsTheRowsWaiting) {
    rig.AddFiles({{"/m/a.mp3", 5}});
    std::filesystem::create_directory(rig.dir / "Day2.dat");
    Start({Row("23:59:50", kOnce, "/m/a.mp3"), Row("0:0:10", kOnce, "/m/a.mp3")});
    rig.RunUntil(23, 59, 51);
    rig.RunForMs(10 * kSecond);  // 0:0:01
    EXPECT_EQ(rig.States(), "待播|待播");
    EXPECT_EQ(rig.clock.StatusText(), "今天播放星期二的节目表！");
    rig.RunForMs(10 * kSecond);
    EXPECT_EQ(rig.States(), "待播|正播");  // the rows kept are followed
}

TEST_F(BroadcastClockTest, SecondsWithoutAStepAreExaminedUpToABoundedGap) {
    struct Case {
        std::int64_t stallMs;
        bool started;
    };
    for (Case c : {Case{4 * kSecond, true}, Case{9 * kSecond, true}, Case{15 * kSecond, false}}) {
        ClockRig rig(MsFromLocal(2026, 12, 7, 7, 59, 50));
        rig.AddFiles({{"/m/a.mp3", 60}});
        rig.WriteTable("Day1.dat", {Row("8:0:0", kOnce, "/m/a.mp3")});
        rig.StartClock();
        rig.RunUntil(7, 59, 59, 500 - static_cast<int>(c.stallMs % 1000));
        rig.Stall(c.stallMs);
        rig.RunForMs(1);
        EXPECT_EQ(rig.player.Opened().size(), c.started ? 1u : 0u) << c.stallMs;
        rig.RunUntil(8, 5, 0);
        EXPECT_EQ(rig.player.Opened().size(), c.started ? 1u : 0u) << c.stallMs;
    }
}

TEST_F(BroadcastClockTest, ReplayedSecondsKeepTheRuleAgainstStartsWhileAnotherPlays) {
    rig.AddFiles({{"/m/b.mp3", 60}, {"/m/a.mp3", 60}});
    Start({Row("7:59:58", "8:0:1", "/m/b.mp3"), Row("8:0:0", kOnce, "/m/a.mp3"),
           Row("8:0:2", kOnce, "/m/a.mp3")});
    rig.RunUntil(7, 59, 59, 500);
    rig.Stall(3500);  // next step at 8:0:3: 8:0:0 (B plays), 8:0:1 (B ends), 8:0:2 replayed
    rig.RunForMs(10);
    EXPECT_EQ(rig.States(), "待播|待播|正播");
    EXPECT_EQ(rig.player.Opened(), (Files{"/m/b.mp3", "/m/a.mp3"}));
}

TEST_F(BroadcastClockTest, AClockSetBackwardsNeverRingsASecondTime) {
    rig.AddFiles({{"/m/a.mp3", 1}, {"/m/c.mp3", 1}});
    Start({Row("8:0:0", kOnce, "/m/a.mp3"), Row("8:0:40", kOnce, "/m/c.mp3")});
    rig.RunUntil(8, 0, 30);
    rig.JumpWall(-60 * kSecond);  // 7:59:30
    rig.RunForMs(90 * kSecond);   // 8:1:0
    EXPECT_EQ(rig.player.Opened(), (Files{"/m/a.mp3", "/m/c.mp3"}));
}

// A file that cannot be opened starts once and ends by its row's rule; a special file is never
// handed to the player, yet its row shows playing for its second.
TEST_F(BroadcastClockTest, FileThatCannotBeOpenedStartsOnceAndEndsByItsRule) {
    const std::filesystem::path fifo = rig.dir / "pipe.mp3";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    rig.AddFiles({{"/m/b.mp3", 60}});
    Start({Row("8:0:0", kOnce, "/m/missing.mp3"), Row("续播", kOnce, "/m/b.mp3"),
           Row("8:1:0", "8:1:10", "/m/missing.mp3"), Row("续播", kOnce, "/m/b.mp3"),
           Row("8:2:0", kOnce, fifo.string())});
    rig.RunUntil(8, 0, 2);
    EXPECT_EQ(rig.player.Opened(), (Files{"/m/missing.mp3", "/m/b.mp3"}));
    rig.clock.StopCurrent();
    rig.RunUntil(8, 1, 9, 999);
    EXPECT_EQ(rig.States(), "待播|待播|正播|待播|待播");  // silent, shown playing, until its end
    rig.RunUntil(8, 1, 10, 5);
    EXPECT_EQ(rig.States(), "待播|待播|待播|正播|待播");
    EXPECT_EQ(Count("open-failed /m/missing.mp3"), 2);
    rig.clock.StopCurrent();
    const int opens = rig.player.OpenCount();
    rig.RunUntil(8, 2, 0, 5);
    EXPECT_EQ(rig.States(), "待播|待播|待播|待播|正播");
    EXPECT_EQ(rig.player.OpenCount(), opens);
    rig.RunUntil(8, 2, 1);
    EXPECT_EQ(rig.States(), "待播|待播|待播|待播|待播");
}

// A row's file is prepared in the last second before its start, a chained successor's near the
// end of play; neither shows or sounds. A stored path is opened ignoring case.
TEST_F(BroadcastClockTest, FilesArePreparedAheadWithoutAnyEffect) {
    rig.dir.Write("Bells/Ring.MP3", "x");
    rig.dir.Write("next.wav", "x");
    const std::string real = (rig.dir / "Bells/Ring.MP3").string();
    const std::string next = (rig.dir / "next.wav").string();
    rig.AddFiles({{real, 10}, {next, 1}});
    test::FakeVideoOutput surface;
    rig.clock.SetSurface(&surface);
    Start({Row("8:0:0", kOnce, "bells\\ring.mp3"), Row("续播", kOnce, next)});  // relative

    rig.RunUntil(7, 59, 56, 500);
    EXPECT_TRUE(rig.player.Prepared().empty());
    rig.RunUntil(7, 59, 59, 999);
    EXPECT_EQ(rig.player.Prepared(), Files{real});
    EXPECT_TRUE(rig.player.Log().empty());
    EXPECT_EQ(rig.States(), "待播|待播");
    rig.RunUntil(8, 0, 6);
    EXPECT_EQ(rig.player.Opened(), Files{real});
    EXPECT_EQ(rig.player.Surface(), &surface);
    EXPECT_EQ(rig.player.Prepared(), Files{real});
    rig.RunUntil(8, 0, 9, 900);
    EXPECT_EQ(rig.player.Prepared(), (Files{real, next}));
    rig.RunUntil(8, 0, 10, 500);
    EXPECT_EQ(rig.States(), "待播|正播");
}

TEST_F(BroadcastClockTest, PlayRowFollowsTheOperatorsSelection) {
    rig.AddFiles({{"/m/a.mp3", 60}, {"/m/c.mp3", 1}, {"/m/d.mp3", 60}});
    Start({Row("8:0:0", "8:5:0", "/m/a.mp3"), Row("9:0:0", kOnce, "/empty/"),
           Row("续播", kOnce, "/m/c.mp3"), Row("续播", kOnce, "/m/d.mp3")});
    rig.clock.PlayRow();  // nothing selected
    EXPECT_TRUE(rig.player.Opened().empty());

    rig.RunUntil(8, 0, 1);
    rig.clock.SetSelectedRow(0);
    rig.clock.PlayRow();  // already playing: nothing happens
    EXPECT_EQ(rig.player.Opened(), Files{"/m/a.mp3"});

    rig.clock.SetSelectedRow(1);  // a folder without files: its chained successor starts
    rig.clock.PlayRow();
    EXPECT_EQ(rig.clock.SelectedRow(), 2);
    EXPECT_EQ(rig.States(), "待播|待播|正播|待播");
    rig.RunForMs(1500);  // watched like any item: its successor follows
    EXPECT_EQ(rig.States(), "待播|待播|待播|正播");

    rig.clock.SetSelectedRow(4);  // beyond the rows
    rig.clock.PlayRow();
    EXPECT_EQ(rig.States(), "待播|待播|待播|正播");
}

TEST_F(BroadcastClockTest, PlayRowThatStartsNothingLeavesTheStoppedItemCurrentAndSilent) {
    Files files{"/f/1.mp3", "/f/2.mp3"};
    rig.AddFiles({{files[0], 2}, {files[1], 2}, {"/m/b.mp3", 60}});
    rig.lister.SetFolder("/f/", files);
    Start({Row("8:0:0", "8:0:30", "/f/"), Row("续播", kOnce, "/m/b.mp3"),
           Row("9:0:0", kOnce, "/empty/")});
    rig.RunUntil(8, 0, 1);
    rig.clock.SetSelectedRow(2);
    rig.clock.PlayRow();
    EXPECT_TRUE(rig.clock.IsPlaying());
    EXPECT_EQ(rig.clock.CurrentRow(), 0);
    EXPECT_TRUE(rig.clock.CurrentIsFolder());
    EXPECT_EQ(rig.clock.FolderFiles(), files);
    rig.RunUntil(8, 0, 29, 999);
    EXPECT_EQ(rig.player.Opened(), Files{"/f/1.mp3"});
    rig.RunUntil(8, 0, 30, 5);
    EXPECT_EQ(rig.States(), "待播|正播|待播");
}

TEST_F(BroadcastClockTest, ApplyingNewSettingsStopsAndReloadsAndManualModeStaysManual) {
    rig.AddFiles({{"/m/a.mp3", 600}});
    Start({Row("8:0:0", kOnce, "/m/a.mp3")});
    rig.RunUntil(8, 0, 5);
    rig.WriteTable("Day1.dat", {Row("8:0:0", kOnce, "/m/a.mp3"), Row("8:0:10", kOnce, "/m/a.mp3")});
    rig.clock.ApplyNewSettings();
    EXPECT_FALSE(rig.clock.IsPlaying());
    EXPECT_FALSE(rig.player.IsOpen());
    EXPECT_EQ(rig.States(), "待播|待播");
    rig.RunUntil(8, 0, 11);
    EXPECT_EQ(rig.player.Opened(), (Files{"/m/a.mp3", "/m/a.mp3"}));

    rig.clock.SwitchToManual();
    rig.clock.ApplyNewSettings();
    EXPECT_FALSE(rig.stepTimer.IsArmed());
    EXPECT_FALSE(rig.dayTimer.IsArmed());
    EXPECT_EQ(rig.clock.Mode(), ControlMode::kManual);
}

// Monday's `table` on a rig whose player takes scheduled starts (1 ms late), its starts recorded.
struct AheadRig {
    explicit AheadRig(const ScheduleTable& table) {
        rig.player.TakeScheduledStarts([this] { return rig.WallMs(); });
        rig.clock.SetObserver(&recorder);
        rig.AddFiles({{"/m/a.wav", 2}, {"/m/b.mp3", 2}, {"/m/c.webm", 2}, {"/f/1.wav", 2}});
        rig.lister.SetFolder("/f/", {"/f/1.wav"});
        rig.WriteTable("Day1.dat", table);
        rig.StartClock();
    }
    int Starts() const {
        return static_cast<int>(std::count_if(
            history.events.begin(), history.events.end(),
            [](const HistoryEvent& e) { return e.kind == HistoryEvent::Kind::kStart; }));
    }
    ClockRig rig{MsFromLocal(2026, 12, 7, 7, 59, 50)};
    test::RecordedHistory history;
    HistoryRecorder recorder{rig.localClock, rig.list, history};
};

// A start known ahead sounds from its second by the player's clock; the step of the second only
// shows it, marks the row and records the player's lateness. A lead of more than a second (a
// network output's buffer) is given in full, the nearer of two starts first.
TEST(BroadcastClockAheadTest, AKnownStartOfEveryKindIsScheduledAheadOfItsSecond) {
    struct Case {
        ProgramItem row;
        Files log;
        int leadMs = 300;
    };
    const Case cases[] = {
        {Row("8:0:0", kOnce, "/m/a.wav"), {"open /m/a.wav", "schedule 300"}},
        {Row("8:0:0", kOnce, "/m/b.mp3", "50"), {"open /m/b.mp3", "volume 500", "schedule 300"}},
        {Row("8:0:0", kOnce, "/m/c.webm"), {"open /m/c.webm", "schedule 300"}},
        {Row("8:0:0", "8:0:1", "/f/", "100", "随机"), {"open /f/1.wav", "schedule 300"}},
        {Row("8:0:0", kOnce, "/m/a.wav"), {"open /m/a.wav", "schedule 1000"}, 1000},
        {Row("8:0:0", kOnce, "/m/a.wav"), {"open /m/a.wav", "schedule 1150"}, 1150},
        {Row("8:0:0", kOnce, "/m/a.wav"), {"open /m/a.wav", "schedule 2750"}, 2750},
    };
    for (const Case& c : cases) {
        AheadRig a({c.row, Row("8:0:1", kOnce, "/m/b.mp3")});
        a.rig.clock.SetStartLead(std::chrono::milliseconds(c.leadMs));
        a.rig.RunUntil(7, 59, 59, 999);
        EXPECT_EQ(a.rig.player.Log(), c.log) << c.row.path << " " << c.leadMs;
        EXPECT_EQ(a.rig.player.ScheduledAheadMs(), c.leadMs) << c.leadMs;
        EXPECT_EQ(a.rig.States(), "待播|待播");
        a.rig.RunUntil(8, 0, 0, 500);
        EXPECT_EQ(a.rig.player.Log().back(), "show") << c.row.path;
        EXPECT_EQ(a.rig.States(), "正播|待播");
        EXPECT_EQ(a.rig.player.GetPosition(), 499);
        ASSERT_EQ(a.history.events.size(), 1u);
        EXPECT_EQ(a.history.events[0].latenessMs, 1);
        EXPECT_EQ(a.history.events[0].atMs, MsFromLocal(2026, 12, 7, 8, 0, 0) + 1);
    }
}

// Whatever changes the plan before the second takes the scheduled start back before it sounds,
// and the second then goes by the rules as ever; a start that could not be scheduled ahead is
// played by the step of its second; a clock set ahead across a scheduled start takes it as the
// replayed seconds do. Every start is recorded once.
TEST(BroadcastClockAheadTest, AChangeBeforeTheSecondTakesTheScheduledStartBack) {
    struct Case {
        const char* way;
        ScheduleTable table;
        const char* outcome;  // states, history events, silent cancels, the last command
        std::function<void(AheadRig&)> act;
    };
    const ProgramItem a8 = Row("8:0:0", kOnce, "/m/a.wav");
    const ProgramItem a9 = Row("9:0:0", kOnce, "/m/a.wav");
    const ScheduleTable two = {a8, Row("9:0:0", kOnce, "/m/b.mp3")};
    const Case cases[] = {
        {"stop", two, "正播|待播 1 1 play", [](AheadRig& a) { a.rig.clock.StopCurrent(); }},
        {"delete", two, "待播 0 1 close",
         [](AheadRig& a) { a.rig.list.RemoveRow(0), a.rig.clock.RowRemoved(0); }},
        {"move", two, "待播|正播 1 1 play",
         [](AheadRig& a) { a.rig.list.SwapRows(0, 1), a.rig.clock.RowsSwapped(0); }},
        {"manual", two, "待播|待播 0 1 close", [](AheadRig& a) { a.rig.clock.SwitchToManual(); }},
        {"apply", two, "正播|待播 1 1 play", [](AheadRig& a) { a.rig.clock.ApplyNewSettings(); }},
        {"edited", two, "正播|待播 1 1 play",
         [](AheadRig& a) { a.rig.list.ReplaceItem(0, Row("8:0:0", kOnce, "/m/b.mp3")); }},
        {"clock set back", two, "待播|待播 0 1 close",
         [](AheadRig& a) { a.rig.JumpWall(-3600 * kSecond); }},
        {"file appeared late",
         {Row("8:0:0", kOnce, "/m/x.wav")},
         "正播 1 0 play",
         [](AheadRig& a) {
             a.rig.AddFiles({{"/m/x.wav", 2}});
         }},
        {"row added late",
         {a9},
         "待播|正播 1 0 play",
         [&](AheadRig& a) { a.rig.list.AppendRow(a8); }},
        {"chain after an end",
         {Row("7:59:58", kOnce, "/m/a.wav"), Row("续播", kOnce, "/m/b.mp3")},
         "待播|正播 3 0 play",
         [](AheadRig&) {}},
        {"manual play",
         {a9},
         "正播 1 0 play",
         [](AheadRig& a) { a.rig.clock.SetSelectedRow(0), a.rig.clock.PlayRow(); }},
        {"clock set ahead",
         {a8},
         "正播 1 0 show",
         [](AheadRig& a) { a.rig.JumpWall(3 * kSecond); }},
    };
    for (const Case& c : cases) {
        AheadRig a(c.table);
        a.rig.RunUntil(7, 59, 59, 850);
        c.act(a);
        a.rig.RunForMs(650);
        const Files& log = a.rig.player.Log();
        EXPECT_EQ(a.rig.States() + " " + std::to_string(a.history.events.size()) + " " +
                      std::to_string(std::count(log.begin(), log.end(), "cancel")) + " " +
                      log.back(),
                  c.outcome)
            << c.way;
        EXPECT_TRUE(a.rig.player.Violations().empty()) << c.way;
    }
}

}  // namespace
}  // namespace chimeon
