#include "core/engine/audio_output_watch.h"

#include <algorithm>
#include <vector>

#include "core/engine/operator_notices.h"

namespace chimeon {

MasterVolumeState ReadMasterVolumeState(MixerControl& mixer) {
    MasterVolumeState state;
    state.muted = mixer.IsMuted() == true;
    std::vector<std::uint32_t> values;
    state.atZero =
        mixer.Read(values) && !values.empty() &&
        std::all_of(values.begin(), values.end(), [](std::uint32_t v) { return v == 0; });
    return state;
}

bool AudioOutputWatch::ProbeAnswered(std::uint64_t probe, const std::string& missingReason) {
    if (probe < lastPlayerOpen_) {
        return false;
    }
    if (missingReason.empty()) {
        missingReason_.reset();
    } else {
        missingReason_ = missingReason;
    }
    return true;
}

void AudioOutputWatch::PlayerOpened(OpenFailure failure, const std::string& reason) {
    if (failure == OpenFailure::kFile) {
        return;
    }
    lastPlayerOpen_ = ++sequence_;
    if (failure == OpenFailure::kNone) {
        missingReason_.reset();
    } else {
        missingReason_ = reason;
    }
}

std::string AudioOutputWatch::Notice() const {
    if (missingReason_) {
        // The reason is a technician's detail; the words before it are the operator's.
        return missingReason_->empty() ? std::string(NoticeLead(NoticeTopic::kAudioOutput))
                                       : ReportedNotice(NoticeTopic::kAudioOutput, *missingReason_);
    }
    if (volume_.muted) {
        return "主音量已静音，铃声和节目听不到！";
    }
    if (volume_.atZero) {
        return "主音量为零，铃声和节目听不到！";
    }
    return {};
}

}  // namespace chimeon
