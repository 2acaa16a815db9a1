#pragma once

#include "core/schedule/program_item.h"
#include "core/schedule/table_id.h"
#include "ctl/command_context.h"

namespace chimeon::ctl {

// A stored table as the program would load it: its rows, or why there are none. A table that
// was never saved is missing and empty; one that is there but cannot be read is unreadable.
struct LoadedTable {
    ScheduleTable rows;
    bool missing = false;
    bool unreadable = false;
};

LoadedTable LoadTable(const CommandContext& context, TableId id);

}  // namespace chimeon::ctl
