#include "broadcaster/network_output.h"

#include "broadcaster/broadcast_engine.h"
#include "core/app/ini_settings_store.h"
#include "core/network/network_bell_observer.h"
#include "core/system/log.h"
#include "platform/engine/gst_media_player.h"
#include "platform/network/snapcast_control.h"
#include "platform/network/snapcast_feed.h"

namespace chimeon {

std::unique_ptr<NetworkOutput> NetworkOutput::FromSetup(
    const std::filesystem::path& dataDirectory) {
    const IniSettingsStore section(dataDirectory / "setup.ini", std::string(kNetworkOutputSection));
    NetworkOutputSettings settings = ReadNetworkOutputSettings(section);
    if (!settings.enabled) {
        return nullptr;
    }
    return std::make_unique<NetworkOutput>(std::move(settings));
}

NetworkOutput::NetworkOutput(NetworkOutputSettings settings)
    : settings_(std::move(settings)),
      feed_(std::make_shared<SnapcastFeed>(settings_.host, settings_.streamPort,
                                           std::chrono::milliseconds(settings_.bufferMs))),
      control_(std::make_unique<SnapcastControl>(settings_.host, settings_.controlPort)) {}

NetworkOutput::~NetworkOutput() = default;

void NetworkOutput::Configure(GstMediaPlayerOptions& options) const {
    options.network = feed_;
    options.localToo = settings_.localToo;
}

void NetworkOutput::Configure(EngineParts& parts) {
    parts.startLead = NetworkStartLead(settings_.bufferMs);
    auto inner = std::move(parts.makeObserver);
    parts.makeObserver = [this, inner](const LocalClock& clock, const TodayList& list) {
        return std::make_unique<NetworkBellObserver>(
            inner ? inner(clock, list) : nullptr, clock, list, settings_.stream,
            [this] { return Zones(); }, [this](const std::string& text) { Notice(text); },
            NetworkStartLead(settings_.bufferMs));
    };
}

ZoneSnapshot NetworkOutput::Zones() const {
    ZoneSnapshot snapshot = control_->Snapshot();
    snapshot.streamSession = feed_->Session();
    snapshot.streamConnected = feed_->Connected();
    snapshot.streamUpMs = feed_->ConnectedFor().count();
    if (!snapshot.streamConnected) {
        snapshot.problem = feed_->Problem();
    }
    return snapshot;
}

void NetworkOutput::SetNoticeReporter(std::function<void(const std::string&)> report) {
    const std::lock_guard<std::mutex> lock(mutex_);
    report_ = std::move(report);
    if (report_ && !lastNotice_.empty()) {
        report_(lastNotice_);
    }
}

void NetworkOutput::Notice(const std::string& text) {
    if (!text.empty()) {
        Log(LogLevel::kWarning, "network", text);
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    lastNotice_ = text;
    if (report_) {
        report_(text);
    }
}

}  // namespace chimeon
