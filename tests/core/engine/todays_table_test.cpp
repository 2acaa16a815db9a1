#include "core/engine/todays_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/schedule/schedule_file.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::TempDir;

ProgramItem Item(std::string title) {
    return ProgramItem{std::move(title), "8:0:0", "播完终止", "100", "顺序", "/a.mp3"};
}

LocalDateTime Day(int year, int month, int day, int weekday) {
    return LocalDateTime{year, month, day, weekday};
}

class TodaysTableTest : public ::testing::Test {
protected:
    void Save(const std::string& name, const std::string& title) {
        ASSERT_TRUE(SaveScheduleFile(dir / name, {Item(title)}));
    }
    // The title of the only row, "" for no rows, "*" for more than one.
    std::string Shown() const {
        return list.RowCount() == 0 ? "" : list.RowCount() > 1 ? "*" : list.Item(0).title;
    }

    TempDir dir;
    TodayList list;
    HolidayCalendar calendar;
};

TEST_F(TodaysTableTest, ChoosesByPrecedence) {
    // Saturday's file is named as a copy from Windows may name it.
    for (int w = 0; w < 7; ++w) {
        Save(w == 6 ? "day6.DAT" : "Day" + std::to_string(w) + ".dat", "day" + std::to_string(w));
    }
    for (int t = 1; t <= 5; ++t) {
        Save("Template" + std::to_string(t) + ".dat", "template" + std::to_string(t));
    }
    calendar.restDays = {true, false, false, true, false, false, false};  // Sunday, Wednesday
    calendar.daysOff = {"10/1/2010", "10/07/2010", "5/1/2010"};
    calendar.extraWorkDays = {{"5/1/2010", "星期一"}, {"5/2/2010", "模板3"}, {"5/2/2010", "模板4"}};

    struct Case {
        const char* name;
        LocalDateTime today;
        bool noBroadcast;
        const char* status;
        const char* shown;
    };
    const Case cases[] = {
        {"extra working day, also a day off", Day(2010, 5, 1, 6), false, "今天播放星期一的节目表！",
         "day1"},
        {"first of two extra working days wins over a rest day", Day(2010, 5, 2, 0), false,
         "今天播放模板3的节目表！", "template3"},
        {"day off", Day(2010, 10, 1, 5), true, "今天是节假日！", ""},
        {"day off with a leading zero never matches", Day(2010, 10, 7, 4), false,
         "今天播放星期四的节目表！", "day4"},
        {"a Saturday that is no rest day, its file named in another case", Day(2010, 10, 9, 6),
         false, "今天播放星期六的节目表！", "day6"},
        {"Sunday rest day", Day(2010, 10, 3, 0), true, "今天是节假日！", ""},
        {"Wednesday rest day", Day(2010, 10, 6, 3), true, "今天是节假日！", ""},
    };
    for (const Case& c : cases) {
        list.Load({Item("before"), Item("before")});
        TodaySelection selection = SelectTodaysTable(c.today, calendar, dir.path(), list);
        EXPECT_EQ(selection.noBroadcastToday, c.noBroadcast) << c.name;
        EXPECT_EQ(selection.statusText, c.status) << c.name;
        EXPECT_EQ(Shown(), c.shown) << c.name;
    }
}

TEST_F(TodaysTableTest, MissingTableEmptiesTheListButUnreadableKeepsIt) {
    LocalDateTime wednesday = Day(2010, 10, 6, 3);
    list.Load({Item("yesterday"), Item("yesterday")});
    list.SetState(0, RowState::kPlaying);

    // There but cannot be read (a folder, a link to an unmounted share in either letter case, two
    // spellings): the rows stay, with their states.
    namespace fs = std::filesystem;
    const std::function<void()> unreadable[] = {
        [&] { fs::create_directory(dir / "Day3.dat"); },
        [&] { fs::create_symlink("/unmounted/share/Day3.dat", dir / "Day3.dat"); },
        [&] { fs::create_symlink("/unmounted/share/Day3.dat", dir / "day3.DAT"); },
        [&] { Save("day3.dat", "a"), Save("DAY3.DAT", "b"); },
    };
    TodaySelection selection;
    for (const auto& make : unreadable) {
        make();
        selection = SelectTodaysTable(wednesday, calendar, dir.path(), list);
        EXPECT_EQ(selection.load, TodayLoad::kUnreadable);
        EXPECT_EQ(selection.statusText, "今天播放星期三的节目表！");
        EXPECT_EQ(Shown(), "*");
        EXPECT_TRUE(list.IsPlaying(0));
        fs::remove_all(dir.path()), fs::create_directory(dir.path());
    }

    // Never saved: the day plays nothing, never yesterday's rows.
    std::uint64_t generation = list.Generation();
    selection = SelectTodaysTable(wednesday, calendar, dir.path(), list);
    EXPECT_EQ(selection.load, TodayLoad::kEmptied);
    EXPECT_EQ(selection.statusText, "今天播放星期三的节目表！");
    EXPECT_EQ(Shown(), "");
    EXPECT_GT(list.Generation(), generation);
}

TEST_F(TodaysTableTest, UnknownTableNameOfAnExtraWorkingDayPlaysNothing) {
    calendar.extraWorkDays = {{"10/6/2010", "第八套"}};
    list.Load({Item("yesterday")});
    TodaySelection selection = SelectTodaysTable(Day(2010, 10, 6, 3), calendar, dir.path(), list);
    EXPECT_FALSE(selection.noBroadcastToday);
    EXPECT_EQ(selection.statusText, "今天播放第八套的节目表！");
    EXPECT_EQ(Shown(), "");
}

}  // namespace
}  // namespace chimeon
