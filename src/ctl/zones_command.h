#pragma once

#include "ctl/command_context.h"

namespace chimeon::ctl {

// Prints the zones of the network output's Snapcast server and their clients, asked of the
// server's control port named in setup.ini's [NetworkOutput] section (within two seconds).
// Exit status 1 when the server does not answer.
int RunZones(const CommandContext& context);

}  // namespace chimeon::ctl
