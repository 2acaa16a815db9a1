#include "core/status/status_snapshot.h"

#include <nlohmann/json.hpp>

#include <ctime>

namespace chimeon {
namespace {

using Json = nlohmann::ordered_json;

std::string LocalTimeOfDay(std::int64_t epochMs) {
    const auto seconds = static_cast<std::time_t>(epochMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

bool SameStart(const HistoryEvent& a, const HistoryEvent& b) {
    return a.kind == HistoryEvent::Kind::kStart && a.atMs == b.atMs && a.row == b.row &&
           a.path == b.path && a.date == b.date;
}

Json LevelJson(const std::optional<SoundLevel>& level) {
    if (!level) {
        return nullptr;
    }
    return {{"peak_db", level->peakDb}, {"rms_db", level->rmsDb}, {"silent", level->silent}};
}

Json EventJson(const HistoryEvent& event) {
    const bool failed = event.kind == HistoryEvent::Kind::kFailure ||
                        (event.kind == HistoryEvent::Kind::kEnd &&
                         std::get<EndCause>(event.cause) == EndCause::kNotPlayed);
    return {{"kind", HistoryEventKindName(event.kind)},
            {"date", event.date},
            {"time", LocalTimeOfDay(event.atMs)},
            {"at_ms", event.atMs},
            {"scheduled", event.scheduledSecond},
            {"lateness_ms", event.latenessMs ? Json(*event.latenessMs) : Json(nullptr)},
            {"table", event.table},
            {"row", event.row >= 0 ? Json(event.row + 1) : Json(nullptr)},
            {"title", event.title},
            {"cause", HistoryCauseName(event.cause)},
            {"reason", event.reason},
            {"failed", failed},
            {"silent", event.level.has_value() && event.level->silent},
            {"level", LevelJson(event.level)}};
}

// What the row's latest listed event says of it: "failed", "silent", "played" or "".
const char* RowOutcome(const StatusSnapshot& snapshot, int row, const TodayRow& value) {
    for (auto event = snapshot.events.rbegin(); event != snapshot.events.rend(); ++event) {
        if (event->row != row || event->title != value.item.title) {
            continue;
        }
        if (event->kind == HistoryEvent::Kind::kFailure) {
            return "failed";
        }
        if (event->kind == HistoryEvent::Kind::kStart) {
            return event->level && event->level->silent ? "silent" : "played";
        }
    }
    return "";
}

}  // namespace

void AddStatusEvent(StatusSnapshot& snapshot, HistoryEvent event) {
    snapshot.events.push_back(std::move(event));
    while (snapshot.events.size() > kStatusEventCount) {
        snapshot.events.pop_front();
    }
}

void SetStatusLevel(StatusSnapshot& snapshot, const HistoryEvent& start, const SoundLevel& level) {
    for (HistoryEvent& event : snapshot.events) {
        if (SameStart(event, start)) {
            event.level = level;
        }
    }
}

std::string StatusJson(const StatusSnapshot& snapshot) {
    Json rows = Json::array();
    for (std::size_t i = 0; i < snapshot.rows.size(); ++i) {
        const TodayRow& row = snapshot.rows[i];
        const int index = static_cast<int>(i);
        rows.push_back({{"row", index + 1},
                        {"title", row.item.title},
                        {"start", row.item.start},
                        {"end", row.item.end},
                        {"volume", row.item.volume},
                        {"path", row.item.path},
                        {"state", row.IsPlaying() ? "正播" : "待播"},
                        {"outcome", RowOutcome(snapshot, index, row)},
                        {"next", index == snapshot.nextRow}});
    }
    Json next = nullptr;
    if (snapshot.nextRow >= 0 && snapshot.nextRow < static_cast<int>(snapshot.rows.size())) {
        const ProgramItem& item = snapshot.rows[static_cast<std::size_t>(snapshot.nextRow)].item;
        next = {{"row", snapshot.nextRow + 1}, {"start", item.start}, {"title", item.title}};
    }
    Json events = Json::array();
    for (auto event = snapshot.events.rbegin(); event != snapshot.events.rend(); ++event) {
        events.push_back(EventJson(*event));  // newest first, as the page lists them
    }
    Json zones = Json::array();
    Json network = nullptr;
    if (snapshot.network) {
        network = ZoneSnapshotJson(*snapshot.network, snapshot.networkStream);
        zones = network["zones"];
        network.erase("zones");
    }
    const Json json = {{"status", snapshot.statusText},
                       {"no_broadcast_today", snapshot.noBroadcastToday},
                       {"updated", LocalTimeOfDay(snapshot.updatedAtMs)},
                       {"updated_ms", snapshot.updatedAtMs},
                       {"next", next},
                       {"rows", rows},
                       {"events", events},
                       {"notices", snapshot.notices},
                       {"zones", zones},
                       {"network", network},
                       {"clock",
                        {{"sync", ClockSyncName(snapshot.clock.sync)},
                         {"ok", snapshot.clock.sync == ClockSync::kSynchronized},
                         {"text", ClockHealthText(snapshot.clock)}}}};
    // Bytes a stored table may hold that are not UTF-8 are replaced, never a failure.
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void StatusBoard::Publish(std::string json) {
    std::shared_ptr<const std::string> published =
        std::make_shared<const std::string>(std::move(json));
    const std::lock_guard lock(mutex_);
    json_.swap(published);  // the old text goes once the lock is let go
}

std::shared_ptr<const std::string> StatusBoard::Json() const {
    const std::lock_guard lock(mutex_);
    return json_;
}

}  // namespace chimeon
