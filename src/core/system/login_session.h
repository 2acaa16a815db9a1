#pragma once

#include <string>
#include <string_view>

#include "core/app/app_state.h"
#include "core/app/settings_store.h"

namespace chimeon {

// Texts of the login page.
namespace login_text {
inline constexpr std::string_view kInfo =
    "    如果登陆密码，那么只有用户登陆后才可以修改播放列表，否则只能查看。用户不再编辑时，请注意"
    "退出。如果想取消登陆密码，必须先登陆，然后把“使用登陆密码”前的对勾去除。初次启用登陆密码，"
    "登陆密码为空。";
inline constexpr std::string_view kNotLoggedIn = "用户未登陆！";
inline constexpr std::string_view kLoggedIn = "用户已经登陆！";
inline constexpr std::string_view kWrongPassword = "密码错误，用户未登陆！";
inline constexpr std::string_view kLoggedOut = "用户已经退出！";
inline constexpr std::string_view kNotYetLoggedIn = "用户还未登陆！";
inline constexpr std::string_view kLoginBeforeSwitchingOff = "登陆后才能取消登陆密码！";
inline constexpr std::string_view kLoginBeforeChange = "用户还未登陆，不能修改密码！";
inline constexpr std::string_view kPasswordsDiffer = "两次输入的密码不一致，修改失败！";
inline constexpr std::string_view kChanged = "修改成功！";
inline constexpr std::string_view kCannotSave = "无法保存，修改失败！";
}  // namespace login_text

inline constexpr std::string_view kMainWindowTitle = "[Vantor]Chimeon";

// The main window's caption with the user state: "[Vantor]Chimeon  用户状态：未登陆".
std::string UserStateCaption(bool loggedIn);

// What the login page shows.
struct LoginView {
    bool usePasswordChecked = false;
    bool controlsEnabled = false;  // password entry, "登陆", "退出" and the three change controls
    std::string stateText;         // the state field
};

// The rules of the login page over the shared state: switching the password on and off, login,
// logout and the password change. Entered texts are UTF-8; the stored password is their GBK
// bytes enciphered (see stored_password.h). Every operation returns the text of the message box
// to show, or "" when there is none; the view then holds what the page shows.
class LoginSession {
public:
    LoginSession(AppState& state, SettingsStore& settings);

    const LoginView& view() const { return view_; }

    // The page as it first appears.
    void Init();
    // The check box "使用登陆密码" was set to `checked` by the operator.
    std::string SetUsePassword(bool checked);
    void Login(std::string_view enteredPassword);
    void Logout();
    std::string ChangePassword(std::string_view newPassword, std::string_view confirmPassword);

private:
    AppState& state_;
    SettingsStore& settings_;
    LoginView view_;
};

}  // namespace chimeon
