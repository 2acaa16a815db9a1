#include "core/engine/today_list.h"

#include <algorithm>

#include "core/engine/clock_text.h"

namespace chimeon {
namespace {

const std::string kNoText;

}  // namespace

const std::string& TodayList::Cell(int row, int column) const {
    if (!ValidCell(row, column)) {
        return kNoText;
    }
    return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

void TodayList::SetCell(int row, int column, std::string_view text) {
    if (!ValidCell(row, column)) {
        return;
    }
    std::string& cell = rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
    if (cell == text) {
        return;
    }
    cell.assign(text);
    if (column == kColumnStart) {
        startIndexValid_ = false;
    }
    // A copy: an observer may remove itself while being told.
    auto observers = observers_;
    for (TodayListObserver* observer : observers) {
        observer->OnCellChanged(row, column);
    }
}

void TodayList::Load(const ScheduleTable& table) {
    rows_.clear();
    rows_.reserve(table.size());
    for (const ProgramItem& item : table) {
        rows_.push_back(TodayRow{item.title, std::string(kStateWaiting), item.start, item.end,
                                 item.volume, item.mode, item.path});
    }
    rows_.shrink_to_fit();
    ++generation_;
    NotifyReplaced();
}

void TodayList::Mirror(TodayRows rows, std::uint64_t generation) {
    rows_ = std::move(rows);
    generation_ = generation;
    NotifyReplaced();
}

void TodayList::NotifyReplaced() {
    startIndexValid_ = false;
    auto observers = observers_;
    for (TodayListObserver* observer : observers) {
        observer->OnRowsReplaced(generation_);
    }
}

void TodayList::AppendRow(const ProgramItem& item) {
    rows_.push_back(TodayRow{item.title, std::string(kStateWaiting), item.start, item.end,
                             item.volume, item.mode, item.path});
    startIndexValid_ = false;
    const int row = RowCount() - 1;
    auto observers = observers_;
    for (TodayListObserver* observer : observers) {
        observer->OnRowInserted(row);
    }
}

void TodayList::RemoveRow(int row) {
    if (row < 0 || row >= RowCount()) {
        return;
    }
    rows_.erase(rows_.begin() + row);
    startIndexValid_ = false;
    auto observers = observers_;
    for (TodayListObserver* observer : observers) {
        observer->OnRowRemoved(row);
    }
}

void TodayList::SwapRows(int first, int second) {
    if (first == second || first < 0 || second < 0 || first >= RowCount() || second >= RowCount()) {
        return;
    }
    TodayRow a = rows_[static_cast<size_t>(first)];
    TodayRow b = rows_[static_cast<size_t>(second)];
    for (int column = 0; column < kTodayColumnCount; ++column) {
        SetCell(first, column, b[static_cast<size_t>(column)]);
        SetCell(second, column, a[static_cast<size_t>(column)]);
    }
    startIndexValid_ = false;
}

ProgramItem TodayList::Item(int row) const {
    return ProgramItem{Cell(row, kColumnTitle),  Cell(row, kColumnStart), Cell(row, kColumnEnd),
                       Cell(row, kColumnVolume), Cell(row, kColumnMode),  Cell(row, kColumnPath)};
}

int TodayList::FirstRowStartingAt(std::string_view start) const {
    if (!startIndexValid_) {
        firstRowByStart_.clear();
        for (int row = RowCount() - 1; row >= 0; --row) {
            firstRowByStart_[Cell(row, kColumnStart)] = row;
        }
        startIndexValid_ = true;
    }
    auto found = firstRowByStart_.find(std::string(start));
    return found == firstRowByStart_.end() ? -1 : found->second;
}

std::vector<DurationRequest> TodayList::DurationRequests() const {
    std::vector<DurationRequest> requests;
    for (int row = 0; row < RowCount(); ++row) {
        const std::string& path = Cell(row, kColumnPath);
        if (!IsFolderPath(path)) {
            requests.push_back(DurationRequest{row, path});
        }
    }
    return requests;
}

bool TodayList::ApplyDuration(const DurationResult& result) {
    if (result.generation != generation_ || IsFolderPath(result.path)) {
        return false;
    }
    if (Cell(result.row, kColumnPath) == result.path) {
        SetCell(result.row, kColumnMode, result.text);
        return true;
    }
    // Rows moved since the request (a delete, a move): every file row of that path has the
    // same play time.
    bool applied = false;
    for (int row = 0; row < RowCount(); ++row) {
        if (Cell(row, kColumnPath) == result.path) {
            SetCell(row, kColumnMode, result.text);
            applied = true;
        }
    }
    return applied;
}

void TodayList::AddObserver(TodayListObserver* observer) {
    if (observer != nullptr &&
        std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void TodayList::RemoveObserver(TodayListObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

}  // namespace chimeon
