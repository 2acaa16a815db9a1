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

// Each cause reads back from its name, but only as a cause of its event's kind.
TEST(HistoryCauses, KeepTheirStoredNamesAndReadBackOnlyForTheirKind) {
    using Kind = HistoryEvent::Kind;
    std::string names;
    auto family = [&]<typename Cause>(Kind kind, Cause last) {
        for (int i = 0; i <= static_cast<int>(last); ++i) {
            const HistoryCause cause = static_cast<Cause>(i);
            names += std::string(HistoryCauseName(cause)) + " ";
            EXPECT_EQ(HistoryCauseFromName(kind, HistoryCauseName(cause)), cause) << names;
        }
    };
    family(Kind::kStart, StartCause::kHand);
    family(Kind::kEnd, EndCause::kNotPlayed);
    family(Kind::kFailure, FailureCause::kNetwork);
    // In every history database and in chimeonctl's output, in the order of the enumerations.
    EXPECT_EQ(names,
              "time chain hand played end_time stopped day_change exit not_played missing "
              "unplayable no_audio_output power_off autostart network ");
    EXPECT_FALSE(HistoryCauseFromName(Kind::kEnd, "time"));
    EXPECT_FALSE(HistoryCauseFromName(Kind::kStart, "Time"));
}

}  // namespace
}  // namespace chimeon
