#include "ui/engine/audio_output_monitor.h"

#include <QtConcurrent/QtConcurrentRun>

#include "platform/audio/alsa_master_mixer.h"
#include "ui/controls/mixer_fader_slider.h"

namespace chimeon {

AudioOutputMonitor::AudioOutputMonitor(AudioOutputParts parts, MixerFaderSlider& slider,
                                       QObject* parent)
    : QObject(parent), parts_(std::move(parts)), slider_(slider) {
    if (parts_.alsaMixer != nullptr) {
        slider_.Init(parts_.alsaMixer);
        volumeMixer_ = parts_.alsaMixer;
    } else {
        slider_.Init(parts_.mixer);
        volumeMixer_ = parts_.mixer;
    }
    connect(&slider_, &MixerFaderSlider::MixerChanged, this, &AudioOutputMonitor::ReadMasterVolume);
    connect(&slider_, &QSlider::valueChanged, this, &AudioOutputMonitor::ReadMasterVolume);
    probeTimer_.setSingleShot(true);
    probeTimer_.setInterval(kProbeInterval);
    connect(&probeTimer_, &QTimer::timeout, this, &AudioOutputMonitor::Probe);
}

void AudioOutputMonitor::Start() {
    ReadMasterVolume();
    Probe();
}

void AudioOutputMonitor::Probe() {
    if (!parts_.probe || probing_ != nullptr) {
        return;
    }
    // Opening the output may wait for a sound server: never on the window's thread.
    const std::uint64_t probe = watch_.ProbeStarted();
    probing_ = new QFutureWatcher<std::string>(this);
    connect(probing_, &QFutureWatcherBase::finished, this, [this, probe] {
        const std::string missing = probing_->result();
        probing_->deleteLater();
        probing_ = nullptr;
        OnProbed(probe, missing);
    });
    probing_->setFuture(QtConcurrent::run(parts_.probe));
}

void AudioOutputMonitor::PlayerOpened(OpenFailure failure, const std::string& reason) {
    watch_.PlayerOpened(failure, reason);
    Changed();
}

void AudioOutputMonitor::OnProbed(std::uint64_t probe, const std::string& missingReason) {
    watch_.ProbeAnswered(probe, missingReason);
    // An output that came up after start brings the master volume it may lack.
    if (!watch_.OutputMissing() && !slider_.IsBound() && parts_.reopenMixer) {
        if (AlsaMasterMixer* mixer = parts_.reopenMixer()) {
            slider_.Init(mixer);
            volumeMixer_ = mixer;
        }
    }
    ReadMasterVolume();
}

void AudioOutputMonitor::ReadMasterVolume() {
    watch_.MasterVolumeRead(volumeMixer_ != nullptr && slider_.IsBound()
                                ? ReadMasterVolumeState(*volumeMixer_)
                                : MasterVolumeState{});
    Changed();
}

void AudioOutputMonitor::Changed() {
    // Until sound is found again, look for it every few seconds.
    if (watch_.OutputMissing() && !probeTimer_.isActive()) {
        probeTimer_.start();
    }
    emit changed();
}

}  // namespace chimeon
