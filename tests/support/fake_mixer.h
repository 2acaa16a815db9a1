#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/audio/mixer_control.h"

namespace chimeon::test {

// A mixer control held in memory. An outside change is announced through a pipe, the way a sound
// card's mixer makes its descriptor readable.
class FakeMixer : public MixerControl {
public:
    FakeMixer(unsigned channels = 2, std::uint32_t range = 100, unsigned steps = 100);
    ~FakeMixer() override;
    FakeMixer(const FakeMixer&) = delete;
    FakeMixer& operator=(const FakeMixer&) = delete;

    unsigned Channels() const override { return channels_; }
    std::uint32_t Range() const override { return range_; }
    unsigned Steps() const override { return steps_; }
    bool Read(std::vector<std::uint32_t>& out) override;
    bool Write(const std::vector<std::uint32_t>& in) override;
    std::optional<bool> IsMuted() override { return muted; }

    // Another program sets the volume.
    void ChangeOutside(std::vector<std::uint32_t> newValues);
    // The other end goes away: the descriptor reports a hang-up for ever.
    void CloseWriter();
    // The descriptor that turns readable at an outside change.
    int ChangeDescriptor() const { return pipe_[0]; }
    // Takes the announced changes; false when there were none.
    bool TakeChanges();

    std::vector<std::uint32_t> values;
    bool readable = true;
    std::optional<bool> muted;
    int writes = 0;

private:
    unsigned channels_;
    std::uint32_t range_;
    unsigned steps_;
    int pipe_[2] = {-1, -1};
};

}  // namespace chimeon::test
