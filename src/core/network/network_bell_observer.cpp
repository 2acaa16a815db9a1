#include "core/network/network_bell_observer.h"

#include <cstdio>

#include "core/engine/today_list.h"
#include "core/system/local_clock.h"

namespace chimeon {

NetworkBellObserver::NetworkBellObserver(std::unique_ptr<BroadcastClockObserver> inner,
                                         const LocalClock& clock, const TodayList& list,
                                         std::string streamId, std::function<ZoneSnapshot()> zones,
                                         std::function<void(const std::string&)> notice)
    : inner_(std::move(inner)),
      clock_(clock),
      list_(list),
      streamId_(std::move(streamId)),
      zones_(std::move(zones)),
      notice_(std::move(notice)) {}

std::string DueTimeText(int secondOfDay) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", secondOfDay / 3600 % 24,
                  secondOfDay / 60 % 60, secondOfDay % 60);
    return text;
}

void NetworkBellObserver::OnTableSelected(std::string_view status, bool noBroadcastToday,
                                          std::string_view tableName) {
    if (inner_) {
        inner_->OnTableSelected(status, noBroadcastToday, tableName);
    }
}

void NetworkBellObserver::OnRowStarted(int row, std::string_view file, StartCause cause,
                                       int scheduledSecond, std::optional<std::int64_t> lateness) {
    if (inner_) {
        inner_->OnRowStarted(row, file, cause, scheduledSecond, lateness);
    }
    if (row < 0 || row >= list_.RowCount()) {
        return;
    }
    const ZoneSnapshot snapshot = zones_ ? zones_() : ZoneSnapshot{};
    int second = scheduledSecond;
    if (second < 0) {
        const LocalDateTime now = clock_.Now();
        second = now.hour * 3600 + now.minute * 60 + now.second;
    }
    const std::string time = DueTimeText(second);
    const std::string& title = list_.Item(row).title;
    std::vector<std::string> texts;
    if (!snapshot.streamConnected) {
        texts.push_back(UndeliveredText(
            snapshot.problem.empty() ? "网络广播服务器没有连接" : snapshot.problem, time, title));
    } else {
        for (const ZoneShortfall& shortfall : ShortfallsOf(snapshot.zones, streamId_)) {
            texts.push_back(ShortfallText(shortfall, time, title));
        }
    }
    std::string notice;
    for (const std::string& text : texts) {
        if (inner_) {
            inner_->OnPlayFailed(row, file, FailureCause::kNetwork, text);
        }
        notice += (notice.empty() ? "" : "；") + text;
    }
    if (notice_) {
        notice_(notice);
    }
}

void NetworkBellObserver::OnRowEnded(int row, EndCause cause) {
    if (inner_) {
        inner_->OnRowEnded(row, cause);
    }
}

void NetworkBellObserver::OnPlayFailed(int row, std::string_view path, FailureCause cause,
                                       std::string_view reason) {
    if (inner_) {
        inner_->OnPlayFailed(row, path, cause, reason);
    }
}

}  // namespace chimeon
