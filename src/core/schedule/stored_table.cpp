#include "core/schedule/stored_table.h"

#include <filesystem>
#include <system_error>

#include "core/schedule/schedule_file.h"

namespace chimeon {

LoadedTable LoadStoredTable(const std::filesystem::path& folder, TableId id) {
    LoadedTable loaded;
    std::filesystem::path file = folder / TableFileName(id);
    if (auto rows = LoadScheduleFile(file)) {
        loaded.rows = std::move(*rows);
        return loaded;
    }
    std::error_code error;
    (std::filesystem::exists(file, error) ? loaded.unreadable : loaded.missing) = true;
    return loaded;
}

}  // namespace chimeon
