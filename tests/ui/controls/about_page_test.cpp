#include "ui/controls/about_page.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMovie>
#include <QTest>

#include "core/app/program_version.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/ui/ui_test_support.h"
#include "ui/controls/gif_picture.h"

namespace chimeon {
namespace {

const std::filesystem::path kShippedLogo =
    std::filesystem::path(CHIMEON_SKIN_DIR).parent_path() / kLogoFileName;

struct AboutPageTest : ::testing::Test {
    std::unique_ptr<CAboutPage> Make(const std::filesystem::path& logo) {
        auto page = std::make_unique<CAboutPage>(logo, [this](const QUrl& link) {
            opened << link.toString();
            return openerSucceeds;
        });
        page->CreatePage(CAboutPage::kTemplateId, nullptr);
        return page;
    }
    static QColor Shown(QLabel* label) {
        label->ensurePolished();
        return label->palette().color(label->foregroundRole());
    }

    test::WithApp app_;
    test::MessageCapture messages;
    QStringList opened;
    bool openerSucceeds = true;
};

TEST_F(AboutPageTest, VersionAgreesLogoAnimatesAndLinksTurnPurpleOnceOpened) {
    auto page = Make(kShippedLogo);
    const std::string version(ProgramVersion());
    EXPECT_EQ(page->productText()->text().toStdString(), "[Vantor]Chimeon  V" + version);
    EXPECT_EQ(test::RunProgram(CHIMEON_EXECUTABLE, {"--version"}).out, "chimeon " + version + "\n");
    ASSERT_NE(page->logo()->movie(), nullptr);
    EXPECT_GT(page->logo()->movie()->frameCount(), 1);
    QTest::mouseClick(page->logo(), Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{QString::fromLatin1(kVendorSite)});

    // A link turns purple once opened, and says why when it cannot be.
    CLinkStatic* mail = page->mailLink();
    EXPECT_EQ(Shown(mail), QColor(0, 0, 238));
    EXPECT_TRUE(mail->font().underline());
    EXPECT_EQ(mail->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(mail->toolTip(), QStringLiteral("mailto:") + QString::fromLatin1(kVendorMail));
    QTest::mouseClick(mail, Qt::LeftButton);
    EXPECT_EQ(opened.last(), mail->toolTip());
    EXPECT_EQ(Shown(mail), QColor(85, 26, 139));
    EXPECT_EQ(Shown(page->webLink()), QColor(0, 0, 238));

    openerSucceeds = false;
    QTest::mouseClick(mail, Qt::LeftButton);
    EXPECT_EQ(messages.messages,
              QStringList{QStringLiteral("Unable to open hyperlink:\n\nThere is no application "
                                         "associated\nwith the given filename extension.")});
    EXPECT_EQ(Shown(mail), QColor(0, 0, 238));
}

TEST_F(AboutPageTest, MissingOrBrokenLogoLeavesThePictureEmpty) {
    test::TempDir dir;
    dir.Write("truncated.gif", std::string("GIF89a\x60\x00\x40\x00\xf2\x00\x00", 13));
    dir.Write("noise.gif", "not a picture at all");
    for (const char* name : {"", "missing.gif", "truncated.gif", "noise.gif"}) {
        auto page = Make(*name ? dir / name : std::filesystem::path());
        page->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(page->logo()->movie(), nullptr) << name;
        EXPECT_TRUE(page->logo()->pixmap().isNull()) << name;
    }
}

}  // namespace
}  // namespace chimeon
