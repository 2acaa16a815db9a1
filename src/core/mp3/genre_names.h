#pragma once

#include <array>
#include <string_view>

namespace chimeon {

inline constexpr int kGenreCount = 148;

// ID3v1 genre names with the Winamp extensions, by genre byte 0 to 147; the info page fills its
// genre box from them, so spelling and order are fixed.
extern const std::array<std::string_view, kGenreCount> kGenreNames;

// The name of a genre byte; empty for 148 to 255 (255 means "no genre") and for negatives.
std::string_view GenreName(int genre);

}  // namespace chimeon
