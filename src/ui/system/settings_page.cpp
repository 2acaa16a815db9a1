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

#include "ui/app/message_box.h"
#include "ui/engine/media_preview_dlg.h"

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
    connect(holidayGroup_, &QButtonGroup::idClicked, this, &CSettingsPage::OnHolidayAction);

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
    connect(showMedia_, &QCheckBox::clicked, this, &CSettingsPage::OnShowMediaClicked);
    connect(dailyShutdown_, &QCheckBox::clicked, this, &CSettingsPage::OnDailyShutdownClicked);
    connect(shutdownTime_, &QTimeEdit::timeChanged, this, &CSettingsPage::OnShutdownTimeChanged);
    connect(launchOnStartup_, &QCheckBox::clicked, this, &CSettingsPage::OnLaunchOnStartupClicked);
    connect(minimize_, &QCheckBox::clicked, this, &CSettingsPage::OnMinimizeClicked);

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
    layout->addStretch();
}

void CSettingsPage::OnInitDialog() {
    BuildControls();
    const std::string message = console_.Init();
    ShowView();
    if (!message.empty()) {
        // Said without holding up the start: nobody may be there to answer.
        ShowNotice(this, QString::fromStdString(message));
    }
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
        holiday_[action]->setChecked(view.holidayAction == action);
    }
    holidayGroup_->setExclusive(true);
    showMedia_->setChecked(view.showMedia);
    dailyShutdown_->setChecked(view.dailyShutdown);
    {
        const QSignalBlocker blocker(shutdownTime_);
        shutdownTime_->setTime(QTime(0, 0).addSecs(view.shutdownSecond));
    }
    shutdownTime_->setEnabled(view.dailyShutdown);
    launchOnStartup_->setChecked(view.launchOnStartup);
    minimize_->setChecked(view.minimize);
    skins_->setCurrentIndex(view.selectedSkin);
}

void CSettingsPage::Finish(const std::string& message) {
    ShowView();
    if (!message.empty()) {
        ShowMessage(this, QString::fromStdString(message));
    }
}

void CSettingsPage::OnHolidayAction(int action) {
    console_.SetHolidayAction(action);
    ShowView();
}

void CSettingsPage::OnShowMediaClicked() {
    const std::string message = console_.SetShowMedia(showMedia_->isChecked());
    if (message.empty() && preview_ != nullptr) {
        preview_->setVisible(console_.view().showMedia);
    }
    Finish(message);
}

void CSettingsPage::OnDailyShutdownClicked() {
    Finish(console_.SetDailyShutdown(dailyShutdown_->isChecked()));
}

void CSettingsPage::OnShutdownTimeChanged() {
    Finish(console_.SetShutdownTime(QTime(0, 0).secsTo(shutdownTime_->time())));
}

void CSettingsPage::OnLaunchOnStartupClicked() {
    Finish(console_.SetLaunchOnStartup(launchOnStartup_->isChecked()));
}

void CSettingsPage::OnMinimizeClicked() {
    Finish(console_.SetMinimize(minimize_->isChecked()));
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
