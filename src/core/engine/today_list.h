#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/engine/duration_result.h"
#include "core/schedule/program_item.h"

namespace chimeon {

// The seven cells of a row of today's list, in display order.
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
// The cells of one row, in column order.
using TodayRow = std::array<std::string, kTodayColumnCount>;
using TodayRows = std::vector<TodayRow>;

inline constexpr std::string_view kStateWaiting = "待播";
inline constexpr std::string_view kStatePlaying = "正播";

// Told of every change of today's list (the today page shows it).
class TodayListObserver {
public:
    virtual ~TodayListObserver() = default;
    // All rows were replaced (a new load); `generation` is the load's number.
    virtual void OnRowsReplaced(std::uint64_t generation) = 0;
    virtual void OnCellChanged(int row, int column) = 0;
    // A row was added at `row` (the end of the list), or row `row` was removed; the rows after
    // it moved up by one. Observers that only watch cells may leave these as they are.
    virtual void OnRowInserted(int row) { (void)row; }
    virtual void OnRowRemoved(int row) { (void)row; }
};

// Today's rows, seven text cells each. Reads outside the rows give "" and writes there are
// ignored, so the row after the last reads as not chained. Used on the clock's thread only; the
// duration worker's answers reach it through ApplyDuration on that thread.
class TodayList {
public:
    int RowCount() const { return static_cast<int>(rows_.size()); }
    const std::string& Cell(int row, int column) const;
    // Observers are told only when the text really changes.
    void SetCell(int row, int column, std::string_view text);

    // Replaces every row (each "待播"): one new load, with a new generation number.
    void Load(const ScheduleTable& table);
    // Number of the current load; 0 before the first.
    std::uint64_t Generation() const { return generation_; }
    // Every row as it is now.
    const TodayRows& Rows() const { return rows_; }
    // Takes over the rows and load number of another list (a copy kept on another thread);
    // observers hear of it as of a load.
    void Mirror(TodayRows rows, std::uint64_t generation);

    // The operator's changes for today only (nothing is written to a file). AppendRow adds a
    // waiting row at the end; RemoveRow and SwapRows ignore rows outside the list. None of them
    // starts a new load: measured times still on their way find their row by its path.
    void AppendRow(const ProgramItem& item);
    void RemoveRow(int row);
    // Exchanges every cell of the two rows, the state included.
    void SwapRows(int first, int second);
    // The row as a program item (its state left out); an empty item outside the list.
    ProgramItem Item(int row) const;

    // The first row whose start text is exactly `start`, or -1.
    int FirstRowStartingAt(std::string_view start) const;

    // The file items to measure for the current load.
    std::vector<DurationRequest> DurationRequests() const;
    // Writes a measured play time into the mode cell of the result's row, or, when rows moved
    // since it was asked for, of every row that holds its path. Refused (false) when the result
    // belongs to an older load, no row holds its path, or the path is a folder (its
    // "顺序"/"随机" decides how the folder plays).
    bool ApplyDuration(const DurationResult& result);

    // The observer must outlive the list or be removed first.
    void AddObserver(TodayListObserver* observer);
    void RemoveObserver(TodayListObserver* observer);

private:
    void NotifyReplaced();
    bool ValidCell(int row, int column) const {
        return row >= 0 && row < RowCount() && column >= 0 && column < kTodayColumnCount;
    }

    TodayRows rows_;
    std::uint64_t generation_ = 0;
    std::vector<TodayListObserver*> observers_;
    // Start text -> first row, rebuilt on demand so that an idle step costs one lookup.
    mutable std::unordered_map<std::string, int> firstRowByStart_;
    mutable bool startIndexValid_ = false;
};

}  // namespace chimeon
