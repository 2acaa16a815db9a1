#pragma once

#include <string>
#include <vector>

#include "ctl/command_context.h"

namespace chimeon::ctl {

// Both commands: a file that does not open as a regular file (missing, a folder, a FIFO, a
// device) is said on the message stream and makes the exit status 2; the others are reported.

// Every fact of the MP3 analysis of each file.
int RunMp3Info(const CommandContext& context, const std::vector<std::string>& files);

// The play time the duration probe gives each file ("00:00" when it cannot measure it).
int RunProbe(const CommandContext& context, const std::vector<std::string>& files);

}  // namespace chimeon::ctl
