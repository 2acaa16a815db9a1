#pragma once

#include <cstdint>
#include <string>

namespace chimeon::test {

// The fields of one MPEG audio frame header, as codes (not decoded values).
struct FrameFields {
    int versionCode = 3;  // 0 MPEG 2.5, 1 reserved, 2 MPEG 2, 3 MPEG 1
    int layerCode = 1;    // 0 reserved, 1 Layer III, 2 Layer II, 3 Layer I
    int protection = 1;   // 0: CRC follows
    int bitrateIndex = 9;
    int rateIndex = 0;
    int padding = 0;
    int channelMode = 0;
    int copyright = 0;
    int original = 0;
    int emphasis = 0;
};

// The four header bytes of a frame.
inline std::string FrameHeader(const FrameFields& f) {
    std::uint32_t h = 0xFFE00000u | (std::uint32_t(f.versionCode) << 19) |
                      (std::uint32_t(f.layerCode) << 17) | (std::uint32_t(f.protection) << 16) |
                      (std::uint32_t(f.bitrateIndex) << 12) | (std::uint32_t(f.rateIndex) << 10) |
                      (std::uint32_t(f.padding) << 9) | (std::uint32_t(f.channelMode) << 6) |
                      (std::uint32_t(f.copyright) << 3) | (std::uint32_t(f.original) << 2) |
                      std::uint32_t(f.emphasis);
    return {static_cast<char>(h >> 24), static_cast<char>(h >> 16), static_cast<char>(h >> 8),
            static_cast<char>(h)};
}

// A whole frame of `length` bytes: the header and a zero payload.
inline std::string Frame(const FrameFields& f, int length) {
    std::string frame = FrameHeader(f);
    if (length > 4) {
        frame.append(static_cast<std::size_t>(length - 4), '\0');
    }
    return frame;
}

// `times` copies of `block` one after another.
inline std::string Repeat(const std::string& block, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += block;
    }
    return out;
}

// The 128 bytes of an ID3v1 tag; `fields` fills offsets 3 to 126, `genre` the last byte.
inline std::string Tag(std::string fields, int genre) {
    fields.resize(124, '\0');
    return "TAG" + fields + std::string(1, static_cast<char>(genre));
}

// A tag text padded with zero bytes to its field's width.
inline std::string Field(std::string text, std::size_t width) {
    text.resize(width, '\0');
    return text;
}

}  // namespace chimeon::test
