#pragma once

#include <string>
#include <string_view>

namespace chimeon {

// The program's settings ("setup.ini", section "Settings"). Keys are matched without regard to
// letter case. Reads and writes reach the store each time; nothing is cached.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The decimal integer at the start of the value; `defaultValue` when the key is missing or
    // its value is empty.
    virtual int GetInt(std::string_view key, int defaultValue) const = 0;
    virtual std::string GetString(std::string_view key, std::string_view defaultValue) const = 0;

    // False when the value could not be stored; the store is then as it was.
    [[nodiscard]] virtual bool WriteInt(std::string_view key, int value) = 0;
    [[nodiscard]] virtual bool WriteString(std::string_view key, std::string_view value) = 0;
};

// The keys of "setup.ini" and their defaults.
namespace settings_key {
inline constexpr std::string_view kSkin = "Skin";                        // text, ""
inline constexpr std::string_view kUsePassword = "Use";                  // 0/1, 0
inline constexpr std::string_view kPassword = "Pas";                     // hex cipher text, ""
inline constexpr std::string_view kMinimize = "Minimize";                // 0/1, 0
inline constexpr std::string_view kLaunchOnStartup = "LaunchOnStartup";  // 0/1, 0
inline constexpr std::string_view kHoliday = "Holiday";        // 0 wait, 1 exit, 2 power off
inline constexpr std::string_view kShutup = "Shutup";          // 0/1, 0
inline constexpr std::string_view kShutupTime = "ShutupTime";  // "%d:%d:%d", 08:00:00
inline constexpr std::string_view kShowMedia = "ShowMedia";    // 0/1, 1
}  // namespace settings_key

inline constexpr int kDefaultShowMedia = 1;
inline constexpr std::string_view kDefaultShutupTime = "08:00:00";

}  // namespace chimeon
