#include "ui/system/settings_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QTimeEdit>

#include "support/fake_local_clock.h"
#include "support/fake_media_player.h"
#include "support/fake_system_ports.h"
#include "support/temp_dir.h"
#include "ui/engine/media_preview_dlg.h"
#include "ui/ui_test_support.h"

namespace chimeon {
namespace {

class SettingsPageTest : public ::testing::Test, public test::WithApp {
protected:
    void Create(bool noBroadcastToday = false) {
        SettingsPageParts parts(
            {state, settings, clock, power, autostart, skinning, {dir / "skin"}, &history});
        parts.noBroadcastToday = [noBroadcastToday] { return noBroadcastToday; };
        parts.previewWindow = [this] { return &preview; };
        parts.endProgram = [this] { ++endings; };
        page = std::make_unique<CSettingsPage>(std::move(parts));
        page->CreatePage(CSettingsPage::kTemplateId, &area);
    }

    test::TempDir dir;
    AppState state;
    test::MemorySettings settings;
    test::FakeLocalClock clock;
    test::FakePowerOff power;
    test::FakeAutostart autostart;
    test::RecordingSkinning skinning;
    test::RecordedHistory history;
    test::MessageCapture messages;
    test::FakeMediaPlayer player{[] { return std::int64_t{0}; }};
    CMediaPreviewDlg preview{player, [] { return std::string(); }, settings};
    QWidget area;
    int endings = 0;
    std::unique_ptr<CSettingsPage> page;
};

TEST_F(SettingsPageTest, StartUpShowsTheSettingsAndCarriesOutTheHolidayAction) {
    settings.values = {{"Holiday", "1"}, {"Shutup", "1"}, {"ShowMedia", "0"}};
    Create(true);
    EXPECT_EQ(endings, 1);
    EXPECT_TRUE(page->holidayButton(1)->isChecked());
    EXPECT_EQ(page->holidayButton(1)->text(), QStringLiteral("退出Chimeon"));
    EXPECT_FALSE(page->showMediaCheck()->isChecked());
    EXPECT_TRUE(page->shutdownTimeEdit()->isEnabled());
    EXPECT_EQ(page->shutdownTimeEdit()->time(), QTime(8, 0));
    EXPECT_TRUE(page->shutdownTimer().isActive());
    EXPECT_EQ(page->shutdownTimer().interval(), 300);
    for (QLabel* label : page->findChildren<QLabel*>()) {  // names for the accessibility bus
        EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
    }
    page->holidayButton(2)->click();
    EXPECT_EQ(settings.values["Holiday"], "2");
}

TEST_F(SettingsPageTest, PreviewSwitchAndTheWindowsCloseKeepEachOtherRight) {
    Create();
    preview.show();
    page->showMediaCheck()->click();
    EXPECT_FALSE(preview.isVisible());
    EXPECT_EQ(settings.values["ShowMedia"], "0");
    page->showMediaCheck()->click();
    EXPECT_TRUE(preview.isVisible());
    preview.close();
    EXPECT_FALSE(page->showMediaCheck()->isChecked());
}

TEST_F(SettingsPageTest, SkinListFilledOnDropDownAndAChoiceRefusedWhileLocked) {
    std::filesystem::create_directories(dir / "skin");
    dir.Write("skin/corona.smf", "x");
    dir.Write("skin/jade.smf", "x");
    state.skinFile = "corona.smf";
    Create();
    EXPECT_EQ(page->skinList()->count(), 0);
    page->skinList()->showPopup();
    page->skinList()->hidePopup();
    ASSERT_EQ(page->skinList()->count(), 2);
    state.usePassword = true;
    page->skinList()->setCurrentIndex(1);
    emit page->skinList()->activated(1);
    page->minimizeCheck()->click();
    EXPECT_EQ(messages.messages.size(), 2);
    EXPECT_EQ(page->skinList()->currentIndex(), 0);
    EXPECT_FALSE(page->minimizeCheck()->isChecked());
    state.usePassword = false;
    emit page->skinList()->activated(1);
    EXPECT_EQ(skinning.applied, std::vector{dir / "skin/jade.smf"});
}

}  // namespace
}  // namespace chimeon
