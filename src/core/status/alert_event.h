#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "core/history/play_history.h"
#include "core/system/clock_health.h"

namespace chimeon {

// What an administrator far from the PC is told of at once.
enum class AlertKind { kStartFailed, kSilentStart, kZoneMissedBell, kClockUnsynchronised };

struct AlertEvent {
    AlertKind kind = AlertKind::kStartFailed;
    std::int64_t atMs = 0;  // epoch milliseconds
    std::string title;      // the row's title, or the clock's state
    std::string detail;     // why, in words (a zone's: which zone and client, and why)
    std::string table;
    int row = -1;  // 0-based; -1 for none
    bool operator==(const AlertEvent&) const = default;
};

// "start_failed", "silent_start", "zone_missed_bell", "clock_unsynchronised".
const char* AlertKindName(AlertKind kind);
// The event as the webhook's body and the program's standard input: one JSON object.
std::string AlertJson(const AlertEvent& event);

// The alert a play-history event makes: a start that failed (a row's failure), a start that did
// not reach a zone of the network output (a failure with the cause kNetwork) or a start
// measured silent (`level` given); nothing for anything else.
std::optional<AlertEvent> AlertFor(const HistoryEvent& event,
                                   const std::optional<SoundLevel>& level = std::nullopt);
// The alert a clock check makes when the clock stops being known as synchronised (`before` was
// synchronised or unchecked, `now` is not).
std::optional<AlertEvent> ClockAlert(const ClockHealth& before, const ClockHealth& now,
                                     std::int64_t atMs);

// Attempts per target, and the wait before attempt `attempt` (1 for the first retry): `first`,
// doubling each time.
inline constexpr int kAlertAttempts = 4;
std::chrono::milliseconds AlertRetryDelay(int attempt, std::chrono::milliseconds first);

}  // namespace chimeon
