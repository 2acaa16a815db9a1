#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace chimeon {

// One volume control of the sound card's mixer (the master volume of the speakers).
// Values are per channel, left first, counted from the control's minimum (0 .. range).
class MixerControl {
public:
    virtual ~MixerControl() = default;
    virtual unsigned Channels() const = 0;
    virtual std::uint32_t Range() const = 0;  // maximum − minimum
    virtual unsigned Steps() const = 0;       // distinct positions the control offers above 0
    [[nodiscard]] virtual bool Read(std::vector<std::uint32_t>& values) = 0;
    [[nodiscard]] virtual bool Write(const std::vector<std::uint32_t>& values) = 0;
    // Whether the output is switched off; nothing when the control has no switch.
    virtual std::optional<bool> IsMuted() = 0;
};

}  // namespace chimeon
