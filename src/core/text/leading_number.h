#pragma once

#include <cstdint>
#include <string_view>

namespace chimeon {

// Leading decimal number of a stored text as the C library reads it (leading blanks and a sign
// allowed, stops at the first non-digit, 0 when there is none), held within ±1e9 so that no
// hand-made text can overflow the arithmetic done with it.
std::int64_t LeadingNumber(std::string_view text);

}  // namespace chimeon
