#include "core/schedule/holiday_editor.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::Hex;
using test::TempDir;

constexpr RestDayBoxes kWednesdayToo{true, false, false, true, false, false, true};

struct HolidayEditorTest : testing::Test {
    HolidayEditorTest() {
        dir.Write("HlidSave.dat", "1000001\r\n10/1/2010\r\n");
        // A stray 0xFF in a table name comes back as it was.
        dir.Write("WorkSave.dat",
                  "5/1/2010\r\nA\r\n5/2/2010\r\nB" + Hex("ff") + "\r\n5/3/2010\r\nC\r\n");
        editor.Load();
    }
    TempDir dir;
    AppState state;
    std::vector<HolidayCalendar> told;
    HolidayEditor editor{state, dir.path(),
                         [this](const HolidayCalendar& c) { told.push_back(c); }};
};

TEST_F(HolidayEditorTest, LoadsWorkDaysReversedAndAnUnchangedSaveKeepsTheBytes) {
    const std::string workDays = dir.Read("WorkSave.dat");
    ASSERT_EQ(editor.Calendar().extraWorkDays.size(), 3u);
    EXPECT_EQ(editor.Calendar().extraWorkDays[0], (ExtraWorkDay{"5/3/2010", "C"}));
    EXPECT_EQ(editor.Calendar().extraWorkDays[2].date, "5/1/2010");
    ASSERT_EQ(told.size(), 1u) << "the listener starts from the loaded calendar";
    EXPECT_EQ(told.back(), editor.Calendar());

    EXPECT_EQ(editor.Save(editor.Calendar().restDays), Saved());
    EXPECT_EQ(dir.Read("WorkSave.dat"), workDays);
    EXPECT_EQ(dir.Read("HlidSave.dat"), "1000001\r\n10/1/2010\r\n");
}

TEST_F(HolidayEditorTest, NothingChangesWhileAPasswordIsInUseAndNobodyIsLoggedIn) {
    state.usePassword = true;
    const HolidayCalendar before = editor.Calendar();
    editor.SetDayOffRow(0);
    editor.SetWorkDayRow(0);
    EXPECT_EQ(editor.EditRefusal(), NotLoggedIn());
    for (const PageMessage& message :
         {editor.AddDayOff(kWednesdayToo, {2010, 5, 1}),
          editor.AddExtraWorkDay(kWednesdayToo, {2010, 5, 1}, TableId::kMonday),
          editor.DeleteDayOff(), editor.DeleteExtraWorkDay(), editor.Save(kWednesdayToo)}) {
        EXPECT_EQ(message, NotLoggedIn());
    }
    EXPECT_EQ(editor.Calendar(), before);
    EXPECT_EQ(told.size(), 1u);
    EXPECT_EQ(dir.Read("HlidSave.dat"), "1000001\r\n10/1/2010\r\n");
}

TEST_F(HolidayEditorTest, AddingTakesTheBoxesOverAndTellsTheListener) {
    EXPECT_TRUE(editor.AddDayOff(kWednesdayToo, {2010, 5, 1}).IsEmpty());
    EXPECT_TRUE(editor.AddDayOff(kWednesdayToo, {2010, 5, 1}).IsEmpty());
    EXPECT_TRUE(
        editor.AddExtraWorkDay(kWednesdayToo, {2012, 2, 29}, TableId::kTemplate3).IsEmpty());
    for (CalendarDate refused :
         {CalendarDate{1969, 12, 31}, CalendarDate{2010, 2, 29}, CalendarDate{2010, 4, 31},
          CalendarDate{10000, 1, 1}, CalendarDate{2010, 13, 1}, CalendarDate{2010, 0, 1}}) {
        EXPECT_EQ(editor.AddDayOff({}, refused).text, kDateOutOfRangeMessage) << refused.year;
    }
    const HolidayCalendar& calendar = editor.Calendar();
    EXPECT_EQ(calendar.restDays, kWednesdayToo);
    EXPECT_EQ(calendar.daysOff, (std::vector<std::string>{"10/1/2010", "5/1/2010", "5/1/2010"}));
    EXPECT_EQ(calendar.extraWorkDays.back(), (ExtraWorkDay{"2/29/2012", "模板3"}));
    EXPECT_EQ(told.back(), calendar);

    editor.SetDayOffRow(1);
    for (int press = 0; press < 3; ++press) {
        EXPECT_TRUE(editor.DeleteDayOff().IsEmpty());
    }
    EXPECT_EQ(editor.Calendar().daysOff, std::vector<std::string>{"10/1/2010"});
    EXPECT_EQ(told.back(), editor.Calendar());
}

}  // namespace
}  // namespace chimeon
