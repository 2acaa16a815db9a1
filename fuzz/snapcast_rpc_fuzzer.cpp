// Any bytes from a Snapcast server's control port, one message a line: the zones stay well
// formed (every zone and client has its id, volumes are percentages), a line not understood
// changes nothing, and the texts said of them can always be made.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/network/zone_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<chimeon::Zone> zones;
    while (!bytes.empty()) {
        const size_t end = std::min(bytes.find('\n'), bytes.size());
        const std::vector<chimeon::Zone> before = zones;
        const chimeon::RpcLineEffect effect = chimeon::ApplyRpcLine(bytes.substr(0, end), zones);
        if ((!effect.understood && zones != before) || effect.changed != (zones != before)) {
            std::abort();
        }
        bytes.remove_prefix(std::min(end + 1, bytes.size()));
    }
    for (const chimeon::Zone& zone : zones) {
        for (const chimeon::ZoneClient& client : zone.clients) {
            if (zone.id.empty() || client.id.empty() || client.volume < 0 || client.volume > 100) {
                std::abort();
            }
        }
    }
    for (const chimeon::ZoneShortfall& shortfall : chimeon::ShortfallsOf(zones, "")) {
        (void)chimeon::ShortfallText(shortfall, "08:00:00", "bell");
    }
    return 0;
}
