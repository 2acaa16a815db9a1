#include "core/io/atomic_write.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "core/io/save_temporary.h"
#include "core/schedule/holiday_calendar.h"
#include "core/schedule/schedule_file.h"
#include "support/temp_dir.h"
#include "support/write_failures.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

mode_t ModeOf(const fs::path& file) {
    struct stat info {};
    ::stat(file.c_str(), &info);
    return info.st_mode & 0777;
}

TEST(WriteFileAtomically, AChainOfLinksIsFollowedToTheFileItNames) {
    TempDir dir;
    fs::create_directories(dir / "shared/tables");
    dir.Write("shared/tables/Day1.dat", "old");
    fs::create_symlink("tables/Day1.dat", dir / "shared/Day1.dat");
    fs::create_symlink(dir / "shared/Day1.dat", dir / "Day1.dat");
    ASSERT_TRUE(WriteFileAtomically(dir / "Day1.dat", "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "Day1.dat"));
    EXPECT_TRUE(fs::is_symlink(dir / "shared/Day1.dat"));
    EXPECT_EQ(dir.Read("shared/tables/Day1.dat"), "new");
}

TEST(WriteFileAtomically, ReplacesWholeKeepingTheOldModeAndANewFileHonoursTheUmask) {
    TempDir dir;
    mode_t oldMask = ::umask(027);
    bool saved = WriteFileAtomically(dir / "table", "x");
    ::umask(oldMask);
    ASSERT_TRUE(saved);
    EXPECT_EQ(ModeOf(dir / "table"), 0640u) << "a new file honours the umask";
    ASSERT_TRUE(WriteFileAtomically(dir / "secret", "a longer text", 0600));
    EXPECT_EQ(ModeOf(dir / "secret"), 0600u);
    ::chmod((dir / "secret").c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(dir / "secret", "y", 0600));
    EXPECT_EQ(ModeOf(dir / "secret"), 0640u);
    ASSERT_TRUE(WriteFileAtomically(dir / "secret", "z", 0600, /*forceMode=*/true));
    EXPECT_EQ(ModeOf(dir / "secret"), 0600u);
    EXPECT_EQ(dir.Read("secret"), "z");
    EXPECT_EQ(dir.Entries(), 2u) << "no temporary file is left";
}

TEST(WriteFileAtomically, AWriteProtectedFileIsKept) {
    TempDir dir;
    dir.Write("setup.ini", "old");
    ::chmod((dir / "setup.ini").c_str(), 0444);  // refused even by root
    EXPECT_FALSE(WriteFileAtomically(dir / "setup.ini", "new", 0600, /*forceMode=*/true));
    if (::geteuid() == 0) {  // another user's file, in a folder anyone may write
        ::chmod((dir / "setup.ini").c_str(), 0644);
        ::chmod(dir.path().c_str(), 0777);
        EXPECT_FALSE(
            test::RunAsNobody([&] { return WriteFileAtomically(dir / "setup.ini", "new"); }));
    }
    EXPECT_EQ(dir.Read("setup.ini"), "old");
    EXPECT_EQ(dir.Entries(), 1u);
}

TEST(RemoveStaleTemporaryFiles, OnlyOursThatNoSaveHolds) {
    TempDir dir;
    for (std::string name : {".Day1.dat.AbC123", ".Day1.dat.Held01", ".Day1.dat.swp",
                             ".Other.dat.AbC123", ".Day1.dat.Young1"}) {
        dir.Write(name, "partial");
        if (name != ".Day1.dat.Young1") {  // one just made may be a save about to lock it
            fs::last_write_time(dir / name,
                                fs::file_time_type::clock::now() - std::chrono::hours(1));
        }
    }
    int held = ::open((dir / ".Day1.dat.Held01").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);  // a save still running
    EXPECT_EQ(RemoveStaleTemporaryFiles(dir.path(), {"Day1.dat"}), 1);
    ::close(held);
    EXPECT_FALSE(fs::exists(dir / ".Day1.dat.AbC123"));
}

// Every stored file goes through the same atomic write; each kind is checked against both ways a
// write fails, and the old file must be there, whole.
struct FailingSave {
    const char* name;
    const char* file;
    std::function<bool(const fs::path& folder)> save;
};

class SaveThatFails : public testing::TestWithParam<FailingSave> {};

ScheduleTable BigTable() {
    return ScheduleTable(
        2000, ProgramItem{"上课铃", "8:0:0", "播完终止", "80", "顺序", "d:\\bell\\ring.mp3"});
}

TEST_P(SaveThatFails, InAReadOnlyFolderOrOnAFullDiskKeepsTheOldFile) {
    TempDir dir;
    dir.Write(GetParam().file, "old\r\n");
    const fs::path folder = dir.path();
    const std::function<bool()> save = [&] { return GetParam().save(folder); };
    EXPECT_FALSE(test::RunWithoutWritePermission(folder.string(), save));
    EXPECT_FALSE(test::RunWithFileSizeLimit(64, save));
    EXPECT_EQ(dir.Read(GetParam().file), "old\r\n");
    EXPECT_EQ(dir.Entries(), 1u) << "the partial temporary file is removed";
}

INSTANTIATE_TEST_SUITE_P(
    StoredFiles, SaveThatFails,
    testing::Values(FailingSave{"schedule", "Day1.dat",
                                [](const fs::path& folder) {
                                    return SaveScheduleFile(folder / "Day1.dat", BigTable());
                                }},
                    FailingSave{"calendar", "HlidSave.dat",
                                [](const fs::path& folder) {
                                    HolidayCalendar calendar;
                                    calendar.daysOff.assign(100, "10/1/2026");
                                    calendar.extraWorkDays.assign(100, {"10/1/2026", "星期一"});
                                    CalendarSaveResult result =
                                        SaveHolidayCalendar(folder, calendar);
                                    return result.restDaysSaved || result.extraWorkDaysSaved;
                                }},
                    FailingSave{"plain", "x.bin",
                                [](const fs::path& folder) {
                                    return WriteFileAtomically(folder / "x.bin",
                                                               std::string(4096, 'x'));
                                }}),
    [](const testing::TestParamInfo<FailingSave>& info) { return info.param.name; });

}  // namespace
}  // namespace chimeon
