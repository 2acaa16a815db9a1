#include "ctl/json_output.h"

#include <ostream>

namespace chimeon::ctl {

void PrintJsonLine(const CommandContext& context, const nlohmann::ordered_json& object) {
    *context.out << object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                 << '\n';
}

}  // namespace chimeon::ctl
