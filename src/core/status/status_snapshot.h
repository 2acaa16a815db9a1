#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/engine/today_list.h"
#include "core/history/play_history.h"
#include "core/network/zone_state.h"
#include "core/system/clock_health.h"

namespace chimeon {

// The events the page lists: the newest ones of the play history.
inline constexpr std::size_t kStatusEventCount = 50;

// Everything the status page shows, as the broadcaster last published it.
struct StatusSnapshot {
    std::string statusText;  // "今天播放星期一的节目表！"
    bool noBroadcastToday = false;
    TodayRows rows;
    int nextRow = -1;                 // the row due next today, -1 for none
    std::deque<HistoryEvent> events;  // oldest first, at most kStatusEventCount
    std::vector<std::string> notices;
    std::optional<ZoneSnapshot> network;  // none: no network output configured
    std::string networkStream;            // the stream of ours its zones play
    ClockHealth clock;
    std::int64_t updatedAtMs = 0;  // epoch milliseconds
};

// Adds an event of the play history; the oldest beyond kStatusEventCount go.
void AddStatusEvent(StatusSnapshot& snapshot, HistoryEvent event);
// Gives the level to the start it was measured for (when it is still listed).
void SetStatusLevel(StatusSnapshot& snapshot, const HistoryEvent& start, const SoundLevel& level);

// The snapshot as the page's JSON (/api/status). Times are local ("08:00:00").
std::string StatusJson(const StatusSnapshot& snapshot);

// The JSON last published, for the page's threads: they copy a pointer under a short lock and
// never wait for whoever publishes, nor it for them.
class StatusBoard {
public:
    void Publish(std::string json);
    std::shared_ptr<const std::string> Json() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const std::string> json_ = std::make_shared<const std::string>("{}");
};

}  // namespace chimeon
