#include "core/system/settings_console.h"

#include <utility>

#include "core/engine/clock_text.h"

namespace chimeon {
namespace {

// The page writes the start-minimised flag in this spelling; keys are matched without regard to
// letter case, so start-up reads it as "Minimize".
constexpr std::string_view kMinimizeAsWritten = "minimize";

std::string Refused() {
    return std::string(kNotLoggedInMessage);
}

}  // namespace

SettingsConsole::SettingsConsole(SettingsConsoleParts parts)
    : parts_(std::move(parts)), shutdown_(parts_.clock, [this] {
          PowerOffOrRecordRefusal(parts_.power, parts_.clock, parts_.history, kDailyShutdownAction);
      }) {}

std::string SettingsConsole::Init() {
    const SettingsStore& settings = parts_.settings;
    std::string message;
    view_.launchOnStartup = settings.GetInt(settings_key::kLaunchOnStartup, 0) != 0;
    if (view_.launchOnStartup) {
        message = SetLaunchOnStartup(true);
    }
    view_.dailyShutdown = settings.GetInt(settings_key::kShutup, 0) != 0;
    view_.shutdownSecond = ParseShutupTime(settings.GetString(settings_key::kShutupTime, ""));
    if (view_.dailyShutdown) {
        shutdown_.Start(view_.shutdownSecond);
    }
    view_.holidayAction = settings.GetInt(settings_key::kHoliday, 0);
    view_.showMedia = settings.GetInt(settings_key::kShowMedia, kDefaultShowMedia) != 0;
    view_.minimize = settings.GetInt(settings_key::kMinimize, 0) != 0;
    return message;
}

void SettingsConsole::SetHolidayAction(int action) {
    view_.holidayAction = action;
    (void)parts_.settings.WriteInt(settings_key::kHoliday, action);
}

std::string SettingsConsole::SetShowMedia(bool on) {
    return WriteFlag(view_.showMedia, settings_key::kShowMedia, on);
}

std::string SettingsConsole::SetDailyShutdown(bool on) {
    if (!EditAllowed()) {
        return Refused();
    }
    view_.dailyShutdown = on;
    if (on) {
        view_.shutdownSecond =
            ParseShutupTime(parts_.settings.GetString(settings_key::kShutupTime, ""));
        shutdown_.Start(view_.shutdownSecond);
    } else {
        shutdown_.Stop();
    }
    (void)parts_.settings.WriteInt(settings_key::kShutup, on ? 1 : 0);
    if (on) {
        (void)parts_.settings.WriteString(settings_key::kShutupTime,
                                          TimeText(view_.shutdownSecond));
    }
    return {};
}

std::string SettingsConsole::SetShutdownTime(int secondOfDay) {
    if (!EditAllowed()) {
        return Refused();
    }
    view_.shutdownSecond = secondOfDay;
    if (view_.dailyShutdown) {
        shutdown_.Start(secondOfDay);
    }
    (void)parts_.settings.WriteString(settings_key::kShutupTime, TimeText(secondOfDay));
    return {};
}

std::string SettingsConsole::SetLaunchOnStartup(bool on) {
    if (!EditAllowed()) {
        return Refused();
    }
    view_.launchOnStartup = on;
    std::string error;
    const bool done = on ? parts_.autostart.Create(&error) : parts_.autostart.Remove(&error);
    if (!done) {
        // The operator is not told; the setting is written all the same.
        RecordFailure(FailureCause::kAutostart, kLaunchOnStartupAction, error);
    }
    (void)parts_.settings.WriteInt(settings_key::kLaunchOnStartup, on ? 1 : 0);
    return {};
}

std::string SettingsConsole::SetMinimize(bool on) {
    return WriteFlag(view_.minimize, kMinimizeAsWritten, on);
}

std::string SettingsConsole::WriteFlag(bool& shown, std::string_view key, bool on) {
    if (!EditAllowed()) {
        return Refused();
    }
    shown = on;
    (void)parts_.settings.WriteInt(key, on ? 1 : 0);
    return {};
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
    if (!EditAllowed()) {
        return Refused();
    }
    const SkinEntry& entry = skinEntries_[static_cast<std::size_t>(index)];
    // A skin the look cannot take leaves the look as it was; the choice is stored all the same.
    parts_.skinning.ApplySkinFile(entry.file);
    parts_.state.skinFile = entry.title + ".smf";
    (void)parts_.settings.WriteString(settings_key::kSkin, parts_.state.skinFile);
    view_.selectedSkin = index;
    return {};
}

void SettingsConsole::RecordFailure(FailureCause cause, std::string_view action,
                                    const std::string& reason) {
    if (parts_.history != nullptr) {
        parts_.history->Record(SystemFailureEvent(parts_.clock.Read(), cause, action, reason));
    }
}

}  // namespace chimeon
