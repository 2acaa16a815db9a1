#include "core/io/file_problem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string>

namespace chimeon {
namespace {

TEST(FileErrorText, NoErrnoReachesTheOperatorInTheSystemsEnglish) {
    for (int error = 0; error < 134; ++error) {
        const std::string text = FileErrorText(error);
        EXPECT_TRUE(std::none_of(text.begin(), text.end(),
                                 [](unsigned char c) { return std::isalpha(c) != 0; }))
            << error << ": " << text;
    }
    EXPECT_EQ(FileErrorText(ENOSPC), "磁盘已满");
}

}  // namespace
}  // namespace chimeon
