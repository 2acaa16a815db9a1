#include "core/schedule/stored_table.h"

#include "core/io/case_folding_lookup.h"
#include "core/schedule/schedule_file.h"

namespace chimeon {

LoadedTable LoadStoredTableFile(const std::filesystem::path& file) {
    LoadedTable loaded;
    StoredFileRead read = ReadStoredFileOrProblem(file);
    switch (read.state) {
        case StoredFileRead::State::kRead:
            loaded.rows = ParseScheduleTable(read.bytes);
            break;
        case StoredFileRead::State::kMissing:
            loaded.missing = true;
            break;
        case StoredFileRead::State::kUnreadable:
            loaded.unreadable = true;
            loaded.problem = std::move(read.problem);
            break;
    }
    return loaded;
}

LoadedTable LoadStoredTable(const std::filesystem::path& folder, TableId id) {
    return LoadStoredTableFile(folder / TableFileName(id));
}

}  // namespace chimeon
