#include "ui/app/system_tray.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace chimeon {

namespace {
std::optional<bool>& AvailabilityOverride() {
    static std::optional<bool> available;
    return available;
}
}  // namespace

CSystemTray::CSystemTray(QObject* parent) : QObject(parent) {}

CSystemTray::~CSystemTray() {
    RemoveIcon();
}

bool CSystemTray::IsAvailable() {
    return AvailabilityOverride().value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void CSystemTray::SetAvailabilityForTesting(std::optional<bool> available) {
    AvailabilityOverride() = available;
}

bool CSystemTray::Create(QWidget* parent, const QString& tip, const QIcon& icon, int iconId,
                         QMenu* menu) {
    if (parent == nullptr || !IsAvailable()) {
        enabled_ = false;
        return false;
    }
    iconId_ = iconId;
    icon_ = std::make_unique<QSystemTrayIcon>(icon, parent);
    icon_->setToolTip(tip);
    if (menu != nullptr) {
        icon_->setContextMenu(menu);
    }
    connect(icon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                TrayMouse message = TrayMouse::kOther;
                if (reason == QSystemTrayIcon::DoubleClick) {
                    message = TrayMouse::kLeftDoubleClick;
                } else if (reason == QSystemTrayIcon::Trigger) {
                    message = TrayMouse::kLeftClick;
                } else if (reason == QSystemTrayIcon::Context) {
                    message = TrayMouse::kRightButtonUp;
                }
                emit notify(iconId_, message);
            });
    icon_->show();
    enabled_ = true;
    return true;
}

bool CSystemTray::SetIcon(const QIcon& icon) {
    if (!enabled_) {
        return false;
    }
    icon_->setIcon(icon);
    return true;
}

bool CSystemTray::RemoveIcon() {
    if (!enabled_) {
        return false;
    }
    icon_->hide();
    icon_.reset();
    enabled_ = false;
    return true;
}

bool CSystemTray::IsShown() const {
    return enabled_ && icon_ && icon_->isVisible() && IsAvailable();
}

QString CSystemTray::toolTip() const {
    return icon_ ? icon_->toolTip() : QString();
}

}  // namespace chimeon
