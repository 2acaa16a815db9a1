#include "ctl/stored_table.h"

#include <filesystem>
#include <system_error>

#include "core/schedule/schedule_file.h"

namespace chimeon::ctl {

LoadedTable LoadTable(const CommandContext& context, TableId id) {
    LoadedTable loaded;
    std::filesystem::path file = context.dataDirectory / TableFileName(id);
    if (auto rows = LoadScheduleFile(file)) {
        loaded.rows = std::move(*rows);
        return loaded;
    }
    std::error_code error;
    (std::filesystem::exists(file, error) ? loaded.unreadable : loaded.missing) = true;
    return loaded;
}

}  // namespace chimeon::ctl
