#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/audio/mixer_control.h"
#include "core/engine/sound_level.h"

struct _snd_mixer;
struct _snd_mixer_elem;

namespace chimeon {

// The playback volume of an ALSA simple mixer element ("Master" of the card "default", which
// reaches PulseAudio or PipeWire where they run). Outside changes are noticed through the
// mixer's poll descriptors: the owner watches them in its event loop and calls HandleEvents().
class AlsaMasterMixer : public MixerControl {
public:
    // Nothing when there is no such card or element; `error` says why.
    static std::unique_ptr<AlsaMasterMixer> Open(const std::string& card = "default",
                                                 const std::string& element = "Master",
                                                 std::string* error = nullptr);
    ~AlsaMasterMixer() override;
    AlsaMasterMixer(const AlsaMasterMixer&) = delete;
    AlsaMasterMixer& operator=(const AlsaMasterMixer&) = delete;

    unsigned Channels() const override { return channels_; }
    std::uint32_t Range() const override;
    unsigned Steps() const override { return static_cast<unsigned>(Range()); }
    [[nodiscard]] bool Read(std::vector<std::uint32_t>& values) override;
    [[nodiscard]] bool Write(const std::vector<std::uint32_t>& values) override;
    std::optional<bool> IsMuted() override;

    // File descriptors to watch for reading.
    std::vector<int> PollDescriptors() const;
    // Takes the pending events; true when the volume may have changed.
    bool HandleEvents();

private:
    AlsaMasterMixer(_snd_mixer* mixer, _snd_mixer_elem* element);

    _snd_mixer* mixer_;
    _snd_mixer_elem* element_;
    long minimum_ = 0;
    long maximum_ = 0;
    unsigned channels_ = 1;
};

// Whether the master volume ("Master" of "default": on a PulseAudio or PipeWire system the
// default sink's volume and mute) silences what is played, read afresh from a mixer opened for
// the question, so no change is missed; kNone when there is no such mixer.
OutputSilence ReadMasterSilence(const std::string& card = "default",
                                const std::string& element = "Master");

}  // namespace chimeon
