#include "core/engine/today_console.h"

#include <gtest/gtest.h>

#include <string>

#include "support/clock_rig.h"

namespace chimeon {
namespace {

enum class RowState { kWaiting, kPlaying, kStopped };  // of row "c", which plays 8:0:0 to 8:0:30
enum class Command { kEdit, kReplace, kReplaceStale, kDelete, kUp, kDown, kPlay };

struct ConsoleCase {
    const char* name;
    RowState state;
    Command command;
    int row;
    ConsoleAnswer answer;
    const char* titlesAfter;  // the rows' titles in order
    int clockRowAfter;        // the row the clock follows, -1 for none
};

class TodayConsoleTest : public ::testing::TestWithParam<ConsoleCase> {
protected:
    TodayConsoleTest() {
        rig.player.AddFile("/m/c.mp3", 60'000);
        rig.player.AddFile("/m/x.mp3", 60'000);
        rig.WriteTable("Day1.dat",
                       {Item("a", "7:0:0", "/m/a.mp3"), Item("b", "7:1:0", "/m/b.mp3"),
                        Item("c", "8:0:0", "/m/c.mp3", "8:0:30"), Item("d", "9:0:0", "/m/d.mp3")});
        rig.StartClock();
    }
    static ProgramItem Item(std::string title, std::string start, std::string path,
                            std::string end = std::string(kEndPlayOnce)) {
        return ProgramItem{std::move(title), std::move(start), std::move(end), "100", "",
                           std::move(path)};
    }
    std::string Titles() const {
        std::string titles;
        for (int row = 0; row < rig.list.RowCount(); ++row) {
            titles += rig.list.Cell(row, kColumnTitle);
        }
        return titles;
    }

    test::ClockRig rig{test::MsFromLocal(2026, 12, 7, 7, 59, 58)};
    TodayConsole console{rig.list, rig.clock};
};

TEST_P(TodayConsoleTest, CommandInRowState) {
    const ConsoleCase& c = GetParam();
    if (c.state != RowState::kWaiting) {
        rig.RunUntil(8, 0, 1);
        if (c.state == RowState::kStopped) {
            console.Stop();  // automatic: silent, "待播", still followed until its end time
        }
    }
    const ProgramItem edited = Item("x", "9:5:0", "/m/x.mp3");
    ConsoleAnswer answer = ConsoleAnswer::kDone;
    switch (c.command) {
        case Command::kEdit:
            answer = CheckEdit(rig.list, console.WatchedRow(), c.row);
            break;
        case Command::kReplace:
            answer = console.ReplaceRow(c.row, rig.list.Generation(), edited);
            break;
        case Command::kReplaceStale:
            answer = console.ReplaceRow(c.row, rig.list.Generation() - 1, edited);
            break;
        case Command::kDelete:
            answer = console.DeleteRow(c.row);
            break;
        case Command::kUp:
        case Command::kDown:
            answer = console.MoveRow(c.row, c.command == Command::kUp ? -1 : 1);
            break;
        case Command::kPlay:
            console.Play(c.row);
            break;
    }
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(Titles(), c.titlesAfter);
    EXPECT_EQ(console.WatchedRow(), c.clockRowAfter);
    if (c.clockRowAfter >= 0) {
        EXPECT_EQ(rig.list.Cell(c.clockRowAfter, kColumnState),
                  c.state == RowState::kStopped ? kStateWaiting : kStatePlaying);
    }
    // The end of what plays is noticed on its own row, wherever it went.
    rig.RunUntil(8, 1, 1);
    EXPECT_EQ(rig.States().find(kStatePlaying), std::string::npos);
    EXPECT_FALSE(rig.player.IsOpen());
}

using A = ConsoleAnswer;
constexpr RowState kW = RowState::kWaiting, kP = RowState::kPlaying, kS = RowState::kStopped;

INSTANTIATE_TEST_SUITE_P(
    Rules, TodayConsoleTest,
    ::testing::Values(
        ConsoleCase{"EditWaiting", kW, Command::kEdit, 2, A::kDone, "abcd", -1},
        ConsoleCase{"EditPlaying", kP, Command::kEdit, 2, A::kCannotEditPlaying, "abcd", 2},
        ConsoleCase{"EditStopped", kS, Command::kEdit, 2, A::kCannotEditPlaying, "abcd", 2},
        ConsoleCase{"EditOutside", kP, Command::kEdit, 4, A::kNothing, "abcd", 2},
        ConsoleCase{"ReplaceWaiting", kW, Command::kReplace, 2, A::kDone, "abxd", -1},
        ConsoleCase{"ReplaceOther", kP, Command::kReplace, 3, A::kDone, "abcx", 2},
        ConsoleCase{"ReplacePlaying", kP, Command::kReplace, 2, A::kCannotChangePlaying, "abcd", 2},
        ConsoleCase{"ReplaceStopped", kS, Command::kReplace, 2, A::kCannotChangePlaying, "abcd", 2},
        ConsoleCase{"ReplaceAfterReload", kW, Command::kReplaceStale, 1, A::kEditOverReloaded,
                    "abcd", -1},
        ConsoleCase{"ReplaceGoneRow", kW, Command::kReplace, 4, A::kEditOverReloaded, "abcd", -1},
        ConsoleCase{"DeletePlaying", kP, Command::kDelete, 2, A::kCannotDeletePlaying, "abcd", 2},
        ConsoleCase{"DeleteStopped", kS, Command::kDelete, 2, A::kCannotDeletePlaying, "abcd", 2},
        ConsoleCase{"DeleteAbove", kP, Command::kDelete, 0, A::kDone, "bcd", 1},
        ConsoleCase{"DeleteBelow", kS, Command::kDelete, 3, A::kDone, "abc", 2},
        ConsoleCase{"DeleteOutside", kP, Command::kDelete, -1, A::kNothing, "abcd", 2},
        ConsoleCase{"MovePlayingUp", kP, Command::kUp, 2, A::kDone, "acbd", 1},
        ConsoleCase{"MoveStoppedDown", kS, Command::kDown, 2, A::kDone, "abdc", 3},
        ConsoleCase{"MoveAboveDown", kP, Command::kDown, 1, A::kDone, "acbd", 1},
        ConsoleCase{"MoveBelowUp", kP, Command::kUp, 3, A::kDone, "abdc", 3},
        ConsoleCase{"MoveTopUp", kP, Command::kUp, 0, A::kNothing, "abcd", 2},
        ConsoleCase{"MoveBottomDown", kW, Command::kDown, 3, A::kNothing, "abcd", -1},
        ConsoleCase{"PlayNothingChosen", kP, Command::kPlay, -1, A::kDone, "abcd", 2},
        ConsoleCase{"PlayAnother", kP, Command::kPlay, 3, A::kDone, "abcd", 3}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace chimeon
