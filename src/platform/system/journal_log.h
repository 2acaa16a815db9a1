#pragma once

#include <string>

#include "core/system/log.h"

namespace chimeon {

// True when standard error is the journal's stream (a systemd service): systemd then names that
// stream in JOURNAL_STREAM as "device:inode".
bool StandardErrorIsJournal();

// A sink that sends each line to the systemd journal with its priority, the component
// (CHIMEON_COMPONENT) and its fields (CHIMEON_FILE, CHIMEON_ROW, ...), under `identifier`.
LogSink JournalLogSink(std::string identifier);

// The program's log: the journal when it runs as a systemd service, standard error otherwise.
void UseProgramLog(const std::string& programName);

}  // namespace chimeon
