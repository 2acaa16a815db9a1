#include "core/engine/history_recorder.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

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

// How each row started, ended or failed, as the clock tells it, is recorded with the table, the
// row's title and the lateness of a start that was due.
TEST_F(HistoryRecorderTest, StartsEndsAndFailuresWithTableLatenessAndCause) {
    rig.AddFiles({{"/bells/ring.mp3", 1}, {"/m/b.mp3", 60}});
    rig.WriteTable(
        "Day1.dat",
        {Row("上课铃", "8:0:0", "播完终止", "/bells/ring.mp3"),
         Row("空", "续播", "播完终止", "/empty/"), Row("缺失", "续播", "播完终止", "/m/gone.mp3"),
         Row("b", "8:0:5", "8:0:8", "/m/b.mp3"), Row("空", "8:0:10", "播完终止", "/empty/"),
         Row("b", "续播", "播完终止", "/m/b.mp3")});
    rig.StartClock();
    rig.RunUntil(8, 0, 11);
    rig.clock.StopCurrent();
    rig.RunForMs(500);
    rig.clock.SetSelectedRow(0);
    rig.clock.PlayRow();
    rig.RunUntil(8, 0, 15);

    // "kind cause row title due-second", each event in a line; a failure also says why.
    std::vector<std::string> events;
    for (const HistoryEvent& e : history.events) {
        events.push_back(
            std::string(HistoryEventKindName(e.kind)) + " " +
            std::string(HistoryCauseName(e.cause)) + " " + std::to_string(e.row) + " " + e.title +
            " " + e.scheduledSecond +
            (e.kind == HistoryEvent::Kind::kFailure && !e.reason.empty() ? "why" : ""));
    }
    EXPECT_EQ(events,
              (std::vector<std::string>{
                  "start time 0 上课铃 8:0:0", "end played 0 上课铃 ", "failure missing 1 空 why",
                  "failure missing 2 缺失 why", "start chain 2 缺失 ",
                  "end not_played 2 缺失 ",  // nobody heard it
                  "start time 3 b 8:0:5", "end end_time 3 b ", "failure missing 4 空 why",
                  "start chain 5 b ", "end stopped 5 b ", "start hand 0 上课铃 ",
                  "end played 0 上课铃 ", "failure missing 1 空 why", "failure missing 2 缺失 why",
                  "start chain 2 缺失 ", "end not_played 2 缺失 "}));
    const HistoryEvent& start = history.events[0];
    EXPECT_EQ(std::tie(start.date, start.table), std::tuple("2026-12-07", "星期一"));
    ASSERT_TRUE(start.latenessMs);
    EXPECT_GE(*start.latenessMs, 0);
    EXPECT_LT(*start.latenessMs, 50) << "steps are aimed just after the second";
    EXPECT_EQ(start.atMs, MsFromLocal(2026, 12, 7, 8, 0, 0) + *start.latenessMs);
    EXPECT_FALSE(history.events[4].latenessMs) << "a chained start has no due second";
    EXPECT_EQ(history.keptDays, std::vector<int>{kHistoryDaysKept});
    // A level measured later belongs to the last start, once.
    recorder.OnStartLevel({-90, -100, true});
    recorder.OnStartLevel({-3, -10, false});
    ASSERT_EQ(history.levels.size(), 1u);
    EXPECT_EQ(history.levels[0].first, history.events[15]);
}

// The change of day and the program's exit end what plays.
TEST(HistoryRecorderMidnight, NewDayPrunesOnceAndRecordsTheNewTable) {
    ClockRig rig(MsFromLocal(2026, 12, 7, 23, 59, 50));
    RecordedHistory history;
    HistoryRecorder recorder(rig.localClock, rig.list, history);
    rig.clock.SetObserver(&recorder);
    rig.player.AddFile("/music/long.mp3", 3600 * 1000);
    rig.WriteTable("Day1.dat", {Row("晚间", "23:59:55", "播完终止", "/music/long.mp3")});
    rig.WriteTable("Day2.dat", {Row("早间", "0:0:5", "播完终止", "/music/long.mp3")});
    rig.StartClock();
    rig.RunForMs(20 * 1000);
    rig.clock.Shutdown();
    ASSERT_EQ(history.events.size(), 4u);
    EXPECT_EQ(HistoryCauseName(history.events[1].cause), "day_change");
    EXPECT_EQ(history.events[1].date, "2026-12-08");
    EXPECT_EQ(HistoryCauseName(history.events[3].cause), "exit");
    EXPECT_FALSE(rig.player.IsOpen());
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
        recorder.OnRowStarted(0, "/bells/ring.wav", StartCause::kTime, dueSecond, std::nullopt);
        recorder.OnRowEnded(0, EndCause::kPlayedThrough);
        // Scheduled on the player: it sounded at the due moment plus what the player measured.
        recorder.OnRowStarted(0, "/bells/ring.wav", StartCause::kTime, dueSecond, 3);
        ASSERT_EQ(history.events.size(), 3u);
        EXPECT_EQ(history.events[2].latenessMs, 3);
        EXPECT_EQ(history.events[2].atMs, c.atMs - 999 + 3);
        EXPECT_EQ(history.events[0].atMs, c.atMs);
        EXPECT_EQ(history.events[0].date, "2026-12-07");
        EXPECT_EQ(history.events[0].latenessMs, 999);
        EXPECT_EQ(history.events[1].atMs, c.atMs + 2) << "the next reading";
        EXPECT_EQ(history.events[1].date, c.endDate);
    }
}

}  // namespace
}  // namespace chimeon
