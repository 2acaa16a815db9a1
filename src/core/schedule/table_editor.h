#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "core/app/app_state.h"
#include "core/schedule/page_message.h"
#include "core/schedule/program_item.h"
#include "core/schedule/table_id.h"

namespace chimeon {

inline constexpr std::string_view kNothingToImportMessage = "您没有保存相关数据！无法导入！";

// The seven weekday tables from Sunday (the weekly program page) and the five templates (the
// template page), in the order of the pages' radios.
std::vector<TableId> WeekdayTables();
std::vector<TableId> TemplateTables();

// The rules of the weekly program page and the template page: one of the page's tables is
// chosen and its items are edited as a working copy in the list; the file changes only on Save.
// The current row is the one Edit, Delete, MoveUp and MoveDown act on (-1: none); only the
// operator's choice of a row sets it, and it keeps its number when the list changes under it.
class TableEditor {
public:
    TableEditor(const AppState& state, std::filesystem::path folder, std::vector<TableId> tables);

    // The index of the chosen radio and its table.
    int Chosen() const { return chosen_; }
    TableId ChosenTable() const { return tables_.at(static_cast<size_t>(chosen_)); }
    const std::vector<TableId>& Tables() const { return tables_; }
    const ScheduleTable& Rows() const { return rows_; }
    int CurrentRow() const { return currentRow_; }
    // True when the current row is a row of the list.
    bool HasCurrentRow() const;

    // Chooses the table of radio `index` and loads its file: unsaved changes are dropped, a table
    // never saved gives an empty list, the current row stays. A file that is there but cannot be
    // read gives an empty list and a message.
    PageMessage Choose(int index);
    // The operator chose a row, or none (-1).
    void SetCurrentRow(int row);

    // "增加": the item goes at the end; the current row stays.
    void Append(ProgramItem item);
    // "编辑" after the editor's OK: replaces the row the editor was opened for.
    void Replace(int row, ProgramItem item);
    // "删除", "上移", "下移": nothing without a current row (or at the top or bottom). The current
    // row follows a moved item; after a delete it names the row that moved into its place.
    void Delete();
    void MoveUp();
    void MoveDown();

    // "保存": the list becomes the chosen table's file, once the operator may change stored data.
    PageMessage Save();
    // "从模板导入": the list is emptied and filled from another stored table; nothing is saved.
    PageMessage Import(TableId from);

private:
    std::filesystem::path FileOf(TableId id) const { return folder_ / TableFileName(id); }
    PageMessage Load(TableId id, bool reportMissing);

    const AppState& state_;
    std::filesystem::path folder_;
    std::vector<TableId> tables_;
    int chosen_ = 0;
    int currentRow_ = -1;
    ScheduleTable rows_;
};

}  // namespace chimeon
