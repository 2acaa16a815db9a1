#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionSpinBox>
#include <QTimeEdit>
#include <QTranslator>
#include <QtGlobal>
#include <algorithm>
#include <array>
#include <cmath>
#include <set>

#include "support/fake_system_ports.h"
#include "support/temp_dir.h"
#include "support/ui/ui_test_support.h"
#include "ui/app/main_dlg.h"
#include "ui/app/startup.h"
#include "ui/app/style_sheet_skinning.h"
#include "ui/controls/about_page.h"
#include "ui/controls/caption_label.h"
#include "ui/controls/gfx_out_bar_ctrl.h"

namespace chimeon {
namespace {

const std::filesystem::path kShippedSkins = CHIMEON_SKIN_DIR;

using test::RecordingSkinning;

double Linear(double v) {  // an sRGB component as light
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// The contrast of two colours (WCAG): 1 (one luminance) to 21 (black on white).
double Contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
    };
    const auto [dark, light] = std::minmax({luminance(a), luminance(b)});
    return (light + 0.05) / (dark + 0.05);
}

// The choice itself is the core's; here: the skin is applied, or its message shown, and the
// setting is never rewritten.
TEST(StartupSkinTest, AppliesTheChosenSkinOrShowsItsMessage) {
    test::App();
    for (const char* setting : {"jade.smf", "gone.smf"}) {
        SCOPED_TRACE(setting);
        test::TempDir dir;
        std::filesystem::create_directory(dir / "skin");
        const bool found = *setting == 'j';
        if (found) {
            dir.Write("skin/jade.smf", "QWidget {}");
        }
        test::MemorySettings settings;
        settings.values["Skin"] = setting;
        RecordingSkinning skinning;
        AppState state;
        test::MessageCapture messages;
        EXPECT_EQ(ApplyStartupSkin(settings, {dir / "skin"}, skinning, state), found);
        EXPECT_EQ(messages.messages,
                  found ? QStringList{} : QStringList{QStringLiteral("Can not find any skin")});
        EXPECT_EQ(skinning.applied.size(), found ? 1u : 0u);
        EXPECT_EQ(state.skinFile, found ? "jade.smf" : "");
        EXPECT_EQ(settings.values["Skin"], setting);
    }
}

// Shipped skins parse as style sheets and restyle every open window at once, the navigation bar
// and the page title included. Each keeps the about page's links (also once visited) and the
// title's word readable (a contrast of 4.5:1), and greys every kind of control the pages
// disable, also where it colours the control's text itself.
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
    CAboutPage about({});
    about.CreatePage(CAboutPage::kTemplateId, window.pageArea());
    QWidget disabled;
    const QList<QWidget*> controls = {new QTimeEdit(&disabled),   new QLineEdit(&disabled),
                                      new QComboBox(&disabled),   new QRadioButton(&disabled),
                                      new QPushButton(&disabled), new QLabel(&disabled)};
    disabled.setEnabled(false);
    auto shown = [](QWidget* text, QPalette::ColorGroup group) {
        text->ensurePolished();
        return text->palette().color(group, text->foregroundRole());
    };
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
    std::vector<std::array<QColor, 3>> colours;  // the bar's, the title's, a button's
    for (const char* skin : {"corona.smf", "jade.smf", "midnight.smf"}) {
        SCOPED_TRACE(skin);
        ASSERT_TRUE(std::filesystem::exists(kShippedSkins / skin));
        ASSERT_TRUE(skinning.ApplySkinFile(kShippedSkins / skin));
        QApplication::processEvents();
        colours.push_back({window.navigationBar()->property("backgroundColor").value<QColor>(),
                           window.captionLabel()->backgroundColor(),
                           other.palette().color(QPalette::Button)});
        other.grab();
        window.grab();
        EXPECT_GT(upArrowColours(), 1u) << "no up arrow on the time picker";
        CCaptionLabel* title = window.captionLabel();
        EXPECT_GE(Contrast(title->wordColor(), title->backgroundColor()), 4.5);
        for (bool visited : {false, true}) {
            about.mailLink()->SetVisited(visited);
            EXPECT_GE(Contrast(shown(about.mailLink(), QPalette::Active),
                               about.palette().color(about.backgroundRole())),
                      4.5)
                << visited;
        }
        for (QWidget* control : controls) {
            QWidget* text = control->findChild<QLineEdit*>();  // what a spin box draws with
            text = text != nullptr ? text : control;
            EXPECT_NE(shown(text, QPalette::Disabled), shown(text, QPalette::Active))
                << control->metaObject()->className();
        }
    }
    skinning.Shutdown();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
    for (std::size_t i = 1; i < colours.size(); ++i) {
        for (std::size_t part = 0; part < 3; ++part) {
            EXPECT_NE(colours[i][part], colours[i - 1][part]) << part;
        }
    }
    EXPECT_EQ(colours[0][0], QColor(QStringLiteral("#2f558f")));
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
