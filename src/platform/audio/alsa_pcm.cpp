#include "platform/audio/alsa_pcm.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "core/audio/wave_device.h"

namespace chimeon {
namespace {

snd_pcm_format_t SampleFormat(const WaveFormat& format) {
    if (format.formatTag != 1) {
        return SND_PCM_FORMAT_UNKNOWN;
    }
    switch (format.bitsPerSample) {
        case 8:
            return SND_PCM_FORMAT_U8;
        case 16:
            return SND_PCM_FORMAT_S16_LE;
        case 24:
            return SND_PCM_FORMAT_S24_3LE;
        case 32:
            return SND_PCM_FORMAT_S32_LE;
        default:
            return SND_PCM_FORMAT_UNKNOWN;
    }
}

snd_pcm_stream_t StreamOf(PcmDirection direction) {
    return direction == PcmDirection::kCapture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
}

// Sets access, sample format, channels and rate on `hw`; 0 or the first error.
int SetFormat(snd_pcm_t* pcm, snd_pcm_hw_params_t* hw, const WaveFormat& format) {
    const snd_pcm_format_t sampleFormat = SampleFormat(format);
    if (sampleFormat == SND_PCM_FORMAT_UNKNOWN) {
        return -EINVAL;
    }
    int result = snd_pcm_hw_params_any(pcm, hw);
    if (result >= 0) {
        result = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
    }
    if (result >= 0) {
        result = snd_pcm_hw_params_set_format(pcm, hw, sampleFormat);
    }
    if (result >= 0) {
        result = snd_pcm_hw_params_set_channels(pcm, hw, format.channels);
    }
    if (result >= 0) {
        result = snd_pcm_hw_params_set_rate(pcm, hw, format.samplesPerSec, 0);
    }
    return std::min(result, 0);
}

class AlsaPcmStream : public PcmStream {
public:
    AlsaPcmStream(snd_pcm_t* pcm, PcmDirection direction) : pcm_(pcm), direction_(direction) {}
    ~AlsaPcmStream() override { snd_pcm_close(pcm_); }
    AlsaPcmStream(const AlsaPcmStream&) = delete;
    AlsaPcmStream& operator=(const AlsaPcmStream&) = delete;

    int Configure(const WaveFormat& format, std::uint32_t periodFrames, unsigned periods) override {
        snd_pcm_drop(pcm_);
        snd_pcm_hw_params_t* hw = nullptr;
        snd_pcm_hw_params_alloca(&hw);
        if (int result = SetFormat(pcm_, hw, format); result < 0) {
            return result;
        }
        // "Near": a device that cannot take the exact sizes gets the closest it can.
        snd_pcm_uframes_t period = periodFrames;
        snd_pcm_hw_params_set_period_size_near(pcm_, hw, &period, nullptr);
        snd_pcm_uframes_t buffer = period * periods;
        snd_pcm_hw_params_set_buffer_size_near(pcm_, hw, &buffer);
        const int result = snd_pcm_hw_params(pcm_, hw);
        canPause_ = result == 0 && snd_pcm_hw_params_can_pause(hw) != 0;
        return std::min(result, 0);
    }

    int Start() override {
        const snd_pcm_state_t state = snd_pcm_state(pcm_);
        if (state != SND_PCM_STATE_PREPARED && state != SND_PCM_STATE_RUNNING) {
            if (int result = snd_pcm_prepare(pcm_); result < 0) {
                return result;
            }
        }
        return StartCapture();
    }

    int Stop() override {
        // Only a stream that runs is dropped: PulseAudio's plugin may never deliver again after a
        // drop that is followed at once by a new start.
        switch (snd_pcm_state(pcm_)) {
            case SND_PCM_STATE_OPEN:
            case SND_PCM_STATE_SETUP:
            case SND_PCM_STATE_PREPARED:
                return 0;
            default:
                return std::min(snd_pcm_drop(pcm_), 0);
        }
    }

    long Pause() override {
        if (canPause_ && snd_pcm_state(pcm_) == SND_PCM_STATE_RUNNING) {
            return std::min(snd_pcm_pause(pcm_, 1), 0);
        }
        const long unheard = direction_ == PcmDirection::kPlayback ? std::max(Delay(), 0L) : 0;
        const int result = Stop();
        return result < 0 ? result : unheard;
    }

    int Resume() override {
        if (snd_pcm_state(pcm_) == SND_PCM_STATE_PAUSED) {
            return std::min(snd_pcm_pause(pcm_, 0), 0);
        }
        return Start();
    }

    long Read(void* frames, std::uint32_t count, int timeoutMs) override {
        const snd_pcm_sframes_t ready = Available(timeoutMs);
        if (ready <= 0) {
            return ready;
        }
        const snd_pcm_sframes_t got =
            snd_pcm_readi(pcm_, frames, std::min<snd_pcm_uframes_t>(count, ready));
        return got == -EAGAIN ? 0 : got;
    }

    long Write(const void* frames, std::uint32_t count, int timeoutMs) override {
        const snd_pcm_sframes_t room = Available(timeoutMs);
        if (room <= 0) {
            return room;
        }
        const snd_pcm_sframes_t put =
            snd_pcm_writei(pcm_, frames, std::min<snd_pcm_uframes_t>(count, room));
        // Started at once: a sound shorter than the device's buffer must play too.
        if (put > 0 && snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) {
            snd_pcm_start(pcm_);
        }
        return put == -EAGAIN ? 0 : put;
    }

    int Recover(int error) override {
        const int result = snd_pcm_recover(pcm_, error, 1);
        return result < 0 ? result : StartCapture();
    }

    long Delay() override {
        // PulseAudio's plugin still reports a delay after everything was heard: the underrun
        // that the pointer update notices is what tells the end.
        if (const snd_pcm_sframes_t ready = snd_pcm_avail_update(pcm_); ready < 0) {
            return ready;
        }
        snd_pcm_sframes_t frames = 0;
        const int result = snd_pcm_delay(pcm_, &frames);
        return result < 0 ? result : frames;
    }

private:
    // Frames ready to move, after waiting at most `timeoutMs` for some; or an error code.
    snd_pcm_sframes_t Available(int timeoutMs) {
        snd_pcm_sframes_t ready = snd_pcm_avail_update(pcm_);
        if (ready == 0 && timeoutMs > 0) {
            if (int woke = snd_pcm_wait(pcm_, timeoutMs); woke < 0) {
                return woke;
            }
            ready = snd_pcm_avail_update(pcm_);
        }
        return ready;
    }

    int StartCapture() {
        if (direction_ == PcmDirection::kCapture && snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) {
            return std::min(snd_pcm_start(pcm_), 0);
        }
        return 0;
    }

    snd_pcm_t* pcm_;
    PcmDirection direction_;
    bool canPause_ = false;
};

// The sound cards with a PCM device of the direction: (ALSA name, the card's name).
std::vector<std::pair<std::string, std::string>> Cards(PcmDirection direction) {
    std::vector<std::pair<std::string, std::string>> found;
    snd_ctl_card_info_t* card = nullptr;
    snd_pcm_info_t* pcm = nullptr;
    snd_ctl_card_info_alloca(&card);
    snd_pcm_info_alloca(&pcm);
    for (int number = -1; snd_card_next(&number) == 0 && number >= 0;) {
        const std::string hw = "hw:" + std::to_string(number);
        snd_ctl_t* ctl = nullptr;
        if (snd_ctl_open(&ctl, hw.c_str(), SND_CTL_NONBLOCK) < 0) {
            continue;
        }
        bool hasDirection = false;
        for (int device = -1;
             !hasDirection && snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0;) {
            snd_pcm_info_set_device(pcm, static_cast<unsigned>(device));
            snd_pcm_info_set_subdevice(pcm, 0);
            snd_pcm_info_set_stream(pcm, StreamOf(direction));
            hasDirection = snd_ctl_pcm_info(ctl, pcm) == 0;
        }
        if (hasDirection && snd_ctl_card_info(ctl, card) == 0) {
            found.emplace_back("plug" + hw, snd_ctl_card_info_get_name(card));
        }
        snd_ctl_close(ctl);
    }
    return found;
}

}  // namespace

std::string AlsaPcmSystem::AlsaName(PcmDirection direction, std::uint32_t device) const {
    if (device != CWaveDevice::kWaveMapper) {
        const auto cards = Cards(direction);
        if (device < cards.size()) {
            return cards[device].first;
        }
    }
    return mapperDevice_;
}

std::unique_ptr<PcmStream> AlsaPcmSystem::Open(PcmDirection direction, std::uint32_t device,
                                               int* error) {
    snd_pcm_t* pcm = nullptr;
    // Never blocking, not even on a device another program holds.
    const int result = snd_pcm_open(&pcm, AlsaName(direction, device).c_str(), StreamOf(direction),
                                    SND_PCM_NONBLOCK);
    if (result < 0) {
        *error = result;
        return nullptr;
    }
    return std::make_unique<AlsaPcmStream>(pcm, direction);
}

bool AlsaPcmSystem::IsFormatSupported(PcmDirection direction, std::uint32_t device,
                                      const WaveFormat& format) {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, AlsaName(direction, device).c_str(), StreamOf(direction),
                     SND_PCM_NONBLOCK) < 0) {
        // Whether the device can be opened at all is told by Open, with the system's reason.
        return SampleFormat(format) != SND_PCM_FORMAT_UNKNOWN;
    }
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    const bool supported = SetFormat(pcm, hw, format) == 0;
    snd_pcm_close(pcm);
    return supported;
}

std::string AlsaPcmSystem::ErrorText(int error) const {
    return snd_strerror(error);
}

std::vector<std::string> AlsaPcmSystem::DeviceNames(PcmDirection direction) const {
    std::vector<std::string> names;
    for (auto& card : Cards(direction)) {
        names.push_back(std::move(card.second));
    }
    return names;
}

}  // namespace chimeon
