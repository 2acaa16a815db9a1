#include "core/engine/today_list.h"

#include <algorithm>

#include "core/mp3/mp3_info.h"
#include "core/schedule/media_kind.h"

namespace chimeon {
namespace {

const ProgramItem kNoItem;

}  // namespace

const TodayRow* TodayList::Row(int row) const {
    return Inside(row) ? &rows_[static_cast<size_t>(row)] : nullptr;
}

const ProgramItem& TodayList::Item(int row) const {
    return Inside(row) ? rows_[static_cast<size_t>(row)].item : kNoItem;
}

bool TodayList::IsPlaying(int row) const {
    return Inside(row) && rows_[static_cast<size_t>(row)].IsPlaying();
}

void TodayList::SetState(int row, RowState state) {
    if (Inside(row) && rows_[static_cast<size_t>(row)].state != state) {
        rows_[static_cast<size_t>(row)].state = state;
        NotifyChanged(row);
    }
}

void TodayList::SetRow(int row, TodayRow value) {
    if (Inside(row) && rows_[static_cast<size_t>(row)] != value) {
        rows_[static_cast<size_t>(row)] = std::move(value);
        startIndexValid_ = false;
        NotifyChanged(row);
    }
}

void TodayList::NotifyChanged(int row) {
    // A copy: an observer may remove itself while being told.
    auto observers = observers_;
    for (TodayListObserver* observer : observers) {
        observer->OnRowChanged(row);
    }
}

void TodayList::Load(const ScheduleTable& table) {
    ++generation_;
    rows_.clear();
    rows_.reserve(table.size());
    for (const ProgramItem& item : table) {
        rows_.push_back(TodayRow{item, RowState::kWaiting, std::nullopt, generation_});
    }
    rows_.shrink_to_fit();
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
    AppendRow(TodayRow{item, RowState::kWaiting, std::nullopt, generation_});
}

void TodayList::AppendRow(TodayRow row) {
    rows_.push_back(std::move(row));
    startIndexValid_ = false;
    const int index = RowCount() - 1;
    auto observers = observers_;
    for (TodayListObserver* observer : observers) {
        observer->OnRowInserted(index);
    }
}

void TodayList::ReplaceItem(int row, const ProgramItem& item) {
    if (Inside(row)) {
        SetRow(row, TodayRow{item, RowState::kWaiting, std::nullopt,
                             rows_[static_cast<size_t>(row)].generation});
    }
}

void TodayList::RemoveRow(int row) {
    if (!Inside(row)) {
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
    if (first == second || !Inside(first) || !Inside(second)) {
        return;
    }
    std::swap(rows_[static_cast<size_t>(first)], rows_[static_cast<size_t>(second)]);
    startIndexValid_ = false;
    NotifyChanged(first);
    NotifyChanged(second);
}

int TodayList::FirstRowStartingAt(std::string_view start) const {
    if (!startIndexValid_) {
        firstRowByStart_.clear();
        for (int row = RowCount() - 1; row >= 0; --row) {
            firstRowByStart_[Item(row).start] = row;
        }
        startIndexValid_ = true;
    }
    auto found = firstRowByStart_.find(std::string(start));
    return found == firstRowByStart_.end() ? -1 : found->second;
}

std::vector<DurationRequest> TodayList::DurationRequests() const {
    std::vector<DurationRequest> requests;
    for (int row = 0; row < RowCount(); ++row) {
        const std::string& path = Item(row).path;
        if (!IsFolderPath(path)) {
            requests.push_back(DurationRequest{row, path});
        }
    }
    return requests;
}

void TodayList::Measured(int row, std::chrono::seconds length) {
    TodayRow value = rows_[static_cast<size_t>(row)];
    value.measured = length;
    SetRow(row, std::move(value));
}

bool TodayList::ApplyDuration(const DurationResult& result) {
    if (result.generation != generation_ || IsFolderPath(result.path)) {
        return false;
    }
    if (Item(result.row).path == result.path) {
        Measured(result.row, result.length);
        return true;
    }
    // Rows moved since the request (a delete, a move): every file row of that path has the
    // same play time.
    bool applied = false;
    for (int row = 0; row < RowCount(); ++row) {
        if (Item(row).path == result.path) {
            Measured(row, result.length);
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

std::string_view RowStateText(RowState state) {
    return state == RowState::kPlaying ? kStatePlaying : kStateWaiting;
}

std::string ModeCellText(const TodayRow& row) {
    return row.measured ? FormatPlayTime64(row.measured->count()) : row.item.mode;
}

std::string CellText(const TodayRow& row, int column) {
    switch (column) {
        case kColumnTitle:
            return row.item.title;
        case kColumnState:
            return std::string(RowStateText(row.state));
        case kColumnStart:
            return row.item.start;
        case kColumnEnd:
            return row.item.end;
        case kColumnVolume:
            return row.item.volume;
        case kColumnMode:
            return ModeCellText(row);
        case kColumnPath:
            return row.item.path;
        default:
            return {};
    }
}

}  // namespace chimeon
