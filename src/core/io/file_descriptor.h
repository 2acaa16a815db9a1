#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace chimeon {

// An open file descriptor, closed when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded (a failed close may mean lost data).
    bool Close();

private:
    int fd_;
};

// Whole contents of a regular file, or nothing when it cannot be opened for reading (missing,
// no permission, a folder, a FIFO or other special file: those are never opened blocking). On
// failure `error`, when given, receives the errno value (ENXIO for a file that is not regular).
[[nodiscard]] std::optional<std::string> ReadFileBytes(const std::filesystem::path& path,
                                                       int* error = nullptr);

// Writes all the bytes to the descriptor, going on after interrupted or partial writes.
[[nodiscard]] bool WriteAllBytes(int fd, std::string_view bytes);

}  // namespace chimeon
