#pragma once

#include <QComboBox>
#include <array>
#include <functional>

#include "core/network/zone_state.h"
#include "core/system/settings_console.h"
#include "ui/app/sub_dialog.h"

class QButtonGroup;
class QCheckBox;
class QRadioButton;
class QTimeEdit;

namespace chimeon {

class CMediaPreviewDlg;

// What the settings page works with beside the console's parts; everything must outlive it.
struct SettingsPageParts {
    explicit SettingsPageParts(SettingsConsoleParts consoleParts)
        : console(std::move(consoleParts)) {}

    SettingsConsoleParts console;
    // The today page's video preview window, null while there is none.
    std::function<CMediaPreviewDlg*()> previewWindow;
    // setup.ini's section of the network output; no box for it when null.
    SettingsStore* networkSection = nullptr;
    // The running network output's zones, when there is one.
    std::function<ZoneSnapshot()> networkZones;
};

// A drop-down list that says when it is about to drop down (the skin list is filled then).
class NetworkOutputBox;

class CDropDownList : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void aboutToDropDown();
};

// The settings page: the holiday action, the preview window, the daily shutdown, launching with
// the desktop session, starting hidden, the skin. Each choice is written at once (the broadcaster
// reads the daily shutdown and the holiday action from there).
class CSettingsPage : public CSubDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 147;

    explicit CSettingsPage(SettingsPageParts parts, QWidget* parent = nullptr);

    // The operator's choices, each under the edit check and written at once.
    void OnHolidayAction(int action);
    void OnShowMediaChanged(bool on);
    void OnDailyShutdownChanged(bool on);
    void OnShutdownTimeChanged();
    void OnLaunchOnStartupChanged(bool on);
    void OnMinimizeChanged(bool on);
    void OnSkinDropDown();
    void OnSkinChosen(int index);
    // The operator closed the preview window.
    void OnPreviewClosed();

    SettingsConsole& console() { return console_; }
    QRadioButton* holidayButton(int action) const { return holiday_[action]; }
    QCheckBox* showMediaCheck() const { return showMedia_; }
    QCheckBox* dailyShutdownCheck() const { return dailyShutdown_; }
    QTimeEdit* shutdownTimeEdit() const { return shutdownTime_; }
    QCheckBox* launchOnStartupCheck() const { return launchOnStartup_; }
    QCheckBox* minimizeCheck() const { return minimize_; }
    CDropDownList* skinList() const { return skins_; }
    NetworkOutputBox* networkBox() const { return networkBox_; }

protected:
    void OnInitDialog() override;

private:
    void BuildControls();
    // Moves the view into the controls (which undoes a refused click).
    void ShowView();
    void Finish(const std::string& message);

    SettingsPageParts parts_;
    SettingsConsole console_;
    CMediaPreviewDlg* preview_ = nullptr;
    QButtonGroup* holidayGroup_ = nullptr;
    std::array<QRadioButton*, 3> holiday_{};
    QCheckBox* showMedia_ = nullptr;
    QCheckBox* dailyShutdown_ = nullptr;
    QTimeEdit* shutdownTime_ = nullptr;
    QCheckBox* launchOnStartup_ = nullptr;
    QCheckBox* minimize_ = nullptr;
    CDropDownList* skins_ = nullptr;
    NetworkOutputBox* networkBox_ = nullptr;
};

}  // namespace chimeon
