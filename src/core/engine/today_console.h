#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/engine/broadcast_clock.h"
#include "core/engine/today_list.h"
#include "core/schedule/program_item.h"

namespace chimeon {

// The reminders of the today console.
inline constexpr std::string_view kCannotEditPlaying = "正在播放的节目不能编辑！";
inline constexpr std::string_view kCannotChangePlaying = "正在播放的节目不能修改！";
inline constexpr std::string_view kCannotDeletePlaying = "正在播放的节目不能删除！";
inline constexpr std::string_view kEditOverReloaded = "今天的节目表已重新载入，这次修改没有写入！";
inline constexpr std::string_view kPlayOverReloaded =
    "今天的节目表已重新载入，请重新选择要播放的节目！";

// What a command of the today console came to.
enum class ConsoleAnswer {
    kDone,
    kNothing,  // a row outside the list, a move past an end, the mode already in force
    kCannotEditPlaying,
    kCannotChangePlaying,
    kCannotDeletePlaying,
    kEditOverReloaded,
    kPlayOverReloaded,
};
// The reminder the operator is shown ("提醒"); "" for kDone and kNothing.
std::string_view ConsoleAnswerText(ConsoleAnswer answer);

// The rules "编辑" and "删除" apply before anything is done, to the engine's list or to a copy of
// it: a row that plays, or that the clock still follows (`watchedRow`, -1 for none: an item the
// operator stopped whose chained rows may still start from it), is refused; a row outside the
// list is nothing.
ConsoleAnswer CheckEdit(const TodayList& list, int watchedRow, int row);
ConsoleAnswer CheckDelete(const TodayList& list, int watchedRow, int row);
// Where "上移" (delta -1) or "下移" (+1) takes row `row` of a list of `rowCount` rows; nothing
// when it cannot move. The row the buttons act on goes with it.
std::optional<int> MovedRow(int row, int delta, int rowCount);

// The operator's commands on today's list and the broadcast clock, checked again where the list
// lives (the window may have acted on a copy that is a moment old). Edits are for today only:
// nothing is written to a file. Nothing is shown here; each command says what the operator is
// told.
class TodayConsole {
public:
    TodayConsole(TodayList& list, BroadcastClock& clock) : list_(list), clock_(clock) {}

    // The row the clock follows, -1 while it follows none.
    int WatchedRow() const { return clock_.IsPlaying() ? clock_.CurrentRow() : -1; }

    // Rewrites row `row` with the edited item, unless the list was loaded anew since the editor
    // was filled from load `generation`, or the row started meanwhile.
    ConsoleAnswer ReplaceRow(int row, std::uint64_t generation, const ProgramItem& item);
    ConsoleAnswer AddRow(const ProgramItem& item);
    // The commands on a row carry the load of today's list the window saw (`generation`): a row
    // number of an older load names another item now, and the command is refused.
    ConsoleAnswer DeleteRow(int row, std::uint64_t generation);
    ConsoleAnswer MoveRow(int row, int delta, std::uint64_t generation);
    // "播放" on `row`; gives the row the buttons act on afterwards (the clock passes over folder
    // rows without files to the row after them), nothing when the list was loaded anew.
    std::optional<int> Play(int row, std::uint64_t generation);
    void Stop() { clock_.StopCurrent(); }
    ConsoleAnswer SwitchMode(ControlMode mode);
    void ApplyNewSettings() { clock_.ApplyNewSettings(); }

private:
    // True while the list is still the load `generation` the window's row numbers are from.
    bool IsLoad(std::uint64_t generation) const { return list_.Generation() == generation; }

    TodayList& list_;
    BroadcastClock& clock_;
};

}  // namespace chimeon
