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
    std::string why;
    std::string folder;
    ~Server() {
        if (started) {
            std::system("pulseaudio --kill >/dev/null 2>&1");
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

}  // namespace

const std::string& PulseNullSink::SinkName() {
    static const std::string name = "chimeon_test_sink";
    return name;
}

bool PulseNullSink::Start(std::string* why) {
    Server& server = TheServer();
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (!Run("command -v pulseaudio") || !Run("command -v pactl")) {
            server.why = "pulseaudio or pactl is not installed";
        } else {
            std::string pattern =
                (std::filesystem::temp_directory_path() / "chimeon-pulse-XXXXXX").string();
            if (mkdtemp(pattern.data()) == nullptr) {
                server.why = "no temporary folder";
            } else {
                server.folder = pattern;
                std::filesystem::create_directories(server.folder + "/run");
                std::filesystem::permissions(server.folder + "/run",
                                             std::filesystem::perms::owner_all);
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
                    Run("pactl load-module module-null-sink sink_name=" + SinkName());
                    server.started = Run("pactl set-default-sink " + SinkName()).has_value();
                }
                if (!server.started) {
                    server.why = "the PulseAudio server did not start";
                }
            }
        }
    }
    if (!server.started && why != nullptr) {
        *why = server.why;
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
