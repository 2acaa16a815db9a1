#pragma once

#include <string>

#include "ctl/command_context.h"

namespace chimeon::ctl {

// Prints the play history between two dates ("YYYY-MM-DD", either may be empty), oldest first:
// one line per event, rows numbered from 1 in text and JSON alike.
int RunHistory(const CommandContext& context, const std::string& since, const std::string& until);

}  // namespace chimeon::ctl
