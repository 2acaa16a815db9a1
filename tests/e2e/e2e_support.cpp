#include "e2e/e2e_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/history/history_database.h"
#include "platform/history/play_history_reader.h"
#include "support/wave_bytes.h"

namespace chimeon::test {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

pid_t Spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            const fs::path& outputFile) {
    pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    for (const std::string& entry : environment) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos) {
            unsetenv(entry.c_str());
        } else if (entry.substr(equals + 1) == "self") {
            setenv(entry.substr(0, equals).c_str(), std::to_string(getpid()).c_str(), 1);
        } else {
            setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
        }
    }
    int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out >= 0) {
        dup2(out, STDOUT_FILENO);
        close(out);
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

int Stop(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    for (auto until = Clock::now() + std::chrono::seconds(15); Clock::now() < until;) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return status;
}

void WriteTone(const fs::path& path, int seconds) {
    std::string samples;
    for (int i = 0; i < seconds * 8000; ++i) {
        const double value = 12000 * std::sin(2 * M_PI * 440 * i / 8000);
        samples += Le16(static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
    }
    std::ofstream(path, std::ios::binary)
        << WaveHeader(1, 8000, 16, static_cast<std::uint32_t>(samples.size())) << samples;
}

void SetClock(const fs::path& dataDirectory, const char* moment) {
    std::ofstream(dataDirectory / "test-clock.txt.new") << moment << '\n';
    fs::rename(dataDirectory / "test-clock.txt.new", dataDirectory / "test-clock.txt");
}

std::vector<HistoryEvent> History(const fs::path& dataDirectory) {
    std::string error;
    auto events = ReadPlayHistory(dataDirectory / kHistoryFileName, "", "", &error);
    return events ? *events : std::vector<HistoryEvent>{};
}

bool WaitFor(const std::function<bool()>& done, int seconds) {
    for (auto until = Clock::now() + std::chrono::seconds(seconds); Clock::now() < until;) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

int LoudSamples(const std::string& bytes) {
    int loud = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto sample = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[i]) |
                                                (static_cast<unsigned char>(bytes[i + 1]) << 8));
        loud += std::abs(sample) > 2000 ? 1 : 0;
    }
    return loud;
}

}  // namespace chimeon::test
