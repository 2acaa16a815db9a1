#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace chimeon {

// Mouse messages the tray reports to its owner. A tray that speaks StatusNotifierItem reports
// every left click as a single click, never as a double-click.
enum class TrayMouse { kRightButtonUp, kLeftClick, kLeftDoubleClick, kOther };

// The icon in the notification area. Shown only when the desktop has a tray.
class CSystemTray : public QObject {
    Q_OBJECT
public:
    explicit CSystemTray(QObject* parent = nullptr);
    ~CSystemTray() override;

    // Shows the icon with its tip and menu; false when there is no parent window or no tray.
    bool Create(QWidget* parent, const QString& tip, const QIcon& icon, int iconId, QMenu* menu);
    bool SetIcon(const QIcon& icon);
    bool RemoveIcon();
    // The icon is in the notification area now (the tray may have gone since Create).
    bool IsShown() const;
    int iconId() const { return iconId_; }
    QString toolTip() const;

    // Whether the desktop offers a tray; tests may decide it.
    static bool IsAvailable();
    static void SetAvailabilityForTesting(std::optional<bool> available);

signals:
    void notify(int iconId, chimeon::TrayMouse message);

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
    bool enabled_ = false;
    int iconId_ = 0;
};

}  // namespace chimeon
