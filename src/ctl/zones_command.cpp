#include "ctl/zones_command.h"

#include <ctime>
#include <nlohmann/json.hpp>
#include <ostream>

#include "core/app/ini_settings_store.h"
#include "core/network/network_output_settings.h"
#include "platform/network/snapcast_control.h"

namespace chimeon::ctl {
namespace {

std::string LocalTime(std::int64_t epochSeconds) {
    if (epochSeconds <= 0) {
        return "-";
    }
    const auto seconds = static_cast<std::time_t>(epochSeconds);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

int RunZones(const CommandContext& context) {
    const IniSettingsStore section(context.dataDirectory / "setup.ini",
                                   std::string(kNetworkOutputSection));
    const NetworkOutputSettings settings = ReadNetworkOutputSettings(section);
    if (!settings.enabled) {
        *context.err << "chimeonctl: the network output is off in setup.ini ([NetworkOutput] "
                        "Enabled=0); asking "
                     << settings.host << ":" << settings.controlPort << " all the same\n";
    }
    std::string error;
    const auto zones = SnapcastControl::FetchOnce(settings.host, settings.controlPort,
                                                  std::chrono::seconds(2), &error);
    if (!zones) {
        *context.err << "chimeonctl: the Snapcast server does not answer: " << error << "\n";
        return kExitFindings;
    }
    for (const Zone& zone : *zones) {
        const bool ours = zone.streamId == settings.stream;
        if (context.json) {
            *context.out << ZoneJson(zone, settings.stream).dump() << "\n";
            continue;
        }
        *context.out << "zone " << ZoneName(zone) << " (stream " << zone.streamId
                     << (ours ? "" : ", not Chimeon's") << (zone.muted ? ", muted" : "") << ")\n";
        for (const ZoneClient& client : zone.clients) {
            *context.out << "  " << client.name << " [" << client.id << "] "
                         << (client.connected ? "connected" : "offline") << ", last seen "
                         << LocalTime(client.lastSeenSec) << ", latency " << client.latencyMs
                         << " ms, volume " << client.volume << "%"
                         << (client.muted ? ", muted" : "") << "\n";
        }
    }
    return kExitOk;
}

}  // namespace chimeon::ctl
