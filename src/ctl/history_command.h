#pragma once

#include <optional>
#include <string>

#include "ctl/command_context.h"

namespace chimeon::ctl {

// Prints the play history between two dates ("YYYY-MM-DD", either may be left out), oldest first:
// one line per event, rows numbered from 1 in text and JSON alike.
int RunHistory(const CommandContext& context, const std::optional<std::string>& since,
               const std::optional<std::string>& until);

}  // namespace chimeon::ctl
