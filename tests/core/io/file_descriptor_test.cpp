#include "core/io/file_descriptor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::TempDir;

TEST(ReadFileBytes, RefusesWhatIsNotARegularFileWithoutBlocking) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(ReadFileBytes(dir / "fifo").has_value());
    EXPECT_FALSE(ReadFileBytes(dir.path()).has_value());
    EXPECT_FALSE(ReadFileBytes(dir / "missing").has_value());
    dir.Write("bytes", std::string("\0\r\n\xff", 4));
    EXPECT_EQ(ReadFileBytes(dir / "bytes"), std::string("\0\r\n\xff", 4));
}

}  // namespace
}  // namespace chimeon
