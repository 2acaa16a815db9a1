#include "core/system/settings_console.h"

#include <utility>

#include "core/engine/clock_text.h"

namespace chimeon {
namespace {

// The page writes the start-minimised flag in this spelling; keys are matched without regard to
// letter case, so start-up reads it as "Minimize".
constexpr std::string_view kMinimizeAsWritten = "minimize";

}  // namespace

SettingsConsole::SettingsConsole(SettingsConsoleParts parts) : parts_(std::move(parts)) {}

void SettingsConsole::Init() {
    const SettingsStore& settings = parts_.settings;
    view_.launchOnStartup = settings.GetInt(settings_key::kLaunchOnStartup, 0) != 0;
    if (view_.launchOnStartup && EditAllowed()) {
        // Renewed for the program as it runs now. While a password guards the settings it stays
        // as the last renewal made it.
        UpdateAutostart(true);
    }
    view_.dailyShutdown = settings.GetInt(settings_key::kShutup, 0) != 0;
    view_.shutdownSecond = ParseShutupTime(settings.GetString(settings_key::kShutupTime, ""));
    view_.holidayAction = settings.GetInt(settings_key::kHoliday, 0);
    view_.showMedia = settings.GetInt(settings_key::kShowMedia, kDefaultShowMedia) != 0;
    view_.minimize = settings.GetInt(settings_key::kMinimize, 0) != 0;
}

template <typename Write>
std::string SettingsConsole::Store(Write write) {
    if (!EditAllowed()) {
        return std::string(kNotLoggedInMessage);
    }
    return write(parts_.settings) ? std::string() : std::string(kSettingNotStoredMessage);
}

std::string SettingsConsole::SetHolidayAction(int action) {
    std::string message =
        Store([action](SettingsStore& s) { return s.WriteInt(settings_key::kHoliday, action); });
    if (message.empty()) {
        view_.holidayAction = action;
    }
    return message;
}

std::string SettingsConsole::SetShowMedia(bool on) {
    return WriteFlag(view_.showMedia, settings_key::kShowMedia, on);
}

std::string SettingsConsole::SetDailyShutdown(bool on) {
    const int second = ParseShutupTime(parts_.settings.GetString(settings_key::kShutupTime, ""));
    // The time first: written alone it changes nothing, being the time stored already.
    std::string message = Store([on, second](SettingsStore& s) {
        return (!on || s.WriteString(settings_key::kShutupTime, TimeText(second))) &&
               s.WriteInt(settings_key::kShutup, on ? 1 : 0);
    });
    if (!message.empty()) {
        return message;
    }
    view_.dailyShutdown = on;
    if (on) {
        view_.shutdownSecond = second;
    }
    return {};
}

std::string SettingsConsole::SetShutdownTime(int secondOfDay) {
    std::string message = Store([secondOfDay](SettingsStore& s) {
        return s.WriteString(settings_key::kShutupTime, TimeText(secondOfDay));
    });
    if (message.empty()) {
        view_.shutdownSecond = secondOfDay;
    }
    return message;
}

std::string SettingsConsole::SetLaunchOnStartup(bool on) {
    // The setting first: one that cannot be stored leaves the entry as it is.
    std::string message = WriteFlag(view_.launchOnStartup, settings_key::kLaunchOnStartup, on);
    if (message.empty()) {
        UpdateAutostart(on);
    }
    return message;
}

void SettingsConsole::UpdateAutostart(bool on) {
    std::string error;
    const bool done = on ? parts_.autostart.Create(&error) : parts_.autostart.Remove(&error);
    if (!done) {
        // The operator is not told; the setting stands all the same.
        RecordFailure(FailureCause::kAutostart, kLaunchOnStartupAction, error);
    }
}

std::string SettingsConsole::SetNetworkOutput(SettingsStore& section,
                                              const NetworkOutputSettings& settings) {
    if (!EditAllowed()) {
        return std::string(kNotLoggedInMessage);
    }
    return WriteNetworkOutputSettings(section, settings) ? std::string()
                                                         : std::string(kSettingNotStoredMessage);
}

std::string SettingsConsole::SetMinimize(bool on) {
    return WriteFlag(view_.minimize, kMinimizeAsWritten, on);
}

std::string SettingsConsole::WriteFlag(bool& shown, std::string_view key, bool on) {
    std::string message =
        Store([key, on](SettingsStore& s) { return s.WriteInt(key, on ? 1 : 0); });
    if (message.empty()) {
        shown = on;
    }
    return message;
}

void SettingsConsole::FillSkinList() {
    skinEntries_ = ListSkins(parts_.skinFolders);
    view_.skins.clear();
    for (const SkinEntry& entry : skinEntries_) {
        view_.skins.push_back(entry.title);
    }
    view_.selectedSkin = SkinEntryInUse(skinEntries_, parts_.state.skinFile);
    if (view_.selectedSkin < 0 && !skinEntries_.empty()) {
        // The first entry stands for the skin in use from now on; the look and the stored
        // "Skin" stay as they are.
        view_.selectedSkin = 0;
        parts_.state.skinFile = skinEntries_.front().title + ".smf";
    }
}

std::string SettingsConsole::ChooseSkin(int index) {
    if (index < 0 || index >= static_cast<int>(skinEntries_.size())) {
        return {};
    }
    const SkinEntry& entry = skinEntries_[static_cast<std::size_t>(index)];
    const std::string file = entry.title + ".smf";
    std::string message =
        Store([&file](SettingsStore& s) { return s.WriteString(settings_key::kSkin, file); });
    if (message.empty()) {
        // A skin the look cannot take leaves the look as it was; the choice is stored all the same.
        parts_.skinning.ApplySkinFile(entry.file);
        parts_.state.skinFile = file;
        view_.selectedSkin = index;
    }
    return message;
}

void SettingsConsole::RecordFailure(FailureCause cause, std::string_view action,
                                    const std::string& reason) {
    if (parts_.history != nullptr) {
        parts_.history->Record(SystemFailureEvent(parts_.clock.Read(), cause, action, reason));
    }
}

}  // namespace chimeon
