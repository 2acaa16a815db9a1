#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace chimeon {

// The broadcaster's interface on the user's session bus, and where its object lives.
inline constexpr std::string_view kBroadcasterInterface = "org.chimeon.Broadcaster1";
inline constexpr std::string_view kBroadcasterObjectPath = "/org/chimeon/Broadcaster1";

// 64-bit FNV-1a of `bytes`.
std::uint64_t Fnv1a64(std::string_view bytes);

// The bus name of the broadcaster of a data directory (one broadcaster per data directory):
// the interface's name, "D" and the 16 lower hex digits of the FNV-1a hash of the directory's
// canonical path, so that the window, chimeonctl and chimeond of one directory find each other
// however the directory was spelled (a relative path, a symbolic link, a trailing separator).
std::string BroadcasterBusName(const std::filesystem::path& dataDirectory);

}  // namespace chimeon
