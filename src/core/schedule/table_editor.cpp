#include "core/schedule/table_editor.h"

#include <utility>

#include "core/schedule/schedule_file.h"
#include "core/schedule/stored_table.h"

namespace chimeon {
namespace {

std::vector<TableId> TableRange(TableId first, int count) {
    std::vector<TableId> tables;
    for (int i = 0; i < count; ++i) {
        tables.push_back(static_cast<TableId>(static_cast<int>(first) + i));
    }
    return tables;
}

}  // namespace

std::vector<TableId> WeekdayTables() {
    return TableRange(TableId::kSunday, 7);
}

std::vector<TableId> TemplateTables() {
    return TableRange(TableId::kTemplate1, 5);
}

TableEditor::TableEditor(const AppState& state, std::filesystem::path folder,
                         std::vector<TableId> tables)
    : state_(state), folder_(std::move(folder)), tables_(std::move(tables)) {}

bool TableEditor::HasCurrentRow() const {
    return currentRow_ >= 0 && currentRow_ < static_cast<int>(rows_.size());
}

PageMessage TableEditor::Choose(int index) {
    if (index < 0 || index >= static_cast<int>(tables_.size())) {
        return {};
    }
    chosen_ = index;
    return Load(ChosenTable(), false);
}

void TableEditor::SetCurrentRow(int row) {
    currentRow_ = row < 0 ? -1 : row;
}

void TableEditor::Append(ProgramItem item) {
    rows_.push_back(std::move(item));
}

void TableEditor::Replace(int row, ProgramItem item) {
    if (row >= 0 && row < static_cast<int>(rows_.size())) {
        rows_[static_cast<size_t>(row)] = std::move(item);
    }
}

void TableEditor::Delete() {
    if (HasCurrentRow()) {
        rows_.erase(rows_.begin() + currentRow_);
    }
}

void TableEditor::MoveUp() {
    if (HasCurrentRow() && currentRow_ > 0) {
        std::swap(rows_[static_cast<size_t>(currentRow_)],
                  rows_[static_cast<size_t>(currentRow_ - 1)]);
        --currentRow_;
    }
}

void TableEditor::MoveDown() {
    if (HasCurrentRow() && currentRow_ + 1 < static_cast<int>(rows_.size())) {
        std::swap(rows_[static_cast<size_t>(currentRow_)],
                  rows_[static_cast<size_t>(currentRow_ + 1)]);
        ++currentRow_;
    }
}

PageMessage TableEditor::Save() {
    if (!state_.IsEditAllowed()) {
        return NotLoggedIn();
    }
    const std::filesystem::path file = FileOf(ChosenTable());
    if (!SaveScheduleFile(file, rows_)) {
        return SaveFailed({file});
    }
    return Saved();
}

PageMessage TableEditor::Import(TableId from) {
    return Load(from, true);
}

PageMessage TableEditor::Load(TableId id, bool reportMissing) {
    LoadedTable loaded = LoadStoredTable(folder_, id);
    rows_ = std::move(loaded.rows);
    if (loaded.unreadable) {
        return TableUnreadable(FileOf(id), loaded.problem);
    }
    if (loaded.missing && reportMissing) {
        return {MessageTitle::kReminder, std::string(kNothingToImportMessage)};
    }
    return {};
}

}  // namespace chimeon
