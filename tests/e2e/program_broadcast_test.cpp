// The whole program on a clock the test sets: a row starts at its second, its sound reaches the
// sound server, and it returns to waiting when the file has played through; on a running clock
// the next row is scheduled ahead on the player and sounds on its second.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/schedule/schedule_file.h"
#include "platform/history/play_history_reader.h"
#include "support/pulse_null_sink.h"
#include "support/temp_dir.h"
#include "support/wave_bytes.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Starts a program with `extraEnvironment` added; its output goes to `outputFile`.
pid_t Spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            const fs::path& outputFile) {
    pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    for (const std::string& entry : environment) {
        putenv(const_cast<char*>(entry.c_str()));
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

// Ends a process with SIGTERM (SIGKILL if it does not end in time); its exit status.
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

// A 440 Hz tone, 8000 Hz 16-bit mono.
void WriteTone(const fs::path& path, int seconds) {
    std::string samples;
    for (int i = 0; i < seconds * 8000; ++i) {
        const double value = 12000 * std::sin(2 * M_PI * 440 * i / 8000);
        samples += test::Le16(static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
    }
    std::ofstream(path, std::ios::binary)
        << test::WaveHeader(1, 8000, 16, static_cast<std::uint32_t>(samples.size())) << samples;
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

// The program in a portable copy (its folder holds setup.ini, the skins and the tables) with a
// bell at 8:0:0 on Monday 2026-12-07, its clock at 7:59:58.
class ProgramBroadcast : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!test::PulseNullSink::Start(&why)) {
            GTEST_SKIP() << "no PulseAudio server for the program's sound: " << why;
        }
        fs::copy_file(CHIMEON_E2E_EXECUTABLE, data / "chimeon_e2e");
        fs::copy(CHIMEON_SKIN_DIR, data / "skin", fs::copy_options::recursive);
        std::ofstream(data / "setup.ini", std::ios::binary) << "[Settings]\r\nShowMedia=1\r\n";
        WriteTone(data / "bell.wav", 2);
        ASSERT_TRUE(SaveScheduleFile(
            data / "Day1.dat",
            {ProgramItem{"上课铃", "8:0:0", "播完终止", "100", "", (data / "bell.wav").string()},
             ProgramItem{"下课铃", "8:1:0", "播完终止", "100", "", (data / "bell.wav").string()}}));
        SetClock(data, "2026-12-07 07:59:58");
        program = Spawn(
            {(data / "chimeon_e2e").string()},
            {"QT_QPA_PLATFORM=offscreen", std::string("GST_REGISTRY=") + CHIMEON_TEST_GST_REGISTRY},
            data / "program.out");
        ASSERT_GT(program, 0);
    }
    // Polls every 100 ms, at most `seconds`.
    static bool WaitFor(const std::function<bool()>& done, int seconds) {
        for (auto until = Clock::now() + std::chrono::seconds(seconds); Clock::now() < until;) {
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return done();
    }
    bool Recorded(HistoryEvent::Kind kind, int times = 1) const {
        const std::vector<HistoryEvent> events = History(data);
        return std::count_if(events.begin(), events.end(), [kind](const HistoryEvent& event) {
                   return event.kind == kind;
               }) >= times;
    }

    test::TempDir dir;
    const fs::path data = dir.path();
    pid_t program = -1;
};

// The test build holds its window's thread for 4 s on request: the bell does not wait for it.
TEST_F(ProgramBroadcast, RowStartsAtItsSecondWhileTheWindowIsHeldSoundsAndReturnsToWaiting) {
    std::ofstream(data / "block-window.txt") << "4000\n";
    const fs::path held = data / "window-blocked.txt";
    ASSERT_TRUE(WaitFor([&] { return fs::exists(held); }, 30)) << "the window never got held";
    // What reaches the null sink, recorded from its monitor.
    pid_t recorder = Spawn({"parec", "--device=" + test::PulseNullSink::SinkName() + ".monitor",
                            "--format=s16le", "--rate=8000", "--channels=1", "--raw"},
                           {}, data / "monitor.raw");
    SetClock(data, "2026-12-07 08:00:00");
    const bool startedWhileHeld =
        WaitFor([&] { return Recorded(HistoryEvent::Kind::kStart) || !fs::exists(held); }, 10) &&
        Recorded(HistoryEvent::Kind::kStart) && fs::exists(held);
    const bool ended = WaitFor([&] { return Recorded(HistoryEvent::Kind::kEnd); }, 40);
    // A running clock three seconds before the next row: a step finds it ahead of its second.
    SetClock(data, "2026-12-07 08:00:57 running");
    const bool nextEnded = WaitFor([&] { return Recorded(HistoryEvent::Kind::kEnd, 2); }, 40);
    Stop(recorder);
    const int status = Stop(program);

    EXPECT_TRUE(startedWhileHeld) << "the bell waited for the window";
    EXPECT_TRUE(ended) << "the row never returned to 待播";
    EXPECT_TRUE(nextEnded) << "the row scheduled ahead never played through";
    std::vector<std::string> started;
    for (const HistoryEvent& event : History(data)) {
        EXPECT_NE(event.kind, HistoryEvent::Kind::kFailure) << event.reason;
        if (event.kind == HistoryEvent::Kind::kStart) {
            started.push_back(event.title + " " + event.scheduledSecond);
            ASSERT_TRUE(event.latenessMs);
            // The first on a clock standing at its second; the next as the player measured it.
            EXPECT_LE(std::abs(*event.latenessMs), event.title == "上课铃" ? 0 : 5);
            EXPECT_EQ(HistoryCauseName(event.cause), "time");
        }
        if (event.kind == HistoryEvent::Kind::kEnd) {
            EXPECT_EQ(HistoryCauseName(event.cause), "played");
        }
    }

    const std::string bytes = dir.Read("monitor.raw");
    int loud = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto sample = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[i]) |
                                                (static_cast<unsigned char>(bytes[i + 1]) << 8));
        loud += std::abs(sample) > 2000 ? 1 : 0;
    }
    EXPECT_EQ(started, (std::vector<std::string>{"上课铃 8:0:0", "下课铃 8:1:0"}));
    EXPECT_GT(loud, 2 * 10000) << "the null sink did not receive both bells (" << bytes.size()
                               << " bytes)";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
}  // namespace chimeon
