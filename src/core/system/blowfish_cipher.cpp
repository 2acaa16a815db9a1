#include "core/system/blowfish_cipher.h"

#include <algorithm>
#include <utility>

namespace chimeon {

namespace {

// Reverses each 4-byte half of every block: the stored format's little-endian words in and out
// of Nettle's big-endian ones.
void SwapWordOrder(unsigned char* bytes, std::size_t length) {
    for (std::size_t word = 0; word + 4 <= length; word += 4) {
        std::swap(bytes[word], bytes[word + 3]);
        std::swap(bytes[word + 1], bytes[word + 2]);
    }
}

}  // namespace

CBlowfishCipher::CBlowfishCipher(const unsigned char* key, std::size_t length) {
    // A weak key (an S-box entry repeated) is reported but still set up; the stored format
    // uses the key as it is.
    (void)blowfish_set_key(&context_, length, key);
}

std::size_t CBlowfishCipher::PaddedLength(std::size_t n) {
    return (n + kBlockSize - 1) / kBlockSize * kBlockSize;
}

std::size_t CBlowfishCipher::EncipherBuffer(const unsigned char* input, unsigned char* output,
                                            std::size_t n) const {
    const std::size_t padded = PaddedLength(n);
    if (input != output) {
        std::copy(input, input + n, output);
    }
    std::fill(output + n, output + padded, static_cast<unsigned char>(0));
    SwapWordOrder(output, padded);
    blowfish_encrypt(&context_, padded, output, output);
    SwapWordOrder(output, padded);
    return padded;
}

void CBlowfishCipher::DecipherBuffer(const unsigned char* input, unsigned char* output,
                                     std::size_t n) const {
    const std::size_t padded = PaddedLength(n);
    if (input != output) {
        std::copy(input, input + padded, output);
    }
    SwapWordOrder(output, padded);
    blowfish_decrypt(&context_, padded, output, output);
    SwapWordOrder(output, padded);
}

}  // namespace chimeon
