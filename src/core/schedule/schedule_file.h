#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/schedule/program_item.h"

namespace chimeon {

// The table in a schedule file, or nothing when the file cannot be opened for reading. Any bytes
// load: damaged or hand-edited files are read line by line, never rejected.
[[nodiscard]] std::optional<ScheduleTable> LoadScheduleFile(const std::filesystem::path& path);

// Writes the table (atomically). False when the file cannot be written, or when a field holds a
// line break that would corrupt the items after it; the old file is then left as it was.
[[nodiscard]] bool SaveScheduleFile(const std::filesystem::path& path, const ScheduleTable& table);

// The stored form, four CR LF lines an item, in GBK.
std::string SerializeScheduleTable(const ScheduleTable& table);
ScheduleTable ParseScheduleTable(std::string_view bytes);

}  // namespace chimeon
