#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/status/alert_event.h"

namespace chimeon {

// Where alerts go: an HTTP(S) URL the event is POSTed to as JSON, and/or a program started with
// these arguments (never through a shell) that reads the event as JSON on its standard input.
struct AlertTargets {
    std::string webhookUrl;
    std::string program;
    std::vector<std::string> arguments;
    bool Empty() const { return webhookUrl.empty() && program.empty(); }
};

struct AlertSenderOptions {
    int attempts = kAlertAttempts;
    std::chrono::milliseconds firstRetry{2000};
    std::chrono::milliseconds timeout{5000};  // of one webhook call, or one run of the program
    std::size_t maxQueued = 64;
};

// Sends each alert once to every target on a thread of its own, retrying a failed target a few
// times with a growing wait; a target that still fails is given up for that alert and said once
// through `gaveUp` (on the sender's thread), which is told "" once every target given up has
// delivered a later alert. Send never waits: a full queue drops the alert (and says so), so a
// bell is never delayed by an alert. The program counts as reached only when it took the whole
// event and exited 0 within the timeout.
class AlertSender {
public:
    AlertSender(AlertTargets targets, AlertSenderOptions options,
                std::function<void(const std::string& problem)> gaveUp);
    ~AlertSender();  // what is still queued is not sent
    AlertSender(const AlertSender&) = delete;
    AlertSender& operator=(const AlertSender&) = delete;

    void Send(AlertEvent event);

private:
    void Loop();
    // One attempt; false with the reason in `why`.
    bool Post(const std::string& body, std::string* why) const;
    bool RunProgram(const std::string& body, std::string* why) const;
    // Waits before a retry; false when the sender is stopping.
    bool Wait(std::chrono::milliseconds delay);

    AlertTargets targets_;
    AlertSenderOptions options_;
    std::function<void(const std::string&)> gaveUp_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<AlertEvent> queue_;
    bool stopping_ = false;
    std::thread worker_;
};

// The problem with a configured webhook URL ("" when it is one the sender can post to).
std::string WebhookUrlProblem(const std::string& url);

}  // namespace chimeon
