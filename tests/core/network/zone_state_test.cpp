#include "core/network/zone_state.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/engine/today_list.h"
#include "core/network/network_bell_observer.h"
#include "core/network/network_output_settings.h"
#include "support/fake_local_clock.h"
#include "support/memory_settings.h"

namespace chimeon {
namespace {

// Two zones as the server's status gives them: "教学楼A" with one client, an unnamed one on
// another stream with a client known only by its host.
constexpr const char* kStatus =
    R"({"id":1,"jsonrpc":"2.0","result":{"server":{"groups":[)"
    R"({"id":"g1","name":"教学楼A","stream_id":"Chimeon","muted":false,"clients":[)"
    R"({"id":"a1","connected":true,"lastSeen":{"sec":1796710694,"usec":5},)"
    R"("host":{"name":"pi-a"},"config":{"name":"扬声器1","latency":20,)"
    R"("volume":{"muted":false,"percent":80}}}]},)"
    R"({"id":"g2","name":"","stream_id":"Radio","clients":[{"id":"b1","connected":false,)"
    R"("host":{"name":"pi-b"},"config":{"name":"","volume":{"muted":true,"percent":100}}}]}]}}})";

// Every line applied to the zones of kStatus: what it did, and the first client afterwards.
TEST(RpcLines, ChangeTheZonesAsTheServerSays) {
    struct Row {
        const char* what;
        std::string line;
        bool understood, changed, refresh;
        ZoneClient first;  // afterwards
        bool zoneMuted = false;
    };
    const ZoneClient a1{"a1", "扬声器1", true, 1796710694, 20, 80, false};
    auto with = [&](auto change) {
        ZoneClient client = a1;
        change(client);
        return client;
    };
    auto note = [](const std::string& method, const std::string& params) {
        return R"({"jsonrpc":"2.0","method":")" + method + R"(","params":)" + params + "}";
    };
    const Row rows[] = {
        {"the status again", kStatus, true, false, false, a1},
        {"not JSON", "{\"id\":1,", false, false, false, a1},
        {"an array", "[1,2]", false, false, false, a1},
        {"an error answer", R"({"id":2,"error":{"code":-32601,"message":"x"}})", false, false,
         false, a1},
        {"another answer", R"({"id":3,"jsonrpc":"2.0","result":{"volume":{}}})", true, false, false,
         a1},
        {"a status without groups", R"({"id":1,"result":{"server":{"groups":7}}})", false, false,
         false, a1},
        {"a notification without params", note("Client.OnConnect", "3"), false, false, false, a1},
        {"disconnect", note("Client.OnDisconnect", R"({"id":"a1"})"), true, true, false,
         with([](ZoneClient& c) { c.connected = false; })},
        {"volume and mute",
         note("Client.OnVolumeChanged", R"({"id":"a1","volume":{"muted":true,"percent":250}})"),
         true, true, false, with([](ZoneClient& c) { c.muted = true, c.volume = 100; })},
        {"volume of the wrong type",
         note("Client.OnVolumeChanged", R"({"id":"a1","volume":{"muted":1,"percent":"5"}})"), true,
         false, false, a1},
        {"latency", note("Client.OnLatencyChanged", R"({"id":"a1","latency":-35})"), true, true,
         false, with([](ZoneClient& c) { c.latencyMs = -35; })},
        {"name", note("Client.OnNameChanged", R"({"id":"a1","name":"门厅"})"), true, true, false,
         with([](ZoneClient& c) { c.name = "门厅"; })},
        {"a new client", note("Client.OnConnect", R"({"id":"new","client":{"id":"new"}})"), true,
         false, true, a1},
        {"group mute", note("Group.OnMute", R"({"id":"g1","mute":true})"), true, true, false, a1,
         true},
        {"an unknown group", note("Group.OnMute", R"({"id":"g9","mute":true})"), true, false, true,
         a1},
        {"a stream's news", note("Stream.OnProperties", R"({"id":"Chimeon"})"), true, false, false,
         a1},
        {"the server's update", note("Server.OnUpdate", R"({"server":{"groups":[]}})"), true, true,
         false, ZoneClient{}},
    };
    for (const Row& row : rows) {
        std::vector<Zone> zones;
        ASSERT_TRUE(ApplyRpcLine(kStatus, zones).status);
        const RpcLineEffect effect = ApplyRpcLine(row.line, zones);
        EXPECT_EQ(effect.understood, row.understood) << row.what << ": " << effect.error;
        EXPECT_EQ(effect.changed, row.changed) << row.what;
        EXPECT_EQ(effect.refresh, row.refresh) << row.what;
        if (zones.empty()) {
            EXPECT_EQ(row.first, ZoneClient{}) << row.what;
            continue;
        }
        EXPECT_EQ(zones[0].clients[0], row.first) << row.what;
        EXPECT_EQ(zones[0].muted, row.zoneMuted) << row.what;
        EXPECT_EQ(zones[1].clients[0].name, "pi-b") << row.what << ": the host's name";
    }
}

// Only the clients of our stream count; offline and muted (the client, its zone, volume 0)
// are said in the operator's words, as is a bell that never reached the server.
TEST(ZoneShortfalls, NameTheClientsThatDidNotSoundOurStream) {
    std::vector<Zone> zones;
    ASSERT_TRUE(ApplyRpcLine(kStatus, zones).understood);
    EXPECT_TRUE(ShortfallsOf(zones, "Chimeon").empty());
    EXPECT_EQ(ShortfallsOf(zones, "Radio"),
              (std::vector<ZoneShortfall>{{"pi-b", "pi-b", ZoneShortfall::Why::kOffline}}));
    zones[1].clients[0].connected = true;
    EXPECT_EQ(ShortfallsOf(zones, "Radio")[0].why, ZoneShortfall::Why::kMuted);
    zones[0].clients[0].volume = 0;
    const auto silent = ShortfallsOf(zones, "Chimeon");
    ASSERT_EQ(silent.size(), 1u);
    EXPECT_EQ(ShortfallText(silent[0], "08:00:00", "上课铃"),
              "教学楼A：扬声器1静音，08:00:00 的上课铃听不到");
    EXPECT_EQ(
        ShortfallText({"教学楼B", "扬声器", ZoneShortfall::Why::kOffline}, "08:00:00", "上课铃"),
        "教学楼B：扬声器离线，08:00:00 的上课铃没有送达");
    EXPECT_EQ(ZonesText({true, true, "", zones}, [](std::int64_t) { return "昨天"; }),
              "教学楼A：扬声器1 在线，音量 0%，延迟 20 毫秒\npi-b：pi-b 在线，音量 "
              "100%（静音），延迟 0 毫秒");
    zones[1].clients[0].connected = false;
    EXPECT_EQ(ZonesText({true, true, "", {zones[1]}}, [](std::int64_t) { return "昨天"; }),
              "pi-b：pi-b 离线，最后一次联系 昨天");
    EXPECT_EQ(UndeliveredText("连不上", "08:00:00", "上课铃"),
              "网络广播没有送达：08:00:00 的上课铃（连不上）");
}

// What the broadcaster sends the window comes back as it was; anything else is no snapshot.
TEST(ZoneSnapshotJson, ReadsBackWhatItWrote) {
    ZoneSnapshot sent{
        true, false, "网络广播服务器断开了", {{"g1", "教学楼B", "Chimeon", true, {}}}};
    sent.zones[0].clients = {{"c1", "扬声器1", true, 1796710694, -20, 0, true},
                             {"c2", "扬声器2", false, 0, 0, 100, false}};
    EXPECT_EQ(ZoneSnapshotFromJson(nlohmann::ordered_json(ZoneSnapshotJson(sent, "x")).dump()),
              sent);
    for (const char* bad : {"", "[]", "{\"zones\":5}", "not json"}) {
        EXPECT_EQ(ZoneSnapshotFromJson(bad), std::nullopt) << bad;
    }
}

TEST(NetworkOutputSettings, ReadWithDefaultsForWhatIsOutOfRange) {
    test::MemorySettings section;
    EXPECT_EQ(ReadNetworkOutputSettings(section), NetworkOutputSettings{});
    section.values = {{"Enabled", "1"},     {"Host", "10.0.0.5"}, {"StreamPort", "70000"},
                      {"ControlPort", "0"}, {"Buffer", "-5"},     {"LocalToo", "0"}};
    NetworkOutputSettings expected;
    expected.enabled = true;
    expected.host = "10.0.0.5";
    expected.localToo = false;
    EXPECT_EQ(ReadNetworkOutputSettings(section), expected);
    expected.bufferMs = 400;
    ASSERT_TRUE(WriteNetworkOutputSettings(section, expected));
    EXPECT_EQ(ReadNetworkOutputSettings(section), expected);
    // A start goes to the player the buffer and a margin ahead, a long buffer too.
    EXPECT_EQ(NetworkStartLead(400), std::chrono::milliseconds(550));
    EXPECT_EQ(NetworkStartLead(2000), std::chrono::milliseconds(2150));
}

struct Inner : BroadcastClockObserver {
    void OnRowStarted(int, std::string_view, StartCause, int,
                      std::optional<std::int64_t>) override {
        ++starts;
    }
    void OnPlayFailed(int row, std::string_view, FailureCause cause,
                      std::string_view reason) override {
        EXPECT_EQ(cause, FailureCause::kNetwork);
        failures += std::to_string(row) + " " + std::string(reason) + "\n";
    }
    int starts = 0;
    std::string failures;
};

// Every start is checked: the history gets one failure per client that did not sound it, the
// notice all of them, and a start that reached everyone clears the notice.
TEST(NetworkBellObserver, RecordsAStartThatMissedTheNetwork) {
    auto inner = std::make_unique<Inner>();
    Inner& seen = *inner;
    test::FakeLocalClock clock;
    TodayList list;
    list.Load({ProgramItem{"上课铃", "8:0:0", "播完终止", "100", "", "/bell.wav"}});
    ZoneSnapshot snapshot;
    snapshot.problem = "网络广播服务器连不上（refused）";
    std::string notice = "?";
    NetworkBellObserver observer(
        std::move(inner), clock, list, "Chimeon", [&] { return snapshot; },
        [&](const std::string& text) { notice = text; });

    observer.OnRowStarted(0, "/bell.wav", StartCause::kTime, 8 * 3600, 0);
    EXPECT_EQ(seen.failures,
              "0 网络广播没有送达：08:00:00 的上课铃（网络广播服务器连不上（refused））\n");
    EXPECT_EQ(notice, "网络广播没有送达：08:00:00 的上课铃（网络广播服务器连不上（refused））");
    seen.failures.clear();
    snapshot.streamConnected = true;
    snapshot.controlConnected = true;
    ASSERT_TRUE(ApplyRpcLine(kStatus, snapshot.zones).understood);
    observer.OnRowStarted(0, "/bell.wav", StartCause::kTime, 8 * 3600, 0);
    EXPECT_EQ(seen.failures, "");
    EXPECT_EQ(notice, "");
    snapshot.zones[0].clients.push_back({"a2", "扬声器2", false});
    snapshot.zones[0].muted = true;
    observer.OnRowStarted(0, "/bell.wav", StartCause::kTime, 8 * 3600 + 45 * 60, 0);
    EXPECT_EQ(seen.failures,
              "0 教学楼A：扬声器1静音，08:45:00 的上课铃听不到\n"
              "0 教学楼A：扬声器2离线，08:45:00 的上课铃没有送达\n");
    EXPECT_EQ(seen.starts, 3);
}

// Zones are trusted only with the control port connected, and a stream that broke off before
// the bell's end is recorded at the end; the notice says the last of it.
TEST(NetworkBellObserver, KnowsZonesOnlyWithTheControlPortAndWatchesTheStreamToTheEnd) {
    struct Row {
        const char* what;
        bool control;
        bool offline;  // the zones (stale without the control port) hold an offline client
        std::uint64_t endSession;
        bool endConnected;
        const char* failures;
        std::int64_t upMs = 60000;  // the stream's connection at the start, against a 750 ms lead
    };
    const std::string unknown =
        "0 网络输出：分区状态未知（网络广播服务器的控制端口连不上（refused）"
        "），08:00:00 的上课铃是否送达无法确认\n";
    const Row rows[] = {
        {"all known and kept", true, false, 1, true, ""},
        {"control away, stale zones all online", false, false, 1, true, unknown.c_str()},
        {"control away, a stale offline client", false, true, 1, true, unknown.c_str()},
        {"the stream reconnected meanwhile", true, false, 2, true,
         "0 网络广播中断：08:00:00 的上课铃没有完整送达（网络广播服务器断开过）\n"},
        {"the stream away at the end", true, false, 1, false,
         "0 网络广播中断：08:00:00 的上课铃没有完整送达（网络广播服务器断开了（reset））\n"},
        {"the stream reconnected while the bell was handed over", true, false, 1, true,
         "0 网络广播中断：08:00:00 的上课铃没有完整送达（网络广播服务器在铃声送出时重新连接过）\n",
         300},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto inner = std::make_unique<Inner>();
        Inner& seen = *inner;
        test::FakeLocalClock clock;
        TodayList list;
        list.Load({ProgramItem{"上课铃", "8:0:0", "播完终止", "100", "", "/bell.wav"}});
        ZoneSnapshot snapshot{row.control, true, "", {}, 1, row.upMs};
        ASSERT_TRUE(ApplyRpcLine(kStatus, snapshot.zones).understood);
        if (row.offline) {
            snapshot.zones[0].clients[0].connected = false;
        }
        if (!row.control) {
            snapshot.problem = "网络广播服务器的控制端口连不上（refused）";
        }
        std::string notice = "?";
        NetworkBellObserver observer(
            std::move(inner), clock, list, "Chimeon", [&] { return snapshot; },
            [&](const std::string& text) { notice = text; }, std::chrono::milliseconds(750));
        observer.OnRowStarted(0, "/bell.wav", StartCause::kTime, 8 * 3600, 0);
        snapshot.streamSession = row.endSession;
        snapshot.streamConnected = row.endConnected;
        snapshot.problem = row.endConnected ? "" : "网络广播服务器断开了（reset）";
        observer.OnRowEnded(1, EndCause::kPlayedThrough);  // another row's end: nothing to check
        observer.OnRowEnded(0, EndCause::kPlayedThrough);
        EXPECT_EQ(seen.failures, row.failures);
        const std::string last = seen.failures.empty() ? "" : seen.failures.substr(2);
        EXPECT_EQ(notice, last.empty() ? "" : last.substr(0, last.size() - 1));
    }
}

}  // namespace
}  // namespace chimeon
