#pragma once

#include <chrono>
#include <string>

namespace chimeon {

// A TCP connection's descriptor, closed with its owner.
class TcpConnection {
public:
    TcpConnection() = default;
    explicit TcpConnection(int fd) : fd_(fd) {}
    ~TcpConnection();
    TcpConnection(TcpConnection&& other) noexcept : fd_(other.Release()) {}
    TcpConnection& operator=(TcpConnection&& other) noexcept;
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Connects within `timeout` (the name looked up first); an unconnected one, with the
    // reason in `error`, when that cannot be done. The descriptor is non-blocking.
    static TcpConnection Connect(const std::string& host, int port,
                                 std::chrono::milliseconds timeout, std::string* error);

    bool IsOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Close();

private:
    int fd_ = -1;
};

// Waits until `fd` is readable (or, with `forWrite`, writable), at most `timeout`; false on
// timeout or error.
bool WaitReady(int fd, bool forWrite, std::chrono::milliseconds timeout);

}  // namespace chimeon
