#include "core/engine/today_console.h"

#include <gtest/gtest.h>

#include <string>

#include "support/clock_rig.h"

namespace chimeon {
namespace {

enum class Situation { kWaiting, kPlaying, kStopped };  // of row "c", which plays 8:0:0 to 8:0:30
enum class Command { kEdit, kReplace, kDelete, kUp, kDown, kPlay };

struct ConsoleCase {
    const char* name;
    Situation state;
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
    // Gives `command` on `row` as seen in load `generation` of the list.
    ConsoleAnswer Give(Command command, int row, std::uint64_t generation) {
        switch (command) {
            case Command::kEdit:
                return CheckEdit(rig.list, console.WatchedRow(), row);
            case Command::kReplace:
                return console.ReplaceRow(row, generation, Item("x", "9:5:0", "/m/x.mp3"));
            case Command::kDelete:
                return console.DeleteRow(row, generation);
            case Command::kUp:
            case Command::kDown:
                return console.MoveRow(row, command == Command::kUp ? -1 : 1, generation);
            case Command::kPlay:
                return console.Play(row, generation) ? ConsoleAnswer::kDone
                                                     : ConsoleAnswer::kPlayOverReloaded;
        }
        return ConsoleAnswer::kNothing;
    }
    std::string Titles() const {
        std::string titles;
        for (int row = 0; row < rig.list.RowCount(); ++row) {
            titles += rig.list.Item(row).title;
        }
        return titles;
    }

    test::ClockRig rig{test::MsFromLocal(2026, 12, 7, 7, 59, 58)};
    TodayConsole console{rig.list, rig.clock};
};

TEST_P(TodayConsoleTest, CommandInRowState) {
    const ConsoleCase& c = GetParam();
    if (c.state != Situation::kWaiting) {
        rig.RunUntil(8, 0, 1);
        if (c.state == Situation::kStopped) {
            console.Stop();  // automatic: silent, "待播", still followed until its end time
        }
    }
    const ConsoleAnswer answer = Give(c.command, c.row, rig.list.Generation());
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(Titles(), c.titlesAfter);
    EXPECT_EQ(console.WatchedRow(), c.clockRowAfter);
    if (c.clockRowAfter >= 0) {
        EXPECT_EQ(rig.list.IsPlaying(c.clockRowAfter), c.state != Situation::kStopped);
    }
    // The end of what plays is noticed on its own row, wherever it went.
    rig.RunUntil(8, 1, 1);
    EXPECT_EQ(rig.States().find(kStatePlaying), std::string::npos);
    EXPECT_FALSE(rig.player.IsOpen());
}

using A = ConsoleAnswer;
constexpr Situation kW = Situation::kWaiting, kP = Situation::kPlaying, kS = Situation::kStopped;

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

TEST_F(TodayConsoleTest, RowCommandsFromAnEarlierLoadAreRefused) {
    // The window still showed the list before a reload (a new day, 应用新的设置): its row numbers
    // name other items now.
    const std::uint64_t before = rig.list.Generation();
    console.ApplyNewSettings();
    ASSERT_NE(rig.list.Generation(), before);
    for (Command command : {Command::kReplace, Command::kDelete, Command::kDown, Command::kPlay}) {
        EXPECT_EQ(Give(command, 1, before),
                  command == Command::kPlay ? A::kPlayOverReloaded : A::kEditOverReloaded);
    }
    EXPECT_EQ(Titles(), "abcd");
    EXPECT_FALSE(rig.player.IsOpen());
}

}  // namespace
}  // namespace chimeon
