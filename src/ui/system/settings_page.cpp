#include "ui/system/settings_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "ui/app/check_controls.h"
#include "ui/app/message_box.h"
#include "ui/engine/media_preview_dlg.h"
#include "ui/system/network_output_box.h"

namespace chimeon {

void CDropDownList::showPopup() {
    emit aboutToDropDown();
    QComboBox::showPopup();
}

CSettingsPage::CSettingsPage(SettingsPageParts parts, QWidget* parent)
    : CSubDialog(kTemplateId, parent), parts_(std::move(parts)), console_(parts_.console) {}

void CSettingsPage::BuildControls() {
    setObjectName(QStringLiteral("settingsPage"));
    auto* holidayBox = new QGroupBox(QStringLiteral("不播音的日期"), this);
    auto* holidayLayout = new QHBoxLayout(holidayBox);
    holidayGroup_ = new QButtonGroup(this);
    const QString holidayTexts[] = {QStringLiteral("等待"), QStringLiteral("退出Chimeon"),
                                    QStringLiteral("关机")};
    for (int action = 0; action < 3; ++action) {
        holiday_[action] = new QRadioButton(holidayTexts[action], holidayBox);
        holidayGroup_->addButton(holiday_[action], action);
        holidayLayout->addWidget(holiday_[action]);
    }
    OnIdChecked(holidayGroup_, this, [this](int action) { OnHolidayAction(action); });

    auto* systemBox = new QGroupBox(QStringLiteral("系统设置"), this);
    showMedia_ = new QCheckBox(QStringLiteral("显示媒体预览窗口"), systemBox);
    dailyShutdown_ = new QCheckBox(QStringLiteral("每日定时关机"), systemBox);
    shutdownTime_ = new QTimeEdit(systemBox);
    shutdownTime_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    launchOnStartup_ = new QCheckBox(QStringLiteral("随系统一起启动"), systemBox);
    minimize_ = new QCheckBox(QStringLiteral("启动后立即最小化"), systemBox);
    auto* systemLayout = new QFormLayout(systemBox);
    systemLayout->addRow(showMedia_);
    systemLayout->addRow(dailyShutdown_);
    systemLayout->addRow(QStringLiteral("每日定时关机时间："), shutdownTime_);
    systemLayout->addRow(launchOnStartup_);
    systemLayout->addRow(minimize_);
    OnToggled(showMedia_, this, &CSettingsPage::OnShowMediaChanged);
    OnToggled(dailyShutdown_, this, &CSettingsPage::OnDailyShutdownChanged);
    connect(shutdownTime_, &QTimeEdit::timeChanged, this, &CSettingsPage::OnShutdownTimeChanged);
    OnToggled(launchOnStartup_, this, &CSettingsPage::OnLaunchOnStartupChanged);
    OnToggled(minimize_, this, &CSettingsPage::OnMinimizeChanged);

    auto* skinBox = new QGroupBox(QStringLiteral("皮肤设置"), this);
    skins_ = new CDropDownList(skinBox);
    auto* skinLayout = new QFormLayout(skinBox);
    skinLayout->addRow(QStringLiteral("皮  肤："), skins_);
    connect(skins_, &CDropDownList::aboutToDropDown, this, &CSettingsPage::OnSkinDropDown);
    connect(skins_, &QComboBox::activated, this, &CSettingsPage::OnSkinChosen);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(holidayBox);
    layout->addWidget(systemBox);
    layout->addWidget(skinBox);
    if (parts_.networkSection != nullptr) {
        networkBox_ = new NetworkOutputBox(
            *parts_.networkSection,
            [this](const NetworkOutputSettings& wanted) {
                return console_.SetNetworkOutput(*parts_.networkSection, wanted);
            },
            this);
        connect(networkBox_, &NetworkOutputBox::refused, this,
                [this](const QString& message) { ShowMessage(this, message); });
        if (parts_.networkZones) {
            networkBox_->FollowZones(parts_.networkZones);
        }
        layout->addWidget(networkBox_);
    }
    layout->addStretch();
}

void CSettingsPage::OnInitDialog() {
    BuildControls();
    console_.Init();
    ShowView();
    preview_ = parts_.previewWindow ? parts_.previewWindow() : nullptr;
    if (preview_ != nullptr) {
        connect(preview_, &CMediaPreviewDlg::closedByOperator, this,
                &CSettingsPage::OnPreviewClosed);
    }
}

void CSettingsPage::ShowView() {
    const SettingsView& view = console_.view();
    holidayGroup_->setExclusive(false);  // a stored number beyond the three checks none
    for (int action = 0; action < 3; ++action) {
        SetCheckedQuietly(holiday_[action], view.holidayAction == action);
    }
    holidayGroup_->setExclusive(true);
    SetCheckedQuietly(showMedia_, view.showMedia);
    SetCheckedQuietly(dailyShutdown_, view.dailyShutdown);
    {
        const QSignalBlocker blocker(shutdownTime_);
        shutdownTime_->setTime(QTime(0, 0).addSecs(view.shutdownSecond));
    }
    shutdownTime_->setEnabled(view.dailyShutdown);
    SetCheckedQuietly(launchOnStartup_, view.launchOnStartup);
    SetCheckedQuietly(minimize_, view.minimize);
    skins_->setCurrentIndex(view.selectedSkin);
}

void CSettingsPage::Finish(const std::string& message) {
    ShowView();
    if (!message.empty()) {
        ShowMessage(this, QString::fromStdString(message));
    }
}

void CSettingsPage::OnHolidayAction(int action) {
    Finish(console_.SetHolidayAction(action));
}

void CSettingsPage::OnShowMediaChanged(bool on) {
    const std::string message = console_.SetShowMedia(on);
    if (message.empty() && preview_ != nullptr) {
        preview_->setVisible(console_.view().showMedia);
    }
    Finish(message);
}

void CSettingsPage::OnDailyShutdownChanged(bool on) {
    Finish(console_.SetDailyShutdown(on));
}

void CSettingsPage::OnShutdownTimeChanged() {
    Finish(console_.SetShutdownTime(QTime(0, 0).secsTo(shutdownTime_->time())));
}

void CSettingsPage::OnLaunchOnStartupChanged(bool on) {
    Finish(console_.SetLaunchOnStartup(on));
}

void CSettingsPage::OnMinimizeChanged(bool on) {
    Finish(console_.SetMinimize(on));
}

void CSettingsPage::OnSkinDropDown() {
    console_.FillSkinList();
    const QSignalBlocker blocker(skins_);
    skins_->clear();
    for (const std::string& title : console_.view().skins) {
        skins_->addItem(QString::fromStdString(title));
    }
    skins_->setCurrentIndex(console_.view().selectedSkin);
}

void CSettingsPage::OnSkinChosen(int index) {
    Finish(console_.ChooseSkin(index));
}

void CSettingsPage::OnPreviewClosed() {
    console_.PreviewClosed();
    ShowView();
}

}  // namespace chimeon
