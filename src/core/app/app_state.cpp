#include "core/app/app_state.h"

namespace chimeon {

void LoadStartupSettings(const SettingsStore& settings, AppState& state) {
    state.usePassword = settings.GetInt(settings_key::kUsePassword, 0) != 0;
    state.password = settings.GetString(settings_key::kPassword, "");
    state.startMinimized = settings.GetInt(settings_key::kMinimize, 0) != 0;
}

}  // namespace chimeon
