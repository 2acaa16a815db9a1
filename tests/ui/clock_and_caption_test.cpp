#include <gtest/gtest.h>

#include <QAccessible>
#include <QImage>
#include <QTest>

#include "support/fake_local_clock.h"
#include "support/ui/ui_test_support.h"
#include "ui/controls/caption_label.h"
#include "ui/controls/digital_clock.h"

namespace chimeon {
namespace {

LocalDateTime At(int year, int month, int day, int hour, int minute, int second) {
    return {year, month, day, /*weekday=*/0, hour, minute, second, /*millisecond=*/0};
}

TEST(DigitalClockTest, DigitsOfAMoment) {
    const struct {
        LocalDateTime now;
        int dateOrder;  // 1: month first; any other: day first
        std::array<int, 8> date;
        std::array<int, 6> time;
    } cases[] = {
        {At(2024, 4, 3, 9, 5, 7), 0, {0, 3, 0, 4, 2, 0, 2, 4}, {0, 9, 0, 5, 0, 7}},
        {At(2024, 4, 3, 9, 5, 7), 1, {0, 4, 0, 3, 2, 0, 2, 4}, {0, 9, 0, 5, 0, 7}},
        {At(1999, 12, 31, 23, 59, 59), 0, {3, 1, 1, 2, 1, 9, 9, 9}, {2, 3, 5, 9, 5, 9}},
        {At(10000, 1, 1, 0, 0, 0), 0, {0, 1, 0, 1, 1, 0, 0, 0}, {0, 0, 0, 0, 0, 0}},  // no strays
    };
    for (const auto& c : cases) {
        const ClockDigits digits = ComputeClockDigits(c.now, c.dateOrder);
        EXPECT_EQ(digits.date, c.date) << c.now.year << " order " << c.dateOrder;
        EXPECT_EQ(digits.time, c.time) << c.now.year << " order " << c.dateOrder;
    }
}

TEST(DigitalClockTest, ReadsOnlyItsClockOnATimerOfItsOwnThread) {
    test::App();
    test::FakeLocalClock clock;
    clock.Set(At(2024, 4, 3, 9, 5, 7));
    CDigitalClock face;
    EXPECT_FALSE(face.IsRunning());
    EXPECT_EQ(face.Start(nullptr, 0), 1);
    EXPECT_EQ(face.Start(&clock, 0), 0);
    EXPECT_EQ(face.Start(&clock, 0), 0);  // already running
    EXPECT_TRUE(face.IsRunning());
    EXPECT_EQ(face.refreshTimer().thread(), face.thread());
    EXPECT_EQ(face.digits().time, (std::array<int, 6>{0, 9, 0, 5, 0, 7}));
    // The accessibility bus reads what it shows.
    QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(&face);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->role(), QAccessible::Clock);
    EXPECT_EQ(shown->text(QAccessible::Name), QStringLiteral("03-04-2024 09:05:07"));

    clock.Set(At(2024, 4, 3, 9, 5, 8));
    EXPECT_EQ(face.digits().time[5], 7);  // until the next refresh
    face.Update();
    EXPECT_EQ(face.digits().time[5], 8);
    face.Stop();
    EXPECT_FALSE(face.IsRunning());
}

TEST(CaptionLabelTest, TitleFontTextAndAccessibleName) {
    test::App();
    QWidget parent;
    QFont parentFont(QStringLiteral("Serif"));
    parentFont.setPixelSize(21);
    parent.setFont(parentFont);
    CCaptionLabel label(&parent);
    label.resize(300, 30);
    EXPECT_EQ(label.TitleFont().pixelSize(), 21);  // no face: the parent's font
    label.m_backgroundWord = QStringLiteral("Larkworks");

    const QImage blank = label.grab().toImage();
    label.setText(QStringLiteral("今日列表"));
    QAccessibleInterface* title = QAccessible::queryAccessibleInterface(&label);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->role(), QAccessible::StaticText);
    EXPECT_EQ(title->text(QAccessible::Name), QStringLiteral("今日列表"));
    const QImage titled = label.grab().toImage();
    EXPECT_NE(blank, titled);
    // The word at the right stays; only the left part changes.
    EXPECT_EQ(blank.copy(200, 0, 100, 30), titled.copy(200, 0, 100, 30));
    EXPECT_EQ(QColor(titled.pixel(2, 2)), QColor(240, 240, 240));

    label.setBackgroundColor(QColor(10, 20, 30));
    EXPECT_EQ(QColor(label.grab().toImage().pixel(2, 2)), QColor(10, 20, 30));
}

}  // namespace
}  // namespace chimeon
