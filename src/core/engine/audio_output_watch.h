#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/audio/mixer_control.h"
#include "core/engine/media_player.h"

namespace chimeon {

// Whether the master volume silences the loudspeakers.
struct MasterVolumeState {
    bool muted = false;
    bool atZero = false;  // every channel at the control's minimum
};
// Reads it; what cannot be read counts as not silenced.
MasterVolumeState ReadMasterVolumeState(MixerControl& mixer);

// What is known of the way from the player to the loudspeakers, from three sources: a probe of
// the audio output (asked now and then off the window's thread), every Open of the player, and
// the master volume. The notice names the most urgent problem; "" while sound can be heard.
class AudioOutputWatch {
public:
    // A probe is asked now; its answer comes with the number returned.
    std::uint64_t ProbeStarted() { return ++sequence_; }
    // "" when the output could be opened, else why not. An answer to a probe asked before the
    // player's latest Open is older news than that Open and is dropped (false).
    bool ProbeAnswered(std::uint64_t probe, const std::string& missingReason);
    // The player's Open: sound went out (kNone), or there was no output; a file that cannot be
    // played says nothing about the output.
    void PlayerOpened(OpenFailure failure, const std::string& reason);
    void MasterVolumeRead(MasterVolumeState state) { volume_ = state; }

    bool OutputMissing() const { return missingReason_.has_value(); }
    std::string Notice() const;

private:
    std::uint64_t sequence_ = 0;
    std::uint64_t lastPlayerOpen_ = 0;
    std::optional<std::string> missingReason_;
    MasterVolumeState volume_;
};

}  // namespace chimeon
