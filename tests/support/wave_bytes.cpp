#include "support/wave_bytes.h"

namespace chimeon::test {

std::string Le16(std::uint16_t value) {
    return {static_cast<char>(value), static_cast<char>(value >> 8)};
}

std::string Le32(std::uint32_t value) {
    return Le16(static_cast<std::uint16_t>(value)) + Le16(static_cast<std::uint16_t>(value >> 16));
}

std::string WaveHeader(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                       std::uint32_t dataBytes, std::uint16_t blockAlign) {
    if (blockAlign == 0) {
        blockAlign = static_cast<std::uint16_t>(channels * ((bits + 7) / 8));
    }
    return "RIFF" + Le32(dataBytes + 36) + "WAVEfmt " + Le32(16) + Le16(1) + Le16(channels) +
           Le32(rate) + Le32(rate * blockAlign) + Le16(blockAlign) + Le16(bits) + "data" +
           Le32(dataBytes);
}

std::string SilentWav(int seconds) {
    const auto dataBytes = static_cast<std::uint32_t>(seconds) * 16000;
    return WaveHeader(1, 8000, 16, dataBytes) + std::string(dataBytes, '\0');
}

std::string ToneWav(int seconds) {
    std::string wav = SilentWav(seconds);
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2) {
        wav[i + 1] = ((i - 44) / 20) % 2 == 0 ? 0x40 : static_cast<char>(0xc0);
    }
    return wav;
}

}  // namespace chimeon::test
