#pragma once

#include <filesystem>

#include "core/schedule/program_item.h"
#include "core/schedule/table_id.h"

namespace chimeon {

// A stored table as the program would load it: its rows, or why there are none. A table that
// was never saved is missing and empty; one that is there but cannot be read is unreadable.
struct LoadedTable {
    ScheduleTable rows;
    bool missing = false;
    bool unreadable = false;
};

LoadedTable LoadStoredTable(const std::filesystem::path& folder, TableId id);

}  // namespace chimeon
