#pragma once

#include <QAbstractButton>
#include <QButtonGroup>
#include <QSignalBlocker>

namespace chimeon {

// Radio buttons and check boxes act on their change of state, so that they do the same however
// they are operated: a click, a key, or the accessibility bus's toggle action (which calls
// toggle() and emits no clicked). The program shows a state with SetCheckedQuietly, so that
// showing is never taken for the operator's choice.

// `handler(checked)` each time the control is ticked or cleared.
template <typename Receiver, typename Handler>
void OnToggled(QAbstractButton* control, Receiver* receiver, Handler handler) {
    QObject::connect(control, &QAbstractButton::toggled, receiver, handler);
}

// `handler()` each time the radio button becomes the checked one of its group.
template <typename Receiver, typename Handler>
void OnChecked(QAbstractButton* radio, Receiver* receiver, Handler handler) {
    QObject::connect(radio, &QAbstractButton::toggled, receiver, [handler](bool checked) {
        if (checked) {
            handler();
        }
    });
}

// `handler(id)` each time a button of the group becomes the checked one; the button it unchecks
// reports its change too, and is no choice.
template <typename Receiver, typename Handler>
void OnIdChecked(QButtonGroup* group, Receiver* receiver, Handler handler) {
    QObject::connect(group, &QButtonGroup::idToggled, receiver, [handler](int id, bool checked) {
        if (checked) {
            handler(id);
        }
    });
}

// Shows a state without reporting it, neither by the control nor by its group.
inline void SetCheckedQuietly(QAbstractButton* control, bool checked) {
    const QSignalBlocker controlBlocker(control);
    const QSignalBlocker groupBlocker(control->group());
    control->setChecked(checked);
}

}  // namespace chimeon
