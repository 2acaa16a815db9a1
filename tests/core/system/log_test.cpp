#include "core/system/log.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace chimeon {
namespace {

TEST(LogTest, EveryThreadsLineReachesTheSinkWholeWithItsFields) {
    std::vector<std::string> seen;
    SetLogSink([&seen](const LogLine& line) {
        std::string text = std::string(line.component) + "|" + std::string(line.message);
        for (const LogField& field : *line.fields) {
            text += "|" + std::string(field.name) + "=" + field.value;
        }
        seen.push_back(text + "|" + std::to_string(static_cast<int>(line.level)));
    });
    std::vector<std::thread> speakers;
    for (int i = 0; i < 4; ++i) {
        speakers.emplace_back([] {
            for (int n = 0; n < 100; ++n) {
                Log(LogLevel::kWarning, "player", "no sound", {{"FILE", "a.wav"}, {"ROW", "3"}});
            }
        });
    }
    for (std::thread& speaker : speakers) {
        speaker.join();
    }
    SetLogSink({});
    ASSERT_EQ(seen.size(), 400u);
    for (const std::string& text : seen) {
        EXPECT_EQ(text, "player|no sound|FILE=a.wav|ROW=3|4");
    }
    const std::vector<LogField> fields{{"FILE", "a.wav"}};
    EXPECT_EQ(StandardErrorText("chimeond", {LogLevel::kError, "player", "x failed", &fields}),
              "chimeond: x failed\n");
}

}  // namespace
}  // namespace chimeon
