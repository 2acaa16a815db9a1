#include "core/system/blowfish_cipher.h"

#include <algorithm>
#include <utility>

namespace chimeon {

namespace {

std::uint32_t ReadLittleEndian(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void WriteLittleEndian(std::uint32_t word, unsigned char* bytes) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<unsigned char>(word >> (8 * i));
    }
}

}  // namespace

CBlowfishCipher::CBlowfishCipher() {
    std::copy(std::begin(blowfish_tables::kInitialP), std::end(blowfish_tables::kInitialP),
              p_.begin());
    for (std::size_t box = 0; box < 4; ++box) {
        std::copy(std::begin(blowfish_tables::kInitialS[box]),
                  std::end(blowfish_tables::kInitialS[box]), s_[box].begin());
    }
}

void CBlowfishCipher::SetKey(const unsigned char* key, std::size_t length) {
    *this = CBlowfishCipher();
    if (key == nullptr || length == 0) {
        return;
    }
    std::size_t next = 0;
    for (std::uint32_t& entry : p_) {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = word << 8 | key[next];
            next = (next + 1) % length;
        }
        entry ^= word;
    }
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    for (std::size_t i = 0; i < p_.size(); i += 2) {
        EncipherBlock(left, right);
        p_[i] = left;
        p_[i + 1] = right;
    }
    for (auto& box : s_) {
        for (std::size_t i = 0; i < box.size(); i += 2) {
            EncipherBlock(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

std::size_t CBlowfishCipher::PaddedLength(std::size_t n) {
    return (n + kBlockSize - 1) / kBlockSize * kBlockSize;
}

std::uint32_t CBlowfishCipher::F(std::uint32_t x) const {
    return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
}

void CBlowfishCipher::EncipherBlock(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (std::size_t round = 0; round < 16; ++round) {
        l ^= p_[round];
        r ^= F(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= p_[16];
    l ^= p_[17];
    left = l;
    right = r;
}

void CBlowfishCipher::DecipherBlock(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (std::size_t round = 17; round > 1; --round) {
        l ^= p_[round];
        r ^= F(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= p_[1];
    l ^= p_[0];
    left = l;
    right = r;
}

std::size_t CBlowfishCipher::EncipherBuffer(const unsigned char* input, unsigned char* output,
                                            std::size_t n) const {
    const std::size_t padded = PaddedLength(n);
    if (input != output) {
        std::copy(input, input + n, output);
    }
    std::fill(output + n, output + padded, static_cast<unsigned char>(0));
    for (std::size_t offset = 0; offset < padded; offset += kBlockSize) {
        std::uint32_t left = ReadLittleEndian(output + offset);
        std::uint32_t right = ReadLittleEndian(output + offset + 4);
        EncipherBlock(left, right);
        WriteLittleEndian(left, output + offset);
        WriteLittleEndian(right, output + offset + 4);
    }
    return padded;
}

void CBlowfishCipher::DecipherBuffer(const unsigned char* input, unsigned char* output,
                                     std::size_t n) const {
    const std::size_t padded = PaddedLength(n);
    for (std::size_t offset = 0; offset < padded; offset += kBlockSize) {
        std::uint32_t left = ReadLittleEndian(input + offset);
        std::uint32_t right = ReadLittleEndian(input + offset + 4);
        DecipherBlock(left, right);
        WriteLittleEndian(left, output + offset);
        WriteLittleEndian(right, output + offset + 4);
    }
}

}  // namespace chimeon
