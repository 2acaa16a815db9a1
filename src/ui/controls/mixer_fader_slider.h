#pragma once

#include <QSlider>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/audio/mixer_control.h"
#include "core/audio/mixer_fader.h"

class QSocketNotifier;

namespace chimeon {

class AlsaMasterMixer;

// A slider that shows and sets one fader of the sound card's mixer (the master volume). The
// position runs from 0 to the control's step count; every move the operator makes is written to
// the mixer, and changes made elsewhere move the slider as soon as the mixer reports them. Without
// a usable control the slider is disabled and does nothing else.
class MixerFaderSlider : public QSlider {
    Q_OBJECT

public:
    // How the mixer reports outside changes: descriptors that become readable, and the call that
    // takes the pending events (true when the volume may have changed).
    struct ChangeEvents {
        std::vector<int> descriptors;
        std::function<bool()> handle;
    };

    explicit MixerFaderSlider(Qt::Orientation orientation = Qt::Horizontal,
                              QWidget* parent = nullptr);
    ~MixerFaderSlider() override;

    // Binds the slider to `control` (which outlives it, or the next Init). False, with the slider
    // disabled, when there is no control or it cannot be shown; `diagnostic()` says why.
    bool Init(MixerControl* control, FaderType type = FaderType::kMain, ChangeEvents events = {});
    // The ALSA master volume, its change events watched by the event loop.
    bool Init(AlsaMasterMixer* mixer, FaderType type = FaderType::kMain);

    const std::string& diagnostic() const { return fader_.diagnostic(); }
    bool IsBound() const { return fader_.IsReady(); }

    // Moves the slider to the mixer's current values (enables it once they could be read).
    void ShowMixerValue();
    // Writes the slider's position to the mixer.
    void WriteSliderValue();

signals:
    // The mixer reported a change and the slider shows it.
    void MixerChanged();

private:
    void OnMixerEvents(QSocketNotifier* notifier);
    void StopWatching();

    MixerFader fader_;
    ChangeEvents events_;
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers_;
};

}  // namespace chimeon
