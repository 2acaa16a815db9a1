#include "platform/system/xdg_autostart_entry.h"

#include <gtest/gtest.h>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

TEST(XdgAutostartEntryTest, WrittenValidForTheDesktopAndRemoved) {
    test::TempDir dir;
    EXPECT_EQ(AutostartFolder("relative", "/home/op"), "/home/op/.config/autostart");
    XdgAutostartEntry entry(AutostartFolder(dir.path().c_str(), nullptr),
                            "/opt/广播 室/chime\"on$%", "/srv/data dir");
    std::string error;
    ASSERT_TRUE(entry.Create(&error)) << error;
    const std::string text = dir.Read("autostart/[Vantor]Chimeon.desktop");
    for (const char* line : {"\nName=[Vantor]Chimeon\n", "\nPath=/srv/data dir\n",
                             "\nExec=\"/opt/广播 室/chime\\\\\"on\\\\$%%\"\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << text;
    }
    const auto validated = test::RunProgram("/usr/bin/desktop-file-validate", {entry.file()});
    EXPECT_EQ(validated.exitCode, 0) << validated.out << validated.err;
    ASSERT_TRUE(entry.Remove(&error) && entry.Remove(&error)) << error;  // gone is no error
    EXPECT_FALSE(std::filesystem::exists(entry.file()));
}

}  // namespace
}  // namespace chimeon
