#include "ui/controls/mixer_fader_slider.h"

#include <poll.h>
#include <QSocketNotifier>
#include <algorithm>
#include <climits>

#include "platform/audio/alsa_master_mixer.h"

namespace chimeon {

MixerFaderSlider::MixerFaderSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent) {
    setEnabled(false);
    // Every action of the operator (page up/down, arrow keys, wheel, dragging) has moved the
    // position by the time this is emitted; the value itself follows afterwards.
    connect(this, &QAbstractSlider::actionTriggered, this, [this] {
        if (fader_.IsReady()) {
            fader_.WritePosition(sliderPosition());
        }
    });
    connect(this, &QAbstractSlider::sliderReleased, this, &MixerFaderSlider::WriteSliderValue);
}

MixerFaderSlider::~MixerFaderSlider() = default;

bool MixerFaderSlider::Init(MixerControl* control, FaderType type, ChangeEvents events) {
    StopWatching();
    setEnabled(false);
    if (type == FaderType::kBalance) {
        setValue((minimum() + maximum()) / 2);
    }
    if (control != nullptr && control->Steps() > static_cast<unsigned>(INT_MAX)) {
        fader_.Init(nullptr, type);  // a position must fit the slider
        return false;
    }
    if (!fader_.Init(control, type)) {
        if (type == FaderType::kBalance && control != nullptr && control->Steps() > 0) {
            setRange(0, static_cast<int>(control->Steps()));
            setValue(static_cast<int>(control->Steps() / 2));
        }
        return false;
    }
    setRange(0, static_cast<int>(fader_.Steps()));
    // A page is a fifth of the way (a track bar's usual page); an arrow key or a wheel notch one
    // hundredth, so that a control of 65536 steps still moves visibly.
    setPageStep(std::max(1, static_cast<int>(fader_.Steps() / 5)));
    setSingleStep(std::max(1, static_cast<int>(fader_.Steps() / 100)));
    events_ = std::move(events);
    if (events_.handle) {
        for (int fd : events_.descriptors) {
            auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            connect(notifier.get(), &QSocketNotifier::activated, this,
                    [this, watched = notifier.get()] { OnMixerEvents(watched); });
            notifiers_.push_back(std::move(notifier));
        }
    }
    ShowMixerValue();
    return true;
}

bool MixerFaderSlider::Init(AlsaMasterMixer* mixer, FaderType type) {
    if (mixer == nullptr) {
        return Init(static_cast<MixerControl*>(nullptr), type);
    }
    return Init(mixer, type,
                ChangeEvents{mixer->PollDescriptors(), [mixer] { return mixer->HandleEvents(); }});
}

void MixerFaderSlider::ShowMixerValue() {
    if (!fader_.IsReady()) {
        return;
    }
    std::optional<int> position = fader_.ReadPosition();
    if (!position) {
        return;  // nothing readable: the slider keeps what it shows
    }
    setEnabled(true);
    // While the operator drags, the drag decides; the mixer's echo of it would make the thumb jump.
    if (!isSliderDown()) {
        setValue(*position);
    }
}

void MixerFaderSlider::WriteSliderValue() {
    if (fader_.IsReady()) {
        fader_.WritePosition(value());
    }
}

void MixerFaderSlider::OnMixerEvents(QSocketNotifier* notifier) {
    // Taking the events is what makes the descriptor quiet again; always take them.
    events_.handle();
    // A descriptor that was hung up (the sound server went away) stays readable for ever and
    // would keep the window's thread spinning: stop watching it; the slider still sets the volume.
    pollfd state{static_cast<int>(notifier->socket()), POLLIN, 0};
    if (::poll(&state, 1, 0) > 0 && (state.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
        notifier->setEnabled(false);
    }
    ShowMixerValue();
    emit MixerChanged();
}

void MixerFaderSlider::StopWatching() {
    notifiers_.clear();
    events_ = {};
}

}  // namespace chimeon
