#include <gtest/gtest.h>
#include <unistd.h>

#include "core/history/play_history.h"
#include "ctl_test_support.h"
#include "platform/history/sqlite_play_history.h"

namespace chimeon {
namespace {

using test::Ctl;
using test::TempDir;

// 上课铃 of Monday's first row; a start was due at 8:0:0 and came 4 ms late.
HistoryEvent Event(HistoryEvent::Kind kind, std::string date, std::int64_t atMs,
                   std::string_view cause) {
    const bool start = kind == HistoryEvent::Kind::kStart;
    return HistoryEvent{.kind = kind,
                        .date = std::move(date),
                        .scheduledSecond = start ? "8:0:0" : "",
                        .atMs = atMs,
                        .latenessMs = start ? std::optional<std::int64_t>(4) : std::nullopt,
                        .table = "星期一",
                        .row = 0,
                        .title = "上课铃",
                        .path = "/bells/ring.wav",
                        .cause = HistoryCauseFromName(kind, cause).value(),
                        .reason = {},
                        .level = {}};
}

TEST(CtlHistory, ReadsWhatTheClockWroteWithinTheDates) {
    TempDir data;
    {
        SqlitePlayHistory history(data / "history.db");
        history.Record(Event(HistoryEvent::Kind::kStart, "2026-12-06", 1765008000004, "time"));
        history.RecordLevel(Event(HistoryEvent::Kind::kStart, "2026-12-06", 1765008000004, "time"),
                            {-120, -120, true, OutputSilence::kMasterMuted});
        history.Record(Event(HistoryEvent::Kind::kEnd, "2026-12-06", 1765008012000, "played"));
        HistoryEvent failure =
            Event(HistoryEvent::Kind::kFailure, "2026-12-07", 1765094400000, "unplayable");
        failure.reason = "Internal data stream error.\r\n(gstbasesrc.c)\n\tstopped";  // GStreamer's
        history.Record(failure);
        LocalDateTime evening{2026, 12, 7, 1, 17, 0, 0, 0};
        history.Record(SystemFailureEvent({evening, 1765126800000}, FailureCause::kPowerOff,
                                          "每日定时关机", "AccessDenied"));
    }
    auto all = Ctl(data, {"history", "--json"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    auto lines = test::JsonLines(all.out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0]["kind"], "start");
    EXPECT_EQ(lines[0]["lateness_ms"], 4);
    EXPECT_EQ(lines[0]["title"], "上课铃");
    EXPECT_EQ(lines[0]["row"], 1) << "numbered from 1, as in the text";
    EXPECT_EQ(lines[1]["cause"], "played");
    EXPECT_TRUE(lines[1]["lateness_ms"].is_null());
    EXPECT_EQ(std::tuple(lines[0]["peak_db"], lines[0]["silent"]), std::tuple(-120.0, true));
    EXPECT_EQ(lines[0]["silenced_by"], "master_muted") << "kept in the history";
    EXPECT_TRUE(lines[1]["silent"].is_null()) << "not a start";
    EXPECT_EQ(lines[2]["kind"], "failure");
    EXPECT_TRUE(lines[3]["row"].is_null()) << "a system action belongs to no row";

    auto sinceSeventh = Ctl(data, {"history", "--since", "2026-12-07", "--json"});
    EXPECT_EQ(test::JsonLines(sinceSeventh.out).size(), 2u);
    auto text = Ctl(data, {"history"});
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 4) << "a line each: " << text.out;
    EXPECT_NE(text.out.find("failure  power_off  每日定时关机"), std::string::npos) << text.out;
    EXPECT_NE(
        text.out.find(
            "星期一 row 1  上课铃  due 8:0:0  late 4 ms  level silent (系统主音量已静音) -120.0"),
        std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("(Internal data stream error. (gstbasesrc.c) stopped)"),
              std::string::npos);
}

// Read by a user who may not write the folder (nobody, when the tests run as root): a read-only
// folder or mount, with the program stopped or still writing.
TEST(CtlHistory, ReadsAFolderItMayOnlyReadAndLeavesNoFileBehind) {
    namespace fs = std::filesystem;
    struct {
        const char* name;
        bool readOnly, programRunning;
    } cases[] = {{"read-only", true, false},
                 {"read-only, program running", true, true},
                 {"the program's own folder", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir data;
        auto history = std::make_unique<SqlitePlayHistory>(data / "history.db");
        history->Record(Event(HistoryEvent::Kind::kStart, "2026-12-07", 1765094400004, "time"));
        history->Flush();
        if (!c.programRunning) {
            history.reset();
        }
        // Beside the data, so that the other user may run it wherever the build lies.
        fs::copy_file(CHIMEON_CTL_PATH, data / "chimeonctl");
        const auto before = data.Entries();
        std::vector<std::string> command = {(data / "chimeonctl").string(), "--data-dir",
                                            data.path().string(), "history", "--json"};
        if (c.readOnly) {
            fs::permissions(data.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                             fs::perms::others_read | fs::perms::others_exec);
            if (geteuid() == 0) {
                command.insert(command.begin(), {"/usr/bin/setpriv", "--reuid=65534",
                                                 "--regid=65534", "--clear-groups"});
            }
        }
        auto result = test::RunProgram(command[0], {command.begin() + 1, command.end()});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(test::JsonLines(result.out).size(), 1u) << result.out;
        EXPECT_EQ(data.Entries(), before);
        fs::permissions(data.path(), fs::perms::owner_all);
    }
}

TEST(CtlHistory, NoHistoryYetIsEmptyAndBadDatesAreRefused) {
    TempDir data;
    auto empty = Ctl(data, {"history"});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "");
    EXPECT_FALSE(std::filesystem::exists(data / "history.db"))
        << "reading never creates the database";
    for (std::string bad : {"2026-02-30", "12/7/2026", "yesterday", ""}) {
        EXPECT_EQ(Ctl(data, {"history", "--since", bad}).exitCode, 2) << bad;
    }
}

}  // namespace
}  // namespace chimeon
