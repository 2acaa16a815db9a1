// Thirty simulated days of random tables, calendars, late steps and clock jumps, checked against
// rules that hold whatever the tables say.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/engine/broadcast_clock.h"
#include "core/engine/clock_text.h"
#include "core/engine/todays_table.h"
#include "support/clock_rig.h"

namespace chimeon {
namespace {

using test::LocalDateTimeFromMs;

constexpr std::int64_t kMsPerDay = 86'400'000;
const std::int64_t kFirstMs = test::MsFromLocal(2026, 11, 30, 23, 50, 0);
// Starts gather where trouble lives, around midnight and in a busy morning hour; in between,
// nothing is due.
constexpr int kBusy[][2] = {{0, 150}, {8 * 3600, 8 * 3600 + 1200}, {86400 - 150, 86399}};

class Simulation : public TodayListObserver {
public:
    explicit Simulation(std::uint32_t seed) : random_(seed) {}

    void Run(int days) {
        MakeWorld();
        rig_.list.AddObserver(this);
        rig_.stepLateness = [this] {  // mostly on time, now and then up to 3 s late
            int kind = Uniform(0, 999);
            return kind < 900   ? Uniform(0, 30)
                   : kind < 990 ? Uniform(30, 1000)
                                : Uniform(1000, 3000);
        };
        rig_.StartClock();
        while (rig_.WallMs() < kFirstMs + days * kMsPerDay && violations.size() < 20) {
            Disturb();
            bool ranStep = false;
            ASSERT_TRUE(rig_.RunNext(&ranStep)) << "no timer armed";
            Check(ranStep);
        }
        for (std::int64_t day = 0; day <= days; ++day) {
            daysWithoutBroadcast += BroadcastOn(kFirstMs + day * kMsPerDay) ? 0 : 1;
        }
    }

    std::vector<std::string> violations;
    int starts = 0;
    int daysWithoutBroadcast = 0;

private:
    int Uniform(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random_);
    }
    bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }

    void MakeWorld() {
        std::vector<std::string> files, bad, folders;
        for (int i = 0; i < 40; ++i) {
            files.push_back("/s/f" + std::to_string(i) + ".mp3");
            rig_.player.AddFile(files.back(), Uniform(300, 40'000));
        }
        for (int i = 0; i < 6; ++i) {
            bad.push_back("/s/bad" + std::to_string(i) + ".mp3");  // cannot be opened
        }
        for (int i = 0; i < 8; ++i) {
            folders.push_back("/s/d" + std::to_string(i) + "/");
            std::vector<std::string> inside;
            for (int n = Uniform(1, 4); n > 0; --n) {
                inside.push_back(Chance(0.15) ? bad[Uniform(0, 5)] : files[Uniform(0, 39)]);
            }
            rig_.lister.SetFolder(folders.back(), inside);
        }
        HolidayCalendar& calendar = rig_.calendar.calendar;
        for (bool& rest : calendar.restDays) {
            rest = Chance(0.25);
        }
        auto randomDate = [this] {
            return DateText(LocalDateTimeFromMs(kFirstMs + Uniform(1, 30) * kMsPerDay));
        };
        for (int i = 0; i < 4; ++i) {
            calendar.daysOff.push_back(randomDate());
            std::string_view table = Chance(0.2) ? "第八套" : TableName(TableId(Uniform(0, 11)));
            calendar.extraWorkDays.push_back({randomDate(), std::string(table)});
        }
        calendar.extraWorkDays.push_back({calendar.daysOff[0], "模板1"});
        for (int t = 0; t < kTableCount; ++t) {
            ScheduleTable table;
            for (int n = Uniform(4, 16); n > 0; --n) {
                const auto& busy = kBusy[Uniform(0, 2)];
                int start = Uniform(busy[0], busy[1]);
                bool chained = !table.empty() && Chance(0.3);
                int kind = Uniform(0, 99);
                std::string path = kind < 60   ? files[Uniform(0, 39)]
                                   : kind < 85 ? folders[Uniform(0, 7)]
                                   : kind < 92 && chained
                                       ? "/s/empty" + std::to_string(Uniform(0, 3)) + "/"
                                       : bad[Uniform(0, 5)];
                table.push_back({"row", chained ? std::string(kStartChained) : TimeText(start),
                                 Chance(0.5) ? std::string(kEndPlayOnce)
                                             : TimeText(std::min(86399, start + Uniform(-20, 120))),
                                 std::to_string(Uniform(0, 100)),
                                 std::string(Chance(0.5) ? kModeRandom : kModeInOrder), path});
            }
            rig_.WriteTable(TableFileName(static_cast<TableId>(t)), table);
        }
    }

    // Clock jumps now and then; the quiet hours are passed over without steps while nothing plays.
    void Disturb() {
        LocalDateTime now = LocalDateTimeFromMs(rig_.WallMs());
        int second = now.hour * 3600 + now.minute * 60 + now.second;
        if (Chance(1.0 / 30000)) {
            int back = Uniform(1, 1800);
            if (Chance(0.5)) {
                rig_.JumpWall(Uniform(60, 7200) * std::int64_t{1000});
            } else if (back < second) {
                rig_.JumpWall(-back * std::int64_t{1000});
            }
            return;
        }
        const auto next = std::find_if(std::begin(kBusy), std::end(kBusy),
                                       [&](const auto& busy) { return second <= busy[1]; });
        if (!rig_.clock.IsPlaying() && PlayingRow() < 0 && second < (*next)[0] - 5) {
            rig_.Stall(((*next)[0] - 5 - second) * std::int64_t{1000} - now.millisecond);
        }
    }

    void OnRowsReplaced(std::uint64_t) override {}
    void OnCellChanged(int row, int column) override {
        if (column != kColumnState || rig_.list.Cell(row, column) != kStatePlaying) {
            return;
        }
        ++starts;
        std::string date = DateText(LocalDateTimeFromMs(rig_.WallMs()));
        if (rig_.list.Cell(row, kColumnStart) != kStartChained && ++timeStarts_[{date, row}] > 1) {
            violations.push_back("row " + std::to_string(row) + " started twice by time on " +
                                 date);
        }
    }

    bool BroadcastOn(std::int64_t wallMs) {
        const LocalDateTime day = LocalDateTimeFromMs(wallMs);
        auto [known, added] = broadcastDays_.try_emplace(DateText(day), false);
        if (added) {
            known->second = !ChooseTable(day, rig_.calendar.calendar).noBroadcastToday;
        }
        return known->second;
    }

    int PlayingRow() const {
        int found = -1;
        for (int row = 0; row < rig_.list.RowCount(); ++row) {
            if (rig_.list.Cell(row, kColumnState) == kStatePlaying) {
                found = found < 0 ? row : -2;  // -2: more than one
            }
        }
        return found;
    }

    void Check(bool ranStep) {
        const LocalDateTime now = LocalDateTimeFromMs(rig_.WallMs());
        const std::string date = DateText(now);
        const int row = PlayingRow();
        if (row == -2) {
            violations.push_back("two rows playing");
        }
        if (!rig_.player.Violations().empty()) {
            violations.push_back(rig_.player.Violations().front());
        }
        if (!BroadcastOn(rig_.WallMs()) && (row != -1 || rig_.player.IsOpen())) {
            violations.push_back("something plays on a day without broadcast, " + date);
        }
        if (!ranStep) {
            return;
        }
        // A play-once item ends at the first step after its end, an item with an end time at
        // the first step at or after it.
        const bool sameItem = row >= 0 && row == playingRowBefore_ && date == dateBefore_;
        const std::string end = row >= 0 ? rig_.list.Cell(row, kColumnEnd) : "";
        if (sameItem && end == kEndPlayOnce && rig_.player.OpenCount() == openCountBefore_ &&
            rig_.player.GetPosition() == rig_.player.GetLength()) {
            violations.push_back("a play-once item outlived its end at " + TimeText(now));
        }
        if (sameItem && end != kEndPlayOnce && TimeNotBefore(TimeText(now), end)) {
            violations.push_back("an item outlived its end time " + end + " at " + TimeText(now));
        }
        playingRowBefore_ = row;
        openCountBefore_ = rig_.player.OpenCount();
        dateBefore_ = date;
    }

    std::mt19937 random_;
    test::ClockRig rig_{kFirstMs};
    std::map<std::pair<std::string, int>, int> timeStarts_;
    std::map<std::string, bool> broadcastDays_;
    int playingRowBefore_ = -1;
    int openCountBefore_ = 0;
    std::string dateBefore_;
};

TEST(BroadcastClockSimulationTest, ThirtyDaysKeepTheRules) {
    for (std::uint32_t seed : {1u, 2u}) {
        Simulation simulation(seed);
        simulation.Run(30);
        for (const std::string& violation : simulation.violations) {
            ADD_FAILURE() << "seed " << seed << ": " << violation;
        }
        // The world was rich enough to mean something.
        EXPECT_GT(simulation.starts, 100) << seed;
        EXPECT_GT(simulation.daysWithoutBroadcast, 0) << seed;
    }
}

}  // namespace
}  // namespace chimeon
