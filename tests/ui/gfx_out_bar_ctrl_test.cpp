#include "ui/controls/gfx_out_bar_ctrl.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

#include "support/ui/ui_test_support.h"

namespace chimeon {
namespace {

class OutBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::App();
        bar.resize(90, 300);
        for (const char* folder : {"操作", "帮助", "其他"}) {
            bar.AddFolder(QString::fromUtf8(folder));
        }
        for (int i = 0; i < 3; ++i) {
            bar.AddItem(0, QStringLiteral("项目%1").arg(i), i);
        }
        bar.AddItem(1, QStringLiteral("关于"), 0);
    }

    void Click(const QPoint& point) {
        QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier, point);
    }

    test::WithApp app_;
    CGfxOutBarCtrl bar;
};

TEST_F(OutBarTest, ClicksChooseItemsAndOpenFolders) {
    QSignalSpy items(&bar, &CGfxOutBarCtrl::itemActivated);
    QSignalSpy folders(&bar, &CGfxOutBarCtrl::folderOpened);
    Click(bar.ItemRect(2).center());
    EXPECT_EQ(items, QList<QList<QVariant>>{{2}});
    EXPECT_EQ(bar.ChosenItem(), 2);
    // Pressed on an item and released on another: nothing chosen.
    QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, bar.ItemRect(0).center());
    QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, bar.ItemRect(1).center());
    EXPECT_EQ(items.count(), 1);

    // A folder button: the open folder's does nothing, another's opens its folder.
    bar.show();
    Click(bar.FolderRect(0).center());
    Click(bar.FolderRect(2).center());
    EXPECT_EQ(bar.SelectedFolder(), 2);
    EXPECT_EQ(bar.ChosenItem(), -1);
    EXPECT_EQ(folders, QList<QList<QVariant>>{{2}});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bar.IsFolderAnimationRunning(); }, 5000));
}

TEST_F(OutBarTest, ScrollArrowsFollowTheItemsThatDoNotFit) {
    for (int i = 3; i < 12; ++i) {
        bar.AddItem(0, QStringLiteral("项目%1").arg(i), 0);
    }
    EXPECT_FALSE(bar.IsUpArrowShown());
    ASSERT_TRUE(bar.IsDownArrowShown());
    int clicks = 0;
    while (bar.IsDownArrowShown() && clicks < 20) {
        Click(bar.DownArrowRect().center());
        ++clicks;
    }
    EXPECT_LT(clicks, 12);
    EXPECT_FALSE(bar.IsDownArrowShown());
    EXPECT_TRUE(bar.IsUpArrowShown());
    EXPECT_EQ(bar.FirstVisibleItem(), clicks);
    EXPECT_LE(bar.ItemRect(11).bottom(), bar.ItemArea().bottom());

    // Held down, the arrow repeats until released.
    QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, bar.UpArrowRect().center());
    EXPECT_TRUE(bar.IsArrowRepeatRunning());
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar.FirstVisibleItem() < clicks; }, 2000));
    QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier,
                        bar.rect().bottomLeft() - QPoint(-1, 1));
    EXPECT_FALSE(bar.IsArrowRepeatRunning());
    while (bar.IsUpArrowShown()) {
        Click(bar.UpArrowRect().center());
    }
    EXPECT_EQ(bar.FirstVisibleItem(), 0);
}

// A screen reader or a GUI test tool reaches every page: folders and their items are named,
// pressable parts of the bar, also while their folder is closed.
TEST_F(OutBarTest, FoldersAndItemsArePressableOnTheAccessibilityBus) {
    QSignalSpy notified(&bar, &CGfxOutBarCtrl::itemActivated);
    bar.show();
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->childCount(), 3);
    QAccessibleInterface* help = tree->child(1);
    EXPECT_EQ(help->text(QAccessible::Name), QStringLiteral("帮助"));
    EXPECT_EQ(help->parent(), tree);
    ASSERT_EQ(help->childCount(), 1);
    QAccessibleInterface* about = help->child(0);
    EXPECT_EQ(about->text(QAccessible::Name), QStringLiteral("关于"));
    EXPECT_EQ(about->role(), QAccessible::Button);
    EXPECT_TRUE(about->state().invisible);  // its folder is closed

    const QString press = QAccessibleActionInterface::pressAction();
    ASSERT_NE(about->actionInterface(), nullptr);
    EXPECT_EQ(about->actionInterface()->actionNames(), QStringList{press});
    about->actionInterface()->doAction(press);
    EXPECT_EQ(bar.SelectedFolder(), 1);
    ASSERT_FALSE(notified.isEmpty());
    EXPECT_EQ(notified.last(), QList<QVariant>{0});
    EXPECT_TRUE(help->state().selected);
    EXPECT_FALSE(about->state().invisible);
    EXPECT_EQ(tree->childAt(about->rect().center().x(), about->rect().center().y()), about);

    tree->child(0)->actionInterface()->doAction(press);
    EXPECT_EQ(bar.SelectedFolder(), 0);
}

}  // namespace
}  // namespace chimeon
