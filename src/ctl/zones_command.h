#pragma once

#include <string>

#include "ctl/command_context.h"

namespace chimeon::ctl {

// Prints the zones of the network output's Snapcast server and their clients, as the running
// broadcaster follows them, else asked of the server's control port named in setup.ini's
// [NetworkOutput] section (within two seconds).
// Exit status 1 when the server does not answer.
int RunZones(const CommandContext& context);
// Prints zones given as JSON (the broadcaster's GetZones), text or --json lines as RunZones.
void PrintZones(const CommandContext& context, const std::string& json);

}  // namespace chimeon::ctl
