#pragma once

#include <string>
#include <string_view>

namespace chimeon {

// ASCII letters lowered; every other byte (the UTF-8 of Chinese names) stays as it is. Stored
// paths are compared and kept this way, whatever the locale.
std::string LowerCaseAscii(std::string_view text);

// The ASCII letter lowered; every other byte as it is.
constexpr char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when the two names are equal ignoring ASCII letter case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace chimeon
