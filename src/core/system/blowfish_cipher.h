#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace chimeon {

namespace blowfish_tables {
inline constexpr std::size_t kRoundKeys = 18;
extern const std::uint32_t kInitialP[kRoundKeys];
extern const std::uint32_t kInitialS[4][256];
}  // namespace blowfish_tables

// The Blowfish block cipher (64-bit blocks, 16 rounds) in ECB mode. Stored passwords depend on
// one byte-order detail: each 8-byte block is read as two little-endian 32-bit words, bytes 0-3
// the left half and bytes 4-7 the right half, and written back the same way.
class CBlowfishCipher {
public:
    static constexpr std::size_t kBlockSize = 8;

    CBlowfishCipher();

    // The published key schedule; the key's bytes are taken cyclically, big-endian, into words.
    // A key of 0 bytes leaves the initial state.
    void SetKey(const unsigned char* key, std::size_t length);

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

    void EncipherBlock(std::uint32_t& left, std::uint32_t& right) const;
    void DecipherBlock(std::uint32_t& left, std::uint32_t& right) const;

private:
    std::uint32_t F(std::uint32_t x) const;

    std::array<std::uint32_t, blowfish_tables::kRoundKeys> p_;
    std::array<std::array<std::uint32_t, 256>, 4> s_;
};

}  // namespace chimeon
