#include "platform/status/status_server.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/status/alert_sender.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using namespace std::chrono_literals;

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) {
            ++count;
        }
        closedir(dir);
    }
    return count;
}

int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    fcntl(fd, F_SETFL, O_NONBLOCK);  // a full backlog must not hold the test up
    connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return fd;
}

TEST(StatusServer, ServesThePageAndJsonReadOnlyAndRefusesBadRequests) {
    StatusBoard board;
    board.Publish(R"({"status":"今天播放星期一的节目表！"})");
    std::string error;
    StatusServerOptions options;
    options.port = 0;
    options.workers = 2;
    options.waiting = 4;
    options.readTimeout = 100ms;
    auto server = StatusServer::Start(options, board, &error);
    ASSERT_NE(server, nullptr) << error;
    EXPECT_EQ(server->Url(), "http://127.0.0.1:" + std::to_string(server->port()) + "/");
    httplib::Client client("127.0.0.1", server->port());
    client.set_read_timeout(5s);

    auto page = client.Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("未配置网络输出"), std::string::npos);
    EXPECT_EQ(client.Get("/api/status")->body, *board.Json());
    EXPECT_EQ(client.Head("/api/status")->status, 200);
    struct {
        const char* what;
        httplib::Result result;
        int status;
    } refused[] = {
        {"POST", client.Post("/api/status", "{}", "application/json"), 405},
        {"PUT", client.Put("/", "x", "text/plain"), 405},
        {"DELETE", client.Delete("/api/status"), 405},
        {"odd path", client.Get("/../../etc/passwd"), 404},
        {"another path", client.Get("/api/stop"), 404},
        {"huge header", client.Get("/", {{"X-Big", std::string(64 * 1024, 'a')}}), 400},
    };
    for (const auto& r : refused) {
        // A huge header may also be cut off before an answer: never a 200.
        EXPECT_TRUE(r.result ? r.result->status == r.status : r.status == 400) << r.what;
    }

    // Browsers keep their connection open between polls: more of them than workers are all
    // answered, at once.
    std::vector<std::unique_ptr<httplib::Client>> browsers;
    for (int i = 0; i < 4; ++i) {
        browsers.push_back(std::make_unique<httplib::Client>("127.0.0.1", server->port()));
        browsers.back()->set_keep_alive(true);
        browsers.back()->set_read_timeout(1s);
    }
    for (int round = 0; round < 2; ++round) {
        for (auto& browser : browsers) {
            const auto polled = browser->Get("/api/status");
            EXPECT_TRUE(polled && polled->status == 200) << round;
        }
    }

    // A flood of idle connections: descriptors stay bounded, and once it is gone the page
    // answers again.
    const int before = OpenDescriptors();
    std::vector<int> flood;
    for (int i = 0; i < 40; ++i) {
        flood.push_back(Connect(server->port()));
    }
    std::this_thread::sleep_for(200ms);
    EXPECT_LT(OpenDescriptors() - before, 40 + 2 + 4 + 2) << "the server holds only a few";
    int connected = 0;
    for (int fd : flood) {
        pollfd writable{fd, POLLOUT, 0};
        connected += poll(&writable, 1, 0) == 1 && writable.revents == POLLOUT ? 1 : 0;
    }
    EXPECT_EQ(connected, 40) << "the kernel holds the rest for the server, none wait to retry";
    // A request among them is answered (perhaps "busy") within the read timeout.
    httplib::Client busy("127.0.0.1", server->port());
    busy.set_read_timeout(10s);
    auto answer = busy.Get("/api/status");
    for (int fd : flood) {
        close(fd);
    }
    if (answer) {
        EXPECT_TRUE(answer->status == 200 || answer->status == 503) << answer->status;
    }
    // Once the flood is gone the page answers again (its places free as the workers get to them).
    auto after = client.Get("/api/status");
    for (int tries = 0; tries < 50 && after && after->status == 503; ++tries) {
        std::this_thread::sleep_for(100ms);
        after = client.Get("/api/status");
    }
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);

    struct {
        const char* address;
        const char* url;
    } urls[] = {
        {"127.0.0.1", "http://127.0.0.1:8788/"},
        {"::1", "http://[::1]:8788/"},
        {"fe80::1%eth0", "http://[fe80::1%25eth0]:8788/"},
        {"pa-pc.local", "http://pa-pc.local:8788/"},
    };
    for (const auto& u : urls) {
        EXPECT_EQ(StatusPageUrl(u.address, 8788), u.url);
    }

    StatusServerOptions taken = options;
    taken.port = server->port();
    EXPECT_EQ(StatusServer::Start(taken, board, &error), nullptr);
    EXPECT_NE(error.find("cannot listen"), std::string::npos);
}

// The test's own listener: answers with `status`, counts the posts.
struct Listener {
    explicit Listener(int status) {
        server.Post("/hook",
                    [this, status](const httplib::Request& request, httplib::Response& response) {
                        const std::lock_guard lock(mutex);
                        bodies.push_back(request.body);
                        response.status = status;
                    });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
    }
    ~Listener() {
        server.stop();
        thread.join();
    }
    httplib::Server server;
    std::mutex mutex;
    int port = 0;
    std::vector<std::string> bodies;  // read once the sender is done
    std::thread thread;
};

TEST(AlertSender, PostsAndRunsOnceRetriesAFailingTargetAndGivesUpSayingItOnce) {
    test::TempDir dir;
    dir.Write("alert.sh", "#!/bin/sh\ncat >> \"$1\"\necho >> \"$1\"\n");
    std::filesystem::permissions(dir / "alert.sh", std::filesystem::perms::owner_all);
    Listener good(200);
    Listener failing(500);
    std::mutex mutex;
    std::vector<std::string> problems;
    const auto said = [&](const std::string& problem) {
        const std::lock_guard lock(mutex);
        problems.push_back(problem);
    };
    AlertSenderOptions options;
    options.firstRetry = 10ms;
    const AlertEvent event{AlertKind::kStartFailed, 5, "上课铃", "missing", "星期一", 0};
    {
        AlertSender sender({"http://127.0.0.1:" + std::to_string(good.port) + "/hook",
                            (dir / "alert.sh").string(),
                            {(dir / "alerts.log").string()}},
                           options, said);
        sender.Send(event);
        AlertSender failing_sender(
            {"http://127.0.0.1:" + std::to_string(failing.port) + "/hook", "/no/such/program", {}},
            options, said);
        failing_sender.Send(event);
        std::this_thread::sleep_for(1s);
    }
    EXPECT_EQ(good.bodies, std::vector<std::string>{AlertJson(event)});
    EXPECT_EQ(dir.Read("alerts.log"), AlertJson(event) + "\n") << "on its standard input";
    EXPECT_EQ(failing.bodies.size(), static_cast<std::size_t>(kAlertAttempts));
    ASSERT_EQ(problems.size(), 2u) << "the webhook and the program, each said once";
    EXPECT_NE(problems[0].find("HTTP 500"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("cannot be started"), std::string::npos) << problems[1];
    EXPECT_EQ(WebhookUrlProblem("ftp://x/"),
              "the alert webhook \"ftp://x/\" is no http:// or "
              "https:// URL");
}

bool Eventually(const std::function<bool()>& done) {
    for (int tries = 0; tries < 500 && !done(); ++tries) {
        std::this_thread::sleep_for(10ms);
    }
    return done();
}

TEST(AlertSender, TheProgramGetsTheWholeEventWithDefaultSignalsAndALaterSuccessClearsTheNotice) {
    test::TempDir dir;
    // Perl, for it keeps the signal mask it was started with (a shell clears it).
    dir.Write("alert.pl",
              "#!/usr/bin/perl\n"
              "my ($copy, $fail, $wait) = @ARGV;\n"
              "select(undef, undef, undef, $wait);\n"
              "my $event = do { local $/; <STDIN> };\n"
              "open(my $out, '>', $copy) or die; print $out $event; close $out;\n"
              "open(my $status, '<', '/proc/self/status'); open(my $sig, '>', \"$copy.signals\");\n"
              "print $sig grep { /^Sig(Blk|Ign)/ } <$status>;\n"
              "exit(-e $fail ? 1 : 0);\n");
    std::filesystem::permissions(dir / "alert.pl", std::filesystem::perms::owner_all);
    dir.Write("fail", "");
    const auto previous = std::signal(SIGPIPE, SIG_IGN);  // as a program that ignores it
    AlertEvent big{AlertKind::kSilentStart,      7,        "眼保健操",
                   std::string(300 * 1024, 'x'), "星期二", 1};
    struct Case {
        const char* what;
        std::vector<std::string> command;
        AlertEvent event;
        bool delivered;
        const char* problem;
        std::mutex mutex;
        std::vector<std::string> said;
    } cases[] = {
        {"a slow reader of a large event",
         {(dir / "alert.pl").string(), (dir / "slow").string(), (dir / "never").string(), "0.3"},
         big,
         true,
         "",
         {},
         {}},
        {"a program that ends without reading",
         {"/bin/true"},
         big,
         false,
         "did not take the event",
         {},
         {}},
        {"a program that fails, then delivers",
         {(dir / "alert.pl").string(), (dir / "flaky").string(), (dir / "fail").string(), "0"},
         AlertEvent{AlertKind::kStartFailed, 8, "放学铃", "missing", "星期二", 2},
         false,
         "exit status 1",
         {},
         {}},
    };
    std::vector<std::unique_ptr<AlertSender>> senders;
    AlertSenderOptions options;
    options.firstRetry = 10ms;
    for (Case& c : cases) {
        senders.push_back(std::make_unique<AlertSender>(
            AlertTargets{"", c.command[0], {c.command.begin() + 1, c.command.end()}}, options,
            [&c](const std::string& problem) {
                const std::lock_guard lock(c.mutex);
                c.said.push_back(problem);
            }));
        senders.back()->Send(c.event);
    }
    const auto said = [](Case& c) {
        const std::lock_guard lock(c.mutex);
        return c.said;
    };
    ASSERT_TRUE(Eventually([&] { return !said(cases[2]).empty(); }));
    std::filesystem::remove(dir / "fail");
    senders[2]->Send(cases[2].event);
    EXPECT_TRUE(Eventually([&] { return said(cases[2]).size() == 2; }));
    EXPECT_EQ(said(cases[2]).back(), "") << "a later delivery clears what was said";
    EXPECT_EQ(dir.Read("flaky"), AlertJson(cases[2].event));
    Eventually([&] { return !said(cases[1]).empty(); });
    senders.clear();
    std::signal(SIGPIPE, previous);
    for (Case& c : cases) {
        const std::vector<std::string> problems = said(c);
        EXPECT_EQ(problems.empty(), c.delivered) << c.what;
        if (!problems.empty()) {
            EXPECT_NE(problems[0].find(c.problem), std::string::npos) << c.what << problems[0];
        }
    }
    EXPECT_EQ(dir.Read("slow"), AlertJson(big)) << "whole, not cut at the pipe's size";
    std::istringstream signals(dir.Read("slow.signals"));
    int lines = 0;
    for (std::string name, mask; signals >> name >> mask; ++lines) {
        EXPECT_EQ(std::stoull(mask, nullptr, 16) & (1ull << (SIGPIPE - 1)), 0u) << name;
    }
    EXPECT_EQ(lines, 2) << dir.Read("slow.signals");
}

}  // namespace
}  // namespace chimeon
