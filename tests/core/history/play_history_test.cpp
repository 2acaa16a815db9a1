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

// The names are stored in every history database and shown by chimeonctl: each cause keeps its
// own, and a name reads back only as a cause of its event's kind.
TEST(HistoryCauses, KeepTheirStoredNamesAndReadBackOnlyForTheirKind) {
    using Kind = HistoryEvent::Kind;
    struct {
        Kind kind;
        HistoryCause cause;
        const char* name;
    } cases[] = {{Kind::kStart, StartCause::kTime, "time"},
                 {Kind::kStart, StartCause::kChain, "chain"},
                 {Kind::kStart, StartCause::kHand, "hand"},
                 {Kind::kEnd, EndCause::kPlayedThrough, "played"},
                 {Kind::kEnd, EndCause::kEndTimeReached, "end_time"},
                 {Kind::kEnd, EndCause::kStoppedByOperator, "stopped"},
                 {Kind::kEnd, EndCause::kChangeOfDay, "day_change"},
                 {Kind::kEnd, EndCause::kProgramExit, "exit"},
                 {Kind::kEnd, EndCause::kNotPlayed, "not_played"},
                 {Kind::kFailure, FailureCause::kFileMissing, "missing"},
                 {Kind::kFailure, FailureCause::kUnplayable, "unplayable"},
                 {Kind::kFailure, FailureCause::kNoAudioOutput, "no_audio_output"},
                 {Kind::kFailure, FailureCause::kPowerOff, "power_off"},
                 {Kind::kFailure, FailureCause::kAutostart, "autostart"}};
    for (const auto& c : cases) {
        EXPECT_EQ(HistoryCauseName(c.cause), c.name);
        EXPECT_EQ(HistoryCauseFromName(c.kind, c.name), c.cause) << c.name;
    }
    for (const auto& [kind, name] : {std::pair{Kind::kEnd, "time"},
                                     {Kind::kStart, "played"},
                                     {Kind::kStart, "Time"},
                                     {Kind::kFailure, ""}}) {
        EXPECT_FALSE(HistoryCauseFromName(kind, name)) << name;
    }
}

}  // namespace
}  // namespace chimeon
