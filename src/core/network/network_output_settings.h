#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace chimeon {

class SettingsStore;

// The network output through a Snapcast server, as setup.ini's own section [NetworkOutput]
// keeps it.
struct NetworkOutputSettings {
    bool enabled = false;
    std::string host = "127.0.0.1";
    int streamPort = 4953;   // the server's tcp source, listening for our sound
    int controlPort = 1705;  // the server's JSON-RPC control port
    // The server's buffer (its [stream] buffer): how long before its moment a sample must reach
    // the server for the clients to play it on that moment. The server does not tell it.
    int bufferMs = 1000;
    bool localToo = true;            // the local sound card plays as well
    std::string stream = "Chimeon";  // the server's name of our stream: the zones that play it

    bool operator==(const NetworkOutputSettings&) const = default;
};

inline constexpr std::string_view kNetworkOutputSection = "NetworkOutput";
namespace network_key {
inline constexpr std::string_view kEnabled = "Enabled";
inline constexpr std::string_view kHost = "Host";
inline constexpr std::string_view kStreamPort = "StreamPort";
inline constexpr std::string_view kControlPort = "ControlPort";
inline constexpr std::string_view kBuffer = "Buffer";
inline constexpr std::string_view kLocalToo = "LocalToo";
inline constexpr std::string_view kStream = "Stream";
}  // namespace network_key

inline constexpr int kMaxNetworkBufferMs = 10000;

// Read from the section's store; a value out of range (a port beyond 65535, a negative buffer)
// or an empty host is taken as its default.
NetworkOutputSettings ReadNetworkOutputSettings(const SettingsStore& section);
// False when a value could not be stored (the rest may have been).
[[nodiscard]] bool WriteNetworkOutputSettings(SettingsStore& section,
                                              const NetworkOutputSettings& settings);

// A start scheduled on the network output: the clock hands it to the player this long before
// its second (the server's buffer and a margin for the player), so that the server has it a
// buffer ahead and every client sounds it on the second.
inline constexpr std::chrono::milliseconds kNetworkStartMargin{150};
std::chrono::milliseconds NetworkStartLead(int bufferMs);

}  // namespace chimeon
