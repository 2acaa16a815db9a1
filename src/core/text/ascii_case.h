#pragma once

#include <string>
#include <string_view>

namespace chimeon {

// ASCII letters lowered; every other byte (the UTF-8 of Chinese names) stays as it is. Stored
// paths are compared and kept this way, whatever the locale.
std::string LowerCaseAscii(std::string_view text);

}  // namespace chimeon
