// The status page under load: 50 clients polling /api/status every second (each on a connection
// it keeps, as a browser does) while 30 clicks are due, against the same run without clients; the
// clicks' onset in a null sink and the page's response times, and why a request failed.
//
//   build/bench/status_page_bench [CLICKS] [CLIENTS]
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/status/status_server.h"
#include "support/clicked_broadcaster.h"
#include "support/null_sink_onsets.h"

namespace {

namespace fs = std::filesystem;
using namespace chimeon::bench;

constexpr int kPort = 18631;  // not the page's own, so that a running broadcaster is left alone

struct Run {
    Figures onset;
    int heard = 0;
    std::vector<double> responseMs;
    int failures = 0;
    std::map<std::string, int> failedBy;  // "503", "Read", "Connection", ...
    double listenedAfterMs = -1;          // from the launch until the page first answered
};

// Waits (10 s at most) until the page answers: what fails before the broadcaster listens is its
// start-up, not the page under load.
double WaitForPage(std::int64_t launchedNs) {
    httplib::Client client("127.0.0.1", kPort);
    client.set_connection_timeout(std::chrono::milliseconds(200));
    while (MonotonicNs() - launchedNs < 10 * kSecond) {
        if (auto answer = client.Get("/api/status"); answer && answer->status == 200) {
            return static_cast<double>(MonotonicNs() - launchedNs) / kMillisecond;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

Run Measure(const fs::path& folder, const fs::path& click, int clicks, int clients) {
    const std::int64_t launchedNs = MonotonicNs();
    ClickedBroadcaster broadcaster(folder, click, {CHIMEOND_PROGRAM, "--data-dir", folder.string()},
                                   clicks, 10, clicks);
    Run run;
    run.listenedAfterMs = WaitForPage(launchedNs);
    std::mutex mutex;
    std::atomic<bool> stop{false};
    std::vector<std::thread> pollers;
    for (int c = 0; c < clients; ++c) {
        pollers.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", kPort);
            client.set_keep_alive(true);  // as a browser asks
            client.set_read_timeout(std::chrono::seconds(5));
            std::this_thread::sleep_for(std::chrono::milliseconds(20 * c));  // spread over a second
            while (!stop) {
                const std::int64_t start = MonotonicNs();
                auto answer = client.Get("/api/status");
                const double ms = static_cast<double>(MonotonicNs() - start) / kMillisecond;
                {
                    const std::lock_guard lock(mutex);
                    if (answer && answer->status == 200) {
                        run.responseMs.push_back(ms);
                    } else {
                        ++run.failures;
                        ++run.failedBy[answer ? std::to_string(answer->status)
                                              : httplib::to_string(answer.error())];
                    }
                }
                std::this_thread::sleep_for(std::chrono::seconds(1));
            }
        });
    }
    const std::vector<double> late = broadcaster.HearClicks();
    stop = true;
    for (std::thread& poller : pollers) {
        poller.join();
    }
    run.heard = static_cast<int>(late.size());
    run.onset = Summarise(late, clicks);
    return run;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char* argv[]) {
    const int clicks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int clients = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    std::string error;
    const fs::path scratch = PrepareFolder(&error);
    if (scratch.empty()) {
        std::cerr << error << '\n';
        return 2;
    }
    SoundServer server;
    const fs::path click = ClickFile(scratch);
    Run runs[2];
    for (int which = 0; which < 2; ++which) {
        const fs::path folder = scratch / (which == 0 ? "quiet" : "polled");
        WriteDataFolder(folder, "[Settings]\r\n[Status]\r\nPort=" + std::to_string(kPort) + "\r\n");
        runs[which] = Measure(folder, click, clicks, which == 0 ? 0 : clients);
        std::printf(
            "%s: page answering %.0f ms after the launch, %d of %d clicks heard, onset "
            "median %.2f ms\n",
            which == 0 ? "without clients" : "with clients", runs[which].listenedAfterMs,
            runs[which].heard, clicks, runs[which].onset.median);
    }
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    const double worse = runs[1].onset.median - runs[0].onset.median;
    std::printf(
        "%d clients polling: onset median %.2f ms against %.2f ms (%+.2f ms, %s 1 ms); page "
        "response median %.2f ms, p99 %.2f ms over %zu requests, %d failed\n",
        clients, runs[1].onset.median, runs[0].onset.median, worse,
        worse <= 1.0 ? "within" : "over", Percentile(runs[1].responseMs, 0.5),
        Percentile(runs[1].responseMs, 0.99), runs[1].responseMs.size(), runs[1].failures);
    for (const auto& [why, count] : runs[1].failedBy) {
        std::printf("  failed: %d x %s\n", count, why.c_str());
    }
    return 0;
}
