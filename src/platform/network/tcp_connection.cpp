#include "platform/network/tcp_connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace chimeon {

TcpConnection::~TcpConnection() {
    Close();
}

TcpConnection& TcpConnection::operator=(TcpConnection&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

void TcpConnection::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool WaitReady(int fd, bool forWrite, std::chrono::milliseconds timeout) {
    pollfd entry{fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    int result = 0;
    do {
        result = ::poll(&entry, 1, static_cast<int>(timeout.count()));
    } while (result < 0 && errno == EINTR);
    return result > 0 && (entry.revents & (forWrite ? POLLOUT : POLLIN | POLLHUP)) != 0;
}

TcpConnection TcpConnection::Connect(const std::string& host, int port,
                                     std::chrono::milliseconds timeout, std::string* error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int failed = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        failed != 0) {
        *error = host + ": " + ::gai_strerror(failed);
        return {};
    }
    std::string reason = "no address";
    for (addrinfo* address = found; address != nullptr; address = address->ai_next) {
        TcpConnection connection(::socket(address->ai_family,
                                          address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                          address->ai_protocol));
        if (!connection.IsOpen()) {
            reason = std::strerror(errno);
            continue;
        }
        int result = ::connect(connection.fd(), address->ai_addr, address->ai_addrlen);
        if (result != 0 && errno == EINPROGRESS) {
            int code = ETIMEDOUT;
            if (WaitReady(connection.fd(), true, timeout)) {
                socklen_t size = sizeof code;
                ::getsockopt(connection.fd(), SOL_SOCKET, SO_ERROR, &code, &size);
            }
            result = code == 0 ? 0 : -1;
            errno = code;
        }
        if (result == 0) {
            const int one = 1;
            ::setsockopt(connection.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            ::freeaddrinfo(found);
            return connection;
        }
        reason = std::strerror(errno);
    }
    ::freeaddrinfo(found);
    *error = host + ":" + service + ": " + reason;
    return {};
}

}  // namespace chimeon
