#include "core/system/unattended_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "core/app/ini_settings_store.h"
#include "core/system/settings_console.h"
#include "support/fake_local_clock.h"
#include "support/fake_system_ports.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

// Monday 7 December 2026 and the days after.
std::int64_t Ms(int hour, int minute, int second, int day = 7, int ms = 0) {
    return test::MsFromLocal(2026, 12, day, hour, minute, second, ms);
}

class UnattendedRulesTest : public ::testing::Test {
protected:
    // Started on these stored settings at this moment, as at start-up.
    void Start(std::string_view ini, std::int64_t ms = Ms(12, 0, 0)) {
        dir.Write("setup.ini", "[Settings]\r\n" + std::string(ini));
        clock.SetMs(ms);
        rules.emplace(clock, power, &history);
        rules->Apply(ReadUnattendedSettings(settings));
    }
    int RequestsAfterTickAt(std::int64_t ms) {
        clock.SetMs(ms);
        rules->Tick();
        return power.requests;
    }

    test::TempDir dir;
    IniSettingsStore settings{dir / "setup.ini"};
    test::FakeLocalClock clock;
    test::FakePowerOff power;
    test::RecordedHistory history;
    std::optional<UnattendedRules> rules;
};

TEST_F(UnattendedRulesTest, ShutdownWithinUnderTwoSecondsOfItsTimeOnceAndNotAgainOnAReread) {
    for (const auto& [offsetMs, requests] :
         {std::pair{-2000, 0}, {-1000, 1}, {0, 1}, {1999, 1}, {2000, 0}}) {
        power.requests = 0;
        Start("Shutup=1\r\nShutupTime=17:0:0\r\n", Ms(17, 0, 0) + offsetMs);
        EXPECT_EQ(RequestsAfterTickAt(Ms(17, 0, 0) + offsetMs), requests) << offsetMs;
    }
    // Read again unchanged after it (a reload, another key written): not a second time.
    Start("Shutup=1\r\nShutupTime=17:0:0\r\n", Ms(17, 0, 0));
    EXPECT_EQ(RequestsAfterTickAt(Ms(17, 0, 0)), 1);
    rules->Apply(ReadUnattendedSettings(settings));
    EXPECT_EQ(RequestsAfterTickAt(Ms(17, 0, 1)), 1);
    // Moved to one second ahead: it happens at the next tick and never again that day.
    power.requests = 0;
    Start("Shutup=1\r\n", Ms(12, 0, 0, 7, 700));
    ASSERT_TRUE(settings.WriteString("ShutupTime", "12:0:1"));
    rules->Apply(ReadUnattendedSettings(settings));
    EXPECT_EQ(RequestsAfterTickAt(Ms(12, 0, 1)), 1);
    EXPECT_EQ(RequestsAfterTickAt(Ms(12, 0, 1, 7, 300)), 1);
    ASSERT_TRUE(settings.WriteInt("Shutup", 0));
    rules->Apply(ReadUnattendedSettings(settings));
    EXPECT_FALSE(rules->ShutdownRunning());
}

TEST_F(UnattendedRulesTest, ShutdownPastAtStartComesTheNextDayAndEveryDayAfterARefusal) {
    Start("Shutup=1\r\nShutupTime=17:0:0\r\n", Ms(18, 0, 0));
    power.refusal = "org.freedesktop.DBus.Error.AccessDenied: not allowed";
    for (const auto& [ms, requests] : {std::pair{Ms(18, 0, 0), 0},
                                       {Ms(23, 59, 59), 0},
                                       {Ms(16, 59, 58, 8), 0},
                                       {Ms(16, 59, 59, 8), 1},
                                       {Ms(17, 0, 1, 8), 1},
                                       {Ms(17, 0, 0, 9), 2}}) {
        EXPECT_EQ(RequestsAfterTickAt(ms), requests) << ms;
    }
    ASSERT_EQ(history.events.size(), 2u);
    const HistoryEvent& refused = history.events.front();
    EXPECT_EQ(std::tuple(refused.date, refused.row, refused.title, HistoryCauseName(refused.cause),
                         refused.reason),
              std::tuple("2026-12-08", -1, kDailyShutdownAction, "power_off", power.refusal));
}

TEST_F(UnattendedRulesTest, HolidayActionAtStartUpActsOnlyOnADayWithoutBroadcast) {
    for (const auto& [action, noBroadcastToday, endProgram, requests] :
         {std::tuple{"0", true, false, 0},
          {"1", true, true, 0},
          {"2", true, false, 1},
          {"2", false, false, 0}}) {
        power.requests = 0;
        Start("Holiday=" + std::string(action) + "\r\n");
        EXPECT_EQ(rules->CarryOutHolidayAction(noBroadcastToday), endProgram) << action;
        EXPECT_EQ(power.requests, requests) << action;
    }
    EXPECT_FALSE(rules->CarryOutHolidayAction(true) || power.requests != 0);  // start-up only
}

TEST(ClockStatusLineTest, NamesTheEarliestWaitingRowNotBeforeNow) {
    const auto row = [](const char* title, const char* start, RowState state) {
        TodayRow made;
        made.item.title = title;
        made.item.start = start;
        made.state = state;
        return made;
    };
    const TodayRows rows{
        row("午休", "12:0:0", RowState::kWaiting), row("上课铃", "8:0:0", RowState::kWaiting),
        row("早操", "7:59:0", RowState::kPlaying), row("第二遍", "8:0:0", RowState::kWaiting)};
    for (const auto& [hour, minute, line] : {std::tuple{7, 0, "今天是星期一 下一个：8:0:0 上课铃"},
                                             {8, 0, "今天是星期一 下一个：8:0:0 上课铃"},
                                             {8, 1, "今天是星期一 下一个：12:0:0 午休"},
                                             {12, 1, "今天是星期一"}}) {
        EXPECT_EQ(ClockStatusLine("今天是星期一", rows, {2026, 12, 7, 1, hour, minute}), line);
    }
}

}  // namespace
}  // namespace chimeon
