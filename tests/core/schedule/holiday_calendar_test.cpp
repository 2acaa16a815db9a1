#include "core/schedule/holiday_calendar.h"

#include <gtest/gtest.h>

#include "support/printers.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::Hex;
using test::TempDir;

const std::string kMondayGbk = Hex("d0 c7 c6 da d2 bb");  // 星期一
const std::string kTemplate2Gbk = Hex("c4 a3 b0 e5 32");  // 模板2

using RestDays = std::array<bool, 7>;
const RestDays kWeekend = {true, false, false, false, false, false, true};

// A calendar in one line: "rest FLAGS; off DATE,DATE; extra DATE=TABLE DATE=TABLE".
std::string Described(const HolidayCalendar& calendar) {
    std::string text = "rest ";
    for (bool rest : calendar.restDays) {
        text += rest ? '1' : '0';
    }
    text += "; off";
    for (const std::string& date : calendar.daysOff) {
        text += (&date == &calendar.daysOff.front() ? " " : ",") + date;
    }
    text += "; extra";
    for (const ExtraWorkDay& extra : calendar.extraWorkDays) {
        text += " " + extra.date + "=" + extra.table;
    }
    return text;
}

TEST(HolidayCalendarLoad, FollowsTheFileRules) {
    const std::string threePairs = "5/1/2010\r\n" + kMondayGbk + "\r\n5/2/2010\r\n" + kMondayGbk +
                                   "\r\n5/3/2010\r\n" + kTemplate2Gbk + "\r\n";
    const std::optional<std::string> none;
    const struct {
        const char* name;
        std::optional<std::string> restDaysFile, extraWorkDaysFile;
        const char* loaded;
    } cases[] = {
        {"no files", none, none, "rest 1000001; off; extra"},
        {"weekdays rest", "0111110\r\n", none, "rest 0111110; off; extra"},
        {"six flags load nothing", "100000\r\n10/1/2010\r\n", threePairs,
         "rest 1000001; off; extra"},
        {"an empty rest file loads nothing", "", threePairs, "rest 1000001; off; extra"},
        {"other characters clear", "1x0000a\r\n", none, "rest 1000000; off; extra"},
        {"days off in order, an empty line too", "0000000\r\n10/1/2010\r\n\r\n10/01/2010", none,
         "rest 0000000; off 10/1/2010,,10/01/2010; extra"},
        {"extra days reversed", "1000001\r\n", threePairs,
         "rest 1000001; off; extra 5/3/2010=模板2 5/2/2010=星期一 5/1/2010=星期一"},
        {"an odd line count gives an empty table", none, "5/1/2010\n",
         "rest 1000001; off; extra 5/1/2010="},
    };
    for (const auto& c : cases) {
        TempDir dir;
        if (c.restDaysFile) {
            dir.Write("HlidSave.dat", *c.restDaysFile);
        }
        if (c.extraWorkDaysFile) {
            dir.Write("WorkSave.dat", *c.extraWorkDaysFile);
        }
        EXPECT_EQ(Described(LoadHolidayCalendar(dir.path())), c.loaded) << c.name;
    }
}

// Which extra working day wins and how dates match are the table choice's cases; here, a
// weekday outside the week is no rest day.
TEST(HolidayCalendarQueries, RestDaysOnlyWithinTheWeek) {
    HolidayCalendar calendar;
    EXPECT_TRUE(calendar.IsRestDay(0));
    EXPECT_FALSE(calendar.IsRestDay(1));
    EXPECT_FALSE(calendar.IsRestDay(7));
    EXPECT_FALSE(calendar.IsRestDay(-1));
}

// Extra working days are written last to first, so that the next load (which reverses) gives
// the same list; empty dates and table names come back too.
TEST(HolidayCalendarSave, WritesExactBytesThatLoadBackEqual) {
    TempDir dir;
    HolidayCalendar calendar;
    calendar.restDays = {false, false, false, false, false, true, true};
    calendar.daysOff = {"10/1/2010", "", "10/2/2010"};
    calendar.extraWorkDays = {{"9/26/2010", "星期一"}, {"", ""}, {"10/9/2010", "模板2"}};
    CalendarSaveResult saved = SaveHolidayCalendar(dir.path(), calendar);
    EXPECT_TRUE(saved.restDaysSaved && saved.extraWorkDaysSaved);
    EXPECT_EQ(dir.Read("HlidSave.dat"), "0000011\r\n10/1/2010\r\n\r\n10/2/2010\r\n");
    EXPECT_EQ(dir.Read("WorkSave.dat"),
              "10/9/2010\r\n" + kTemplate2Gbk + "\r\n\r\n\r\n9/26/2010\r\n" + kMondayGbk + "\r\n");
    EXPECT_EQ(LoadHolidayCalendar(dir.path()), calendar);
}

TEST(HolidayCalendarSave, SavingAnUnchangedCalendarNeverChangesWhichTablePlays) {
    TempDir dir;
    // Two entries for one date: the later one in the file applies.
    dir.Write("HlidSave.dat", "1000001\r\n");
    dir.Write("WorkSave.dat",
              "5/1/2010\r\n" + kMondayGbk + "\r\n5/1/2010\r\n" + kTemplate2Gbk + "\r\n");
    const std::string originalFile = dir.Read("WorkSave.dat");
    for (int save = 0; save < 3; ++save) {
        HolidayCalendar calendar = LoadHolidayCalendar(dir.path());
        EXPECT_EQ(calendar.ExtraWorkDayTable("5/1/2010"), "模板2") << "after save " << save;
        ASSERT_TRUE(SaveHolidayCalendar(dir.path(), calendar).extraWorkDaysSaved);
        EXPECT_EQ(dir.Read("WorkSave.dat"), originalFile);
    }
}

TEST(HolidayCalendarLoad, ReadsTheHandMadeSamples) {
    HolidayCalendar calendar = LoadHolidayCalendar(CHIMEON_TEST_DATA_DIR);
    EXPECT_EQ(calendar.restDays, kWeekend);
    EXPECT_EQ(calendar.daysOff, (std::vector<std::string>{"10/1/2026", "10/2/2026"}));
    EXPECT_EQ(calendar.extraWorkDays,
              (std::vector<ExtraWorkDay>{{"10/11/2026", "模板2"}, {"9/27/2026", "星期一"}}));
}

}  // namespace
}  // namespace chimeon
