#include "core/engine/history_recorder.h"

#include <gtest/gtest.h>

#include "support/clock_rig.h"
#include "support/fake_system_ports.h"

namespace chimeon {
namespace {

using test::ClockRig;
using test::MsFromLocal;
using test::RecordedHistory;

ProgramItem Row(std::string title, std::string start, std::string end, std::string path) {
    return ProgramItem{std::move(title), std::move(start), std::move(end), "100",
                       "顺序",           std::move(path)};
}

class HistoryRecorderTest : public ::testing::Test {
protected:
    // Monday 7 December 2026, a few seconds before the first bell.
    HistoryRecorderTest()
        : rig(MsFromLocal(2026, 12, 7, 7, 59, 55)), recorder(rig.localClock, rig.list, history) {
        rig.clock.SetObserver(&recorder);
    }
    ClockRig rig;
    RecordedHistory history;
    HistoryRecorder recorder;
};

TEST_F(HistoryRecorderTest, StartsEndsAndFailuresWithTableLatenessAndCause) {
    rig.player.AddFile("/bells/ring.mp3", 2000);
    rig.WriteTable("Day1.dat", {Row("上课铃", "8:0:0", "播完终止", "/bells/ring.mp3"),
                                Row("缺失", "续播", "播完终止", "/bells/gone.mp3")});
    rig.StartClock();
    rig.RunUntil(8, 0, 5);

    ASSERT_EQ(history.events.size(), 5u);
    const HistoryEvent& start = history.events[0];
    EXPECT_EQ(start.kind, HistoryEvent::Kind::kStart);
    EXPECT_EQ(start.date, "2026-12-07");
    EXPECT_EQ(start.scheduledSecond, "8:0:0");
    EXPECT_EQ(start.table, "星期一");
    EXPECT_EQ(start.row, 0);
    EXPECT_EQ(start.title, "上课铃");
    EXPECT_EQ(start.cause, "time");
    ASSERT_TRUE(start.latenessMs);
    EXPECT_GE(*start.latenessMs, 0);
    EXPECT_LT(*start.latenessMs, 50) << "steps are aimed just after the second";
    EXPECT_EQ(start.atMs, MsFromLocal(2026, 12, 7, 8, 0, 0) + *start.latenessMs);

    EXPECT_EQ(history.events[1].kind, HistoryEvent::Kind::kEnd);
    EXPECT_EQ(history.events[1].cause, "played");
    EXPECT_EQ(history.events[2].kind, HistoryEvent::Kind::kFailure)
        << "the chained file is missing";
    EXPECT_EQ(history.events[2].cause, "missing");
    EXPECT_EQ(history.events[2].title, "缺失");
    EXPECT_FALSE(history.events[2].reason.empty());
    EXPECT_EQ(history.events[3].cause, "chain");
    EXPECT_FALSE(history.events[3].latenessMs) << "a chained start has no due second";
    EXPECT_EQ(history.events[4].cause, "not_played") << "nobody heard it";

    EXPECT_EQ(history.keptDays, std::vector<int>{kHistoryDaysKept});
}

TEST_F(HistoryRecorderTest, ExitAndChangeOfDayEndWhatPlays) {
    rig.player.AddFile("/music/long.mp3", 3600 * 1000);
    rig.WriteTable("Day1.dat", {Row("音乐", "8:0:0", "播完终止", "/music/long.mp3")});
    rig.StartClock();
    rig.RunUntil(8, 0, 2);
    rig.clock.Shutdown();
    ASSERT_EQ(history.events.size(), 2u);
    EXPECT_EQ(history.events[1].cause, "exit");
    EXPECT_FALSE(rig.player.IsOpen());
}

TEST(HistoryRecorderMidnight, NewDayPrunesOnceAndRecordsTheNewTable) {
    ClockRig rig(MsFromLocal(2026, 12, 7, 23, 59, 50));
    RecordedHistory history;
    HistoryRecorder recorder(rig.localClock, rig.list, history);
    rig.clock.SetObserver(&recorder);
    rig.player.AddFile("/music/long.mp3", 3600 * 1000);
    rig.WriteTable("Day1.dat", {Row("晚间", "23:59:55", "播完终止", "/music/long.mp3")});
    rig.StartClock();
    rig.RunForMs(20 * 1000);
    ASSERT_GE(history.events.size(), 2u);
    EXPECT_EQ(history.events[1].cause, "day_change");
    EXPECT_EQ(history.events[1].date, "2026-12-08");
    EXPECT_EQ(history.keptDays, (std::vector<int>{kHistoryDaysKept, kHistoryDaysKept}));
}

// Date, moment and lateness of an event come from one reading, even of a clock that runs on
// while it is read: a second or a day is never split between two readings.
TEST(HistoryRecorderReadings, DateMomentAndLatenessComeFromOneReading) {
    struct Case {
        std::int64_t atMs;
        const char* endDate;
    };
    for (const Case& c : {Case{MsFromLocal(2026, 12, 7, 14, 10, 16, 999), "2026-12-07"},
                          Case{MsFromLocal(2026, 12, 7, 23, 59, 59, 999), "2026-12-08"}}) {
        test::FakeLocalClock clock;
        clock.SetMs(c.atMs);
        clock.RunOnWhileRead(2);
        TodayList list;
        RecordedHistory history;
        HistoryRecorder recorder(clock, list, history);
        const int dueSecond = static_cast<int>(c.atMs / 1000 % 86400);
        recorder.OnRowStarted(0, "/bells/ring.wav", StartCause::kTime, dueSecond);
        recorder.OnRowEnded(0, EndCause::kPlayedThrough);
        ASSERT_EQ(history.events.size(), 2u);
        EXPECT_EQ(history.events[0].atMs, c.atMs);
        EXPECT_EQ(history.events[0].date, "2026-12-07");
        EXPECT_EQ(history.events[0].latenessMs, 999);
        EXPECT_EQ(history.events[1].atMs, c.atMs + 2) << "the next reading";
        EXPECT_EQ(history.events[1].date, c.endDate);
    }
}

}  // namespace
}  // namespace chimeon
