#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "core/engine/audio_output_watch.h"
#include "core/engine/media_player.h"

namespace chimeon {

class AlsaMasterMixer;
class MixerControl;
class MixerFaderSlider;

// What the audio monitor works with; the mixers and the slider must outlive it.
struct AudioOutputParts {
    // The master volume: a mixer control (tests), or the ALSA mixer with its change events.
    // Neither: the slider is disabled.
    MixerControl* mixer = nullptr;
    AlsaMasterMixer* alsaMixer = nullptr;
    // Why there is no audio output now, "" when there is one; asked off the window's thread.
    // Empty: never asked.
    std::function<std::string()> probe;
    // Opens the master volume once the output has come up after start; null while there is none.
    // Empty: not tried.
    std::function<AlsaMasterMixer*()> reopenMixer;
};

// Whether what plays can be heard: asks for the audio output at start and, while there is none,
// every few seconds (never on the window's thread); hears every open of the player; binds the
// volume slider to the master volume, again once an output came up after start, and reads it.
class AudioOutputMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kProbeInterval{5000};

    AudioOutputMonitor(AudioOutputParts parts, MixerFaderSlider& slider, QObject* parent = nullptr);

    // Reads the master volume and asks for the output (changed() follows).
    void Start();
    // Asks whether there is an audio output now (the probe timer's work).
    void Probe();
    void PlayerOpened(OpenFailure failure, const std::string& reason);
    // The operator's words ("" when sound can be heard).
    std::string Notice() const { return watch_.Notice(); }
    const QTimer& probeTimer() const { return probeTimer_; }

signals:
    // The notice or the slider's state may have changed.
    void changed();

private:
    void OnProbed(std::uint64_t probe, const std::string& missingReason);
    void ReadMasterVolume();
    void Changed();

    AudioOutputParts parts_;
    MixerFaderSlider& slider_;
    MixerControl* volumeMixer_ = nullptr;
    AudioOutputWatch watch_;
    QTimer probeTimer_;
    QFutureWatcher<std::string>* probing_ = nullptr;
};

}  // namespace chimeon
