#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <limits>
#include <string>
#include <utility>

#include "core/engine/sound_level.h"
#include "core/status/alert_event.h"
#include "core/status/status_settings.h"
#include "core/status/status_snapshot.h"
#include "support/fake_mixer.h"
#include "support/memory_settings.h"

namespace chimeon {
namespace {

using Json = nlohmann::json;
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(SoundLevelMeter, PeakPowerAndSilenceOverTheFirstSecondsOnly) {
    struct Case {
        const char* what;
        std::vector<std::pair<double, double>> reports;  // peak, rms; 100 ms each
        double gain;
        bool muted;
        double peak, rms;
        bool silent;
    } cases[] = {
        {"tone", {{-6, -9}, {-3, -9}}, 1, false, -3, -9, false},
        {"digital silence", {{-kInf, -kInf}}, 1, false, -120, -120, true},
        {"quiet hiss", {{-65, -70}}, 1, false, -65, -70, true},
        {"tone through a stream at a tenth", {{-6, -9}}, 0.1, false, -26, -29, false},
        {"tone through a stream at -80 dB", {{-6, -9}}, 0.0001, false, -86, -89, true},
        {"tone on a muted stream", {{-6, -9}}, 1, true, -120, -120, true},
        {"tone at volume 0", {{-6, -9}}, 0, false, -120, -120, true},
    };
    for (const Case& c : cases) {
        SoundLevelMeter meter;
        for (std::size_t i = 0; i < c.reports.size(); ++i) {
            meter.Add(c.reports[i].first, c.reports[i].second, 100 * (i + 1));
        }
        auto level = meter.Result(c.gain, c.muted);
        ASSERT_TRUE(level) << c.what;
        EXPECT_NEAR(level->peakDb, c.peak, 0.01) << c.what;
        EXPECT_NEAR(level->rmsDb, c.rms, 0.01) << c.what;
        EXPECT_EQ(level->silent, c.silent) << c.what;
    }
    SoundLevelMeter meter;
    EXPECT_FALSE(meter.Result()) << "nothing measured, nothing said";
    meter.Add(0, 0, 100);  // may hold samples from before a flush: left out
    meter.Add(-50, -60, kLevelWindowMs);
    EXPECT_TRUE(meter.Complete());
    meter.Add(0, 0, kLevelWindowMs + 100);  // after the first seconds: not counted
    EXPECT_EQ(meter.Result()->peakDb, -50);
}

// The level only sees the stream's own volume: a master at zero or muted silences any start.
TEST(SoundLevelMeter, AMasterVolumeAtZeroOrMutedSilencesTheStart) {
    struct Case {
        std::vector<std::uint32_t> values;
        std::optional<bool> muted;
        bool readable;
        OutputSilence output;
        const char* detail;
    } cases[] = {
        {{40, 40}, false, true, OutputSilence::kNone, "8:0:0 铃（文件无声、音量为0或输出静音）"},
        {{0, 0}, std::nullopt, true, OutputSilence::kMasterAtZero, "8:0:0 铃（系统主音量为0）"},
        {{0, 3}, false, true, OutputSilence::kNone, ""},
        {{40, 40}, true, true, OutputSilence::kMasterMuted, "8:0:0 铃（系统主音量已静音）"},
        {{0, 0}, true, true, OutputSilence::kMasterMuted, ""},
        {{0, 0}, std::nullopt, false, OutputSilence::kNone, ""},  // unreadable: cannot tell
    };
    const SoundLevel tone{-3, -9, false};
    for (const Case& c : cases) {
        test::FakeMixer master;
        master.values = c.values;
        master.muted = c.muted;
        master.readable = c.readable;
        const OutputSilence output = MasterSilence(master);
        EXPECT_EQ(output, c.output) << c.values[1];
        const SoundLevel heard = Silenced(tone, output);
        const SoundLevel silenced{kLevelFloorDb, kLevelFloorDb, true, output};
        EXPECT_EQ(heard, output == OutputSilence::kNone ? tone : silenced);
        if (*c.detail != 0) {
            EXPECT_EQ(SilentStartDetail("8:0:0", "铃", output), c.detail);
        }
    }
}

HistoryEvent Event(HistoryEvent::Kind kind, int row, std::string title, HistoryCause cause) {
    HistoryEvent event;
    event.kind = kind;
    event.date = "2026-12-07";
    event.atMs = 1000 + row;
    event.row = row;
    event.title = std::move(title);
    event.path = "/bells/" + event.title + ".wav";
    event.cause = cause;
    return event;
}

TEST(StatusAlerts, FailedAndSilentStartsAndTheClockGoingBadAlertOnce) {
    const HistoryEvent start = Event(HistoryEvent::Kind::kStart, 0, "上课铃", StartCause::kTime);
    HistoryEvent failure =
        Event(HistoryEvent::Kind::kFailure, 1, "下课铃", FailureCause::kFileMissing);
    failure.reason = "no such file";
    const HistoryEvent powerOff =
        Event(HistoryEvent::Kind::kFailure, -1, "每日定时关机", FailureCause::kPowerOff);
    EXPECT_EQ(AlertFor(start), std::nullopt);
    EXPECT_EQ(AlertFor(start, SoundLevel{-3, -9, false}), std::nullopt);
    EXPECT_EQ(AlertFor(powerOff), std::nullopt) << "not a start";
    EXPECT_EQ(AlertFor(failure)->kind, AlertKind::kStartFailed);
    EXPECT_EQ(AlertFor(failure)->detail, "missing: no such file");
    // A zone that missed a bell: that alert only, never a failed start as well.
    HistoryEvent missed = Event(HistoryEvent::Kind::kFailure, 0, "上课铃", FailureCause::kNetwork);
    missed.reason = "教学楼B：扬声器1离线，08:00:00 的上课铃没有送达";
    EXPECT_EQ(AlertFor(missed), (AlertEvent{AlertKind::kZoneMissedBell, missed.atMs, "上课铃",
                                            missed.reason, missed.table, 0}));
    const Json silent = Json::parse(AlertJson(*AlertFor(start, SoundLevel{-120, -120, true})));
    EXPECT_EQ(silent["kind"], "silent_start");
    EXPECT_EQ(silent["title"], "上课铃");
    EXPECT_EQ(silent["row"], 1);

    const ClockHealth unchecked, good{ClockSync::kSynchronized, ""},
        bad{ClockSync::kNotSynchronized, ""}, silentBus{ClockSync::kNoAnswer, "no bus"};
    EXPECT_TRUE(ClockAlert(unchecked, bad, 5));
    EXPECT_TRUE(ClockAlert(good, silentBus, 5));
    EXPECT_FALSE(ClockAlert(bad, silentBus, 5)) << "still bad: alerted already";
    EXPECT_FALSE(ClockAlert(bad, good, 5));
    EXPECT_EQ(ClockHealthProblem(good), "");
    EXPECT_NE(ClockHealthProblem(silentBus).find("no bus"), std::string::npos);
    EXPECT_EQ(AlertRetryDelay(1, std::chrono::milliseconds(100)).count(), 100);
    EXPECT_EQ(AlertRetryDelay(3, std::chrono::milliseconds(100)).count(), 400);
}

TEST(StatusSnapshot, RowsNextStartNewestEventsAndTheirMarks) {
    StatusSnapshot snapshot;
    snapshot.statusText = "今天播放星期一的节目表！";
    for (const char* title : {"上课铃", "下课铃", "眼保健操"}) {
        TodayRow row;
        row.item = {title, "8:0:0", "播完终止", "100", "", std::string("/b/") + title};
        snapshot.rows.push_back(row);
    }
    snapshot.rows[0].state = RowState::kPlaying;
    snapshot.nextRow = 1;
    HistoryEvent start = Event(HistoryEvent::Kind::kStart, 0, "上课铃", StartCause::kTime);
    AddStatusEvent(snapshot, start);
    AddStatusEvent(snapshot,
                   Event(HistoryEvent::Kind::kFailure, 2, "眼保健操", FailureCause::kUnplayable));
    SetStatusLevel(snapshot, start, {-120, -120, true});

    Json json = Json::parse(StatusJson(snapshot));
    EXPECT_EQ(json["next"]["title"], "下课铃");
    EXPECT_EQ(json["rows"][0]["state"], "正播");
    EXPECT_EQ(json["rows"][0]["outcome"], "silent");
    EXPECT_EQ(json["rows"][1]["outcome"], "");
    EXPECT_EQ(json["rows"][2]["outcome"], "failed");
    EXPECT_EQ(json["events"][0]["failed"], true) << "newest first";
    EXPECT_EQ(json["events"][1]["silent"], true);
    EXPECT_EQ(json["zones"], Json::array()) << "no network output: the page says so";
    EXPECT_TRUE(json["network"].is_null());
    // The network output's zones, each client as the server last told, ours marked.
    snapshot.network = ZoneSnapshot{true, false, "网络广播服务器断开了", {}};
    snapshot.network->zones = {{"g1", "教学楼B", "Chimeon", false, {{"c1", "扬声器1", false, 99}}},
                               {"g2", "", "Radio", true, {{"c2", "厨房", true, 5, 20, 0, true}}}};
    snapshot.networkStream = "Chimeon";
    json = Json::parse(StatusJson(snapshot));
    EXPECT_EQ(json["network"], Json::parse(R"({"stream_connected":false,"control_connected":true,
        "problem":"网络广播服务器断开了"})"));
    EXPECT_EQ(json["zones"][0]["ours"], true);
    EXPECT_EQ(json["zones"][0]["clients"][0]["last_seen"], 99);
    EXPECT_EQ(json["zones"][1]["zone"], "厨房") << "a zone without a name: its clients'";
    EXPECT_EQ(json["zones"][1]["ours"], false);
    EXPECT_EQ(json["zones"][1]["clients"][0]["latency_ms"], 20);
    EXPECT_EQ(json["zones"][1]["clients"][0]["muted"], true);
    EXPECT_EQ(json["clock"]["sync"], "unchecked");

    for (int i = 0; i < 60; ++i) {
        AddStatusEvent(snapshot, Event(HistoryEvent::Kind::kEnd, i, "x", EndCause::kPlayedThrough));
    }
    ASSERT_EQ(snapshot.events.size(), kStatusEventCount);
    EXPECT_EQ(snapshot.events.front().row, 10);
    snapshot.rows[0].item.title = "\xff\xfe";  // bytes no table should hold: still JSON
    EXPECT_NO_THROW(Json::parse(StatusJson(snapshot)));
}

TEST(StatusSettings, DefaultsAndWhatIsLeftOut) {
    test::MemorySettings section;
    StatusSettings settings = ReadStatusSettings(section);
    EXPECT_EQ(std::tie(settings.address, settings.port), std::tuple("127.0.0.1", 8631));
    section.values = {{"Port", "70000"},
                      {"AlertProgram", "notify-send"},
                      {"AlertArguments", " --to  ops "},
                      {"AlertWebhook", "http://h/x"}};
    settings = ReadStatusSettings(section);
    EXPECT_EQ(settings.port, 0) << "no page rather than another port";
    EXPECT_EQ(settings.program, "") << "never looked up on PATH";
    EXPECT_EQ(settings.arguments, (std::vector<std::string>{"--to", "ops"}));
    EXPECT_EQ(settings.problems.size(), 2u);
}

}  // namespace
}  // namespace chimeon
