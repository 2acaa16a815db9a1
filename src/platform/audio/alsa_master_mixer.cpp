#include "platform/audio/alsa_master_mixer.h"

#include <alsa/asoundlib.h>
#include <poll.h>

#include <algorithm>

namespace chimeon {
namespace {

constexpr snd_mixer_selem_channel_id_t kChannelOrder[] = {SND_MIXER_SCHN_FRONT_LEFT,
                                                          SND_MIXER_SCHN_FRONT_RIGHT};

std::unique_ptr<AlsaMasterMixer> Fail(snd_mixer_t* mixer, std::string* error, std::string message) {
    if (mixer != nullptr) {
        snd_mixer_close(mixer);
    }
    if (error != nullptr) {
        *error = std::move(message);
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<AlsaMasterMixer> AlsaMasterMixer::Open(const std::string& card,
                                                       const std::string& element,
                                                       std::string* error) {
    snd_mixer_t* mixer = nullptr;
    if (int result = snd_mixer_open(&mixer, 0); result < 0) {
        return Fail(nullptr, error,
                    std::string("Could not open mixer device: ") + snd_strerror(result));
    }
    if (int result = snd_mixer_attach(mixer, card.c_str()); result < 0) {
        return Fail(mixer, error,
                    "No mixer device present (" + card + "): " + snd_strerror(result));
    }
    if (snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0) {
        return Fail(mixer, error, "Could not open mixer device " + card);
    }
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, element.c_str());
    snd_mixer_elem_t* found = snd_mixer_find_selem(mixer, id);
    if (found == nullptr || !snd_mixer_selem_has_playback_volume(found)) {
        return Fail(mixer, error,
                    "The mixer element \"" + element + "\" of " + card + " was not found.");
    }
    return std::unique_ptr<AlsaMasterMixer>(new AlsaMasterMixer(mixer, found));
}

AlsaMasterMixer::AlsaMasterMixer(snd_mixer_t* mixer, snd_mixer_elem_t* element)
    : mixer_(mixer), element_(element) {
    snd_mixer_selem_get_playback_volume_range(element_, &minimum_, &maximum_);
    if (maximum_ < minimum_) {
        maximum_ = minimum_;
    }
    bool stereo = !snd_mixer_selem_is_playback_mono(element_) &&
                  snd_mixer_selem_has_playback_channel(element_, SND_MIXER_SCHN_FRONT_RIGHT);
    channels_ = stereo ? 2 : 1;
}

AlsaMasterMixer::~AlsaMasterMixer() {
    snd_mixer_close(mixer_);
}

std::uint32_t AlsaMasterMixer::Range() const {
    return static_cast<std::uint32_t>(maximum_ - minimum_);
}

bool AlsaMasterMixer::Read(std::vector<std::uint32_t>& values) {
    values.assign(channels_, 0);
    for (unsigned channel = 0; channel < channels_; ++channel) {
        long value = 0;
        if (snd_mixer_selem_get_playback_volume(element_, kChannelOrder[channel], &value) < 0) {
            return false;
        }
        values[channel] =
            static_cast<std::uint32_t>(std::clamp(value, minimum_, maximum_) - minimum_);
    }
    return true;
}

bool AlsaMasterMixer::Write(const std::vector<std::uint32_t>& values) {
    if (values.size() < channels_) {
        return false;
    }
    for (unsigned channel = 0; channel < channels_; ++channel) {
        long value =
            minimum_ + static_cast<long>(std::min<std::uint32_t>(values[channel], Range()));
        if (snd_mixer_selem_set_playback_volume(element_, kChannelOrder[channel], value) < 0) {
            return false;
        }
    }
    return true;
}

std::optional<bool> AlsaMasterMixer::IsMuted() {
    if (!snd_mixer_selem_has_playback_switch(element_)) {
        return std::nullopt;
    }
    int on = 1;
    if (snd_mixer_selem_get_playback_switch(element_, SND_MIXER_SCHN_FRONT_LEFT, &on) < 0) {
        return std::nullopt;
    }
    return on == 0;
}

std::vector<int> AlsaMasterMixer::PollDescriptors() const {
    int count = snd_mixer_poll_descriptors_count(mixer_);
    std::vector<pollfd> descriptors(static_cast<size_t>(std::max(count, 0)));
    count = snd_mixer_poll_descriptors(mixer_, descriptors.data(),
                                       static_cast<unsigned>(descriptors.size()));
    std::vector<int> fds;
    for (int i = 0; i < count; ++i) {
        fds.push_back(descriptors[static_cast<size_t>(i)].fd);
    }
    return fds;
}

bool AlsaMasterMixer::HandleEvents() {
    return snd_mixer_handle_events(mixer_) > 0;
}

OutputSilence ReadMasterSilence(const std::string& card, const std::string& element) {
    std::unique_ptr<AlsaMasterMixer> mixer = AlsaMasterMixer::Open(card, element);
    return mixer != nullptr ? MasterSilence(*mixer) : OutputSilence::kNone;
}

}  // namespace chimeon
