#include "ui/mp3/mp3_info_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>

#include "core/mp3/mp3_test_frames.h"
#include "support/temp_dir.h"
#include "ui/ui_test_support.h"

namespace chimeon {
namespace {

using test::Field;
using test::Tag;

class Mp3InfoPageTest : public ::testing::Test {
protected:
    Mp3InfoPageTest() {  // the title is GBK for 上课铃, as tags store it
        const std::string frames = test::Frame({}, 417) + test::Frame({}, 417);
        dir.Write(
            "tagged.mp3",
            frames + Tag(Field(test::Hex("c9 cf bf ce c1 e5"), 30) + Field("School", 30), 147));
        dir.Write("plain.mp3", frames);
        page.CreatePage(CMp3InfoPage::kTemplateId, nullptr);
    }

    // Chooses the file as the operator does and waits for its report.
    QStringList Choose(const std::filesystem::path& path) {
        const QString chosen = QString::fromStdString(path.string());
        page.SetFileChooser([chosen](QWidget*) { return chosen; });
        QSignalSpy shown(&page, &CMp3InfoPage::reportShown);
        page.ChooseFile();
        EXPECT_TRUE(page.IsReading());
        EXPECT_TRUE(shown.wait(10000));
        EXPECT_FALSE(page.IsReading());
        EXPECT_EQ(page.filePath()->text(), chosen);
        return page.report()->toPlainText().split(QLatin1Char('\n'));
    }

    test::WithApp app_;
    test::TempDir dir;
    CMp3InfoPage page;
};

TEST_F(Mp3InfoPageTest, ShowsTheSharedReportAndTheTag) {
    QStringList lines = Choose(dir / "tagged.mp3");
    CMp3Info info((dir / "tagged.mp3").string());
    QStringList expected;
    for (const std::string& line : Mp3InfoReportLines(info)) {
        expected << QString::fromStdString(line);
    }
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(lines[1], QStringLiteral("有效性：数据完整。MP3 标记完整。"));
    EXPECT_EQ(page.titleField()->text(), QStringLiteral("上课铃"));
    EXPECT_EQ(page.artistField()->text(), QStringLiteral("School"));
    EXPECT_EQ(page.genreBox()->count(), 149);
    EXPECT_EQ(page.genreBox()->currentText(), QStringLiteral("SynthPop"));

    lines = Choose(dir / "plain.mp3");
    EXPECT_EQ(lines[1], QStringLiteral("有效性：数据完整。MP3 标记不完整。"));
    EXPECT_EQ(page.titleField()->text(), QString());
    EXPECT_EQ(page.trackField()->text(), QStringLiteral("0"));
    EXPECT_EQ(page.genreBox()->currentIndex(), 0);
}

TEST_F(Mp3InfoPageTest, AFileThatCannotBeOpenedClearsTheFieldsAndSaysSo) {
    Choose(dir / "tagged.mp3");
    const std::string missing = (dir / "gone.mp3").string();
    EXPECT_EQ(Choose(missing),
              QStringList{QString::fromStdString("读取'" + missing + "'文件信息时出错！.")});
    EXPECT_EQ(page.titleField()->text(), QString());
    EXPECT_EQ(page.genreBox()->currentIndex(), -1);
}

}  // namespace
}  // namespace chimeon
