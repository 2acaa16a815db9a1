#include "support/pulse_null_sink.h"

#include <stdlib.h>

#include <filesystem>
#include <regex>
#include <thread>

#include "support/run_program.h"

namespace chimeon::test {
namespace {

struct Server {
    bool started = false;
    std::string folder;
    ~Server() {
        if (started) {
            // The daemon removes its runtime files as it ends: wait for that, or the folder
            // removed below comes back and stays in the temporary folder.
            std::system("pulseaudio --kill >/dev/null 2>&1");
            for (int attempt = 0;
                 attempt < 30 && std::system("pulseaudio --check >/dev/null 2>&1") == 0;
                 ++attempt) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        if (!folder.empty()) {
            std::error_code error;
            std::filesystem::remove_all(folder, error);
        }
    }
};

// A shell command line; its output, or nothing when it fails.
std::optional<std::string> Run(const std::string& command) {
    ProgramResult result = RunProgram("/bin/sh", {"-c", command + " 2>/dev/null"});
    return result.exitCode == 0 ? std::optional(result.out) : std::nullopt;
}

Server& TheServer() {
    static Server server;
    return server;
}

// Starts the server with its null sink in a temporary folder of its own; what went wrong, or "".
std::string StartServer(Server& server) {
    if (!Run("command -v pulseaudio") || !Run("command -v pactl")) {
        return "pulseaudio or pactl is not installed";
    }
    std::string pattern =
        (std::filesystem::temp_directory_path() / "chimeon-pulse-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return "no temporary folder";
    }
    server.folder = pattern;
    std::filesystem::create_directories(server.folder + "/run");
    std::filesystem::permissions(server.folder + "/run", std::filesystem::perms::owner_all);
    setenv("HOME", server.folder.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (server.folder + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (server.folder + "/run").c_str(), 1);
    unsetenv("PULSE_SERVER");
    Run("pulseaudio -D --exit-idle-time=-1 --disallow-exit --log-target=stderr");
    for (int attempt = 0; attempt < 50 && !Run("pactl info"); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    server.started = Run("pactl info").has_value();
    if (server.started) {
        Run("pactl load-module module-null-sink sink_name=" + PulseNullSink::SinkName());
        server.started = Run("pactl set-default-sink " + PulseNullSink::SinkName()).has_value();
    }
    return server.started ? "" : "the PulseAudio server did not start";
}

}  // namespace

const std::string& PulseNullSink::SinkName() {
    static const std::string name = "chimeon_test_sink";
    return name;
}

bool PulseNullSink::Start(std::string* why) {
    Server& server = TheServer();
    static const std::string failure = StartServer(server);
    if (!server.started && why != nullptr) {
        *why = failure;
    }
    return server.started;
}

std::optional<std::string> PulseNullSink::Pactl(const std::string& arguments) {
    return Run("pactl " + arguments);
}

std::optional<long> PulseNullSink::SinkVolume() {
    auto output = Pactl("get-sink-volume " + SinkName());
    std::smatch match;
    if (!output || !std::regex_search(*output, match, std::regex(R"(:\s*(\d+)\s*/)"))) {
        return std::nullopt;
    }
    return std::stol(match[1]);
}

}  // namespace chimeon::test
