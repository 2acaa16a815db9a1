#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/app_state.h"
#include "core/app/settings_store.h"
#include "core/app/skin_choice.h"
#include "core/app/skinning.h"
#include "core/history/play_history.h"
#include "core/network/network_output_settings.h"
#include "core/system/autostart_entry.h"
#include "core/system/daily_shutdown.h"
#include "core/system/power_off.h"

namespace chimeon {

// What start-up does on a day without broadcast (the setting "Holiday").
enum class HolidayAction { kWait = 0, kEndProgram = 1, kPowerOff = 2 };

// The actions in the operator's words, as the play history names their failures.
inline constexpr std::string_view kDailyShutdownAction = "每日定时关机";
inline constexpr std::string_view kHolidayPowerOffAction = "不播音的日期：关机";
inline constexpr std::string_view kLaunchOnStartupAction = "随系统一起启动";

// What the settings page shows.
struct SettingsView {
    int holidayAction = 0;  // the radio checked, 0 to 2 (none for any other stored number)
    bool showMedia = false;
    bool dailyShutdown = false;                   // also whether the time picker is enabled
    int shutdownSecond = kDefaultShutdownSecond;  // the picker's time of day
    bool launchOnStartup = false;
    bool minimize = false;
    std::vector<std::string> skins;  // the skin list, empty until it first drops down
    int selectedSkin = -1;

    bool operator==(const SettingsView&) const = default;
};

// What the settings page works with; everything must outlive it.
struct SettingsConsoleParts {
    AppState& state;
    SettingsStore& settings;
    const LocalClock& clock;
    AutostartEntry& autostart;
    Skinning& skinning;
    std::vector<std::filesystem::path> skinFolders;  // the data directory's first
    PlayHistory* history = nullptr;  // where failed system actions are written; may be null
};

// The rules of the settings page: every choice written to the settings at once, the daily
// shutdown, the autostart entry and the skin (UnattendedRules carries out the daily shutdown and
// the holiday action as stored). Each choice of the
// operator's returns kNotLoggedInMessage when the edit check refuses it and
// kSettingNotStoredMessage when it cannot be written; either way nothing is acted on and the view
// stays what is stored (shown again, it undoes the operator's choice). Otherwise it returns "".
class SettingsConsole {
public:
    explicit SettingsConsole(SettingsConsoleParts parts);
    SettingsConsole(const SettingsConsole&) = delete;
    SettingsConsole& operator=(const SettingsConsole&) = delete;

    const SettingsView& view() const { return view_; }

    // The page as it first appears: the settings read; the daily shutdown started when on; the
    // autostart entry renewed when it is set and the settings are open to change. Nobody may be
    // there at start-up, so nothing is said.
    void Init();

    std::string SetHolidayAction(int action);
    std::string SetShowMedia(bool on);
    // The operator closed the preview window, which wrote "ShowMedia" = 0 itself.
    void PreviewClosed() { view_.showMedia = false; }
    std::string SetDailyShutdown(bool on);
    std::string SetShutdownTime(int secondOfDay);
    std::string SetLaunchOnStartup(bool on);
    // The network output's section of setup.ini ([NetworkOutput], its own store), under the
    // same edit check; read again by the broadcaster at its next start.
    std::string SetNetworkOutput(SettingsStore& section, const NetworkOutputSettings& settings);
    std::string SetMinimize(bool on);
    // The skin list drops down: filled from the skin folders, the skin in use selected.
    void FillSkinList();
    // The entry `index` of the list was chosen: applied at once and stored.
    std::string ChooseSkin(int index);

private:
    bool EditAllowed() const { return parts_.state.IsEditAllowed(); }
    // A choice written as 0 or 1 and then shown in `shown`.
    std::string WriteFlag(bool& shown, std::string_view key, bool on);
    // The edit check, then `write`: the message when either fails, "" when the choice is stored.
    template <typename Write>
    std::string Store(Write write);
    void UpdateAutostart(bool on);
    void RecordFailure(FailureCause cause, std::string_view action, const std::string& reason);

    SettingsConsoleParts parts_;
    SettingsView view_;
    std::vector<SkinEntry> skinEntries_;
};

}  // namespace chimeon
