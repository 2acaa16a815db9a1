#include "platform/system/journal_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace chimeon {
namespace {

TEST(JournalLogTest, TheJournalIsUsedOnlyWhenStandardErrorIsItsStream) {
    struct stat status {};
    ASSERT_EQ(::fstat(STDERR_FILENO, &status), 0);
    const std::string own = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    const std::string other =
        std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino + 1);
    struct Case {
        const char* stream;
        bool journal;
    } const cases[] = {
        {own.c_str(), true}, {other.c_str(), false}, {"garbage", false}, {nullptr, false}};
    for (const Case& c : cases) {
        if (c.stream != nullptr) {
            ::setenv("JOURNAL_STREAM", c.stream, 1);
        } else {
            ::unsetenv("JOURNAL_STREAM");
        }
        EXPECT_EQ(StandardErrorIsJournal(), c.journal) << (c.stream ? c.stream : "unset");
    }
    ::unsetenv("JOURNAL_STREAM");
}

}  // namespace
}  // namespace chimeon
