#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace chimeon {

// A regular file opened for reading at explicit offsets. Folders, FIFOs and other special files
// are refused without ever blocking. Reads that meet the end of the file (or a file that shrank
// meanwhile) simply return fewer bytes.
class ReadOnlyFile {
public:
    // On failure `error`, when given, receives the errno value (EISDIR for a folder, ENXIO for
    // any other file that is not a regular file).
    [[nodiscard]] static std::optional<ReadOnlyFile> Open(const std::filesystem::path& path,
                                                          int* error = nullptr);

    ReadOnlyFile(ReadOnlyFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile();

    // The file's length now; 0 when it cannot be told.
    std::uint64_t Size() const;
    // Reads up to `size` bytes at `offset`; the count read, 0 at or past the end or on an error.
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const;

private:
    explicit ReadOnlyFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace chimeon
