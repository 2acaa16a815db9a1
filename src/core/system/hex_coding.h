#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace chimeon {

// Two uppercase hexadecimal digits per byte, high nibble first, appended to `text`.
void HexEncode(const unsigned char* bytes, std::size_t n, std::string& text);

// `n` bytes from the first `n` pairs of `text`. Within a pair each character "0"-"9" or
// "A"-"F" adds its digit; the first other character (lowercase letters included, and the end of
// the text) ends the pair early and the byte keeps the value reached so far. Stored passwords
// were written with these rules, so they are kept as they are.
std::vector<unsigned char> HexDecode(std::string_view text, std::size_t n);

}  // namespace chimeon
