#include "core/network/network_output_settings.h"

#include <algorithm>

#include "core/app/settings_store.h"

namespace chimeon {
namespace {

int InRange(const SettingsStore& store, std::string_view key, int fallback, int low, int high) {
    const int value = store.GetInt(key, fallback);
    return value >= low && value <= high ? value : fallback;
}

}  // namespace

NetworkOutputSettings ReadNetworkOutputSettings(const SettingsStore& section) {
    using namespace network_key;
    NetworkOutputSettings settings;
    settings.enabled = section.GetInt(kEnabled, 0) == 1;
    settings.host = section.GetString(kHost, settings.host);
    if (settings.host.empty() || settings.host.find_first_of(" \t") != std::string::npos) {
        settings.host = NetworkOutputSettings{}.host;
    }
    settings.streamPort = InRange(section, kStreamPort, settings.streamPort, 1, 65535);
    settings.controlPort = InRange(section, kControlPort, settings.controlPort, 1, 65535);
    settings.bufferMs = InRange(section, kBuffer, settings.bufferMs, 0, kMaxNetworkBufferMs);
    settings.localToo = section.GetInt(kLocalToo, 1) != 0;
    const std::string stream = section.GetString(kStream, settings.stream);
    settings.stream = stream.empty() ? settings.stream : stream;
    return settings;
}

bool WriteNetworkOutputSettings(SettingsStore& section, const NetworkOutputSettings& settings) {
    using namespace network_key;
    bool stored = section.WriteInt(kEnabled, settings.enabled ? 1 : 0);
    stored = section.WriteString(kHost, settings.host) && stored;
    stored = section.WriteInt(kStreamPort, settings.streamPort) && stored;
    stored = section.WriteInt(kControlPort, settings.controlPort) && stored;
    stored = section.WriteInt(kBuffer, settings.bufferMs) && stored;
    stored = section.WriteInt(kLocalToo, settings.localToo ? 1 : 0) && stored;
    return section.WriteString(kStream, settings.stream) && stored;
}

std::chrono::milliseconds NetworkStartLead(int bufferMs) {
    return std::chrono::milliseconds(std::clamp(bufferMs, 0, kMaxNetworkBufferMs)) +
           kNetworkStartMargin;
}

}  // namespace chimeon
