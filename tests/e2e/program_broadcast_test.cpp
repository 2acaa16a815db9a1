// The whole program on a clock the test sets: a row starts at its second, its sound reaches the
// sound server, and it returns to waiting when the file has played through; on a running clock
// the next row is scheduled ahead on the player and sounds on its second.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/schedule/schedule_file.h"
#include "e2e/e2e_support.h"
#include "platform/history/play_history_reader.h"
#include "support/pulse_null_sink.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;

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
        test::WriteTone(data / "bell.wav", 2);
        ASSERT_TRUE(SaveScheduleFile(
            data / "Day1.dat",
            {ProgramItem{"上课铃", "8:0:0", "播完终止", "100", "", (data / "bell.wav").string()},
             ProgramItem{"下课铃", "8:1:0", "播完终止", "100", "", (data / "bell.wav").string()}}));
        test::SetClock(data, "2026-12-07 07:59:58");
        program = test::Spawn(
            {(data / "chimeon_e2e").string()},
            {"QT_QPA_PLATFORM=offscreen", std::string("GST_REGISTRY=") + CHIMEON_TEST_GST_REGISTRY},
            data / "program.out");
        ASSERT_GT(program, 0);
    }
    bool Recorded(HistoryEvent::Kind kind, int times = 1) const {
        const std::vector<HistoryEvent> events = test::History(data);
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
    ASSERT_TRUE(test::WaitFor([&] { return fs::exists(held); }, 30)) << "the window never got held";
    // What reaches the null sink, recorded from its monitor.
    pid_t recorder =
        test::Spawn({"parec", "--device=" + test::PulseNullSink::SinkName() + ".monitor",
                     "--format=s16le", "--rate=8000", "--channels=1", "--raw"},
                    {}, data / "monitor.raw");
    test::SetClock(data, "2026-12-07 08:00:00");
    const bool startedWhileHeld =
        test::WaitFor([&] { return Recorded(HistoryEvent::Kind::kStart) || !fs::exists(held); },
                      10) &&
        Recorded(HistoryEvent::Kind::kStart) && fs::exists(held);
    const bool ended = test::WaitFor([&] { return Recorded(HistoryEvent::Kind::kEnd); }, 40);
    // A running clock three seconds before the next row: a step finds it ahead of its second.
    test::SetClock(data, "2026-12-07 08:00:57 running");
    const bool nextEnded = test::WaitFor([&] { return Recorded(HistoryEvent::Kind::kEnd, 2); }, 40);
    test::Stop(recorder);
    const int status = test::Stop(program);

    EXPECT_TRUE(startedWhileHeld) << "the bell waited for the window";
    EXPECT_TRUE(ended) << "the row never returned to 待播";
    EXPECT_TRUE(nextEnded) << "the row scheduled ahead never played through";
    std::vector<std::string> started;
    for (const HistoryEvent& event : test::History(data)) {
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
    EXPECT_EQ(started, (std::vector<std::string>{"上课铃 8:0:0", "下课铃 8:1:0"}));
    EXPECT_GT(test::LoudSamples(bytes), 2 * 4000)
        << "the null sink did not receive both bells (" << bytes.size() << " bytes)";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
}  // namespace chimeon
