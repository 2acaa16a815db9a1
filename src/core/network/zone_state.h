#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chimeon {

// One player of the network output (a Snapcast client): a loudspeaker or a small player in a
// building.
struct ZoneClient {
    std::string id;
    std::string name;  // the name given on the server, else the host's name
    bool connected = false;
    std::int64_t lastSeenSec = 0;  // epoch seconds the server last heard of it
    int latencyMs = 0;             // its own output's delay, set per client on the server
    int volume = 100;              // percent
    bool muted = false;

    bool operator==(const ZoneClient&) const = default;
};

// A zone: a group of clients that plays one stream.
struct Zone {
    std::string id;
    std::string name;
    std::string streamId;
    bool muted = false;
    std::vector<ZoneClient> clients;

    bool operator==(const Zone&) const = default;
};

// What the broadcaster knows of the network output at one moment.
struct ZoneSnapshot {
    bool controlConnected = false;  // the server's control port answers
    bool streamConnected = false;   // the sound reaches the server's stream
    std::string problem;            // why not, in the system's words ("" while all is well)
    std::vector<Zone> zones;
    std::uint64_t streamSession = 0;  // counts the stream's connections: it broke when it changes
    std::int64_t streamUpMs = 0;      // how long the stream's present connection has lasted

    bool operator==(const ZoneSnapshot&) const = default;
};

// What one line from the server's control port did to the zones.
struct RpcLineEffect {
    bool understood = false;  // a well-formed message of the protocol
    bool changed = false;     // the zones differ from before
    bool refresh = false;     // it names something not known yet: ask for the whole status again
    std::string error;        // why a line was not understood
    bool status = false;      // the answer to Server.GetStatus
};

// Applies one newline-delimited JSON-RPC message from the server's control port: the answer to
// Server.GetStatus (which replaces the zones), or a notification of a client or a group. Lines
// that are not JSON, or JSON of other shapes, leave the zones as they were.
RpcLineEffect ApplyRpcLine(std::string_view line, std::vector<Zone>& zones);

// The request line for the whole status, with its id.
std::string StatusRequestLine(int id);

// The name a zone is shown by: its own, else its clients' names, else its id.
std::string ZoneName(const Zone& zone);

// A client that will not sound a bell of the stream `streamId`: offline, or muted (itself or
// its zone). Zones on another stream are not ours and are left out.
struct ZoneShortfall {
    enum class Why { kOffline, kMuted };
    std::string zone;
    std::string client;
    Why why = Why::kOffline;
    bool operator==(const ZoneShortfall&) const = default;
};
std::vector<ZoneShortfall> ShortfallsOf(const std::vector<Zone>& zones, std::string_view streamId);

// The operator's words for a bell that a client did not sound, and for a bell that did not reach
// the server at all; `time` is the due time ("8:0:0"), `title` the row's title.
std::string ShortfallText(const ZoneShortfall& shortfall, std::string_view time,
                          std::string_view title);
std::string UndeliveredText(std::string_view problem, std::string_view time,
                            std::string_view title);
// A bell whose stream to the server broke off before its end.
std::string InterruptedText(std::string_view problem, std::string_view time,
                            std::string_view title);
// A bell that reached the server while its zones were not known (the control port away).
std::string ZonesUnknownText(std::string_view problem, std::string_view time,
                             std::string_view title);

// One zone as JSON, the same for `chimeonctl zones --json`, the status page's /api/status and
// whoever reads the broadcaster's zones: {"zone", "id", "stream", "ours" (it plays
// `ourStream`), "muted", "clients": [{"id", "name", "connected", "last_seen" (epoch seconds),
// "latency_ms", "volume", "muted"}]}.
nlohmann::ordered_json ZoneJson(const Zone& zone, std::string_view ourStream);
// The whole snapshot: {"stream_connected", "control_connected", "problem", "zones": [...]}.
nlohmann::ordered_json ZoneSnapshotJson(const ZoneSnapshot& snapshot, std::string_view ourStream);

// ZoneSnapshotJson's text read back (as the window gets it from the broadcaster); nothing for
// a text that is not such an object.
std::optional<ZoneSnapshot> ZoneSnapshotFromJson(std::string_view text);

// The zones as the operator reads them, one client a line ("教学楼A：扬声器1 在线，音量 80%，
// 延迟 20 毫秒"); `lastSeen` turns an offline client's last contact into words. The problem
// first when there is one.
std::string ZonesText(const ZoneSnapshot& snapshot,
                      const std::function<std::string(std::int64_t)>& lastSeen);

}  // namespace chimeon
