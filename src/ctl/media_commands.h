#pragma once

#include <string>
#include <vector>

#include "ctl/command_context.h"

namespace chimeon::ctl {

// Every fact of the MP3 analysis of each file. A file that cannot be opened is reported too
// (opened: false) and makes the exit status 2.
int RunMp3Info(const CommandContext& context, const std::vector<std::string>& files);

// The play time the duration probe gives each file ("00:00" when it cannot measure it).
int RunProbe(const CommandContext& context, const std::vector<std::string>& files);

}  // namespace chimeon::ctl
