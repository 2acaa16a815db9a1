#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/null_sink_onsets.h"

// What the benches that launch a whole broadcaster share: a data directory whose every weekday
// table starts with clicks two seconds apart, the launch, and how late each click was heard.
namespace chimeon::bench {

// setup.ini with `sections` (CR LF lines, "[Settings]" first) and a calendar without rest days.
void WriteDataFolder(const std::filesystem::path& folder, const std::string& sections);

// Every weekday table of `folder`: `clicks` rows two seconds apart from `firstSecond` (of the day),
// then rows hours away up to `rows`. Ends the bench when they cannot be written.
void WriteClickTables(const std::filesystem::path& folder, const std::filesystem::path& click,
                      int firstSecond, int clicks, int rows);

// A program launched on a data directory whose first click is `leadSeconds` from now, with the
// null sink's monitor recorded from before the launch; ended (SIGTERM, waited for) when destroyed.
class ClickedBroadcaster {
public:
    ClickedBroadcaster(const std::filesystem::path& folder, const std::filesystem::path& click,
                       const std::vector<std::string>& arguments, int clicks, int leadSeconds,
                       int rows);
    ~ClickedBroadcaster();
    ClickedBroadcaster(const ClickedBroadcaster&) = delete;
    ClickedBroadcaster& operator=(const ClickedBroadcaster&) = delete;

    pid_t pid() const { return pid_; }
    // Waits until 3 s after the last click; how late each heard one was (ms).
    std::vector<double> HearClicks();

private:
    MonitorRecorder recorder_;
    pid_t pid_ = -1;
    std::vector<std::int64_t> dueNs_;  // on the monotonic clock
};

}  // namespace chimeon::bench
