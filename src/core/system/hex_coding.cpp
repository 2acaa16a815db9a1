#include "core/system/hex_coding.h"

namespace chimeon {

namespace {

int UppercaseHexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

void HexEncode(const unsigned char* bytes, std::size_t n, std::string& text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    text.reserve(text.size() + 2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
}

std::vector<unsigned char> HexDecode(std::string_view text, std::size_t n) {
    std::vector<unsigned char> bytes(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        unsigned value = 0;
        for (std::size_t k = 2 * i; k < 2 * i + 2 && k < text.size(); ++k) {
            int digit = UppercaseHexDigit(text[k]);
            if (digit < 0) {
                break;
            }
            value = value * 16 + static_cast<unsigned>(digit);
        }
        bytes[i] = static_cast<unsigned char>(value);
    }
    return bytes;
}

}  // namespace chimeon
