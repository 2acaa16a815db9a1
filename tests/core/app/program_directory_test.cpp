#include "core/app/program_directory.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(ProgramDirectory, PortableCopyOrTheUsersDataFolder) {
    TempDir dir;
    fs::create_directories(dir / "bin");
    fs::create_directories(dir / "portable/skin");
    fs::create_directories(dir / "withini");
    dir.Write("withini/setup.ini", "");
    const std::string xdg = (dir / "xdg").string();
    const std::string home = (dir / "home").string();
    struct {
        fs::path executableFolder;
        const char* xdgDataHome;
        const char* home;
        fs::path expected;
    } cases[] = {
        {dir / "portable", xdg.c_str(), home.c_str(), dir / "portable"},
        {dir / "withini", nullptr, home.c_str(), dir / "withini"},
        {dir / "bin", xdg.c_str(), home.c_str(), dir / "xdg/Chimeon"},
        {dir / "bin", nullptr, home.c_str(), dir / "home/.local/share/Chimeon"},
        {dir / "bin", "relative/path", home.c_str(), dir / "home/.local/share/Chimeon"},
        {dir / "bin", "", home.c_str(), dir / "home/.local/share/Chimeon"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolveProgramDirectory(c.executableFolder, c.xdgDataHome, c.home), c.expected)
            << c.executableFolder;
    }
}

TEST(ProgramDirectory, ShippedFilesAreTakenFromTheDataDirectoryFirst) {
    TempDir dir;
    dir.Write("Larkworks.gif", "GIF89a");
    EXPECT_EQ(LocateDataFile(dir.path(), "Larkworks.gif"), dir / "Larkworks.gif");
    EXPECT_EQ(LocateDataFile(dir.path(), "no-such-file.gif"), fs::path());
}

TEST(ProgramDirectory, EndsInASlash) {
    // The test program's folder is no portable copy: the data folder is made under XDG_DATA_HOME,
    // never in the real home folder.
    TempDir xdg;
    setenv("XDG_DATA_HOME", xdg.path().c_str(), 1);
    std::string directory = ProgramDirectory();
    unsetenv("XDG_DATA_HOME");
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), '/');
}

}  // namespace
}  // namespace chimeon
