#include "core/io/read_only_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

TEST(ReadOnlyFileTest, RefusesWhatIsNotARegularFileWithoutBlocking) {
    test::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder");
    struct Case {
        const char* name;
        int error;
    };
    for (const Case& c : {Case{"pipe", ENXIO}, Case{"folder", EISDIR}, Case{"missing", ENOENT}}) {
        int error = 0;
        EXPECT_FALSE(ReadOnlyFile::Open(dir / c.name, &error)) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
}

TEST(ReadOnlyFileTest, ReadsThatMeetTheEndOrAShrunkenFileComeBackShort) {
    test::TempDir dir;
    dir.Write("f", "0123456789");
    std::optional<ReadOnlyFile> file = ReadOnlyFile::Open(dir / "f");
    ASSERT_TRUE(file);
    char buffer[8] = {};
    EXPECT_EQ(file->Size(), 10u);
    EXPECT_EQ(file->ReadAt(6, buffer, 8), 4u);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    ASSERT_EQ(::truncate((dir / "f").c_str(), 3), 0);  // shrinks while open
    EXPECT_EQ(file->Size(), 3u);
    EXPECT_EQ(file->ReadAt(0, buffer, 8), 3u);
    EXPECT_EQ(file->ReadAt(6, buffer, 8), 0u);
    EXPECT_EQ(file->ReadAt(UINT64_MAX - 2, buffer, 8), 0u);
}

}  // namespace
}  // namespace chimeon
