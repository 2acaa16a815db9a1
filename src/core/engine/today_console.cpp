#include "core/engine/today_console.h"

#include <algorithm>

namespace chimeon {
namespace {

bool IsBusy(const TodayList& list, int watchedRow, int row) {
    return list.IsPlaying(row) || (row >= 0 && row == watchedRow);
}

bool IsInside(const TodayList& list, int row) {
    return row >= 0 && row < list.RowCount();
}

}  // namespace

std::string_view ConsoleAnswerText(ConsoleAnswer answer) {
    switch (answer) {
        case ConsoleAnswer::kCannotEditPlaying:
            return kCannotEditPlaying;
        case ConsoleAnswer::kCannotChangePlaying:
            return kCannotChangePlaying;
        case ConsoleAnswer::kCannotDeletePlaying:
            return kCannotDeletePlaying;
        case ConsoleAnswer::kEditOverReloaded:
            return kEditOverReloaded;
        case ConsoleAnswer::kPlayOverReloaded:
            return kPlayOverReloaded;
        case ConsoleAnswer::kDone:
        case ConsoleAnswer::kNothing:
            break;
    }
    return {};
}

ConsoleAnswer CheckEdit(const TodayList& list, int watchedRow, int row) {
    if (IsBusy(list, watchedRow, row)) {
        return ConsoleAnswer::kCannotEditPlaying;
    }
    return IsInside(list, row) ? ConsoleAnswer::kDone : ConsoleAnswer::kNothing;
}

ConsoleAnswer CheckDelete(const TodayList& list, int watchedRow, int row) {
    if (IsBusy(list, watchedRow, row)) {
        return ConsoleAnswer::kCannotDeletePlaying;
    }
    return IsInside(list, row) ? ConsoleAnswer::kDone : ConsoleAnswer::kNothing;
}

std::optional<int> MovedRow(int row, int delta, int rowCount) {
    const int to = row + delta;
    if ((delta != -1 && delta != 1) || row < 0 || row >= rowCount || to < 0 || to >= rowCount) {
        return std::nullopt;
    }
    return to;
}

ConsoleAnswer TodayConsole::ReplaceRow(int row, std::uint64_t generation, const ProgramItem& item) {
    // Loaded anew while the editor was open (a new day): the row with this index is another
    // item now.
    if (!IsLoad(generation) || !IsInside(list_, row)) {
        return ConsoleAnswer::kEditOverReloaded;
    }
    if (IsBusy(list_, WatchedRow(), row)) {
        return ConsoleAnswer::kCannotChangePlaying;
    }
    list_.ReplaceItem(row, item);
    return ConsoleAnswer::kDone;
}

ConsoleAnswer TodayConsole::AddRow(const ProgramItem& item) {
    list_.AppendRow(item);
    return ConsoleAnswer::kDone;
}

ConsoleAnswer TodayConsole::DeleteRow(int row, std::uint64_t generation) {
    if (!IsLoad(generation)) {
        return ConsoleAnswer::kEditOverReloaded;
    }
    const ConsoleAnswer answer = CheckDelete(list_, WatchedRow(), row);
    if (answer == ConsoleAnswer::kDone) {
        clock_.RowRemoved(row);
        list_.RemoveRow(row);
    }
    return answer;
}

ConsoleAnswer TodayConsole::MoveRow(int row, int delta, std::uint64_t generation) {
    if (!IsLoad(generation)) {
        return ConsoleAnswer::kEditOverReloaded;
    }
    const std::optional<int> to = MovedRow(row, delta, list_.RowCount());
    if (!to) {
        return ConsoleAnswer::kNothing;
    }
    // The state moves with its row: the clock follows its item, playing or not.
    const int upper = std::min(row, *to);
    clock_.RowsSwapped(upper);
    list_.SwapRows(upper, upper + 1);
    return ConsoleAnswer::kDone;
}

std::optional<int> TodayConsole::Play(int row, std::uint64_t generation) {
    if (!IsLoad(generation)) {
        return std::nullopt;
    }
    clock_.SetSelectedRow(row);
    clock_.PlayRow();
    return clock_.SelectedRow();
}

ConsoleAnswer TodayConsole::SwitchMode(ControlMode mode) {
    if (clock_.Mode() == mode) {
        return ConsoleAnswer::kNothing;
    }
    if (mode == ControlMode::kAutomatic) {
        clock_.SwitchToAutomatic();
    } else {
        clock_.SwitchToManual();
    }
    return ConsoleAnswer::kDone;
}

}  // namespace chimeon
