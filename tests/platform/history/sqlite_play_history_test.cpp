#include "platform/history/sqlite_play_history.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::TempDir;

HistoryEvent Start(std::string date, std::int64_t atMs, int row) {
    HistoryEvent event;
    event.kind = HistoryEvent::Kind::kStart;
    event.date = std::move(date);
    event.scheduledSecond = "8:0:0";
    event.atMs = atMs;
    event.latenessMs = 3;
    event.table = "星期一";
    event.row = row;
    event.title = "上课铃";
    event.path = "d:\\bell\\ring.mp3";
    event.cause = std::string(StartCauseName(StartCause::kTime));
    return event;
}

HistoryEvent Failure(std::string date, std::int64_t atMs) {
    HistoryEvent event;
    event.kind = HistoryEvent::Kind::kFailure;
    event.date = std::move(date);
    event.atMs = atMs;
    event.table = "模板1";
    event.row = 2;
    event.path = "/music/gone.mp3";
    event.cause = std::string(FailureCauseName(FailureCause::kFileMissing));
    event.reason = "no such file";
    return event;
}

TEST(SqlitePlayHistory, EventsReadBackInOrderWithinTheDates) {
    TempDir dir;
    auto file = dir / "history.db";
    std::vector<HistoryEvent> written = {Start("2026-12-05", 1000, 0), Failure("2026-12-06", 2000),
                                         Start("2026-12-07", 3000, 1)};
    {
        SqlitePlayHistory history(file);
        for (const auto& event : written) {
            history.Record(event);
        }
        history.Flush();
        // A reader sees what was written while the writer still has the database open.
        std::string error;
        auto all = ReadPlayHistory(file, "", "", &error);
        ASSERT_TRUE(all) << error;
        EXPECT_EQ(*all, written);
    }
    struct {
        std::string since, until;
        std::vector<HistoryEvent> expected;
    } cases[] = {
        {"2026-12-06", "", {written[1], written[2]}},
        {"", "2026-12-06", {written[0], written[1]}},
        {"2026-12-06", "2026-12-06", {written[1]}},
        {"2027-01-01", "", {}},
    };
    for (const auto& c : cases) {
        auto events = ReadPlayHistory(file, c.since, c.until, nullptr);
        ASSERT_TRUE(events);
        EXPECT_EQ(*events, c.expected) << c.since << ".." << c.until;
    }
}

TEST(SqlitePlayHistory, DeleteBeforeKeepsTheLaterDays) {
    TempDir dir;
    SqlitePlayHistory history(dir / "history.db");
    history.Record(Start("2025-11-01", 1, 0));
    history.Record(Start("2025-11-02", 2, 0));
    history.DeleteBefore("2025-11-02");
    history.Flush();
    auto events = ReadPlayHistory(dir / "history.db", "", "", nullptr);
    ASSERT_TRUE(events);
    ASSERT_EQ(events->size(), 1u);
    EXPECT_EQ(events->front().date, "2025-11-02");
}

TEST(SqlitePlayHistory, MissingDatabaseIsAnEmptyHistory) {
    TempDir dir;
    auto events = ReadPlayHistory(dir / "history.db", "", "", nullptr);
    ASSERT_TRUE(events);
    EXPECT_TRUE(events->empty());
}

TEST(SqlitePlayHistory, UnwritableHistoryIsReportedOnceAndNeverThrows) {
    TempDir dir;
    struct {
        const char* name;
        std::function<std::filesystem::path()> prepare;
    } cases[] = {
        {"damaged",
         [&] {
             dir.Write("damaged.db", std::string(8192, '\x5a'));
             return dir / "damaged.db";
         }},
        {"missing_folder", [&] { return dir / "no/such/folder/history.db"; }},
        {"a_folder",
         [&] {
             std::filesystem::create_directory(dir / "folder.db");
             return dir / "folder.db";
         }},
    };
    for (const auto& c : cases) {
        std::ostringstream errors;
        SqlitePlayHistory history(c.prepare(), &errors);
        for (int i = 0; i < 5; ++i) {
            history.Record(Start("2026-12-07", i, i));
        }
        history.Flush();
        EXPECT_TRUE(history.HasFailed()) << c.name;
        std::string said = errors.str();
        EXPECT_NE(said.find("play history cannot be written"), std::string::npos)
            << c.name << ": " << said;
        EXPECT_EQ(said.find('\n'), said.size() - 1) << c.name << ": said once: " << said;
    }
    std::string error;
    EXPECT_FALSE(ReadPlayHistory(dir / "damaged.db", "", "", &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace chimeon
