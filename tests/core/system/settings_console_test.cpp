#include "core/system/settings_console.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "core/app/ini_settings_store.h"
#include "support/fake_local_clock.h"
#include "support/fake_system_ports.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::MsFromLocal;

TEST(ShutupTimeTest, ReadAsStoredTimesAreRead) {
    const std::pair<const char*, int> cases[] = {
        {"17", 17},       {"", 8 * 3600}, {"8:5", 8 * 3600 + 5}, {"08:00:00", 8 * 3600},
        {"25:0:0", 3600}, {"-5", 86395}};
    for (const auto& [text, second] : cases) {
        EXPECT_EQ(ParseShutupTime(text), second) << text;
    }
}

// Monday 7 December 2026, noon.
class SettingsConsoleTest : public ::testing::Test {
protected:
    SettingsConsoleTest() { clock.SetMs(MsFromLocal(2026, 12, 7, 12, 0, 0)); }
    // Made once the settings are written, as the page is at start-up.
    SettingsConsole& Console() {
        console.emplace(SettingsConsoleParts{state,
                                             settings,
                                             clock,
                                             power,
                                             autostart,
                                             skinning,
                                             {dir / "skin", dir / "installed"},
                                             &history});
        return *console;
    }
    void Store(std::string_view key, std::string_view value) {
        ASSERT_TRUE(settings.WriteString(key, value));
    }
    std::string Stored(std::string_view key) const { return settings.GetString(key, "<unset>"); }
    void TickAt(std::int64_t ms) {
        clock.SetMs(ms);
        console->dailyShutdown().Tick();
    }

    test::TempDir dir;
    IniSettingsStore settings{dir / "setup.ini"};
    AppState state;
    test::FakeLocalClock clock;
    test::FakePowerOff power;
    test::FakeAutostart autostart;
    test::RecordingSkinning skinning;
    test::RecordedHistory history;
    std::optional<SettingsConsole> console;
};

TEST_F(SettingsConsoleTest, ShutdownWindowReachesUnderTwoSecondsEachSide) {
    Console().Init();
    const std::int64_t due = MsFromLocal(2026, 12, 7, 17, 0, 0);
    for (const auto& [offsetMs, requests] :
         {std::pair{-2000, 0}, {-1000, 1}, {0, 1}, {1999, 1}, {2000, 0}}) {
        power.requests = 0;
        clock.SetMs(due + offsetMs);
        console->dailyShutdown().Start(17 * 3600);
        console->dailyShutdown().Tick();
        EXPECT_EQ(power.requests, requests) << offsetMs;
    }
}

TEST_F(SettingsConsoleTest, ShutdownSetOneSecondAheadHappensOnceWithinThePeriodAfterIt) {
    Store("Shutup", "1");
    Console().Init();
    const std::int64_t start = MsFromLocal(2026, 12, 7, 12, 0, 0, 700);
    clock.SetMs(start);
    ASSERT_EQ(console->SetShutdownTime(12 * 3600 + 1), "");
    std::int64_t firstAt = -1;
    for (std::int64_t t = start; t < start + 10000; t += kShutdownTimerMs) {
        TickAt(t);
        if (power.requests == 1 && firstAt < 0) {
            firstAt = t;
        }
    }
    EXPECT_EQ(power.requests, 1);
    EXPECT_LE(firstAt - start, 1300);
}

TEST_F(SettingsConsoleTest, ShutdownPastAtStartComesTheNextDayAndEveryDayAfterARefusal) {
    Store("Shutup", "1");
    Store("ShutupTime", "17:0:0");
    clock.SetMs(MsFromLocal(2026, 12, 7, 18, 0, 0));
    Console().Init();
    power.refusal = "org.freedesktop.DBus.Error.AccessDenied: not allowed";
    const std::pair<std::int64_t, int> ticks[] = {
        {MsFromLocal(2026, 12, 7, 18, 0, 0), 0},   {MsFromLocal(2026, 12, 7, 23, 59, 59), 0},
        {MsFromLocal(2026, 12, 8, 16, 59, 58), 0}, {MsFromLocal(2026, 12, 8, 16, 59, 59), 1},
        {MsFromLocal(2026, 12, 8, 17, 0, 1), 1},   {MsFromLocal(2026, 12, 9, 17, 0, 0), 2}};
    for (const auto& [ms, requests] : ticks) {
        TickAt(ms);
        EXPECT_EQ(power.requests, requests) << ms;
    }
    ASSERT_EQ(history.events.size(), 2u);
    const HistoryEvent& refused = history.events.front();
    EXPECT_EQ(refused.kind, HistoryEvent::Kind::kFailure);
    EXPECT_EQ(refused.date, "2026-12-08");
    EXPECT_EQ(refused.row, -1);
    EXPECT_EQ(refused.title, kDailyShutdownAction);
    EXPECT_EQ(refused.cause, "power_off");
    EXPECT_EQ(refused.reason, power.refusal);
}

TEST_F(SettingsConsoleTest, HolidayActionAtStartUpActsOnlyOnADayWithoutBroadcast) {
    struct Case {
        const char* action;
        bool noBroadcastToday;
        bool endProgram;
        int requests;
    };
    for (const Case& c :
         {Case{"0", true, false, 0}, Case{"1", true, true, 0}, Case{"2", true, false, 1},
          Case{"1", false, false, 0}, Case{"2", false, false, 0}, Case{"7", true, false, 0}}) {
        power.requests = 0;
        Store("Holiday", c.action);
        Console().Init();
        EXPECT_EQ(console->CarryOutHolidayAction(c.noBroadcastToday), c.endProgram) << c.action;
        EXPECT_EQ(power.requests, c.requests) << c.action;
    }
}

TEST_F(SettingsConsoleTest, EveryGuardedChoiceIsUndoneWhileLockedAndWrittenOnceAllowed) {
    std::filesystem::create_directories(dir / "skin");
    dir.Write("skin/jade.smf", "x");
    Store("LaunchOnStartup", "1");
    Store("Shutup", "1");
    Store("ShutupTime", "9:0:0");
    state.usePassword = true;
    // At start-up the autostart entry is renewed only under the edit check.
    EXPECT_EQ(Console().Init(), kNotLoggedInMessage);
    EXPECT_EQ(autostart.creations, 0);
    console->FillSkinList();
    const SettingsView before = console->view();
    EXPECT_TRUE(before.launchOnStartup && before.dailyShutdown && before.showMedia);
    const std::string fileBefore = dir.Read("setup.ini");
    const std::function<std::string(SettingsConsole&)> operations[] = {
        [](SettingsConsole& c) { return c.SetShowMedia(false); },
        [](SettingsConsole& c) { return c.SetDailyShutdown(false); },
        [](SettingsConsole& c) { return c.SetShutdownTime(10 * 3600); },
        [](SettingsConsole& c) { return c.SetLaunchOnStartup(false); },
        [](SettingsConsole& c) { return c.SetMinimize(true); },
        [](SettingsConsole& c) { return c.ChooseSkin(0); }};
    for (const auto& operation : operations) {
        EXPECT_EQ(operation(*console), kNotLoggedInMessage);
        EXPECT_EQ(console->view(), before);
    }
    EXPECT_EQ(dir.Read("setup.ini"), fileBefore);
    EXPECT_TRUE(console->dailyShutdown().IsRunning());
    EXPECT_EQ(autostart.removals, 0);
    EXPECT_TRUE(skinning.applied.empty());
    console->SetHolidayAction(2);  // anyone may
    EXPECT_EQ(Stored("Holiday"), "2");

    state.loggedIn = true;
    autostart.error = "read-only folder";
    for (const auto& operation : operations) {
        EXPECT_EQ(operation(*console), "");
    }
    EXPECT_EQ(Stored("ShowMedia"), "0");
    EXPECT_EQ(Stored("Shutup"), "0");
    EXPECT_FALSE(console->dailyShutdown().IsRunning());
    EXPECT_EQ(Stored("ShutupTime"), "10:0:0");
    EXPECT_EQ(Stored("LaunchOnStartup"), "0");  // written although the entry stayed
    ASSERT_EQ(history.events.size(), 1u);
    EXPECT_EQ(history.events[0].cause, "autostart");
    EXPECT_EQ(Stored("Minimize"), "1");
    EXPECT_EQ(Stored("Skin"), "jade.smf");
    EXPECT_EQ(skinning.applied, std::vector{dir / "skin/jade.smf"});
}

TEST_F(SettingsConsoleTest, SkinListShowsEveryFolderAndSelectsTheSkinInUseByItsName) {
    for (const char* file : {"skin/Corona.smf", "skin/jade.SMF", "skin/notes.txt",
                             "installed/jade.smf", "installed/plain.smf"}) {
        std::filesystem::create_directories((dir / file).parent_path());
        dir.Write(file, "x");
    }
    Console();
    for (const auto& [inUse, selected, afterwards] : {std::tuple{"corona.smf", 0, "corona.smf"},
                                                      {"PLAIN.smf", 2, "PLAIN.smf"},
                                                      {"jade", 1, "jade"},
                                                      {"gone.smf", 0, "Corona.smf"}}) {
        state.skinFile = inUse;
        console->FillSkinList();
        EXPECT_EQ(console->view().skins, (std::vector<std::string>{"Corona", "jade", "plain"}));
        EXPECT_EQ(console->view().selectedSkin, selected) << inUse;
        EXPECT_EQ(state.skinFile, afterwards);
    }
    EXPECT_EQ(console->ChooseSkin(1), "");
    EXPECT_EQ(skinning.applied, std::vector{dir / "skin/jade.SMF"});
    EXPECT_EQ(state.skinFile, "jade.smf");
}

}  // namespace
}  // namespace chimeon
