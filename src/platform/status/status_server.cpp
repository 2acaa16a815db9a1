#include "platform/status/status_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace chimeon {
namespace {

constexpr int kListenBacklog = 128;

// Set on the accepting thread while it answers a connection that found every worker busy and
// every waiting place taken.
thread_local bool refusing = false;

// A fixed pool with a bounded wait: what cannot wait is answered at once on the accepting thread
// ("503"), so a flood of connections never grows threads or descriptors without bound.
class BoundedPool : public httplib::TaskQueue {
public:
    BoundedPool(int workers, int waiting) : waiting_(static_cast<std::size_t>(waiting)) {
        for (int i = 0; i < workers; ++i) {
            threads_.emplace_back([this] { Work(); });
        }
    }
    ~BoundedPool() override { shutdown(); }

    void enqueue(std::function<void()> job) override {
        {
            std::unique_lock lock(mutex_);
            if (jobs_.size() < waiting_ && !stopping_) {
                jobs_.push_back(std::move(job));
                wake_.notify_one();
                return;
            }
        }
        refusing = true;
        job();
        refusing = false;
    }

    void shutdown() override {
        {
            const std::lock_guard lock(mutex_);
            if (stopping_) {
                return;
            }
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }

private:
    void Work() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
                if (jobs_.empty()) {
                    return;
                }
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }

    std::size_t waiting_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    bool stopping_ = false;
};

void Plain(httplib::Response& response, int status, const char* text) {
    response.status = status;
    response.set_content(text, "text/plain; charset=utf-8");
}

}  // namespace

std::unique_ptr<StatusServer> StatusServer::Start(const StatusServerOptions& options,
                                                  const StatusBoard& board, std::string* error) {
    std::unique_ptr<StatusServer> made(new StatusServer());
    made->server_ = std::make_unique<httplib::Server>();
    httplib::Server& server = *made->server_;
    const int workers = std::max(options.workers, 1);
    const int waiting = std::max(options.waiting, 0);
    server.new_task_queue = [workers, waiting] { return new BoundedPool(workers, waiting); };
    server.set_read_timeout(options.readTimeout);
    server.set_write_timeout(std::chrono::seconds(3));
    // Never SO_REUSEPORT (httplib's default): a second program on the port must fail, not share.
    const auto listening = std::make_shared<int>(-1);
    server.set_socket_options([listening](int sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        *listening = sock;
    });
    // One request per connection ("Connection: close"): a worker waits on a kept-alive
    // connection for its next request, so a few open pages would hold every worker between
    // their polls and the rest would wait. The same wait bounds a connection's first request.
    server.set_keep_alive_max_count(1);
    server.set_keep_alive_timeout(std::max<std::int64_t>(
        1, std::chrono::ceil<std::chrono::seconds>(options.readTimeout).count()));
    server.set_payload_max_length(0);  // nothing is ever posted to it
    server.set_pre_routing_handler(
        [](const httplib::Request& request, httplib::Response& response) {
            if (refusing) {
                response.set_header("Connection", "close");
                response.set_header("Retry-After", "2");
                Plain(response, 503, "繁忙，请稍后再试\n");
                return httplib::Server::HandlerResponse::Handled;
            }
            if (request.method != "GET" && request.method != "HEAD") {
                response.set_header("Allow", "GET, HEAD");
                Plain(response, 405, "只读页面：只接受 GET 和 HEAD\n");
                return httplib::Server::HandlerResponse::Handled;
            }
            response.set_header("Cache-Control", "no-store");
            response.set_header("X-Content-Type-Options", "nosniff");
            return httplib::Server::HandlerResponse::Unhandled;
        });
    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Content-Security-Policy",
                            "default-src 'none'; script-src 'unsafe-inline'; "
                            "style-src 'unsafe-inline'; connect-src 'self'");
        response.set_content(StatusPageHtml(), "text/html; charset=utf-8");
    });
    server.Get("/api/status", [&board](const httplib::Request&, httplib::Response& response) {
        const std::shared_ptr<const std::string> json = board.Json();
        response.set_content(*json, "application/json; charset=utf-8");
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) {
            const char* text = response.status == 404 ? "没有这个页面\n" : "请求有误\n";
            Plain(response, response.status, text);
        }
    });
    const int port = options.port == 0
                         ? server.bind_to_any_port(options.address)
                         : (server.bind_to_port(options.address, options.port) ? options.port : -1);
    if (port <= 0) {
        *error = "cannot listen on " + options.address + ":" + std::to_string(options.port);
        return nullptr;
    }
    // httplib listens with a backlog of 5: connections arriving together beyond that would have
    // their handshake dropped and retried a second or more later.
    ::listen(*listening, kListenBacklog);
    made->address_ = options.address;
    made->port_ = port;
    // Listening already: connections wait in the kernel until the loop takes them.
    made->listener_ = std::thread([&server] { server.listen_after_bind(); });
    return made;
}

StatusServer::~StatusServer() {
    if (server_ != nullptr) {
        server_->stop();
    }
    if (listener_.joinable()) {
        listener_.join();
    }
}

std::string StatusServer::Url() const {
    return StatusPageUrl(address_, port_);
}

std::string StatusPageUrl(const std::string& address, int port) {
    std::string host = address;
    if (host.find(':') != std::string::npos && !host.starts_with('[')) {
        // A link-local address's zone ("fe80::1%eth0") is written %25 in a URL.
        std::string escaped;
        for (const char c : host) {
            escaped += c == '%' ? std::string("%25") : std::string(1, c);
        }
        host = "[" + escaped + "]";
    }
    return "http://" + host + ":" + std::to_string(port) + "/";
}

}  // namespace chimeon
