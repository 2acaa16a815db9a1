#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/history/play_history.h"

namespace chimeon::test {

// Starts a program; its standard output goes to `outputFile`. Each `environment` entry
// "NAME=value" is set ("WATCHDOG_PID=self": the program's own number), "NAME" alone is unset.
pid_t Spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            const std::filesystem::path& outputFile);
// Ends a process with SIGTERM (SIGKILL if it does not end in time); its exit status.
int Stop(pid_t pid);
// A 440 Hz tone, 8000 Hz 16-bit mono.
void WriteTone(const std::filesystem::path& path, int seconds);
// Moves the test build's clock ("2026-12-07 08:00:00").
void SetClock(const std::filesystem::path& dataDirectory, const char* moment);
std::vector<HistoryEvent> History(const std::filesystem::path& dataDirectory);
// Polls every 100 ms, at most `seconds`.
bool WaitFor(const std::function<bool()>& done, int seconds);
// How many 16-bit samples of a raw recording are loud.
int LoudSamples(const std::string& bytes);

}  // namespace chimeon::test
