#include "ctl/zones_command.h"

#include <ctime>
#include <nlohmann/json.hpp>
#include <ostream>

#include "core/app/ini_settings_store.h"
#include "core/network/network_output_settings.h"
#include "ctl/json_output.h"
#include "ctl/live_commands.h"
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

void PrintZones(const CommandContext& context, const std::string& text) {
    const nlohmann::ordered_json snapshot = nlohmann::ordered_json::parse(text, nullptr, false);
    if (!snapshot.is_object()) {
        *context.err << "chimeonctl: the zones could not be read\n";
        return;
    }
    const std::string problem = snapshot.value("problem", "");
    if (!problem.empty() && !context.json) {
        *context.out << "network " << PrintableText(problem) << "\n";
    }
    for (const nlohmann::ordered_json& zone :
         snapshot.value("zones", nlohmann::ordered_json::array())) {
        if (context.json) {
            *context.out << zone.dump(-1, ' ', false,
                                      nlohmann::ordered_json::error_handler_t::replace)
                         << "\n";
            continue;
        }
        *context.out << "zone " << PrintableText(zone.value("zone", "")) << " (stream "
                     << PrintableText(zone.value("stream", ""))
                     << (zone.value("ours", false) ? "" : ", not Chimeon's")
                     << (zone.value("muted", false) ? ", muted" : "") << ")\n";
        for (const nlohmann::ordered_json& client :
             zone.value("clients", nlohmann::ordered_json::array())) {
            *context.out << "  " << PrintableText(client.value("name", "")) << " ["
                         << PrintableText(client.value("id", "")) << "] "
                         << (client.value("connected", false) ? "connected" : "offline")
                         << ", last seen " << LocalTime(client.value("last_seen", 0LL))
                         << ", latency " << client.value("latency_ms", 0) << " ms, volume "
                         << client.value("volume", 0) << "%"
                         << (client.value("muted", false) ? ", muted" : "") << "\n";
        }
    }
    context.out->flush();
}

int RunZones(const CommandContext& context) {
    const IniSettingsStore section(context.dataDirectory / "setup.ini",
                                   std::string(kNetworkOutputSection));
    const NetworkOutputSettings settings = ReadNetworkOutputSettings(section);
    // The running broadcaster follows the zones already: its view, with its stream's state.
    if (const auto zones = BroadcasterZones(context); zones && !zones->empty()) {
        PrintZones(context, *zones);
        return kExitOk;
    }
    if (!settings.enabled) {
        *context.err << "chimeonctl: the network output is off in setup.ini ([NetworkOutput] "
                        "Enabled=0); asking "
                     << settings.host << ":" << settings.controlPort << " all the same\n";
    }
    std::string error;
    auto zones = SnapcastControl::FetchOnce(settings.host, settings.controlPort,
                                            std::chrono::seconds(2), &error);
    if (!zones) {
        *context.err << "chimeonctl: the Snapcast server does not answer: " << error << "\n";
        return kExitFindings;
    }
    ZoneSnapshot snapshot;
    snapshot.controlConnected = true;
    snapshot.zones = std::move(*zones);
    PrintZones(context, ZoneSnapshotJson(snapshot, settings.stream).dump());
    return kExitOk;
}

}  // namespace chimeon::ctl
