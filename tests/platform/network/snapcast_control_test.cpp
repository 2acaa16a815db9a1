// The control client and the feed against a real snapserver with clients of its own, on
// private loopback ports.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/network/snapcast_control.h"
#include "platform/network/snapcast_feed.h"
#include "support/snapcast_local.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using std::chrono::milliseconds;
using test::WaitFor;

constexpr int kPort = 24810;

int Connected(const ZoneSnapshot& snapshot) {
    int count = 0;
    for (const Zone& zone : snapshot.zones) {
        for (const ZoneClient& client : zone.clients) {
            count += client.connected ? 1 : 0;
        }
    }
    return count;
}

// The status at connection, a client that comes and goes heard through the notifications, the
// stream reconnected after the server was away, and a port nobody answers on.
TEST(SnapcastControl, FollowsTheServersClientsAndOutlivesTheServer) {
    if (!test::SnapcastLocal::Available()) {
        GTEST_SKIP() << "snapserver and snapclient are not installed";
    }
    test::TempDir dir;
    test::SnapcastLocal server(dir / "snap", kPort, 1);
    SnapcastControl control("127.0.0.1", server.controlPort());
    SnapcastFeed feed("127.0.0.1", server.streamPort(), milliseconds(600));
    ASSERT_TRUE(WaitFor([&] { return Connected(control.Snapshot()) == 1; }, milliseconds(5000)));
    ZoneSnapshot snapshot = control.Snapshot();
    EXPECT_TRUE(snapshot.controlConnected);
    EXPECT_EQ(snapshot.problem, "");
    ASSERT_EQ(snapshot.zones.size(), 1u);
    EXPECT_EQ(snapshot.zones[0].streamId, "Chimeon");
    EXPECT_EQ(snapshot.zones[0].clients[0].id, "client1");
    EXPECT_EQ(snapshot.zones[0].clients[0].volume, 100);
    EXPECT_GT(snapshot.zones[0].clients[0].lastSeenSec, 0);

    // A client that connects later, and leaves.
    ASSERT_TRUE(server.Run("client", std::to_string(kPort) + " late"));
    ASSERT_TRUE(WaitFor([&] { return Connected(control.Snapshot()) == 2; }, milliseconds(5000)));
    std::ifstream pids(dir / "snap" / "pids");
    std::string pid, last;
    while (pids >> pid) {
        last = pid;
    }
    ASSERT_EQ(std::system(("kill " + last).c_str()), 0);
    ASSERT_TRUE(WaitFor([&] { return Connected(control.Snapshot()) == 1; }, milliseconds(5000)));
    snapshot = control.Snapshot();
    EXPECT_EQ(snapshot.zones.size() + snapshot.zones[0].clients.size(), 3u)
        << "the client that left is still listed, offline";

    std::string error;
    auto fetched =
        SnapcastControl::FetchOnce("127.0.0.1", server.controlPort(), milliseconds(2000), &error);
    ASSERT_TRUE(fetched) << error;
    EXPECT_EQ(*fetched, control.Snapshot().zones);

    // The server away: both say so without waiting, and find it again by themselves.
    ASSERT_TRUE(WaitFor([&] { return feed.Connected(); }, milliseconds(3000)));
    ASSERT_TRUE(server.Run("server-stop"));
    ASSERT_TRUE(WaitFor([&] { return !feed.Connected() && !control.Snapshot().controlConnected; },
                        milliseconds(3000)));
    EXPECT_NE(feed.Problem(), "");
    EXPECT_NE(control.Snapshot().problem, "");
    ASSERT_TRUE(server.Run("server-start"));
    EXPECT_TRUE(WaitFor([&] { return feed.Connected() && control.Snapshot().controlConnected; },
                        milliseconds(8000)));

    EXPECT_FALSE(SnapcastControl::FetchOnce("127.0.0.1", kPort + 9, milliseconds(500), &error));
    EXPECT_NE(error, "");
}

}  // namespace
}  // namespace chimeon
