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

TEST(ShutupTimeTest, ReadAsStoredTimesAreRead) {
    const char* texts[] = {"17", "", "8:5", "08:00:00", "25:0:0", "-5"};
    const int seconds[] = {17, 8 * 3600, 8 * 3600 + 5, 8 * 3600, 3600, 86395};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(ParseShutupTime(texts[i]), seconds[i]) << texts[i];
    }
}

// Monday 7 December 2026 and the days after.
std::int64_t Ms(int hour, int minute, int second, int day = 7, int ms = 0) {
    return test::MsFromLocal(2026, 12, day, hour, minute, second, ms);
}

class SettingsConsoleTest : public ::testing::Test {
protected:
    // Made and started on these settings at this moment, as at start-up.
    void Start(std::string_view ini, std::int64_t ms = Ms(12, 0, 0)) {
        dir.Write("setup.ini", "[Settings]\r\n" + std::string(ini));
        clock.SetMs(ms);
        console.emplace(SettingsConsoleParts{state,
                                             settings,
                                             clock,
                                             autostart,
                                             skinning,
                                             {dir / "skin", dir / "installed"},
                                             &history});
        console->Init();
    }

    test::TempDir dir;
    IniSettingsStore settings{dir / "setup.ini"};
    AppState state;
    test::FakeLocalClock clock;
    test::FakeAutostart autostart;
    test::RecordingSkinning skinning;
    test::RecordedHistory history;
    std::optional<SettingsConsole> console;
};

TEST_F(SettingsConsoleTest, EveryChoiceIsUndoneWhileLockedOrUnwritableAndWrittenOnceAllowed) {
    std::filesystem::create_directories(dir / "skin");
    dir.Write("skin/jade.smf", "x");
    Start("LaunchOnStartup=1\r\n");  // renewed at start-up while the settings are open
    state.usePassword = true;
    Start("LaunchOnStartup=1\r\nShutup=1\r\n");  // and else left alone, without a word
    console->FillSkinList();
    const SettingsView before = console->view();
    const std::string fileBefore = dir.Read("setup.ini");
    const std::function<std::string(SettingsConsole&)> operations[] = {
        [](SettingsConsole& c) { return c.SetShowMedia(false); },
        [](SettingsConsole& c) { return c.SetDailyShutdown(false); },
        [](SettingsConsole& c) { return c.SetShutdownTime(10 * 3600); },
        [](SettingsConsole& c) { return c.SetLaunchOnStartup(false); },
        [](SettingsConsole& c) { return c.SetMinimize(true); },
        [](SettingsConsole& c) { return c.ChooseSkin(0); },
        [](SettingsConsole& c) { return c.SetHolidayAction(2); }};
    for (const auto& [loggedIn, message] :
         {std::pair{false, kNotLoggedInMessage}, {true, kSettingNotStoredMessage}}) {
        state.loggedIn = loggedIn;  // setup.ini read-only from here
        std::filesystem::permissions(dir / "setup.ini", std::filesystem::perms::owner_read);
        for (const auto& operation : operations) {
            EXPECT_EQ(operation(*console), message);
            EXPECT_EQ(console->view(), before);
        }
        EXPECT_EQ(dir.Read("setup.ini"), fileBefore);
        EXPECT_TRUE(skinning.applied.empty() && autostart.creations == 1 &&
                    autostart.removals == 0);
    }

    std::filesystem::permissions(dir / "setup.ini", std::filesystem::perms::owner_all);
    autostart.error = "read-only folder";  // the setting is written all the same
    for (const auto& operation : operations) {
        EXPECT_EQ(operation(*console), "");
    }
    EXPECT_EQ(dir.Read("setup.ini"),
              "[Settings]\r\nLaunchOnStartup=0\r\nShutup=0\r\nShowMedia=0\r\nShutupTime=10:0:0\r\n"
              "minimize=1\r\nSkin=jade.smf\r\nHoliday=2\r\n");
    ASSERT_EQ(history.events.size(), 1u);
    EXPECT_EQ(HistoryCauseName(history.events[0].cause), "autostart");
}

TEST_F(SettingsConsoleTest, SkinListShowsEveryFolderAndSelectsTheSkinInUseByItsName) {
    for (const char* file : {"skin/Corona.smf", "skin/jade.SMF", "skin/notes.txt",
                             "installed/jade.smf", "installed/plain.smf"}) {
        std::filesystem::create_directories((dir / file).parent_path());
        dir.Write(file, "x");
    }
    Start("");
    for (const auto& [inUse, selected, afterwards] : {std::tuple{"corona.smf", 0, "corona.smf"},
                                                      {"PLAIN.smf", 2, "PLAIN.smf"},
                                                      {"gone.smf", 0, "Corona.smf"}}) {
        state.skinFile = inUse;
        console->FillSkinList();
        EXPECT_EQ(console->view().skins, (std::vector<std::string>{"Corona", "jade", "plain"}));
        EXPECT_EQ(console->view().selectedSkin, selected) << inUse;
        EXPECT_EQ(state.skinFile, afterwards);
    }
}

}  // namespace
}  // namespace chimeon
