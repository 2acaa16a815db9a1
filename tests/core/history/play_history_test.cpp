#include "core/history/play_history.h"

#include <gtest/gtest.h>

namespace chimeon {
namespace {

TEST(IsoDates, ParseOnlyRealCalendarDates) {
    struct {
        const char* text;
        bool valid;
    } cases[] = {{"2026-12-07", true},  {"2028-02-29", true},  {"2026-02-29", false},
                 {"2026-02-30", false}, {"2026-13-01", false}, {"2026-00-10", false},
                 {"2026-1-07", false},  {"2026/12/07", false}, {"2026-12-07x", false},
                 {"", false},           {"abcd-ef-gh", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseIsoDate(c.text).has_value(), c.valid) << c.text;
    }
    auto date = ParseIsoDate("2026-12-07");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->year, 2026);
    EXPECT_EQ(date->month, 12);
    EXPECT_EQ(date->day, 7);
}

}  // namespace
}  // namespace chimeon
