#pragma once

#include <nlohmann/json.hpp>

#include <signal.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace chimeon::test {

// A system bus of the tests' own, whose timedated (python3-dbusmock's) says the clock is
// synchronised: `check` asks it. Made once per test process, ended with it.
inline const std::string& SynchronisedSystemBus() {
    static const TempDir dir;
    static const std::string address = [] {
        dir.Write("dbus-1/services/org.freedesktop.timedate1.service",
                  "[D-BUS Service]\nName=org.freedesktop.timedate1\nExec=/usr/bin/python3 -m "
                  "dbusmock --session --template timedated\n");
        std::istringstream bus(
            RunProgram("/usr/bin/dbus-daemon",
                       {"--session", "--fork", "--nopidfile", "--print-address=1", "--print-pid=1",
                        "--address=unix:tmpdir=" + dir.path().string()},
                       "", {"XDG_DATA_HOME=" + dir.path().string()})
                .out);
        std::string line;
        std::getline(bus, line);
        static pid_t pid = 0;
        bus >> pid;
        std::atexit([] { kill(pid, SIGTERM); });
        return line;
    }();
    return address;
}

// Runs chimeonctl on a data directory (GStreamer's plugin cache in the build folder).
inline ProgramResult Ctl(const TempDir& data, std::vector<std::string> arguments,
                         const std::string& input = "",
                         const std::string& systemBus = SynchronisedSystemBus()) {
    arguments.insert(arguments.begin(), {"--data-dir", data.path().string()});
    return RunProgram(CHIMEON_CTL_PATH, arguments, input,
                      {std::string("GST_REGISTRY=") + CHIMEON_TEST_GST_REGISTRY,
                       "DBUS_SYSTEM_BUS_ADDRESS=" + systemBus});
}

// Each line of the output parsed as one JSON object.
inline std::vector<nlohmann::ordered_json> JsonLines(const std::string& out) {
    std::vector<nlohmann::ordered_json> lines;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        lines.push_back(nlohmann::ordered_json::parse(out.substr(start, end - start)));
        start = end == std::string::npos ? out.size() : end + 1;
    }
    return lines;
}

}  // namespace chimeon::test
