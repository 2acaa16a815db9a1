#include <gtest/gtest.h>

#include "ctl_test_support.h"
#include "platform/history/sqlite_play_history.h"

namespace chimeon {
namespace {

using test::Ctl;
using test::TempDir;

HistoryEvent Event(HistoryEvent::Kind kind, std::string date, std::int64_t atMs,
                   std::string cause) {
    HistoryEvent event;
    event.kind = kind;
    event.date = std::move(date);
    event.atMs = atMs;
    event.table = "星期一";
    event.row = 0;
    event.title = "上课铃";
    event.path = "/bells/ring.wav";
    event.cause = std::move(cause);
    if (kind == HistoryEvent::Kind::kStart) {
        event.scheduledSecond = "8:0:0";
        event.latenessMs = 4;
    }
    return event;
}

TEST(CtlHistory, ReadsWhatTheClockWroteWithinTheDates) {
    TempDir data;
    {
        SqlitePlayHistory history(data / "history.db");
        history.Record(Event(HistoryEvent::Kind::kStart, "2026-12-06", 1765008000004, "time"));
        history.Record(Event(HistoryEvent::Kind::kEnd, "2026-12-06", 1765008012000, "played"));
        history.Record(Event(HistoryEvent::Kind::kFailure, "2026-12-07", 1765094400000, "missing"));
    }
    auto all = Ctl(data, {"history", "--json"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    auto lines = test::JsonLines(all.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["kind"], "start");
    EXPECT_EQ(lines[0]["lateness_ms"], 4);
    EXPECT_EQ(lines[0]["title"], "上课铃");
    EXPECT_EQ(lines[1]["cause"], "played");
    EXPECT_TRUE(lines[1]["lateness_ms"].is_null());
    EXPECT_EQ(lines[2]["kind"], "failure");

    auto sinceSeventh = Ctl(data, {"history", "--since", "2026-12-07", "--json"});
    EXPECT_EQ(test::JsonLines(sinceSeventh.out).size(), 1u);
    auto text = Ctl(data, {"history", "--until", "2026-12-06"});
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 2);
    EXPECT_NE(text.out.find("late 4 ms"), std::string::npos) << text.out;
}

TEST(CtlHistory, NoHistoryYetIsEmptyAndBadDatesAreRefused) {
    TempDir data;
    auto empty = Ctl(data, {"history"});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "");
    EXPECT_FALSE(std::filesystem::exists(data / "history.db"))
        << "reading never creates the database";
    for (std::string bad : {"2026-02-30", "12/7/2026", "yesterday"}) {
        EXPECT_EQ(Ctl(data, {"history", "--since", bad}).exitCode, 2) << bad;
    }
}

}  // namespace
}  // namespace chimeon
