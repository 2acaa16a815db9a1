#include "ui/app/dialog_units.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

#include "support/ui/ui_test_support.h"

namespace chimeon {
namespace {

TEST(DialogUnitsTest, DialogFontHasChineseGlyphs) {
    test::App();
    const QFont font = DialogFont();
    EXPECT_EQ(font.pointSize(), 9);
    const DialogBaseUnits units = BaseUnitsOf(font);
    EXPECT_GT(units.cx, 0);
    EXPECT_GT(units.cy, 0);
    EXPECT_TRUE(QFontMetrics(font).inFont(QChar(0x4ECA)));  // 今
}

}  // namespace
}  // namespace chimeon
