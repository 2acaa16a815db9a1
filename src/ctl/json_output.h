#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

#include "ctl/command_context.h"

namespace chimeon::ctl {

// One JSON object on one line of the data stream. Text that is not UTF-8 is replaced, never
// thrown over.
void PrintJsonLine(const CommandContext& context, const nlohmann::ordered_json& object);

// Stored text as the text output prints it: every control byte (NUL, a tab, a lone CR of a
// damaged table) escaped as JSON escapes it, \u0000 to \u001f and \u007f, so that it can neither
// break the columns and lines nor reach the terminal. A backslash stays as it is: stored paths
// are full of them.
std::string PrintableText(std::string_view text);

}  // namespace chimeon::ctl
