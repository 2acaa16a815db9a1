#pragma once

#include <QThread>
#include <filesystem>

#include "broadcaster/thread_timer.h"

namespace chimeon {

// Test build only: holds the engine's thread on request, so that a whole-program test can show
// that a held engine stops the watchdog's pings. A file "block-engine.txt" in the data directory
// with a number of milliseconds asks for it; "engine-blocked.txt" exists while it is held.
class EngineBlocker {
public:
    EngineBlocker(QThread* engineThread, const std::filesystem::path& dataDirectory);

private:
    ThreadTimer poll_;
};

}  // namespace chimeon
