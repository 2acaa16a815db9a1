#include "core/engine/clock_text.h"

#include <gtest/gtest.h>

namespace chimeon {
namespace {

// Each part is read as LeadingNumber reads it (below).
TEST(TimeNotBeforeTest, ReadsStoredTimesLeniently) {
    struct Case {
        const char* a;
        const char* b;
        bool notBefore;
    };
    const Case cases[] = {
        {"8:0:0", "8:0:0", true},    {"8:0:1", "8:0:0", true},
        {"7:59:59", "8:0:0", false}, {"12:30", "12:0:31", false},  // "12:30" is 12 h 0 min 30 s
        {"12:30", "12:0:30", true},  {"0:0:0", "", true},          // the empty text is midnight
        {"", "0:0:1", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TimeNotBefore(c.a, c.b), c.notBefore) << c.a << " vs " << c.b;
    }
}

TEST(LeadingNumberTest, ReadsLikeTheCLibraryButSaturates) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {" 80", 80},
        {"80abc", 80},
        {"-5", -5},
        {"+7", 7},
        {"", 0},
        {"abc", 0},
        {"0x10", 0},
        {"999999999999999999999999", 1'000'000'000},
        {"-99999999999", -1'000'000'000},
    };
    for (const auto& [text, number] : cases) {
        EXPECT_EQ(LeadingNumber(text), number) << text;
    }
}

}  // namespace
}  // namespace chimeon
