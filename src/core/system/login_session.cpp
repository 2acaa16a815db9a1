#include "core/system/login_session.h"

#include <utility>

#include "core/system/stored_password.h"
#include "core/text/gbk_codec.h"

namespace chimeon {

std::string UserStateCaption(bool loggedIn) {
    std::string caption(kMainWindowTitle);
    caption += "  用户状态：";
    caption += loggedIn ? "已登陆" : "未登陆";
    return caption;
}

LoginSession::LoginSession(AppState& state, SettingsStore& settings)
    : state_(state), settings_(settings) {}

void LoginSession::Init() {
    view_.stateText = std::string(login_text::kNotLoggedIn);
    view_.usePasswordChecked = state_.usePassword;
    view_.controlsEnabled = state_.usePassword;
}

std::string LoginSession::SetUsePassword(bool checked) {
    if (!checked && !state_.loggedIn) {
        view_.usePasswordChecked = true;
        return std::string(login_text::kLoginBeforeSwitchingOff);
    }
    // Either way round, the first write done alone leaves the settings safe: switching on empties
    // the password before it is in use; switching off ends its use, and what is left of it is read
    // by nobody.
    if ((checked && !settings_.WriteString(settings_key::kPassword, "")) ||
        !settings_.WriteInt(settings_key::kUsePassword, checked ? 1 : 0)) {
        view_.usePasswordChecked = state_.usePassword;
        return std::string(kSettingNotStoredMessage);
    }
    if (!checked) {
        (void)settings_.WriteString(settings_key::kPassword, "");
    }
    view_.usePasswordChecked = checked;
    view_.controlsEnabled = checked;
    state_.usePassword = checked;
    state_.password.clear();
    state_.loggedIn = false;
    view_.stateText = std::string(login_text::kNotLoggedIn);
    return {};
}

void LoginSession::Login(std::string_view enteredPassword) {
    if (DecipherStoredPassword(state_.password) == EncodeGbk(enteredPassword)) {
        state_.loggedIn = true;
        view_.stateText = std::string(login_text::kLoggedIn);
    } else {
        view_.stateText = std::string(login_text::kWrongPassword);
    }
}

void LoginSession::Logout() {
    if (state_.loggedIn) {
        state_.loggedIn = false;
        view_.stateText = std::string(login_text::kLoggedOut);
    } else {
        view_.stateText = std::string(login_text::kNotYetLoggedIn);
    }
}

std::string LoginSession::ChangePassword(std::string_view newPassword,
                                         std::string_view confirmPassword) {
    if (!state_.loggedIn) {
        return std::string(login_text::kLoginBeforeChange);
    }
    if (newPassword != confirmPassword) {
        return std::string(login_text::kPasswordsDiffer);
    }
    std::string text = EncipherPassword(EncodeGbk(newPassword));
    if (!settings_.WriteString(settings_key::kPassword, text)) {
        return std::string(login_text::kCannotSave);
    }
    state_.password = std::move(text);
    return std::string(login_text::kChanged);
}

}  // namespace chimeon
