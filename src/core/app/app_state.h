#pragma once

#include <string>

#include "core/app/settings_store.h"

namespace chimeon {

// State that several pages share, loaded once at start-up.
struct AppState {
    bool usePassword = false;     // "Use": a login password is in use
    bool startMinimized = false;  // "Minimize": hide in the tray right after start-up
    bool loggedIn = false;        // set only by the login page
    std::string password;         // "Pas" exactly as stored (hexadecimal cipher text)
    std::string skinFile;         // skin in use, e.g. "corona.smf"; "" when none

    // A change of stored data needs no password in use, or a logged-in operator.
    bool IsEditAllowed() const { return !usePassword || loggedIn; }
};

inline constexpr std::string_view kNotLoggedInMessage = "用户未登陆，不能进行任何修改！";
// A setting that could not be written (a read-only data folder, a full disk): it stays as it was.
inline constexpr std::string_view kSettingNotStoredMessage =
    "保存失败！无法写入设置文件 setup.ini。\n原来的设置保持不变。";

// Reads "Use", "Pas" and "Minimize" (any non-zero number counts as set); `loggedIn` stays false.
void LoadStartupSettings(const SettingsStore& settings, AppState& state);

}  // namespace chimeon
