#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace chimeon::test {

// A Snapcast server and clients on 127.0.0.1 (scripts/snapcast-local.sh), stopped at the end.
class SnapcastLocal {
public:
    static bool Available();  // snapserver and snapclient are installed
    SnapcastLocal(std::filesystem::path dir, int basePort, int clients);
    ~SnapcastLocal();

    int streamPort() const { return port_; }
    int controlPort() const { return port_ + 2; }
    const std::filesystem::path& dir() const { return dir_; }
    // Runs one of the script's commands with this server's folder (and more arguments).
    bool Run(const std::string& command, const std::string& more = "") const;

private:
    std::filesystem::path dir_;
    int port_;
};

// Asks `done` again and again, for at most `limit`: true once it says so.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit);

}  // namespace chimeon::test
