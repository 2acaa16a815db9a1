#pragma once

#include <QGroupBox>
#include <functional>
#include <string>

#include "core/network/network_output_settings.h"
#include "core/network/zone_state.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTimer;

namespace chimeon {

class SettingsStore;

// The settings page's box of the network output (a Snapcast server): on or off, the server, its
// two ports, its buffer, and whether the sound card plays too. Every change is handed to `store`
// at once with the settings as they now are; what it answers ("" when stored) is shown by the
// page, and the box shows again what `section` holds.
class NetworkOutputBox : public QGroupBox {
    Q_OBJECT
public:
    using Store = std::function<std::string(const NetworkOutputSettings&)>;
    NetworkOutputBox(const SettingsStore& section, Store store, QWidget* parent = nullptr);
    // Shows the zones the running network output knows, asked every two seconds while the box
    // is shown and never while it is hidden (on the box's thread; `zones` must never wait).
    void FollowZones(std::function<ZoneSnapshot()> zones);

    // Shows what is stored.
    void ShowStored();

    QCheckBox* enabledCheck() const { return enabled_; }
    QLineEdit* hostEdit() const { return host_; }
    QSpinBox* bufferSpin() const { return buffer_; }
    QCheckBox* localTooCheck() const { return localToo_; }
    QPlainTextEdit* zonesView() const { return zonesView_; }
    QTimer* zonesTimer() const { return zonesTimer_; }

signals:
    // A change was not stored: the page says why.
    void refused(const QString& message);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Changed();
    void ShowZones();

    const SettingsStore& section_;
    Store store_;
    QCheckBox* enabled_ = nullptr;
    QLineEdit* host_ = nullptr;
    QSpinBox* streamPort_ = nullptr;
    QSpinBox* controlPort_ = nullptr;
    QSpinBox* buffer_ = nullptr;
    QCheckBox* localToo_ = nullptr;
    QPlainTextEdit* zonesView_ = nullptr;
    std::function<ZoneSnapshot()> zones_;
    QTimer* zonesTimer_ = nullptr;
};

}  // namespace chimeon
