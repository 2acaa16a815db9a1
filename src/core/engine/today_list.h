#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/engine/duration_result.h"
#include "core/schedule/program_item.h"

namespace chimeon {

// Whether the clock has a row's item on the player now.
enum class RowState { kWaiting, kPlaying };

// One row of today's list: a plain value, copied to the window's thread as it is.
struct TodayRow {
    ProgramItem item;
    RowState state = RowState::kWaiting;
    // The play time the duration pass measured for a file row of this load; nothing until then
    // (the row shows its item's mode text instead).
    std::optional<std::chrono::seconds> measured;
    // The load of today's list the row came with (an added row: the load it was added to).
    std::uint64_t generation = 0;

    bool operator==(const TodayRow&) const = default;
    bool IsPlaying() const { return state == RowState::kPlaying; }
};
using TodayRows = std::vector<TodayRow>;

// Told of every change of today's list (the today page shows it).
class TodayListObserver {
public:
    virtual ~TodayListObserver() = default;
    // All rows were replaced (a new load); `generation` is the load's number.
    virtual void OnRowsReplaced(std::uint64_t generation) = 0;
    virtual void OnRowChanged(int row) = 0;
    // A row was added at `row` (the end of the list), or row `row` was removed; the rows after
    // it moved up by one. Observers that only watch rows' contents may leave these as they are.
    virtual void OnRowInserted(int /*row*/) {}
    virtual void OnRowRemoved(int /*row*/) {}
};

// Today's rows. Questions about a row outside the list answer as for an empty waiting row, and
// changes there are ignored, so the row after the last reads as not chained. Used on the clock's
// thread only; the duration worker's answers reach it through ApplyDuration on that thread.
class TodayList {
public:
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // The row, or nullptr outside the list.
    const TodayRow* Row(int row) const;
    // The row's program item; an empty item outside the list.
    const ProgramItem& Item(int row) const;
    bool IsPlaying(int row) const;
    bool IsChained(int row) const { return Item(row).IsChained(); }
    // Observers are told only when the state really changes.
    void SetState(int row, RowState state);
    // Takes over a row as another list has it (the window's copy); observers are told.
    void SetRow(int row, TodayRow value);

    // Replaces every row (each waiting): one new load, with a new generation number.
    void Load(const ScheduleTable& table);
    // Number of the current load; 0 before the first.
    std::uint64_t Generation() const { return generation_; }
    // Every row as it is now.
    const TodayRows& Rows() const { return rows_; }
    // Takes over the rows and load number of another list (a copy kept on another thread);
    // observers hear of it as of a load.
    void Mirror(TodayRows rows, std::uint64_t generation);

    // The operator's changes for today only (nothing is written to a file). AppendRow adds a
    // waiting row at the end, or appends `row` as it is (the window's copy); ReplaceItem gives a
    // row a new item, waiting and unmeasured; RemoveRow and SwapRows ignore rows outside the
    // list. None of them starts a new load: measured times still on their way find their row by
    // its path.
    void AppendRow(const ProgramItem& item);
    void AppendRow(TodayRow row);
    void ReplaceItem(int row, const ProgramItem& item);
    void RemoveRow(int row);
    // Exchanges the two rows, the state included.
    void SwapRows(int first, int second);

    // The first row whose start text is exactly `start`, or -1.
    int FirstRowStartingAt(std::string_view start) const;

    // The file items to measure for the current load.
    std::vector<DurationRequest> DurationRequests() const;
    // Gives the result's row its measured play time, or, when rows moved since it was asked for,
    // every row that holds its path. Refused (false) when the result belongs to an older load, no
    // row holds its path, or the path is a folder (its "顺序"/"随机" decides how the folder plays).
    bool ApplyDuration(const DurationResult& result);

    // The observer must outlive the list or be removed first.
    void AddObserver(TodayListObserver* observer);
    void RemoveObserver(TodayListObserver* observer);

private:
    bool Inside(int row) const { return row >= 0 && row < RowCount(); }
    void NotifyReplaced();
    void NotifyChanged(int row);
    void Measured(int row, std::chrono::seconds length);

    TodayRows rows_;
    std::uint64_t generation_ = 0;
    std::vector<TodayListObserver*> observers_;
    // Start text -> first row, rebuilt on demand so that an idle step costs one lookup.
    mutable std::unordered_map<std::string, int> firstRowByStart_;
    mutable bool startIndexValid_ = false;
};

// The texts of a row as the today page shows them, in its column order.
enum TodayColumn : int {
    kColumnTitle = 0,
    kColumnState = 1,
    kColumnStart = 2,
    kColumnEnd = 3,
    kColumnVolume = 4,
    kColumnMode = 5,  // folder: "顺序"/"随机"; file: its play time once measured
    kColumnPath = 6,
};
inline constexpr int kTodayColumnCount = 7;

inline constexpr std::string_view kStateWaiting = "待播";
inline constexpr std::string_view kStatePlaying = "正播";

std::string_view RowStateText(RowState state);
// The "时长" cell: the measured play time ("%d:%02d"), else the item's mode text.
std::string ModeCellText(const TodayRow& row);
// The text of one cell of a row.
std::string CellText(const TodayRow& row, int column);

}  // namespace chimeon
