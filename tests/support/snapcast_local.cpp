#include "support/snapcast_local.h"

#include <cstdlib>
#include <thread>

namespace chimeon::test {

bool SnapcastLocal::Available() {
    return std::system("command -v snapserver >/dev/null && command -v snapclient >/dev/null") == 0;
}

SnapcastLocal::SnapcastLocal(std::filesystem::path dir, int basePort, int clients)
    : dir_(std::move(dir)), port_(basePort) {
    Run("start", std::to_string(basePort) + " " + std::to_string(clients));
}

SnapcastLocal::~SnapcastLocal() {
    Run("stop");
}

bool SnapcastLocal::Run(const std::string& command, const std::string& more) const {
    const std::string line = std::string("bash '") + CHIMEON_SNAPCAST_SCRIPT + "' " + command +
                             " '" + dir_.string() + "' " + more;
    return std::system(line.c_str()) == 0;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace chimeon::test
