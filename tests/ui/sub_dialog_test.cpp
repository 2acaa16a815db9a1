#include "ui/app/sub_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "support/ui/ui_test_support.h"

namespace chimeon {
namespace {

class EditorPage : public CSubDialog {
public:
    EditorPage() : CSubDialog(140) {}
    QPlainTextEdit* editor = nullptr;
    QLineEdit* line = nullptr;
    QPushButton* button = nullptr;
    int initCount = 0;

protected:
    void OnInitDialog() override {
        ++initCount;
        editor = new QPlainTextEdit(this);
        line = new QLineEdit(this);
        line->move(0, 100);
        button = new QPushButton(QStringLiteral("保存"), this);
        button->move(0, 150);
    }
};

TEST(SubDialogTest, CreatedOnceAndEnterGoesOnlyToAMultiLineEditor) {
    test::App();
    QWidget area;
    area.resize(477, 398);
    EditorPage page;
    EXPECT_FALSE(page.IsCreated());
    EXPECT_TRUE(page.CreatePage(140, &area));
    EXPECT_TRUE(page.CreatePage(140, &area));  // created once, hidden over its parent
    EXPECT_EQ(page.initCount, 1);
    EXPECT_EQ(page.geometry(), area.rect());
    EXPECT_TRUE(page.isHidden());
    area.show();
    page.show();
    QSignalSpy clicks(page.button, &QPushButton::clicked);

    QTest::keyClicks(page.editor, QStringLiteral("8:0:0"));
    QTest::keyClick(page.editor, Qt::Key_Return);
    QTest::keyClicks(page.editor, QStringLiteral("9"));
    EXPECT_EQ(page.editor->toPlainText(), QStringLiteral("8:0:0\n9"));

    for (QWidget* focus : {static_cast<QWidget*>(page.line), static_cast<QWidget*>(page.button)}) {
        QTest::keyClick(focus, Qt::Key_Return);
        QTest::keyClick(focus, Qt::Key_Enter);
        QTest::keyClick(focus, Qt::Key_Escape);
    }
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_TRUE(page.isVisible());
    page.OnOK();
    page.OnCancel();
    EXPECT_TRUE(page.isVisible());
}

}  // namespace
}  // namespace chimeon
