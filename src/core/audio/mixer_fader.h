#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/audio/mixer_control.h"

namespace chimeon {

// Which value of the control a slider shows and sets.
enum class FaderType { kLeft = 0, kRight = 1, kMain = 2, kBalance = 3 };

// A slider bound to a mixer control: maps the control's values to a position from 0 to Steps()
// and back. MAIN moves the louder channel to the slider and keeps the balance between the
// channels that the last reading found.
class MixerFader {
public:
    // False (and the slider stays disabled) when there is no control, it offers no steps, or the
    // fader type needs two channels and the line has one; `diagnostic` says why.
    bool Init(MixerControl* control, FaderType type);
    bool IsReady() const { return control_ != nullptr; }
    const std::string& diagnostic() const { return diagnostic_; }

    unsigned Steps() const { return steps_; }
    std::uint32_t StepSize() const { return stepSize_; }
    float Balance() const { return balance_; }

    // The slider position for the control's current values (reads them); nothing when the
    // reading failed or a balance slider has nothing to show (both channels at 0).
    std::optional<int> ReadPosition();
    // Writes the values that the slider position stands for; false when the write failed.
    bool WritePosition(int position);

    // The arithmetic itself, for given values.
    std::optional<int> PositionFor(const std::vector<std::uint32_t>& values);
    std::vector<std::uint32_t> ValuesFor(int position, std::vector<std::uint32_t> current) const;

private:
    MixerControl* control_ = nullptr;
    FaderType type_ = FaderType::kMain;
    std::uint32_t range_ = 0;
    unsigned steps_ = 0;
    std::uint32_t stepSize_ = 1;
    unsigned channels_ = 0;
    float balance_ = 0.0f;
    std::string diagnostic_;
};

}  // namespace chimeon
