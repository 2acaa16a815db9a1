#include "core/status/alert_event.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <variant>

namespace chimeon {

const char* AlertKindName(AlertKind kind) {
    switch (kind) {
        case AlertKind::kStartFailed:
            return "start_failed";
        case AlertKind::kSilentStart:
            return "silent_start";
        case AlertKind::kZoneMissedBell:
            return "zone_missed_bell";
        case AlertKind::kClockUnsynchronised:
            return "clock_unsynchronised";
    }
    return "";
}

std::string AlertJson(const AlertEvent& event) {
    const nlohmann::ordered_json json = {
        {"kind", AlertKindName(event.kind)},
        {"at_ms", event.atMs},
        {"title", event.title},
        {"detail", event.detail},
        {"table", event.table},
        {"row", event.row >= 0 ? nlohmann::ordered_json(event.row + 1) : nullptr}};
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::optional<AlertEvent> AlertFor(const HistoryEvent& event,
                                   const std::optional<SoundLevel>& level) {
    AlertEvent alert{
        AlertKind::kStartFailed, event.atMs, event.title, event.reason, event.table, event.row};
    if (event.kind == HistoryEvent::Kind::kFailure && event.row >= 0 &&
        std::holds_alternative<FailureCause>(event.cause) &&
        std::get<FailureCause>(event.cause) == FailureCause::kNetwork) {
        // The start played (here at least) but did not reach a zone: said as that, once per
        // client and start, and never also as a failed start.
        alert.kind = AlertKind::kZoneMissedBell;
        return alert;
    }
    if (event.kind == HistoryEvent::Kind::kFailure && event.row >= 0) {
        alert.detail = std::string(HistoryCauseName(event.cause)) +
                       (event.reason.empty() ? "" : ": " + event.reason);
        return alert;
    }
    if (event.kind == HistoryEvent::Kind::kStart && level && level->silent) {
        alert.kind = AlertKind::kSilentStart;
        const std::string output = OutputSilenceName(level->output);
        alert.detail = "silent (" + LevelText(*level) + (output.empty() ? "" : ", " + output) +
                       "): " + event.path;
        return alert;
    }
    return std::nullopt;
}

std::optional<AlertEvent> ClockAlert(const ClockHealth& before, const ClockHealth& now,
                                     std::int64_t atMs) {
    const auto bad = [](const ClockHealth& health) { return !ClockHealthProblem(health).empty(); };
    if (!bad(now) || bad(before)) {
        return std::nullopt;
    }
    return AlertEvent{AlertKind::kClockUnsynchronised,
                      atMs,
                      ClockSyncName(now.sync),
                      ClockHealthText(now),
                      "",
                      -1};
}

std::chrono::milliseconds AlertRetryDelay(int attempt, std::chrono::milliseconds first) {
    return first * (1 << std::min(std::max(attempt - 1, 0), 10));
}

}  // namespace chimeon
