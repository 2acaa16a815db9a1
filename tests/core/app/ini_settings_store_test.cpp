#include "core/app/ini_settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/app/app_state.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::Hex;
using test::TempDir;

TEST(ProfileText, FindMatchesKeysAndSectionsIgnoringCase) {
    const std::string file =
        "; comment=1\r\nUse=9\r\n[settings]\r\n minimize = 1 \r\nSkin=\"a "
        "b.smf\"\r\nUse=5\r\nuse=6\r\n"
        "[Other]\r\nShowMedia=0\r\n[Settings]\r\nShowMedia=3\r\n";
    EXPECT_EQ(profile_text::Find(file, "Settings", "Minimize"), "1");
    EXPECT_EQ(profile_text::Find(file, "Settings", "skin"), "a b.smf");
    EXPECT_EQ(profile_text::Find(file, "Settings", "Use"), "5") << "the first line of the key wins";
    EXPECT_EQ(profile_text::Find(file, "Settings", "ShowMedia"), std::nullopt)
        << "only the first section of the name is read, and lines outside any section are not";
    EXPECT_EQ(profile_text::Find(file, "Settings", "comment"), std::nullopt);
    EXPECT_EQ(profile_text::Find(file, "Other", "showmedia"), "0");
}

TEST(ProfileText, WriteChangesOnlyTheLineItOwns) {
    const struct {
        const char* name;
        std::string before;
        const char* key;
        const char* value;
        std::string after;
    } cases[] = {
        {"new file", "", "Use", "1", "[Settings]\r\nUse=1\r\n"},
        {"replaced in place, spelling kept", "[Settings]\r\nminimize=0\r\nUse=1\r\n", "Minimize",
         "1", "[Settings]\r\nminimize=1\r\nUse=1\r\n"},
        {"after the last entry, before blank lines",
         "[Settings]\r\nUse=1\r\n\r\n; keep me\r\n[Other]\r\nX=1\r\n", "Holiday", "2",
         "[Settings]\r\nUse=1\r\nHoliday=2\r\n\r\n; keep me\r\n[Other]\r\nX=1\r\n"},
        {"into an empty section", "[Settings]\r\n[Other]\r\n", "Use", "0",
         "[Settings]\r\nUse=0\r\n[Other]\r\n"},
        {"new section at the end", "[Other]\nX=1", "Use", "1",
         "[Other]\nX=1\r\n[Settings]\r\nUse=1\r\n"},
        {"LF lines and foreign bytes kept", "[Settings]\nA=\xff\xfe\nUse=0\n; \x80\n", "Use", "1",
         "[Settings]\nA=\xff\xfe\nUse=1\n; \x80\n"},
        {"unterminated last line", "[Settings]\r\nUse=0", "Use", "1", "[Settings]\r\nUse=1\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(profile_text::Write(c.before, "Settings", c.key, c.value), c.after) << c.name;
    }
}

// Defaults stand for a missing file, key or value. The file holds the enciphered password: it
// is kept readable by its owner only, whatever the umask and whatever mode an older copy had.
TEST(IniSettingsStore, DefaultsUntilWrittenAndWritesReadBack) {
    TempDir dir;
    IniSettingsStore store(dir / "setup.ini");
    EXPECT_EQ(store.GetString(settings_key::kShutupTime, kDefaultShutupTime), "08:00:00");
    dir.Write("setup.ini", "[Settings]\r\nShowMedia=\r\nHoliday=x\r\n");
    EXPECT_EQ(store.GetInt(settings_key::kShowMedia, kDefaultShowMedia), 1);
    EXPECT_EQ(store.GetInt(settings_key::kHoliday, 2), 0);
    // An older copy anyone could read, written under a umask that keeps nothing private.
    ASSERT_EQ(::chmod((dir / "setup.ini").c_str(), 0644), 0);
    const mode_t oldMask = ::umask(0);
    EXPECT_TRUE(store.WriteString(settings_key::kSkin, "春天.smf"));
    EXPECT_TRUE(store.WriteInt(settings_key::kHoliday, 2));
    EXPECT_TRUE(store.WriteString(settings_key::kShutupTime, "17:5:0"));
    ::umask(oldMask);
    EXPECT_EQ(dir.Read("setup.ini"), "[Settings]\r\nShowMedia=\r\nHoliday=2\r\nSkin=" +
                                         Hex("b4 ba cc ec") + ".smf\r\nShutupTime=17:5:0\r\n");
    EXPECT_EQ(store.GetString(settings_key::kSkin, ""), "春天.smf");
    EXPECT_EQ(store.GetInt(settings_key::kHoliday, 0), 2);
    struct stat info {};
    ::stat((dir / "setup.ini").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(IniSettingsStore, RefusesTextThatWouldWriteLinesOfItsOwn) {
    TempDir dir;
    dir.Write("setup.ini", "[Settings]\r\nPas=AB\r\n");
    IniSettingsStore store(dir / "setup.ini");
    EXPECT_FALSE(store.WriteString(settings_key::kPassword, "CD\r\nUse=0"));
    EXPECT_FALSE(store.WriteString("A=B", "1"));
    EXPECT_FALSE(store.WriteString("", "1"));
    EXPECT_EQ(dir.Read("setup.ini"), "[Settings]\r\nPas=AB\r\n");
}

TEST(IniSettingsStore, UnreadableFileIsNotOverwritten) {
    TempDir dir;
    std::filesystem::create_directory(dir / "setup.ini");  // there, but not a file
    IniSettingsStore store(dir / "setup.ini");
    EXPECT_FALSE(store.WriteInt(settings_key::kUsePassword, 1));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "setup.ini"));
}

TEST(StartupSettings, ReadsTheHandMadeSample) {
    IniSettingsStore store(std::filesystem::path(CHIMEON_TEST_DATA_DIR) / "setup.ini");
    AppState state;
    LoadStartupSettings(store, state);
    EXPECT_TRUE(state.usePassword) << "5 counts as a password in use";
    EXPECT_EQ(state.password, "0123ABCD");
    EXPECT_TRUE(state.startMinimized) << "written \"minimize\", read as \"Minimize\"";
    EXPECT_FALSE(state.loggedIn);
    EXPECT_FALSE(state.IsEditAllowed());
    state.loggedIn = true;
    EXPECT_TRUE(state.IsEditAllowed());
    EXPECT_EQ(store.GetString(settings_key::kShutupTime, kDefaultShutupTime), "17:5:0");
}

}  // namespace
}  // namespace chimeon
