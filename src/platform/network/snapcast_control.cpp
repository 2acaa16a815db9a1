#include "platform/network/snapcast_control.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/system/log.h"
#include "platform/network/tcp_connection.h"

namespace chimeon {
namespace {

constexpr std::chrono::milliseconds kConnectTimeout{1000};
constexpr std::chrono::milliseconds kRefresh{10000};
// A line longer than this is no message of the protocol: the connection is given up.
constexpr std::size_t kMaxLine = 4 * 1024 * 1024;

bool SendAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t sent =
            ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
        } else if (sent < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!WaitReady(fd, true, kConnectTimeout)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

// Reads what is there into `pending`; false when the connection closed or failed.
bool ReadSome(int fd, std::string& pending, std::string* why) {
    char chunk[65536];
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got > 0) {
        pending.append(chunk, static_cast<std::size_t>(got));
        return true;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return true;
    }
    *why = got == 0 ? "closed by the server" : std::strerror(errno);
    return false;
}

}  // namespace

SnapcastControl::SnapcastControl(std::string host, int port, std::function<void()> changed)
    : host_(std::move(host)), port_(port), changed_(std::move(changed)) {
    snapshot_.problem = "正在连接网络广播服务器的控制端口 " + host_ + ":" + std::to_string(port_);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { Run(); });
}

SnapcastControl::~SnapcastControl() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
    ::close(wakeFd_);
}

ZoneSnapshot SnapcastControl::Snapshot() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return snapshot_;
}

void SnapcastControl::Publish(bool connected, std::string problem, const std::vector<Zone>* zones) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        snapshot_.controlConnected = connected;
        snapshot_.problem = std::move(problem);
        if (zones != nullptr) {
            snapshot_.zones = *zones;
        }
    }
    if (changed_) {
        changed_();
    }
}

void SnapcastControl::Run() {
    std::chrono::milliseconds backoff(250);
    for (;;) {
        std::string error;
        TcpConnection connection = TcpConnection::Connect(host_, port_, kConnectTimeout, &error);
        if (connection.IsOpen()) {
            backoff = std::chrono::milliseconds(250);
            error = Follow(connection.fd());
            if (error.empty()) {
                return;  // stopped
            }
            Log(LogLevel::kWarning, "network", "the server's control port: " + error);
        }
        Publish(false, "网络广播服务器的控制端口连不上（" + error + "）", nullptr);
        pollfd wake{wakeFd_, POLLIN, 0};
        if (::poll(&wake, 1, static_cast<int>(backoff.count())) > 0) {
            return;
        }
        backoff = std::min(backoff * 2, std::chrono::milliseconds(5000));
    }
}

std::string SnapcastControl::Follow(int fd) {
    int nextId = 1;
    std::vector<Zone> zones = Snapshot().zones;
    std::string pending;
    auto ask = [&] { return SendAll(fd, StatusRequestLine(nextId++)); };
    if (!ask()) {
        return "the status cannot be asked for";
    }
    bool answered = false;
    auto refreshAt = std::chrono::steady_clock::now() + kRefresh;
    for (;;) {
        pollfd entries[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            refreshAt - std::chrono::steady_clock::now());
        const int ready = ::poll(entries, 2, static_cast<int>(std::max<long>(left.count(), 0)));
        if (ready < 0 && errno != EINTR) {
            return std::strerror(errno);
        }
        if ((entries[1].revents & POLLIN) != 0) {
            return "";
        }
        if (std::chrono::steady_clock::now() >= refreshAt) {
            if (!answered) {
                return "no answer to the status";
            }
            answered = false;
            refreshAt = std::chrono::steady_clock::now() + kRefresh;
            if (!ask()) {
                return "the status cannot be asked for";
            }
        }
        if ((entries[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        std::string why;
        if (!ReadSome(fd, pending, &why)) {
            return why;
        }
        bool changed = false;
        bool refresh = false;
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            const RpcLineEffect effect = ApplyRpcLine(line, zones);
            if (!effect.understood && !effect.error.empty()) {
                Log(LogLevel::kWarning, "network",
                    "a line from the server's control port not understood: " + effect.error);
            }
            answered = answered || effect.status;
            changed = changed || effect.changed;
            refresh = refresh || effect.refresh;
        }
        if (pending.size() > kMaxLine) {
            return "a line too long";
        }
        // Connected counts from the first status of this connection: until then the zones are
        // those of the last one.
        const ZoneSnapshot before = Snapshot();
        if ((changed && before.controlConnected) || (!before.controlConnected && answered)) {
            Publish(true, "", &zones);
        }
        if (refresh && !ask()) {
            return "the status cannot be asked for";
        }
    }
}

std::optional<std::vector<Zone>> SnapcastControl::FetchOnce(const std::string& host, int port,
                                                            std::chrono::milliseconds timeout,
                                                            std::string* error) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    TcpConnection connection = TcpConnection::Connect(host, port, timeout, error);
    if (!connection.IsOpen()) {
        return std::nullopt;
    }
    if (!SendAll(connection.fd(), StatusRequestLine(1))) {
        *error = "the status cannot be asked for";
        return std::nullopt;
    }
    std::string pending;
    std::vector<Zone> zones;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !WaitReady(connection.fd(), false, left)) {
            *error = "no answer within " + std::to_string(timeout.count()) + " ms";
            return std::nullopt;
        }
        if (!ReadSome(connection.fd(), pending, error)) {
            return std::nullopt;
        }
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            const RpcLineEffect effect = ApplyRpcLine(line, zones);
            if (effect.status) {
                return zones;
            }
            if (effect.error.starts_with("the server refused")) {
                *error = effect.error;
                return std::nullopt;
            }
        }
        if (pending.size() > kMaxLine) {
            *error = "a line too long";
            return std::nullopt;
        }
    }
}

}  // namespace chimeon
