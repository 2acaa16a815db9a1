#include "core/history/broadcast_audit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace chimeon {
namespace {

using ::testing::ElementsAre;
using Kind = HistoryEvent::Kind;

HistoryEvent Event(Kind kind, int row, std::string second, std::string_view cause) {
    HistoryEvent event;
    event.kind = kind;
    event.date = "2026-12-07";
    event.row = row;
    event.title = "r" + std::to_string(row + 1);
    event.scheduledSecond = std::move(second);
    event.cause = HistoryCauseFromName(kind, cause).value();
    return event;
}

TEST(BroadcastAuditTest, FindsMissingAndDoubledStartsAndFailuresWithoutReason) {
    const ScheduleTable table = {
        {"r1", "8:0:0", "播完终止", "100", "", "/a.wav"},
        {"r2", "续播", "播完终止", "100", "", "/b.wav"},
        {"r3", "8:0:5", "播完终止", "100", "", "/c.wav"},
        {"r4", "8:0:10", "播完终止", "100", "", "/d.wav"},
        {"r5", "8:0:10", "播完终止", "100", "", "/e.wav"},  // below r4: never starts
        {"r6", "8:0:15", "8:0:18", "100", "", "/f.wav"},
        {"r7", "9:0:0", "播完终止", "100", "", "/g.wav"},  // after the stretch
    };
    const std::vector<HistoryEvent> events = {
        Event(Kind::kStart, 0, "8:0:0", "time"),
        Event(Kind::kEnd, 0, "", "played"),
        Event(Kind::kStart, 1, "", "chain"),
        Event(Kind::kEnd, 1, "", "played"),
        // r3 (8:0:5) missing; r4 started twice
        Event(Kind::kStart, 3, "8:0:10", "time"),
        Event(Kind::kEnd, 3, "", "played"),
        Event(Kind::kStart, 3, "8:0:10", "time"),
        Event(Kind::kEnd, 3, "", "played"),
        Event(Kind::kFailure, 5, "", "missing"),
        Event(Kind::kStart, 5, "8:0:15", "time"),
        Event(Kind::kEnd, 5, "", "not_played"),
        Event(Kind::kStart, 6, "8:0:20", "time"),
    };
    EXPECT_THAT(
        AuditBroadcast({"2026-12-07", 8 * 3600, 8 * 3600 + 30}, table, events),
        ElementsAre("row 6 (r6) failed (missing) without a reason",
                    "row 7 (r7) started at 8:0:20, when no row was due",
                    "row 3 (r3) due at 8:0:5: no start recorded",
                    "row 4 (r4) due at 8:0:10: started 2 times", "6 starts but 5 ends recorded"));
    EXPECT_THAT(AuditBroadcast({"2026-12-07", 8 * 3600, 8 * 3600 + 30}, table,
                               std::vector<HistoryEvent>(events.begin(), events.begin() + 4)),
                ElementsAre("row 3 (r3) due at 8:0:5: no start recorded",
                            "row 4 (r4) due at 8:0:10: no start recorded",
                            "row 6 (r6) due at 8:0:15: no start recorded"));
}

}  // namespace
}  // namespace chimeon
