#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/network/zone_state.h"

namespace chimeon {

// The zones of a Snapcast server, followed over its JSON-RPC control port (TCP, one JSON
// message a line): the whole status at every connection and every 10 s, the notifications of
// clients and groups in between. A thread of its own does all of it and connects again by itself
// (waiting longer after each failure, up to 5 s); Snapshot() only copies what it found, so a
// slow or stuck server never holds whoever asks.
class SnapcastControl {
public:
    // `changed` is called on the control's thread whenever the zones or the connection change.
    SnapcastControl(std::string host, int port, std::function<void()> changed = {});
    ~SnapcastControl();
    SnapcastControl(const SnapcastControl&) = delete;
    SnapcastControl& operator=(const SnapcastControl&) = delete;

    // The zones as last known, whether the control port answers and, if not, why.
    ZoneSnapshot Snapshot() const;

    // One status from the control port, within `timeout` (for the command line); nothing, with
    // the reason in `error`, when the server does not give one.
    static std::optional<std::vector<Zone>> FetchOnce(const std::string& host, int port,
                                                      std::chrono::milliseconds timeout,
                                                      std::string* error);

private:
    void Run();
    // Follows one connection until it fails or the control is stopped; why it ended.
    std::string Follow(int fd);
    void Publish(bool connected, std::string problem, const std::vector<Zone>* zones);

    const std::string host_;
    const int port_;
    std::function<void()> changed_;
    mutable std::mutex mutex_;
    ZoneSnapshot snapshot_;
    int wakeFd_ = -1;
    std::thread thread_;
};

}  // namespace chimeon
