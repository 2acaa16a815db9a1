#include "core/network/zone_state.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace chimeon {
namespace {

using Json = nlohmann::json;

// A member of the expected type, else nothing: the server's messages are read, never trusted.
const Json* Member(const Json& object, const char* key, Json::value_t type) {
    if (!object.is_object()) {
        return nullptr;
    }
    auto found = object.find(key);
    if (found == object.end()) {
        return nullptr;
    }
    if (found->type() == type || (type == Json::value_t::number_integer &&
                                  found->type() == Json::value_t::number_unsigned)) {
        return &*found;
    }
    return nullptr;
}

std::string Text(const Json& object, const char* key) {
    const Json* value = Member(object, key, Json::value_t::string);
    return value != nullptr ? value->get<std::string>() : std::string();
}

std::optional<std::int64_t> Integer(const Json& object, const char* key) {
    const Json* value = Member(object, key, Json::value_t::number_integer);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->is_number_unsigned()) {
        return static_cast<std::int64_t>(
            std::min<std::uint64_t>(value->get<std::uint64_t>(), INT64_MAX));
    }
    return value->get<std::int64_t>();
}

std::optional<bool> Flag(const Json& object, const char* key) {
    const Json* value = Member(object, key, Json::value_t::boolean);
    return value != nullptr ? std::optional<bool>(value->get<bool>()) : std::nullopt;
}

int Clamped(std::int64_t value, int low, int high) {
    return static_cast<int>(std::clamp<std::int64_t>(value, low, high));
}

void ReadVolume(const Json& volume, ZoneClient& client) {
    if (auto percent = Integer(volume, "percent")) {
        client.volume = Clamped(*percent, 0, 100);
    }
    if (auto muted = Flag(volume, "muted")) {
        client.muted = *muted;
    }
}

std::optional<ZoneClient> ReadClient(const Json& json) {
    ZoneClient client;
    client.id = Text(json, "id");
    if (client.id.empty()) {
        return std::nullopt;
    }
    client.connected = Flag(json, "connected").value_or(false);
    if (const Json* seen = Member(json, "lastSeen", Json::value_t::object)) {
        client.lastSeenSec = Integer(*seen, "sec").value_or(0);
    }
    std::string hostName;
    if (const Json* host = Member(json, "host", Json::value_t::object)) {
        hostName = Text(*host, "name");
    }
    if (const Json* config = Member(json, "config", Json::value_t::object)) {
        client.name = Text(*config, "name");
        client.latencyMs = Clamped(Integer(*config, "latency").value_or(0), -100000, 100000);
        if (const Json* volume = Member(*config, "volume", Json::value_t::object)) {
            ReadVolume(*volume, client);
        }
    }
    if (client.name.empty()) {
        client.name = hostName.empty() ? client.id : hostName;
    }
    return client;
}

std::optional<std::vector<Zone>> ReadServer(const Json& server) {
    const Json* groups = Member(server, "groups", Json::value_t::array);
    if (groups == nullptr) {
        return std::nullopt;
    }
    std::vector<Zone> zones;
    for (const Json& group : *groups) {
        Zone zone;
        zone.id = Text(group, "id");
        if (zone.id.empty()) {
            continue;
        }
        zone.name = Text(group, "name");
        zone.streamId = Text(group, "stream_id");
        zone.muted = Flag(group, "muted").value_or(false);
        if (const Json* clients = Member(group, "clients", Json::value_t::array)) {
            for (const Json& json : *clients) {
                if (auto client = ReadClient(json)) {
                    zone.clients.push_back(std::move(*client));
                }
            }
        }
        zones.push_back(std::move(zone));
    }
    return zones;
}

ZoneClient* FindClient(std::vector<Zone>& zones, std::string_view id) {
    for (Zone& zone : zones) {
        for (ZoneClient& client : zone.clients) {
            if (client.id == id) {
                return &client;
            }
        }
    }
    return nullptr;
}

Zone* FindZone(std::vector<Zone>& zones, std::string_view id) {
    auto found =
        std::find_if(zones.begin(), zones.end(), [&](const Zone& z) { return z.id == id; });
    return found != zones.end() ? &*found : nullptr;
}

// A notification: what it changes, on a copy of the zones.
RpcLineEffect ApplyNotification(const std::string& method, const Json& params,
                                std::vector<Zone>& zones) {
    RpcLineEffect effect;
    effect.understood = true;
    const std::string id = Text(params, "id");
    if (method == "Server.OnUpdate") {
        const Json* server = Member(params, "server", Json::value_t::object);
        auto read = server != nullptr ? ReadServer(*server) : std::nullopt;
        if (!read) {
            return {false, false, false, "Server.OnUpdate without groups"};
        }
        effect.changed = *read != zones;
        zones = std::move(*read);
        return effect;
    }
    if (method.starts_with("Client.")) {
        ZoneClient* client = FindClient(zones, id);
        if (client == nullptr) {
            effect.refresh = !id.empty();  // a new client: its zone comes with the status
            return effect;
        }
        const ZoneClient before = *client;
        if (method == "Client.OnConnect" || method == "Client.OnDisconnect") {
            const Json* json = Member(params, "client", Json::value_t::object);
            if (auto read = json != nullptr ? ReadClient(*json) : std::nullopt) {
                *client = std::move(*read);
            }
            client->connected = method == "Client.OnConnect";
        } else if (method == "Client.OnVolumeChanged") {
            if (const Json* volume = Member(params, "volume", Json::value_t::object)) {
                ReadVolume(*volume, *client);
            }
        } else if (method == "Client.OnLatencyChanged") {
            client->latencyMs =
                Clamped(Integer(params, "latency").value_or(client->latencyMs), -100000, 100000);
        } else if (method == "Client.OnNameChanged") {
            const std::string name = Text(params, "name");
            client->name = name.empty() ? client->name : name;
        }
        effect.changed = !(*client == before);
        return effect;
    }
    if (method.starts_with("Group.")) {
        Zone* zone = FindZone(zones, id);
        if (zone == nullptr) {
            effect.refresh = !id.empty();
            return effect;
        }
        const Zone before = *zone;
        if (method == "Group.OnMute") {
            zone->muted = Flag(params, "mute").value_or(zone->muted);
        } else if (method == "Group.OnStreamChanged") {
            const std::string stream = Text(params, "stream_id");
            zone->streamId = stream.empty() ? zone->streamId : stream;
        } else if (method == "Group.OnNameChanged") {
            zone->name = Text(params, "name");
        }
        effect.changed = !(*zone == before);
        return effect;
    }
    return effect;  // the streams' news: nothing of the zones
}

}  // namespace

RpcLineEffect ApplyRpcLine(std::string_view line, std::vector<Zone>& zones) {
    const Json message = Json::parse(line, nullptr, false);
    if (message.is_discarded() || !message.is_object()) {
        return {false, false, false, "not a JSON object"};
    }
    if (const Json* error = Member(message, "error", Json::value_t::object)) {
        return {false, false, false, "the server refused: " + Text(*error, "message")};
    }
    if (const Json* result = Member(message, "result", Json::value_t::object)) {
        const Json* server = Member(*result, "server", Json::value_t::object);
        if (server == nullptr) {
            return {true, false, false, ""};  // the answer to another request
        }
        auto read = ReadServer(*server);
        if (!read) {
            return {false, false, false, "a status without groups"};
        }
        RpcLineEffect effect{true, *read != zones, false, "", true};
        zones = std::move(*read);
        return effect;
    }
    const std::string method = Text(message, "method");
    if (method.empty()) {
        return {false, false, false, "neither an answer nor a notification"};
    }
    const Json* params = Member(message, "params", Json::value_t::object);
    if (params == nullptr) {
        return {false, false, false, method + " without parameters"};
    }
    return ApplyNotification(method, *params, zones);
}

std::string StatusRequestLine(int id) {
    return Json{{"id", id}, {"jsonrpc", "2.0"}, {"method", "Server.GetStatus"}}.dump() + "\n";
}

std::string ZoneName(const Zone& zone) {
    if (!zone.name.empty()) {
        return zone.name;
    }
    std::string names;
    for (const ZoneClient& client : zone.clients) {
        names += (names.empty() ? "" : "、") + client.name;
    }
    return names.empty() ? zone.id : names;
}

std::vector<ZoneShortfall> ShortfallsOf(const std::vector<Zone>& zones, std::string_view streamId) {
    std::vector<ZoneShortfall> shortfalls;
    for (const Zone& zone : zones) {
        if (!streamId.empty() && zone.streamId != streamId) {
            continue;
        }
        for (const ZoneClient& client : zone.clients) {
            if (!client.connected) {
                shortfalls.push_back({ZoneName(zone), client.name, ZoneShortfall::Why::kOffline});
            } else if (client.muted || zone.muted || client.volume == 0) {
                shortfalls.push_back({ZoneName(zone), client.name, ZoneShortfall::Why::kMuted});
            }
        }
    }
    return shortfalls;
}

std::string ShortfallText(const ZoneShortfall& shortfall, std::string_view time,
                          std::string_view title) {
    const bool offline = shortfall.why == ZoneShortfall::Why::kOffline;
    return shortfall.zone + "：" + shortfall.client + (offline ? "离线，" : "静音，") +
           std::string(time) + " 的" + std::string(title) + (offline ? "没有送达" : "听不到");
}

std::string UndeliveredText(std::string_view problem, std::string_view time,
                            std::string_view title) {
    return "网络广播没有送达：" + std::string(time) + " 的" + std::string(title) + "（" +
           std::string(problem) + "）";
}

std::string InterruptedText(std::string_view problem, std::string_view time,
                            std::string_view title) {
    return "网络广播中断：" + std::string(time) + " 的" + std::string(title) + "没有完整送达（" +
           std::string(problem) + "）";
}

std::string ZonesUnknownText(std::string_view problem, std::string_view time,
                             std::string_view title) {
    return "网络输出：分区状态未知（" + std::string(problem) + "），" + std::string(time) + " 的" +
           std::string(title) + "是否送达无法确认";
}

nlohmann::ordered_json ZoneJson(const Zone& zone, std::string_view ourStream) {
    nlohmann::ordered_json clients = nlohmann::ordered_json::array();
    for (const ZoneClient& client : zone.clients) {
        clients.push_back({{"id", client.id},
                           {"name", client.name},
                           {"connected", client.connected},
                           {"last_seen", client.lastSeenSec},
                           {"latency_ms", client.latencyMs},
                           {"volume", client.volume},
                           {"muted", client.muted}});
    }
    return {{"zone", ZoneName(zone)},  {"id", zone.id},
            {"stream", zone.streamId}, {"ours", zone.streamId == ourStream},
            {"muted", zone.muted},     {"clients", clients}};
}

nlohmann::ordered_json ZoneSnapshotJson(const ZoneSnapshot& snapshot, std::string_view ourStream) {
    nlohmann::ordered_json zones = nlohmann::ordered_json::array();
    for (const Zone& zone : snapshot.zones) {
        zones.push_back(ZoneJson(zone, ourStream));
    }
    return {{"stream_connected", snapshot.streamConnected},
            {"control_connected", snapshot.controlConnected},
            {"problem", snapshot.problem},
            {"zones", zones}};
}

std::optional<ZoneSnapshot> ZoneSnapshotFromJson(std::string_view text) {
    const Json json = Json::parse(text, nullptr, false);
    const Json* zones = Member(json, "zones", Json::value_t::array);
    if (zones == nullptr) {
        return std::nullopt;
    }
    ZoneSnapshot snapshot;
    snapshot.streamConnected = Flag(json, "stream_connected").value_or(false);
    snapshot.controlConnected = Flag(json, "control_connected").value_or(false);
    snapshot.problem = Text(json, "problem");
    for (const Json& item : *zones) {
        Zone zone{Text(item, "id"),
                  Text(item, "zone"),
                  Text(item, "stream"),
                  Flag(item, "muted").value_or(false),
                  {}};
        if (const Json* clients = Member(item, "clients", Json::value_t::array)) {
            for (const Json& entry : *clients) {
                ZoneClient client{
                    Text(entry, "id"),
                    Text(entry, "name"),
                    Flag(entry, "connected").value_or(false),
                    Integer(entry, "last_seen").value_or(0),
                    Clamped(Integer(entry, "latency_ms").value_or(0), -100000, 100000),
                    Clamped(Integer(entry, "volume").value_or(100), 0, 100),
                    Flag(entry, "muted").value_or(false)};
                zone.clients.push_back(std::move(client));
            }
        }
        snapshot.zones.push_back(std::move(zone));
    }
    return snapshot;
}

std::string ZonesText(const ZoneSnapshot& snapshot,
                      const std::function<std::string(std::int64_t)>& lastSeen) {
    std::string text = snapshot.problem.empty() ? "" : snapshot.problem + "\n";
    for (const Zone& zone : snapshot.zones) {
        for (const ZoneClient& client : zone.clients) {
            text += ZoneName(zone) + "：" + client.name;
            if (!client.connected) {
                text += " 离线，最后一次联系 " + lastSeen(client.lastSeenSec);
            } else {
                text += " 在线，音量 " + std::to_string(client.volume) + "%" +
                        (client.muted || zone.muted ? "（静音）" : "") + "，延迟 " +
                        std::to_string(client.latencyMs) + " 毫秒";
            }
            text += "\n";
        }
    }
    return text.empty() ? "没有分区" : text.substr(0, text.size() - 1);
}

}  // namespace chimeon
