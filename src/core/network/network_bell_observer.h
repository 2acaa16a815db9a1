#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/engine/clock_ports.h"
#include "core/network/zone_state.h"

namespace chimeon {

class LocalClock;
class TodayList;

// Passes everything the clock does on to `inner` (the play history's recorder) and, at every
// start, checks what the network output could do with it: the server away, or a client of our
// stream offline or muted, is recorded as a failure of the row with the cause kNetwork and its
// words, and said to the operator (`notice`, "" once a start reached every client). Zones are
// only trusted while the control port is connected: without it a start is recorded as not
// known to have reached them. A stream that broke off between a row's start and its end is
// recorded and said at the end, and so is a timed start whose sound went out (`startLead`
// before its second) on a connection that broke before it began. `zones` gives a copy of what is
// known now; it must never wait.
class NetworkBellObserver : public BroadcastClockObserver {
public:
    NetworkBellObserver(std::unique_ptr<BroadcastClockObserver> inner, const LocalClock& clock,
                        const TodayList& list, std::string streamId,
                        std::function<ZoneSnapshot()> zones,
                        std::function<void(const std::string&)> notice,
                        std::chrono::milliseconds startLead = {});

    void OnTableSelected(std::string_view status, bool noBroadcastToday,
                         std::string_view tableName) override;
    void OnRowStarted(int row, std::string_view file, StartCause cause, int scheduledSecond,
                      std::optional<std::int64_t> lateness) override;
    void OnRowEnded(int row, EndCause cause) override;
    void OnPlayFailed(int row, std::string_view path, FailureCause cause,
                      std::string_view reason) override;

private:
    void Fail(int row, std::string_view file, const std::string& text);

    // The row that started with the stream connected, watched for a break until its end.
    struct Watched {
        int row = -1;
        std::string file;
        std::string time;
        std::string title;
        std::uint64_t session = 0;
    };

    std::unique_ptr<BroadcastClockObserver> inner_;
    const LocalClock& clock_;
    const TodayList& list_;
    std::string streamId_;
    std::function<ZoneSnapshot()> zones_;
    std::function<void(const std::string&)> notice_;
    std::chrono::milliseconds startLead_;
    std::optional<Watched> watched_;
};

// "08:00:00" for a second of the day.
std::string DueTimeText(int secondOfDay);

}  // namespace chimeon
