#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

#include "core/schedule/program_item.h"
#include "core/schedule/table_id.h"

namespace chimeon::ctl {

// {"table": "星期一", "file": "Day1.dat", "rows": [{"title", "start", "end", "volume", "mode",
// "path"}]}
nlohmann::ordered_json TableToJson(TableId id, const ScheduleTable& table);

// The rows of such a document. Every row must have exactly the six text fields, each one line
// without control characters; "table" and "file" may be present (as text) and are not used.
// Nothing, with the reason in `error`, for anything else.
std::optional<ScheduleTable> TableFromJson(const nlohmann::ordered_json& document,
                                           std::string* error);

// A table named as stored ("星期一") or by its file name ("Day1.dat", any letter case).
std::optional<TableId> TableFromArgument(const std::string& argument);

}  // namespace chimeon::ctl
