#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "core/status/status_settings.h"
#include "core/status/status_snapshot.h"

namespace httplib {
class Server;
}

namespace chimeon {

struct StatusServerOptions {
    std::string address = "127.0.0.1";
    int port = kDefaultStatusPort;  // 0: any free port (tests)
    int workers = 4;
    // Connections accepted beyond the workers wait, up to this many; any more are answered
    // "503" as soon as they send a request, so descriptors and threads stay bounded.
    int waiting = 32;
    // How long a connection may take to send its request (at least a second to begin it): a
    // connection that found no place holds the accepting thread this long at most.
    std::chrono::milliseconds readTimeout{1000};
};

// Serves the status page read-only on threads of its own: "/" (the page, which polls), and
// "/api/status" (the JSON the board holds). Only GET and HEAD; any other method is 405, any other
// path 404, a request line or header over 8 KiB an error. It reads the board's published copy
// and nothing else, so no request ever waits for the broadcaster or holds it up.
class StatusServer {
public:
    // Null with the reason in `error` when the address cannot be listened on.
    static std::unique_ptr<StatusServer> Start(const StatusServerOptions& options,
                                               const StatusBoard& board, std::string* error);
    ~StatusServer();
    StatusServer(const StatusServer&) = delete;
    StatusServer& operator=(const StatusServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:8631/"
    std::string Url() const;

private:
    StatusServer() = default;

    std::unique_ptr<httplib::Server> server_;
    std::string address_;
    int port_ = 0;
    std::thread listener_;
};

// "http://127.0.0.1:8631/", an IPv6 address in brackets ("http://[::1]:8631/").
std::string StatusPageUrl(const std::string& address, int port);

// The page's HTML (Chinese, for a phone as well as a desk): it asks /api/status every two
// seconds and redraws without a reload.
const std::string& StatusPageHtml();

}  // namespace chimeon
