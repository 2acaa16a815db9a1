#pragma once

#include <cstdint>
#include <string>

namespace chimeon::test {

// Little-endian fields, as a WAV header holds them.
std::string Le16(std::uint16_t value);
std::string Le32(std::uint32_t value);

// A canonical 44-byte WAV header of PCM samples declaring `dataBytes` bytes of them; block align
// and byte rate follow from the shape unless `blockAlign` is given.
std::string WaveHeader(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                       std::uint32_t dataBytes, std::uint16_t blockAlign = 0);

// A canonical WAV file of `seconds` of silence, 8000 Hz 16-bit mono.
std::string SilentWav(int seconds);
// The same with a square wave at half scale (400 Hz): a file that is heard.
std::string ToneWav(int seconds);

}  // namespace chimeon::test
