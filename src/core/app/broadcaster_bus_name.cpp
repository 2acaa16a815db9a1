#include "core/app/broadcaster_bus_name.h"

#include <cstdio>
#include <system_error>

namespace chimeon {

std::uint64_t Fnv1a64(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char byte : bytes) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string BroadcasterBusName(const std::filesystem::path& dataDirectory) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(dataDirectory, error);
    if (error) {
        canonical = std::filesystem::absolute(dataDirectory, error).lexically_normal();
    }
    std::string text = canonical.string();
    // "/srv/bells/" and "/srv/bells" are the same directory.
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Fnv1a64(text)));
    return std::string(kBroadcasterInterface) + ".D" + hex;
}

}  // namespace chimeon
