#include "ctl/json_output.h"

#include <cstdio>
#include <ostream>

namespace chimeon::ctl {

void PrintJsonLine(const CommandContext& context, const nlohmann::ordered_json& object) {
    *context.out << object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                 << '\n';
}

std::string PrintableText(std::string_view text) {
    std::string printable;
    printable.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            printable += c;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
        printable += escaped;
    }
    return printable;
}

}  // namespace chimeon::ctl
