#pragma once

#include <nlohmann/json.hpp>

#include "ctl/command_context.h"

namespace chimeon::ctl {

// One JSON object on one line of the data stream. Text that is not UTF-8 is replaced, never
// thrown over.
void PrintJsonLine(const CommandContext& context, const nlohmann::ordered_json& object);

}  // namespace chimeon::ctl
