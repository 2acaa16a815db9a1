#pragma once

#include <nettle/blowfish.h>

#include <cstddef>

namespace chimeon {

// The Blowfish block cipher (64-bit blocks, 16 rounds) in ECB mode, on Nettle's implementation.
// Stored passwords depend on one byte-order detail: each 8-byte block is read as two
// little-endian 32-bit words, bytes 0-3 the left half and bytes 4-7 the right half, and written
// back the same way (Nettle reads big-endian words, so each half is reversed around it).
class CBlowfishCipher {
public:
    static constexpr std::size_t kBlockSize = 8;

    // The published key schedule: the key's bytes are taken cyclically, big-endian, into words.
    // `length` must be at least 1.
    CBlowfishCipher(const unsigned char* key, std::size_t length);

    // `n` rounded up to a whole number of blocks.
    static std::size_t PaddedLength(std::size_t n);

    // Enciphers ceil(n/8) blocks into `output`, which must hold PaddedLength(n) bytes; a short
    // last block is filled with zero bytes. `input` may equal `output` (then the buffer must
    // hold PaddedLength(n) bytes too). Returns PaddedLength(n).
    std::size_t EncipherBuffer(const unsigned char* input, unsigned char* output,
                               std::size_t n) const;

    // Deciphers ceil(n/8) whole blocks; both buffers hold PaddedLength(n) bytes and may be the
    // same. n = 0 does nothing.
    void DecipherBuffer(const unsigned char* input, unsigned char* output, std::size_t n) const;

private:
    blowfish_ctx context_{};
};

}  // namespace chimeon
