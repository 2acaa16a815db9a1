#include "core/admin/schedule_check.h"

#include <gtest/gtest.h>

#include <map>

#include "core/engine/clock_text.h"

namespace chimeon {
namespace {

TEST(ScheduleCheckTexts, WhatTheClockAndCalendarCanMatch) {
    struct {
        const char* text;
        bool clock;
        bool readable;
    } times[] = {{"8:0:0", true, true},     {"23:59:59", true, true}, {"0:0:0", true, true},
                 {"08:00:00", false, true}, {"8:00:0", false, true},  {"24:0:0", false, false},
                 {"25:0:0", false, false},  {"8:60:0", false, false}, {"8:0", false, false},
                 {"8:0:0:0", false, false}, {"", false, false},       {"abc", false, false},
                 {"8:0: 0", false, false},  {"-1:0:0", false, false}};
    for (const auto& t : times) {
        EXPECT_EQ(IsClockTimeText(t.text), t.clock) << t.text;
        EXPECT_EQ(IsReadableTimeText(t.text), t.readable) << t.text;
    }
    struct {
        const char* text;
        bool valid;
    } dates[] = {{"10/1/2026", true},   {"2/29/2028", true},  {"2/29/2026", false},
                 {"10/01/2026", false}, {"13/1/2026", false}, {"1/1/26", false},
                 {"1/1", false},        {"", false},          {"1/32/2026", false},
                 {"12/31/2026", true}};
    for (const auto& d : dates) {
        EXPECT_EQ(IsCalendarDateText(d.text), d.valid) << d.text;
    }
}

// Media by stored path: "F" a file of the given play time (or not measured with ""), "X" a file
// without sound, "U" an unreadable file, "D" a folder with files, "E" an empty folder, absent:
// missing.
class FakeInspector : public MediaInspector {
public:
    std::map<std::string, std::pair<char, std::string>> media;
    Facts Inspect(std::string_view storedPath) override {
        Facts facts;
        auto found = media.find(std::string(storedPath));
        if (found == media.end()) {
            return facts;
        }
        facts.resolved = found->first;
        facts.readable = found->second.first != 'U';
        facts.kind =
            found->second.first == 'D' || found->second.first == 'E' ? Kind::kFolder : Kind::kFile;
        facts.filesInFolder = found->second.first == 'D' ? 3 : 0;
        return facts;
    }
    Sound Listen(const std::string& resolvedPath) override {
        const auto& [kind, time] = media.at(resolvedPath);
        return {kind != 'X', kind == 'X' ? "holds no sound" : "",
                time.empty() ? std::nullopt : std::optional(StoredTimeSeconds("0:" + time))};
    }
};

ProgramItem Row(std::string start, std::string end, std::string path) {
    return ProgramItem{"t", std::move(start), std::move(end), "100", "顺序", std::move(path)};
}

TEST(ScheduleCheckTable, EachPlantedFaultIsFoundOnItsRowAndFineRowsPass) {
    FakeInspector media;
    media.media = {{"/b/ring.mp3", {'F', "0:30"}},
                   {"/b/long.mp3", {'F', "10:00"}},
                   {"/b/bad.mp3", {'X', ""}},
                   {"/b/clip.mid", {'F', ""}},
                   {"/m/", {'D', ""}},
                   {"/empty/", {'E', ""}},
                   {"/b/locked.wav", {'U', "0:05"}}};
    const std::string once(kEndPlayOnce);
    const std::string chained(kStartChained);
    ScheduleTable table = {
        Row(chained, once, "/b/ring.mp3"),     // 1 chained first row
        Row("8:0:0", once, "/b/ring.mp3"),     // 2 fine
        Row("08:00:00", once, "/b/ring.mp3"),  // 3 never matches
        Row("8:0:0", once, "/b/ring.mp3"),     // 4 same start as 2
        Row("9:0:0", once, "/b/long.mp3"),     // 5 plays until 9:10:0
        Row("9:5:0", once, "/b/ring.mp3"),     // 6 skipped: 5 still plays
        Row("10:0:0", "25:0:0", "/m/"),        // 7 end never read as meant
        Row("11:0:0", once, "/b/gone.mp3"),    // 8 missing
        Row("12:0:0", once, "/b/bad.mp3"),     // 9 no sound
        Row("12:30:0", once, "/b/clip.mid"),   // 10 fine: not measured
        Row("13:0:0", "14:0:0", "/empty/"),    // 11 empty folder, plays until 14:0:0
        Row("13:30:0", once, "/nofolder/"),    // 12 skipped by 11, and missing folder
        Row("15:0:0", once, "/b/locked.wav"),  // 13 unreadable
        Row("16:0:0", once, "/b/ring.mp3"),    // 14 fine
        Row(chained, "16:30:0", "/m/"),        // 15 fine: a chained row shadows nothing
        Row("16:0:30", once, "/b/ring.mp3"),   // 16 fine: 14 ended just then
    };
    std::vector<Finding> findings = CheckTable("Day1.dat", table, media);
    std::vector<int> rows;
    for (const Finding& finding : findings) {
        EXPECT_EQ(finding.file, "Day1.dat");
        EXPECT_FALSE(finding.message.empty());
        rows.push_back(finding.row);
    }
    EXPECT_EQ(rows, (std::vector<int>{1, 3, 4, 6, 7, 8, 9, 11, 12, 12, 13}))
        << testing::PrintToString(rows);
}

TEST(ScheduleCheckCalendar, EntriesThatNeverMatchAndUnknownTables) {
    HolidayCalendar calendar;
    calendar.daysOff = {"10/1/2026", "10/01/2026"};
    calendar.extraWorkDays = {{"9/27/2026", "星期一"}, {"09/28/2026", "星期八"}};
    std::vector<Finding> expected = {
        {"HlidSave.dat", 3, "day off \"10/01/2026\" never matches a date (written like 10/1/2026)"},
        {"WorkSave.dat", 1,
         "extra working day \"09/28/2026\" never matches a date (written like 10/1/2026)"},
        {"WorkSave.dat", 2, "extra working day 09/28/2026 names no table: \"星期八\""},
    };
    EXPECT_EQ(CheckCalendar(calendar), expected);
}

}  // namespace
}  // namespace chimeon
