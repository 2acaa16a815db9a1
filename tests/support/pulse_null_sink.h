#pragma once

#include <optional>
#include <string>

namespace chimeon::test {

// A PulseAudio server of the test's own with one null sink as the default output, so that
// ALSA's "default" device and mixer reach something without a sound card. The server, its
// cookie and socket live in a temporary folder (the real home folder is never touched); the
// test process's environment is pointed there so every client finds it. Stopped at exit.
class PulseNullSink {
public:
    // Starts the server once per process; false (with the reason) where it cannot run.
    static bool Start(std::string* why);
    static const std::string& SinkName();
    // Runs a pactl command line ("set-sink-volume NAME 50%"); its output, or nothing on failure.
    static std::optional<std::string> Pactl(const std::string& arguments);
    // The sink's volume of the first channel on PulseAudio's scale (65536 = 100 %).
    static std::optional<long> SinkVolume();
};

}  // namespace chimeon::test
