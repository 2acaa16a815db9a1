#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "core/network/network_output_settings.h"
#include "core/network/zone_state.h"

namespace chimeon {

struct EngineParts;
struct GstMediaPlayerOptions;
class SnapcastControl;
class SnapcastFeed;

// The network output as the broadcaster runs it: the stream to the Snapcast server, the zones
// from its control port, and what a bell that does not reach them leaves in the play history and
// the notices. Made from setup.ini's [NetworkOutput] section at start.
class NetworkOutput {
public:
    // Null when the section does not turn the network output on.
    static std::unique_ptr<NetworkOutput> FromSetup(const std::filesystem::path& dataDirectory);
    explicit NetworkOutput(NetworkOutputSettings settings);
    ~NetworkOutput();

    const NetworkOutputSettings& settings() const { return settings_; }
    // The player's sound goes to the stream as well (or instead of the sound card).
    void Configure(GstMediaPlayerOptions& options) const;
    // Starts are handed to the player a buffer earlier, and every start is checked against the
    // zones. Call after makeObserver is set.
    void Configure(EngineParts& parts);
    // What is known now; never waits for the server.
    ZoneSnapshot Zones() const;
    // Where the notice of a bell that did not reach every zone goes (any thread; "" clears it).
    void SetNoticeReporter(std::function<void(const std::string&)> report);

private:
    void Notice(const std::string& text);

    NetworkOutputSettings settings_;
    std::shared_ptr<SnapcastFeed> feed_;
    std::unique_ptr<SnapcastControl> control_;
    std::mutex mutex_;
    std::function<void(const std::string&)> report_;
    std::string lastNotice_;
};

}  // namespace chimeon
