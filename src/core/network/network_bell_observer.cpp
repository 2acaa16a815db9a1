#include "core/network/network_bell_observer.h"

#include <cstdio>

#include "core/engine/today_list.h"
#include "core/system/local_clock.h"

namespace chimeon {

NetworkBellObserver::NetworkBellObserver(std::unique_ptr<BroadcastClockObserver> inner,
                                         const LocalClock& clock, const TodayList& list,
                                         std::string streamId, std::function<ZoneSnapshot()> zones,
                                         std::function<void(const std::string&)> notice,
                                         std::chrono::milliseconds startLead)
    : inner_(std::move(inner)),
      clock_(clock),
      list_(list),
      streamId_(std::move(streamId)),
      zones_(std::move(zones)),
      notice_(std::move(notice)),
      startLead_(startLead) {}

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
    watched_.reset();
    const bool reconnected = snapshot.streamConnected && scheduledSecond >= 0 &&
                             snapshot.streamUpMs < startLead_.count();
    if (!snapshot.streamConnected) {
        texts.push_back(UndeliveredText(
            snapshot.problem.empty() ? "网络广播服务器没有连接" : snapshot.problem, time, title));
    } else if (reconnected) {
        // Its first sound was handed to the connection before this one, which took it along.
        texts.push_back(InterruptedText("网络广播服务器在铃声送出时重新连接过", time, title));
    } else if (!snapshot.controlConnected) {
        // The zones are those of the last connection: a client may have left or come since.
        texts.push_back(ZonesUnknownText(
            snapshot.problem.empty() ? "控制端口没有连接" : snapshot.problem, time, title));
    } else {
        for (const ZoneShortfall& shortfall : ShortfallsOf(snapshot.zones, streamId_)) {
            texts.push_back(ShortfallText(shortfall, time, title));
        }
    }
    if (snapshot.streamConnected && !reconnected) {
        watched_ = Watched{row, std::string(file), time, title, snapshot.streamSession};
    }
    std::string notice;
    for (const std::string& text : texts) {
        Fail(row, file, text);
        notice += (notice.empty() ? "" : "；") + text;
    }
    if (notice_) {
        notice_(notice);
    }
}

void NetworkBellObserver::OnRowEnded(int row, EndCause cause) {
    if (watched_ && watched_->row == row) {
        const ZoneSnapshot snapshot = zones_ ? zones_() : ZoneSnapshot{};
        if (!snapshot.streamConnected || snapshot.streamSession != watched_->session) {
            const std::string text = InterruptedText(
                snapshot.problem.empty() ? "网络广播服务器断开过" : snapshot.problem,
                watched_->time, watched_->title);
            Fail(row, watched_->file, text);
            if (notice_) {
                notice_(text);
            }
        }
        watched_.reset();
    }
    if (inner_) {
        inner_->OnRowEnded(row, cause);
    }
}

void NetworkBellObserver::Fail(int row, std::string_view file, const std::string& text) {
    if (inner_) {
        inner_->OnPlayFailed(row, file, FailureCause::kNetwork, text);
    }
}

void NetworkBellObserver::OnPlayFailed(int row, std::string_view path, FailureCause cause,
                                       std::string_view reason) {
    if (inner_) {
        inner_->OnPlayFailed(row, path, cause, reason);
    }
}

}  // namespace chimeon
