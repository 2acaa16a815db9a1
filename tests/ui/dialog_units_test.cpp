#include "ui/app/dialog_units.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

#include "support/ui/ui_test_support.h"

namespace chimeon {
namespace {

TEST(DialogUnitsTest, EdgesAreScaledAndRoundedOneByOne) {
    struct Case {
        DialogBaseUnits units;
        QRect dialogUnits;
        QRect pixels;
    };
    const Case cases[] = {
        // 6 x 12 base units: a quarter of 6 and an eighth of 12 per unit; halves round away from 0.
        // Top 10.5 -> 11, bottom 448.5 -> 449.
        {{6, 12}, QRect(4, 7, 54, 292), QRect(6, 11, 81, 438)},
        {{7, 16}, QRect(60, 7, 318, 23), QRect(105, 14, 557, 46)},  // right 661.5 -> 662
        {{7, 16}, QRect(0, 0, 0, 0), QRect(0, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MapDialogRect(c.dialogUnits, c.units), c.pixels)
            << c.units.cx << "x" << c.units.cy << " " << c.dialogUnits.x() << ","
            << c.dialogUnits.y();
    }
    EXPECT_EQ(MapDialogSize(QSize(382, 303), DialogBaseUnits{6, 12}), QSize(573, 455));
}

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
