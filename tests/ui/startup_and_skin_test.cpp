#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QStyleOptionSpinBox>
#include <QTimeEdit>
#include <QTranslator>
#include <QtGlobal>
#include <set>

#include "support/fake_system_ports.h"
#include "support/temp_dir.h"
#include "ui/app/main_dlg.h"
#include "ui/app/startup.h"
#include "ui/app/style_sheet_skinning.h"
#include "ui/controls/caption_label.h"
#include "ui/controls/gfx_out_bar_ctrl.h"
#include "ui_test_support.h"

namespace chimeon {
namespace {

const std::filesystem::path kShippedSkins = CHIMEON_SKIN_DIR;

using test::RecordingSkinning;

TEST(StartupSkinTest, ChoiceAndItsTwoMessages) {
    test::App();
    struct Case {
        const char* setting;
        std::vector<const char*> files;
        const char* loaded;   // "" when none
        const char* message;  // "" when none
    };
    const Case cases[] = {
        {"jade.smf", {"corona.smf", "jade.smf"}, "jade.smf", ""},
        {"", {"corona.smf", "jade.smf"}, "corona.smf", ""},
        {"", {"jade.smf"}, "jade.smf", ""},
        {"gone.smf", {"midnight.smf", "jade.smf"}, "jade.smf", ""},
        {"gone.smf", {}, "", "Can not find any skin"},
        {"", {}, "", "Can not find any skin!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.setting) + " -> " + c.loaded + c.message);
        test::TempDir dir;
        std::filesystem::create_directory(dir / "skin");
        for (const char* file : c.files) {
            dir.Write(std::string("skin/") + file, "QWidget {}");
        }
        test::MemorySettings settings;
        settings.values["Skin"] = c.setting;
        RecordingSkinning skinning;
        AppState state;
        test::MessageCapture messages;
        const bool started = ApplyStartupSkin(settings, {dir / "skin"}, skinning, state);
        EXPECT_EQ(started, *c.message == '\0');
        if (*c.message != '\0') {
            EXPECT_EQ(messages.messages, QStringList{QString::fromLatin1(c.message)});
            EXPECT_TRUE(skinning.applied.empty());
        } else {
            EXPECT_TRUE(messages.messages.isEmpty());
            ASSERT_EQ(skinning.applied.size(), 1u);
            EXPECT_EQ(skinning.applied[0].filename(), c.loaded);
            EXPECT_EQ(state.skinFile, c.loaded);
        }
        EXPECT_EQ(settings.values["Skin"], c.setting);  // never rewritten
    }
}

// Shipped skins parse as style sheets and restyle every open window at once, the navigation bar
// and the page title included.
TEST(StartupSkinTest, ShippedSkinsRestyleOpenWindowsAtOnce) {
    test::App();
    static QStringList warnings;
    warnings.clear();
    QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            // Only the style sheet's own complaints count; the offscreen platform has its own.
            if (type != QtDebugMsg && type != QtInfoMsg &&
                (text.contains(QLatin1String("style"), Qt::CaseInsensitive) ||
                 text.contains(QLatin1String("parse")) ||
                 text.contains(QLatin1String("property"), Qt::CaseInsensitive))) {
                warnings.append(text);
            }
        });
    test::TrayAvailability tray(false);
    test::MessageCapture messages;
    AppState state;
    test::MemorySettings settings;
    CMainDlg window(state, settings, "/data");
    window.show();
    QPushButton other(QStringLiteral("播放"));
    other.show();
    QTimeEdit picker;
    picker.show();
    // Across the middle of the picker's up button the arrow has a colour of its own.
    auto upArrowColours = [&picker] {
        QStyleOptionSpinBox option;
        option.initFrom(&picker);
        const QRect up = picker.style()->subControlRect(QStyle::CC_SpinBox, &option,
                                                        QStyle::SC_SpinBoxUp, &picker);
        const QImage image = picker.grab().toImage();
        std::set<QRgb> colours;
        for (int x = up.center().x() - 2; x <= up.center().x() + 2; ++x) {
            colours.insert(image.pixel(x, up.center().y()));
        }
        return colours.size();
    };

    StyleSheetSkinning skinning;
    std::vector<QColor> barColors;
    std::vector<QColor> captionColors;
    std::vector<QColor> buttonColors;
    for (const char* skin : {"corona.smf", "jade.smf", "midnight.smf"}) {
        SCOPED_TRACE(skin);
        ASSERT_TRUE(std::filesystem::exists(kShippedSkins / skin));
        ASSERT_TRUE(skinning.ApplySkinFile(kShippedSkins / skin));
        QApplication::processEvents();
        barColors.push_back(window.navigationBar()->property("backgroundColor").value<QColor>());
        captionColors.push_back(window.captionLabel()->backgroundColor());
        buttonColors.push_back(other.palette().color(QPalette::Button));
        other.grab();
        window.grab();
        EXPECT_GT(upArrowColours(), 1u) << "no up arrow on the time picker";
    }
    skinning.Shutdown();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
    for (std::size_t i = 1; i < barColors.size(); ++i) {
        EXPECT_NE(barColors[i], barColors[i - 1]);
        EXPECT_NE(captionColors[i], captionColors[i - 1]);
        EXPECT_NE(buttonColors[i], buttonColors[i - 1]);
    }
    EXPECT_EQ(barColors[0], QColor(QStringLiteral("#2f558f")));
}

TEST(StartupSkinTest, QtsOwnButtonsSpeakChinese) {
    QTranslator* translator = LoadQtChineseTranslations(test::App());
    ASSERT_NE(translator, nullptr) << "qt6-translations-l10n is not installed";
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Yes | QDialogButtonBox::No);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_TRUE(buttons.button(QDialogButtonBox::Yes)->text().startsWith(QStringLiteral("是")));
    EXPECT_TRUE(buttons.button(QDialogButtonBox::No)->text().startsWith(QStringLiteral("否")));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

}  // namespace
}  // namespace chimeon
