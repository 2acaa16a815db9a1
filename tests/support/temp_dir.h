#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace chimeon::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const {
        return path_ / std::string(name);
    }

    // Writes the bytes exactly as given, making the folders on the way.
    void Write(std::string_view name, std::string_view bytes) const;
    // The file's bytes, or "<missing>" when it cannot be read.
    std::string Read(std::string_view name) const;
    // How many files and folders the folder holds (not counting theirs).
    std::size_t Entries() const;

private:
    std::filesystem::path path_;
};

// Bytes from hexadecimal text ("e4 b8 ad"; spaces ignored), so expectations are written by hand.
std::string Hex(std::string_view hexText);

}  // namespace chimeon::test
