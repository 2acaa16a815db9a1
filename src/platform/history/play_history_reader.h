#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/history/play_history.h"
#include "platform/history/history_database.h"

namespace chimeon {

// Events with `since` <= date <= `until` (either may be empty for no bound), oldest first.
// A database that does not exist yet is an empty history; one that cannot be read gives nothing
// and the reason in `error`. Nothing is created or changed: it may be a read-only folder or mount.
std::optional<std::vector<HistoryEvent>> ReadPlayHistory(const std::filesystem::path& file,
                                                         const std::string& since,
                                                         const std::string& until,
                                                         std::string* error);

}  // namespace chimeon
