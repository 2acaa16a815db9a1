#include "core/system/login_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <map>
#include <string>

#include "core/app/ini_settings_store.h"
#include "core/system/stored_password.h"
#include "core/text/gbk_codec.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

class MemorySettings : public SettingsStore {
public:
    int GetInt(std::string_view key, int defaultValue) const override {
        auto it = values_.find(std::string(key));
        return it == values_.end() ? defaultValue : std::stoi(it->second);
    }
    std::string GetString(std::string_view key, std::string_view defaultValue) const override {
        auto it = values_.find(std::string(key));
        return it == values_.end() ? std::string(defaultValue) : it->second;
    }
    bool WriteInt(std::string_view key, int value) override {
        return WriteString(key, std::to_string(value));
    }
    bool WriteString(std::string_view key, std::string_view value) override {
        if (failWrites) {
            return false;
        }
        values_[std::string(key)] = std::string(value);
        return true;
    }
    std::string Stored(std::string_view key) const { return GetString(key, "<unset>"); }

    bool failWrites = false;

private:
    std::map<std::string, std::string> values_;
};

const std::string kStoredSecret = EncipherPassword("secret");

struct Start {
    bool usePassword;
    bool loggedIn;
    std::string password;  // "Pas" as held
};

struct Transition {
    const char* name;
    Start start;
    std::function<std::string(LoginSession&)> act;
    // Expected afterwards.
    std::string message;
    bool usePassword;
    bool loggedIn;
    std::string password;
    LoginView view;
    std::string storedUse;  // "<unset>" when not written
    std::string storedPas;
};

const std::string kUnset = "<unset>";

std::string Text(std::string_view text) {
    return std::string(text);
}

TEST(LoginSessionTest, EveryTransition) {
    using namespace login_text;
    const Start noPassword{false, false, ""};
    const Start locked{true, false, kStoredSecret};
    const Start unlocked{true, true, kStoredSecret};
    const Start lockedEmpty{true, false, ""};
    const Transition cases[] = {
        {"page opens without password",
         noPassword,
         [](LoginSession&) { return std::string(); },
         "",
         false,
         false,
         "",
         {false, false, Text(kNotLoggedIn)},
         kUnset,
         kUnset},
        {"page opens locked",
         locked,
         [](LoginSession&) { return std::string(); },
         "",
         true,
         false,
         kStoredSecret,
         {true, true, Text(kNotLoggedIn)},
         kUnset,
         kUnset},
        {"tick the box: locked with the empty password",
         noPassword,
         [](LoginSession& s) { return s.SetUsePassword(true); },
         "",
         true,
         false,
         "",
         {true, true, Text(kNotLoggedIn)},
         "1",
         ""},
        {"clear the box while locked is refused",
         locked,
         [](LoginSession& s) { return s.SetUsePassword(false); },
         Text(kLoginBeforeSwitchingOff),
         true,
         false,
         kStoredSecret,
         {true, true, Text(kNotLoggedIn)},
         kUnset,
         kUnset},
        {"clear the box while unlocked: no password, logged out",
         unlocked,
         [](LoginSession& s) { return s.SetUsePassword(false); },
         "",
         false,
         false,
         "",
         {false, false, Text(kNotLoggedIn)},
         "0",
         ""},
        {"login with the right password",
         locked,
         [](LoginSession& s) {
             s.Login("secret");
             return std::string();
         },
         "",
         true,
         true,
         kStoredSecret,
         {true, true, Text(kLoggedIn)},
         kUnset,
         kUnset},
        {"login with the empty entry and the empty password",
         lockedEmpty,
         [](LoginSession& s) {
             s.Login("");
             return std::string();
         },
         "",
         true,
         true,
         "",
         {true, true, Text(kLoggedIn)},
         kUnset,
         kUnset},
        {"login with a wrong password",
         locked,
         [](LoginSession& s) {
             s.Login("Secret");
             return std::string();
         },
         "",
         true,
         false,
         kStoredSecret,
         {true, true, Text(kWrongPassword)},
         kUnset,
         kUnset},
        {"wrong password while logged in keeps the login",
         unlocked,
         [](LoginSession& s) {
             s.Login("nope");
             return std::string();
         },
         "",
         true,
         true,
         kStoredSecret,
         {true, true, Text(kWrongPassword)},
         kUnset,
         kUnset},
        {"logout while logged in",
         unlocked,
         [](LoginSession& s) {
             s.Logout();
             return std::string();
         },
         "",
         true,
         false,
         kStoredSecret,
         {true, true, Text(kLoggedOut)},
         kUnset,
         kUnset},
        {"logout while not logged in",
         locked,
         [](LoginSession& s) {
             s.Logout();
             return std::string();
         },
         "",
         true,
         false,
         kStoredSecret,
         {true, true, Text(kNotYetLoggedIn)},
         kUnset,
         kUnset},
        {"change while not logged in",
         locked,
         [](LoginSession& s) { return s.ChangePassword("a", "a"); },
         Text(kLoginBeforeChange),
         true,
         false,
         kStoredSecret,
         {true, true, Text(kNotLoggedIn)},
         kUnset,
         kUnset},
        {"change with a confirmation differing in case",
         unlocked,
         [](LoginSession& s) { return s.ChangePassword("abc", "ABC"); },
         Text(kPasswordsDiffer),
         true,
         true,
         kStoredSecret,
         {true, true, Text(kNotLoggedIn)},
         kUnset,
         kUnset},
        {"change of 8 bytes",
         unlocked,
         [](LoginSession& s) { return s.ChangePassword("12345678", "12345678"); },
         Text(kChanged),
         true,
         true,
         "98F1FE74C8CD17BE",
         {true, true, Text(kNotLoggedIn)},
         kUnset,
         "98F1FE74C8CD17BE"},
        {"change of 9 bytes",
         unlocked,
         [](LoginSession& s) { return s.ChangePassword("123456789", "123456789"); },
         Text(kChanged),
         true,
         true,
         "98F1FE74C8CD17BEE180074171441057",
         {true, true, Text(kNotLoggedIn)},
         kUnset,
         "98F1FE74C8CD17BEE180074171441057"},
        {"change to a Chinese password stores its GBK bytes",
         unlocked,
         [](LoginSession& s) { return s.ChangePassword("广播密码", "广播密码"); },
         Text(kChanged),
         true,
         true,
         "0D7487BB406768F3",
         {true, true, Text(kNotLoggedIn)},
         kUnset,
         "0D7487BB406768F3"},
        {"change to the empty password",
         unlocked,
         [](LoginSession& s) { return s.ChangePassword("", ""); },
         Text(kChanged),
         true,
         true,
         "",
         {true, true, Text(kNotLoggedIn)},
         kUnset,
         ""},
    };
    for (const Transition& c : cases) {
        SCOPED_TRACE(c.name);
        AppState state;
        state.usePassword = c.start.usePassword;
        state.loggedIn = c.start.loggedIn;
        state.password = c.start.password;
        MemorySettings settings;
        LoginSession session(state, settings);
        session.Init();
        EXPECT_EQ(c.act(session), c.message);
        EXPECT_EQ(state.usePassword, c.usePassword);
        EXPECT_EQ(state.loggedIn, c.loggedIn);
        EXPECT_EQ(state.password, c.password);
        EXPECT_EQ(session.view().usePasswordChecked, c.view.usePasswordChecked);
        EXPECT_EQ(session.view().controlsEnabled, c.view.controlsEnabled);
        EXPECT_EQ(session.view().stateText, c.view.stateText);
        EXPECT_EQ(settings.Stored(settings_key::kUsePassword), c.storedUse);
        EXPECT_EQ(settings.Stored(settings_key::kPassword), c.storedPas);
        EXPECT_EQ(state.IsEditAllowed(), !c.usePassword || c.loggedIn);
    }
}

TEST(LoginSessionTest, ChangedPasswordLogsInAfterRestart) {
    AppState state;
    MemorySettings settings;
    LoginSession session(state, settings);
    session.Init();
    EXPECT_EQ(session.SetUsePassword(true), "");
    session.Login("");
    ASSERT_TRUE(state.loggedIn);
    EXPECT_EQ(session.ChangePassword("广播密码", "广播密码"), login_text::kChanged);

    AppState restarted;
    LoadStartupSettings(settings, restarted);
    EXPECT_TRUE(restarted.usePassword);
    EXPECT_FALSE(restarted.loggedIn);
    EXPECT_FALSE(restarted.IsEditAllowed());
    LoginSession again(restarted, settings);
    again.Init();
    again.Login("广播");
    EXPECT_FALSE(restarted.loggedIn);
    again.Login("广播密码");
    EXPECT_TRUE(restarted.loggedIn);
}

TEST(LoginSessionTest, FailedWriteKeepsTheOldPassword) {
    AppState state{true, false, true, kStoredSecret, ""};
    MemorySettings settings;
    settings.failWrites = true;
    LoginSession session(state, settings);
    session.Init();
    EXPECT_EQ(session.ChangePassword("new", "new"), login_text::kCannotSave);
    EXPECT_EQ(state.password, kStoredSecret);
    session.Login("secret");
    EXPECT_TRUE(state.loggedIn);
}

TEST(LoginSessionTest, CaptionFollowsTheLoginState) {
    EXPECT_EQ(UserStateCaption(false), "[Vantor]Chimeon  用户状态：未登陆");
    EXPECT_EQ(UserStateCaption(true), "[Vantor]Chimeon  用户状态：已登陆");
}

// setup.ini holds the enciphered password: it stays readable by its owner only, whatever the
// umask and whatever mode an older copy had.
TEST(LoginSessionTest, SettingsFileWithThePasswordIsPrivate) {
    test::TempDir dir;
    dir.Write("setup.ini", "[Settings]\r\nSkin=corona.smf\r\n");
    ASSERT_EQ(::chmod((dir / "setup.ini").c_str(), 0644), 0);
    const mode_t oldMask = ::umask(0);
    AppState state{true, false, true, "", ""};
    IniSettingsStore settings(dir / "setup.ini");
    LoginSession session(state, settings);
    EXPECT_EQ(session.ChangePassword("secret", "secret"), login_text::kChanged);
    ::umask(oldMask);

    struct stat info {};
    ASSERT_EQ(::stat((dir / "setup.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(settings.GetString(settings_key::kPassword, ""), kStoredSecret);
    EXPECT_EQ(settings.GetString(settings_key::kSkin, ""), "corona.smf");

    test::TempDir fresh;
    IniSettingsStore created(fresh / "setup.ini");
    ASSERT_TRUE(created.WriteString(settings_key::kPassword, kStoredSecret));
    ASSERT_EQ(::stat((fresh / "setup.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace chimeon
