#pragma once

#include <filesystem>
#include <string>

#include "core/schedule/program_item.h"
#include "core/schedule/table_id.h"

namespace chimeon {

// A stored table as the program loads it: its rows, or why there are none. A table that was
// never saved (no file of its name in any letter case) is missing and empty; one that is there
// but cannot be read (a symbolic link to nothing, no permission, ...) is unreadable, and the
// program then keeps the rows it showed before.
struct LoadedTable {
    ScheduleTable rows;
    bool missing = false;
    bool unreadable = false;
    std::string problem;  // why an unreadable table cannot be read
};

// The one loader of stored tables, for the program and chimeonctl alike.
LoadedTable LoadStoredTableFile(const std::filesystem::path& file);
LoadedTable LoadStoredTable(const std::filesystem::path& folder, TableId id);

}  // namespace chimeon
