#include "platform/audio/audio_path_check.h"

#include <alsa/asoundlib.h>

#include <algorithm>

#include "platform/audio/alsa_master_mixer.h"

namespace chimeon {
namespace {

// ALSA prints its own diagnostics on standard error; the answer here says what matters.
void Silent(const char*, int, const char*, int, const char*, ...) {}

class QuietAlsa {
public:
    QuietAlsa() { snd_lib_error_set_handler(&Silent); }
    ~QuietAlsa() { snd_lib_error_set_handler(nullptr); }
};

}  // namespace

std::vector<std::string> AudioPathProblems() {
    QuietAlsa quiet;
    std::vector<std::string> problems;
    snd_pcm_t* pcm = nullptr;
    int result = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (result < 0) {
        problems.push_back(std::string("no audio output: ALSA's \"default\" cannot be opened (") +
                           snd_strerror(result) + ")");
        return problems;
    }
    snd_pcm_close(pcm);

    auto mixer = AlsaMasterMixer::Open();
    if (!mixer) {
        return problems;  // no master volume to look at; the output itself is there
    }
    if (mixer->IsMuted() == true) {
        problems.push_back("the master volume is muted");
    }
    std::vector<std::uint32_t> values;
    if (mixer->Read(values) &&
        std::all_of(values.begin(), values.end(), [](std::uint32_t v) { return v == 0; })) {
        problems.push_back("the master volume is at zero");
    }
    return problems;
}

}  // namespace chimeon
