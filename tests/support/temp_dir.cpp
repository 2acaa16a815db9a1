#include "support/temp_dir.h"

#include <stdlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace chimeon::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "chimeon-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code error;
    // Tests may take write permission away from folders inside; give it back before removing.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(path_, error);
}

void TempDir::Write(std::string_view name, std::string_view bytes) const {
    std::filesystem::create_directories((path_ / std::string(name)).parent_path());
    std::ofstream out(path_ / std::string(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::Read(std::string_view name) const {
    std::ifstream in(path_ / std::string(name), std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string SilentWav(int seconds) {
    auto le32 = [](std::uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    std::uint32_t data = static_cast<std::uint32_t>(seconds) * 16000;
    return "RIFF" + le32(36 + data) + "WAVEfmt " + le32(16) + Hex("01 00 01 00") + le32(8000) +
           le32(16000) + Hex("02 00 10 00") + "data" + le32(data) + std::string(data, '\0');
}

std::string Hex(std::string_view hexText) {
    std::string bytes;
    int high = -1;
    for (char c : hexText) {
        int digit = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
        if (digit < 0) {
            continue;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<char>(high * 16 + digit));
            high = -1;
        }
    }
    return bytes;
}

}  // namespace chimeon::test
