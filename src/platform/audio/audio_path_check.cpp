#include "platform/audio/audio_path_check.h"

#include <alsa/asoundlib.h>

#include "core/engine/audio_output_watch.h"
#include "core/io/file_problem.h"
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

std::string AudioOutputProblem() {
    QuietAlsa quiet;
    snd_pcm_t* pcm = nullptr;
    int result = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (result < 0) {
        // ALSA's errors are negative errno values; the notice shows them in the operator's words.
        return "ALSA 的“default”设备打不开（" + FileErrorText(-result) + "）";
    }
    snd_pcm_close(pcm);
    return {};
}

std::vector<std::string> AudioPathProblems() {
    std::vector<std::string> problems;
    if (std::string missing = AudioOutputProblem(); !missing.empty()) {
        problems.push_back("no audio output: " + missing);
        return problems;
    }
    QuietAlsa quiet;
    auto mixer = AlsaMasterMixer::Open();
    if (!mixer) {
        return problems;  // no master volume to look at; the output itself is there
    }
    const MasterVolumeState volume = ReadMasterVolumeState(*mixer);
    if (volume.muted) {
        problems.push_back("the master volume is muted");
    }
    if (volume.atZero) {
        problems.push_back("the master volume is at zero");
    }
    return problems;
}

}  // namespace chimeon
