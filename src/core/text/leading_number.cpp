#include "core/text/leading_number.h"

namespace chimeon {
namespace {

constexpr std::int64_t kNumberLimit = 1'000'000'000;

}  // namespace

std::int64_t LeadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value < kNumberLimit) {
            value = value * 10 + (text[i] - '0');
        }
    }
    if (value > kNumberLimit) {
        value = kNumberLimit;
    }
    return negative ? -value : value;
}

}  // namespace chimeon
