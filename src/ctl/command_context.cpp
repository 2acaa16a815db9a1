#include "ctl/command_context.h"

#include <ostream>

namespace chimeon::ctl {

int UsageError(const CommandContext& context, const std::string& message) {
    *context.err << "chimeonctl: " << message << std::endl;
    return kExitUsage;
}

}  // namespace chimeon::ctl
