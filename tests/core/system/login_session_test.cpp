#include "core/system/login_session.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/memory_settings.h"

namespace chimeon {
namespace {

using test::MemorySettings;

// 广播密码 as the login page stores it (its GBK bytes enciphered); "admin" likewise.
const std::string kSecret = "0D7487BB406768F3";
const std::string kAdmin = "9995964905B259ED";

enum class Start { kNoPassword, kLocked, kUnlocked, kLockedEmpty, kUnlockedDiskFull, kDiskFull };

// "use 1", "login secret", "logout", "change new confirmation"; a missing word is empty.
std::string Act(LoginSession& session, const std::string& action) {
    std::istringstream words(action);
    std::string verb, first, second;
    words >> verb >> first >> second;
    if (verb == "use") {
        return session.SetUsePassword(first == "1");
    }
    if (verb == "login") {
        session.Login(first);
    } else if (verb == "logout") {
        session.Logout();
    } else if (verb == "change") {
        return session.ChangePassword(first, second);
    }
    return "";
}

// What was written to the settings: "Pas=... Use=...", "-" for nothing.
std::string Written(const MemorySettings& settings) {
    std::string written;
    for (const auto& [key, value] : settings.values) {
        written += (written.empty() ? "" : " ") + key + "=" + value;
    }
    return written.empty() ? "-" : written;
}

TEST(LoginSessionTest, EveryTransition) {
    using namespace login_text;
    const struct {
        const char* name;
        Start start;
        const char* action;
        std::string_view message;
        bool use, in;
        std::string_view stateText;
        std::string password;  // "Pas" as held afterwards
        std::string written;
    } cases[] = {
        {"page opens", Start::kNoPassword, "", "", 0, 0, kNotLoggedIn, "", "-"},
        {"page opens locked", Start::kLocked, "", "", 1, 0, kNotLoggedIn, kSecret, "-"},
        {"tick the box: locked with the empty password", Start::kNoPassword, "use 1", "", 1, 0,
         kNotLoggedIn, "", "Pas= Use=1"},
        {"clear the box while locked is refused", Start::kLocked, "use 0", kLoginBeforeSwitchingOff,
         1, 0, kNotLoggedIn, kSecret, "-"},
        {"clear the box while unlocked", Start::kUnlocked, "use 0", "", 0, 0, kNotLoggedIn, "",
         "Pas= Use=0"},
        {"a tick that cannot be stored", Start::kDiskFull, "use 1", kSettingNotStoredMessage, 0, 0,
         kNotLoggedIn, "", "-"},
        {"right password", Start::kLocked, "login 广播密码", "", 1, 1, kLoggedIn, kSecret, "-"},
        {"empty password", Start::kLockedEmpty, "login", "", 1, 1, kLoggedIn, "", "-"},
        {"wrong password", Start::kLocked, "login 广播", "", 1, 0, kWrongPassword, kSecret, "-"},
        {"wrong password keeps a login", Start::kUnlocked, "login no", "", 1, 1, kWrongPassword,
         kSecret, "-"},
        {"logout", Start::kUnlocked, "logout", "", 1, 0, kLoggedOut, kSecret, "-"},
        {"logout when out", Start::kLocked, "logout", "", 1, 0, kNotYetLoggedIn, kSecret, "-"},
        {"change while out", Start::kLocked, "change a a", kLoginBeforeChange, 1, 0, kNotLoggedIn,
         kSecret, "-"},
        {"confirmation differs in case", Start::kUnlocked, "change abc ABC", kPasswordsDiffer, 1, 1,
         kNotLoggedIn, kSecret, "-"},
        {"change", Start::kUnlocked, "change admin admin", kChanged, 1, 1, kNotLoggedIn, kAdmin,
         "Pas=" + kAdmin},
        {"a failed write keeps the old password", Start::kUnlockedDiskFull, "change admin admin",
         kCannotSave, 1, 1, kNotLoggedIn, kSecret, "-"},
        {"empty password", Start::kUnlocked, "change", kChanged, 1, 1, kNotLoggedIn, "", "Pas="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppState state;
        state.usePassword = c.start != Start::kNoPassword && c.start != Start::kDiskFull;
        state.loggedIn = c.start == Start::kUnlocked || c.start == Start::kUnlockedDiskFull;
        state.password = state.usePassword && c.start != Start::kLockedEmpty ? kSecret : "";
        MemorySettings settings;
        settings.failWrites = c.start == Start::kUnlockedDiskFull || c.start == Start::kDiskFull;
        LoginSession session(state, settings);
        session.Init();
        EXPECT_EQ(Act(session, c.action), c.message);
        EXPECT_EQ(state.usePassword, c.use);
        EXPECT_EQ(state.loggedIn, c.in);
        EXPECT_EQ(state.password, c.password);
        EXPECT_EQ(session.view().usePasswordChecked, c.use);
        EXPECT_EQ(session.view().controlsEnabled, c.use);
        EXPECT_EQ(session.view().stateText, c.stateText);
        EXPECT_EQ(Written(settings), c.written);
        EXPECT_EQ(state.IsEditAllowed(), !c.use || c.in);
    }
}

}  // namespace
}  // namespace chimeon
