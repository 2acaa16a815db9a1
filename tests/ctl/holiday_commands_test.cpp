#include <gtest/gtest.h>

#include <cstdlib>

#include "core/text/gbk_codec.h"
#include "ctl_test_support.h"

namespace chimeon {
namespace {

using test::Ctl;
using test::TempDir;

std::string Calendar(const std::string& events) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//School//EN\r\n" + events +
           "END:VCALENDAR\r\n";
}

std::string Event(const std::string& summary, const std::string& lines) {
    return "BEGIN:VEVENT\r\nUID:" + summary + "@school\r\nSUMMARY:" + summary + "\r\n" + lines +
           "END:VEVENT\r\n";
}

// The school's calendar: a holiday week, a make-up working day, a yearly day less one year,
// a holiday across the year's end, and timed events in two time zones (local: Shanghai).
const std::string kSchoolCalendar = Calendar(
    Event("国庆节 休", "DTSTART;VALUE=DATE:20301001\r\nDTEND;VALUE=DATE:20301004\r\n") +
    Event("国庆调休 班", "DTSTART;VALUE=DATE:20300929\r\n") +
    Event("校庆",
          "DTSTART;VALUE=DATE:20300520\r\nRRULE:FREQ=YEARLY;COUNT=3\r\n"
          "EXDATE;VALUE=DATE:20310520\r\n") +
    Event("元旦", "DTSTART;VALUE=DATE:20301231\r\nDTEND;VALUE=DATE:20310102\r\n") +
    Event("运动会", "DTSTART:20301104T170000Z\r\nDTEND:20301104T180000Z\r\n") +
    Event("开放日",
          "DTSTART;TZID=America/New_York:20301106T230000\r\n"
          "DURATION:PT1H\r\n") +
    "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\nBEGIN:STANDARD\r\nDTSTART:19701101T020000\r\n"
    "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n");

const std::string kStoredDaysOff = "1100001\r\n10/1/2030\r\n";

TEST(CtlHolidays, ImportExportImportGivesTheSameFiles) {
    setenv("TZ", "Asia/Shanghai", 1);
    TempDir data;
    data.Write("HlidSave.dat", kStoredDaysOff);
    data.Write("school.ics", kSchoolCalendar);
    const auto plan = Ctl(data, {"holidays", "import", (data / "school.ics").string()});
    EXPECT_EQ(plan.exitCode, 2) << "no --yes: nothing written";
    EXPECT_NE(plan.out.find("add-off 10/2/2030\nadd-off 10/3/2030\nadd-off 5/20/2030\n"),
              std::string::npos)
        << plan.out;
    EXPECT_EQ(data.Read("HlidSave.dat"), kStoredDaysOff);
    EXPECT_FALSE(std::filesystem::exists(data / "WorkSave.dat"));

    const auto done = Ctl(data, {"holidays", "import", (data / "school.ics").string(), "--yes"});
    ASSERT_EQ(done.exitCode, 0) << done.err;
    const std::string daysOff =
        "1100001\r\n10/1/2030\r\n10/2/2030\r\n10/3/2030\r\n5/20/2030\r\n5/20/2032\r\n"
        "12/31/2030\r\n1/1/2031\r\n11/5/2030\r\n11/7/2030\r\n";
    EXPECT_EQ(data.Read("HlidSave.dat"), daysOff);
    EXPECT_EQ(data.Read("WorkSave.dat"), "9/29/2030\r\n" + EncodeGbk("星期日") + "\r\n");

    const auto exported = Ctl(data, {"holidays", "export", (data / "out.ics").string()});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    const std::string workDays = data.Read("WorkSave.dat");
    std::filesystem::remove(data / "WorkSave.dat");
    data.Write("HlidSave.dat", "1100001\r\n");
    const auto again = Ctl(data, {"holidays", "import", (data / "out.ics").string(), "--yes"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(data.Read("HlidSave.dat"), daysOff);
    EXPECT_EQ(data.Read("WorkSave.dat"), workDays);
    const auto json =
        Ctl(data, {"holidays", "import", (data / "out.ics").string(), "--dry-run", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(test::JsonLines(json.out).at(0).dump(), R"({"plan":"already","date":"9/29/2030"})");
}

// A damaged or hostile file is refused whole, with the limit it passed; nothing changes.
TEST(CtlHolidays, HostileFilesChangeNothing) {
    std::string manyEvents;
    for (int i = 0; i < 10001; ++i) {
        manyEvents += "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20300101\r\nEND:VEVENT\r\n";
    }
    std::string nested;
    for (int i = 0; i < 50; ++i) {
        nested = "BEGIN:VCALENDAR\r\n" + nested + "END:VCALENDAR\r\n";
    }
    const struct {
        std::string file;
        std::string message;
    } rows[] = {
        {std::string(17u << 20, 'x'), "日历文件太大：最多16 MiB"},
        {Calendar(manyEvents), "事件太多：最多10000个"},
        {Calendar(Event("每天", "DTSTART;VALUE=DATE:20300101\r\nRRULE:FREQ=DAILY\r\n")),
         "日期太多"},
        {Calendar(Event("长假", "DTSTART;VALUE=DATE:20300101\r\nDTEND;VALUE=DATE:21300101\r\n")),
         "日期太多"},
        {Calendar(Event("每秒", "DTSTART:20300101T000000Z\r\nRRULE:FREQ=SECONDLY\r\n")),
         "短于一天"},
        {Calendar(Event("坏", "DTSTART;VALUE=DATE:2030-13-45\r\n")), "没有可用的开始日期"},
        {Calendar(Event("坏", "DTSTART;VALUE=DATE:20300101\r\nDTEND;VALUE=DATE:20300230\r\n")),
         "结束日期"},
        {nested, "嵌套太深"},
        {"hello\r\n", "没有事件"},
    };
    TempDir data;
    data.Write("HlidSave.dat", kStoredDaysOff);
    for (const auto& row : rows) {
        data.Write("bad.ics", row.file);
        const auto result = Ctl(data, {"holidays", "import", (data / "bad.ics").string(), "--yes"});
        EXPECT_EQ(result.exitCode, 2) << row.message;
        EXPECT_NE(result.err.find(row.message), std::string::npos) << result.err;
        EXPECT_EQ(data.Read("HlidSave.dat"), kStoredDaysOff);
        EXPECT_FALSE(std::filesystem::exists(data / "WorkSave.dat"));
    }
    // A damaged stored calendar loads as the defaults: saved over, its days would be lost.
    data.Write("HlidSave.dat", "110\r\n10/1/2030\r\n");
    data.Write("good.ics", Calendar(Event("休", "DTSTART;VALUE=DATE:20301002\r\n")));
    const auto damaged = Ctl(data, {"holidays", "import", (data / "good.ics").string(), "--yes"});
    EXPECT_EQ(damaged.exitCode, 2);
    EXPECT_EQ(data.Read("HlidSave.dat"), "110\r\n10/1/2030\r\n");
}

}  // namespace
}  // namespace chimeon
