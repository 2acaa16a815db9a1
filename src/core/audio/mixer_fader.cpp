#include "core/audio/mixer_fader.h"

#include <algorithm>

namespace chimeon {

bool MixerFader::Init(MixerControl* control, FaderType type) {
    control_ = nullptr;
    if (control == nullptr) {
        diagnostic_ = "No mixer device present";
        return false;
    }
    if (control->Steps() == 0 || control->Range() == 0) {
        diagnostic_ = "The mixer control offers no steps";  // nothing to divide the range by
        return false;
    }
    if (control->Channels() < 2 && type != FaderType::kMain) {
        diagnostic_ = "Only one channel available on this line. Use Fader type MAIN only.";
        return false;
    }
    type_ = type;
    range_ = control->Range();
    steps_ = control->Steps();
    stepSize_ = std::max<std::uint32_t>(1, range_ / steps_);
    channels_ = control->Channels();
    control_ = control;
    diagnostic_.clear();
    return true;
}

std::optional<int> MixerFader::ReadPosition() {
    std::vector<std::uint32_t> values;
    if (control_ == nullptr || !control_->Read(values) || values.empty()) {
        return std::nullopt;
    }
    return PositionFor(values);
}

bool MixerFader::WritePosition(int position) {
    std::vector<std::uint32_t> values;
    if (control_ == nullptr || !control_->Read(values) || values.empty()) {
        return false;
    }
    return control_->Write(ValuesFor(position, std::move(values)));
}

std::optional<int> MixerFader::PositionFor(const std::vector<std::uint32_t>& values) {
    if (values.empty()) {
        return std::nullopt;
    }
    std::uint32_t left = values[0];
    std::uint32_t right = values.size() > 1 ? values[1] : values[0];
    std::uint32_t louder = values[0];
    if (channels_ >= 2 && values.size() >= 2) {
        louder = std::max(left, right);
        if (louder > 0) {
            balance_ = static_cast<float>(
                static_cast<double>(static_cast<std::int64_t>(right) - left) / louder);
        }
    }
    double position = 0;
    switch (type_) {
        case FaderType::kLeft:
            position = static_cast<double>(left) / stepSize_;
            break;
        case FaderType::kRight:
            position = static_cast<double>(right) / stepSize_;
            break;
        case FaderType::kMain:
            position = static_cast<double>(louder) / stepSize_;
            break;
        case FaderType::kBalance:
            if (louder == 0) {
                return std::nullopt;
            }
            position = (balance_ + 1.0) * steps_ * 0.5;
            break;
    }
    return static_cast<int>(std::clamp(position, 0.0, static_cast<double>(steps_)));
}

std::vector<std::uint32_t> MixerFader::ValuesFor(int position,
                                                 std::vector<std::uint32_t> current) const {
    if (current.empty()) {
        return current;
    }
    position = std::clamp(position, 0, static_cast<int>(steps_));
    // 64-bit arithmetic: position × step size × 2 × the louder value overflows 32 bits.
    const std::int64_t a = static_cast<std::int64_t>(position) * stepSize_;
    auto clampValue = [&](double value) {
        return static_cast<std::uint32_t>(std::clamp(value, 0.0, static_cast<double>(range_)));
    };
    const bool stereo = channels_ >= 2 && current.size() >= 2;
    std::uint32_t& left = current[0];
    std::uint32_t& right = stereo ? current[1] : current[0];
    switch (type_) {
        case FaderType::kLeft:
            left = clampValue(static_cast<double>(a));
            break;
        case FaderType::kRight:
            right = clampValue(static_cast<double>(a));
            break;
        case FaderType::kMain:
            if (!stereo) {
                left = clampValue(static_cast<double>(a));
            } else if (balance_ > 0) {
                right = clampValue(static_cast<double>(a));
                left = clampValue(
                    static_cast<double>(static_cast<std::int64_t>((1.0 - balance_) * a)));
            } else {
                left = clampValue(static_cast<double>(a));
                right = clampValue(
                    static_cast<double>(static_cast<std::int64_t>((balance_ + 1.0) * a)));
            }
            break;
        case FaderType::kBalance: {
            const std::int64_t louder = stereo ? std::max(left, right) : left;
            if (a > static_cast<std::int64_t>(range_ / 2)) {
                right = clampValue(static_cast<double>(louder));
                left = clampValue(static_cast<double>(static_cast<std::int64_t>(
                    (1.0 - static_cast<double>(a) / range_) * 2.0 * static_cast<double>(louder))));
            } else {
                right = clampValue(
                    static_cast<double>(a * louder * 2 / static_cast<std::int64_t>(range_)));
                left = clampValue(static_cast<double>(louder));
            }
            break;
        }
    }
    return current;
}

}  // namespace chimeon
