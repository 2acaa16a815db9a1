#pragma once

#include <optional>
#include <string>

#include "core/system/local_clock.h"
#include "ctl/command_context.h"
#include "link/broadcaster_types.h"

namespace chimeon::ctl {

// The commands given to the running broadcaster of the data directory.
enum class LiveCommand { kPlay, kStop, kAutomatic, kManual, kReload };

// The exit status when no broadcaster of the data directory runs (or the bus cannot be reached).
inline constexpr int kExitNoBroadcaster = 2;

// What `chimeonctl status` shows.
struct LiveStatus {
    BroadcasterSnapshot snapshot;
    LocalDateTime now;
    // Nothing from a broadcaster that does not tell it.
    std::optional<BroadcasterHealth> health;
};

// Today's table with the clock's status, mode, current row, next start and notices.
int RunStatus(const CommandContext& context);
// `row`: the row as the operator sees it, numbered from 1 (kPlay only).
// The running broadcaster's zones as JSON ("" when its network output is off); nothing when no
// broadcaster of the data directory runs or it does not answer.
std::optional<std::string> BroadcasterZones(const CommandContext& context);

int RunLive(const CommandContext& context, LiveCommand command, int row);

// Prints the status as text or one JSON object: the one place that says what status shows.
void PrintStatus(const CommandContext& context, const LiveStatus& status);

}  // namespace chimeon::ctl
