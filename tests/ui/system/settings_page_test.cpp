#include "ui/system/settings_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>

#include "support/fake_local_clock.h"
#include "support/fake_system_ports.h"
#include "support/temp_dir.h"
#include "support/ui/ui_test_support.h"
#include "ui/engine/media_preview_dlg.h"
#include "ui/system/network_output_box.h"

namespace chimeon {
namespace {

TEST(SettingsPageTest, StartUpActionsPreviewSwitchAndSkinListOnTheirControls) {
    test::App();
    test::TempDir dir;
    std::filesystem::create_directories(dir / "skin");
    dir.Write("skin/corona.smf", "x");
    dir.Write("skin/jade.smf", "x");
    AppState state;
    test::MemorySettings settings;
    settings.values = {{"Holiday", "1"}, {"Shutup", "1"}};
    test::FakeLocalClock clock;
    test::FakeAutostart autostart;
    test::RecordingSkinning skinning;
    test::MessageCapture messages;
    CMediaPreviewDlg preview{settings};
    QWidget area;  // the page's parent outlives it
    SettingsPageParts parts({state, settings, clock, autostart, skinning, {dir / "skin"}});
    parts.previewWindow = [&preview] { return &preview; };
    test::MemorySettings network;
    parts.networkSection = &network;
    int zonesAsked = 0;
    parts.networkZones = [&zonesAsked] {
        ++zonesAsked;
        return ZoneSnapshot{false, false, "连不上", {}};
    };
    CSettingsPage page(std::move(parts));
    page.CreatePage(CSettingsPage::kTemplateId, &area);

    EXPECT_TRUE(page.holidayButton(1)->isChecked());
    EXPECT_TRUE(page.shutdownTimeEdit()->isEnabled());
    for (QLabel* label : page.findChildren<QLabel*>()) {  // names on the accessibility bus
        EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
    }

    preview.show();
    page.showMediaCheck()->click();
    EXPECT_FALSE(preview.isVisible());
    page.showMediaCheck()->click();
    EXPECT_TRUE(preview.isVisible());
    preview.close();
    EXPECT_FALSE(page.showMediaCheck()->isChecked());

    state.skinFile = "corona.smf";
    page.skinList()->showPopup();
    page.skinList()->hidePopup();
    ASSERT_EQ(page.skinList()->count(), 2);
    EXPECT_EQ(page.skinList()->currentIndex(), 0);
    emit page.skinList()->activated(1);
    EXPECT_EQ(skinning.applied, std::vector{dir / "skin/jade.smf"});

    // The network output's box writes its own section at once.
    page.networkBox()->enabledCheck()->click();
    page.networkBox()->bufferSpin()->setValue(400);
    EXPECT_EQ(network.values["Enabled"] + " " + network.values["Buffer"], "1 400");
    // The zones are asked for only while the box is shown.
    EXPECT_EQ(zonesAsked, 0);
    area.show();
    EXPECT_EQ(zonesAsked, 0);
    page.show();  // the page chosen
    EXPECT_EQ(page.networkBox()->zonesView()->toPlainText(), QStringLiteral("连不上"));
    EXPECT_TRUE(zonesAsked == 1 && page.networkBox()->zonesTimer()->isActive());
    page.hide();
    EXPECT_FALSE(page.networkBox()->zonesTimer()->isActive());

    settings.failWrites = true;  // said, and the box shows what is stored
    page.minimizeCheck()->click();
    EXPECT_TRUE(!page.minimizeCheck()->isChecked() && messages.messages.size() == 1);
    network.failWrites = true;
    page.networkBox()->localTooCheck()->click();
    EXPECT_TRUE(page.networkBox()->localTooCheck()->isChecked() && messages.messages.size() == 2);
}

}  // namespace
}  // namespace chimeon
