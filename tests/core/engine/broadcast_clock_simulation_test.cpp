// Thirty simulated days of random tables, calendars, late steps and clock jumps, checked against
// rules that hold whatever the tables say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/engine/broadcast_clock.h"
#include "core/engine/clock_text.h"
#include "core/schedule/table_id.h"
#include "support/clock_rig.h"

namespace chimeon {
namespace {

using test::ClockRig;
using test::LocalDateTimeFromMs;
using test::MsFromLocal;

constexpr std::int64_t kMsPerDay = 86'400'000;

// Seconds of a well-formed "%d:%d:%d", read here on its own terms.
int SecondsOf(const std::string& text) {
    int parts[3] = {0, 0, 0};
    int part = 0;
    bool digits = false;
    for (char c : text) {
        if (c == ':' && digits && part < 2) {
            ++part;
            digits = false;
        } else if (c >= '0' && c <= '9') {
            parts[part] = parts[part] * 10 + (c - '0');
            digits = true;
        } else {
            return -1;
        }
    }
    return part == 2 && digits ? parts[0] * 3600 + parts[1] * 60 + parts[2] : -1;
}

std::string Text(int seconds) {
    return std::to_string(seconds / 3600) + ":" + std::to_string(seconds / 60 % 60) + ":" +
           std::to_string(seconds % 60);
}

std::string DateOf(std::int64_t wallMs) {
    return DateText(LocalDateTimeFromMs(wallMs));
}

class Simulation : public TodayListObserver {
public:
    explicit Simulation(std::uint32_t seed)
        : random_(seed), rig_(MsFromLocal(2026, 11, 30, 23, 50, 0)) {}

    void Run(int days) {
        MakeMedia();
        MakeCalendar();
        for (int t = 0; t < kTableCount; ++t) {
            rig_.WriteTable(TableFileName(static_cast<TableId>(t)), MakeTable());
        }
        rig_.list.AddObserver(this);
        rig_.stepLateness = [this] { return Lateness(); };
        rig_.StartClock();
        previousWallMs_ = rig_.WallMs();

        const std::int64_t endMs = MsFromLocal(2026, 11, 30, 23, 50, 0) + days * kMsPerDay;
        while (rig_.WallMs() < endMs && violations_.size() < 20) {
            MaybeDisturb();
            bool ranStep = false;
            if (!rig_.RunNext(&ranStep)) {
                ADD_FAILURE() << "no timer armed";
                return;
            }
            AfterHandler(ranStep);
        }
        Finish();
    }

    std::vector<std::string> violations_;
    int starts_ = 0;
    int expectations_ = 0;
    int daysWithoutBroadcast_ = 0;

private:
    // --- random world -------------------------------------------------------------------
    int Uniform(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random_);
    }
    bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }

    void MakeMedia() {
        for (int i = 0; i < 40; ++i) {
            files_.push_back("/s/f" + std::to_string(i) + ".mp3");
            rig_.player.AddFile(files_.back(), Uniform(300, 40'000));
        }
        for (int i = 0; i < 6; ++i) {
            bad_.push_back("/s/bad" + std::to_string(i) + ".mp3");  // cannot be opened
        }
        for (int i = 0; i < 8; ++i) {
            std::string folder = "/s/d" + std::to_string(i) + "/";
            std::vector<std::string> inside;
            for (int n = Uniform(1, 4); n > 0; --n) {
                inside.push_back(Chance(0.15) ? bad_[Uniform(0, 5)] : files_[Uniform(0, 39)]);
            }
            rig_.lister.SetFolder(folder, inside);
            folders_.push_back(folder);
        }
    }

    void MakeCalendar() {
        HolidayCalendar& calendar = rig_.calendar.calendar;
        for (bool& rest : calendar.restDays) {
            rest = Chance(0.25);
        }
        auto randomDate = [this] {
            return DateOf(MsFromLocal(2026, 12, 1, 12, 0, 0) + Uniform(0, 29) * kMsPerDay);
        };
        for (int i = 0; i < 4; ++i) {
            calendar.daysOff.push_back(randomDate());
        }
        for (int i = 0; i < 4; ++i) {
            std::string table =
                Chance(0.2)
                    ? "第八套"
                    : std::string(TableName(static_cast<TableId>(Uniform(0, kTableCount - 1))));
            calendar.extraWorkDays.push_back({randomDate(), table});
        }
        calendar.extraWorkDays.push_back({calendar.daysOff[0], "模板1"});
    }

    ScheduleTable MakeTable() {
        // Starts gather where trouble lives: around midnight, and in a busy morning hour.
        static const int kClusters[][2] = {
            {0, 150}, {8 * 3600, 8 * 3600 + 1200}, {86400 - 150, 86399}};
        ScheduleTable table;
        for (int n = Uniform(4, 16); n > 0; --n) {
            const auto& cluster = kClusters[Uniform(0, 2)];
            int start = Uniform(cluster[0], cluster[1]);
            bool chained = !table.empty() && Chance(0.3);
            ProgramItem item;
            item.title = "row";
            item.start = chained ? std::string(kStartChained) : Text(start);
            item.end = Chance(0.5) ? std::string(kEndPlayOnce)
                                   : Text(std::min(86399, start + Uniform(-20, 120)));
            item.volume = std::to_string(Uniform(0, 100));
            int kind = Uniform(0, 99);
            if (kind < 60) {
                item.path = files_[Uniform(0, 39)];
            } else if (kind < 85) {
                item.path = folders_[Uniform(0, 7)];
            } else if (kind < 92 && chained) {
                item.path = "/s/empty" + std::to_string(Uniform(0, 3)) + "/";
            } else {
                item.path = bad_[Uniform(0, 5)];
            }
            item.mode = Chance(0.5) ? std::string(kModeRandom) : std::string(kModeInOrder);
            table.push_back(item);
        }
        return table;
    }

    std::int64_t Lateness() {
        int kind = Uniform(0, 999);
        return kind < 900 ? Uniform(0, 30) : kind < 990 ? Uniform(30, 1000) : Uniform(1000, 3000);
    }

    // Clock jumps now and then, and long idle stretches passed over without steps.
    void MaybeDisturb() {
        LocalDateTime now = LocalDateTimeFromMs(rig_.WallMs());
        int second = now.hour * 3600 + now.minute * 60 + now.second;
        if (Chance(1.0 / 30000)) {
            if (Chance(0.5)) {
                rig_.JumpWall(Uniform(60, 7200) * std::int64_t{1000});
            } else {
                int back = Uniform(1, 1800);
                if (back < second) {
                    rig_.JumpWall(-back * std::int64_t{1000});
                }
            }
            discontinuity_ = true;
            discontinuitySinceStep_ = true;
            return;
        }
        if (AnyRowPlaying() || rig_.clock.IsPlaying()) {
            return;
        }
        auto upcoming = std::lower_bound(startSeconds_.begin(), startSeconds_.end(), second);
        int next = upcoming == startSeconds_.end() ? 86400 : *upcoming;
        if (next - second > 15) {
            rig_.Stall((next - 5 - second) * std::int64_t{1000} - now.millisecond);
            discontinuity_ = true;
            discontinuitySinceStep_ = true;
        }
    }

    // --- observation --------------------------------------------------------------------
    void OnRowsReplaced(std::uint64_t) override {
        std::vector<std::string> starts;
        for (int row = 0; row < rig_.list.RowCount(); ++row) {
            starts.push_back(rig_.list.Cell(row, kColumnStart));
        }
        startsByDate_[DateOf(rig_.WallMs())] = starts;
        startSeconds_.clear();
        for (const std::string& start : starts) {
            if (int seconds = SecondsOf(start); seconds >= 0) {
                startSeconds_.push_back(seconds);
            }
        }
        std::sort(startSeconds_.begin(), startSeconds_.end());
    }

    void OnCellChanged(int row, int column) override {
        if (column != kColumnState || rig_.list.Cell(row, column) != kStatePlaying) {
            return;
        }
        ++starts_;
        std::string date = DateOf(rig_.WallMs());
        if (!IsBroadcastDay(date)) {
            Violation("a row started on a day without broadcast, " + date);
        }
        if (SecondsOf(rig_.list.Cell(row, kColumnStart)) >= 0) {
            if (++timeStarts_[{date, row}] > 1) {
                Violation("row " + std::to_string(row) + " started twice by time on " + date);
            }
        }
    }

    bool IsBroadcastDay(const std::string& date) {
        auto known = broadcastDays_.find(date);
        if (known == broadcastDays_.end()) {
            known = broadcastDays_.emplace(date, WorkOutBroadcastDay(date)).first;
        }
        return known->second;
    }

    bool WorkOutBroadcastDay(const std::string& date) const {
        const HolidayCalendar& calendar = rig_.calendar.calendar;
        for (const ExtraWorkDay& extra : calendar.extraWorkDays) {
            if (extra.date == date) {
                return true;
            }
        }
        for (const std::string& off : calendar.daysOff) {
            if (off == date) {
                return false;
            }
        }
        for (std::int64_t day = 0; day < 60; ++day) {  // the weekday of that date
            std::int64_t ms = MsFromLocal(2026, 11, 28, 12, 0, 0) + day * kMsPerDay;
            if (DateOf(ms) == date) {
                return !calendar.restDays[static_cast<size_t>(LocalDateTimeFromMs(ms).weekday)];
            }
        }
        return true;
    }

    bool AnyRowPlaying() const { return PlayingRow() >= 0; }
    int PlayingRow() const {
        int found = -1;
        for (int row = 0; row < rig_.list.RowCount(); ++row) {
            if (rig_.list.Cell(row, kColumnState) == kStatePlaying) {
                found = row;
            }
        }
        return found;
    }

    void AfterHandler(bool ranStep) {
        const std::int64_t wall = rig_.WallMs();
        const LocalDateTime now = LocalDateTimeFromMs(wall);
        const int second = now.hour * 3600 + now.minute * 60 + now.second;
        const std::string date = DateOf(wall);

        // At most one item plays, and the player's contract holds.
        int playingRows = 0;
        for (int row = 0; row < rig_.list.RowCount(); ++row) {
            playingRows += rig_.list.Cell(row, kColumnState) == kStatePlaying ? 1 : 0;
        }
        if (playingRows > 1) {
            Violation("two rows playing");
        }
        if (!rig_.player.Violations().empty()) {
            Violation(rig_.player.Violations().front());
        }
        if (!IsBroadcastDay(date) && (playingRows > 0 || rig_.player.IsOpen())) {
            Violation("something plays on a day without broadcast, " + date);
        }

        // Seconds that came while the clock was idle, in a stretch without jumps or stalls.
        if (!discontinuity_ && !wasPlaying_ && wall > previousWallMs_ &&
            wall - previousWallMs_ <= 10'000 && IsBroadcastDay(date)) {
            std::int64_t midnight = wall - wall % kMsPerDay;
            std::int64_t from = std::max(previousWallMs_ / 1000 + 1, midnight / 1000);
            // Only the first due second of the stretch: a row started in it may still play when
            // the later ones are replayed.
            auto due = std::lower_bound(startSeconds_.begin(), startSeconds_.end(),
                                        static_cast<int>(from - midnight / 1000));
            if (due != startSeconds_.end() &&
                *due <= static_cast<int>(wall / 1000 - midnight / 1000)) {
                pending_.push_back({date, Text(*due)});
            }
        }

        if (ranStep) {
            // A second counts once a step has run after it without a jump or a stall between,
            // within the gap the clock promises to replay.
            if (!discontinuitySinceStep_ && wall - lastStepWallMs_ <= 10'000) {
                for (const auto& expectation : pending_) {
                    expectations_ += expected_.insert(expectation).second ? 1 : 0;
                }
            }
            pending_.clear();
            discontinuitySinceStep_ = false;
            lastStepWallMs_ = wall;
            int row = PlayingRow();
            bool sameItem = row >= 0 && row == playingRowBefore_ && date == dateBefore_ &&
                            rig_.player.OpenCount() == openCountBefore_;
            const std::string end = rig_.list.Cell(row, kColumnEnd);
            if (sameItem && end == kEndPlayOnce &&
                rig_.player.GetPosition() == rig_.player.GetLength()) {
                Violation("a play-once item outlived its end by more than one step at " +
                          TimeText(now));
            }
            if (row >= 0 && row == playingRowBefore_ && date == dateBefore_ &&
                end != kEndPlayOnce && second >= SecondsOf(end)) {
                Violation("an item outlived its end time " + end + " at " + TimeText(now));
            }
            playingRowBefore_ = row;
            openCountBefore_ = rig_.player.OpenCount();
            dateBefore_ = date;
        }
        if (date != dateBefore_) {
            playingRowBefore_ = -1;
        }
        wasPlaying_ = AnyRowPlaying();
        previousWallMs_ = wall;
        discontinuity_ = false;
    }

    void Finish() {
        for (const auto& [date, text] : expected_) {
            const std::vector<std::string>& starts = startsByDate_[date];
            for (size_t row = 0; row < starts.size(); ++row) {
                if (starts[row] == text) {
                    int count = timeStarts_[{date, static_cast<int>(row)}];
                    if (count != 1) {
                        Violation("row at " + text + " on " + date + " started " +
                                  std::to_string(count) + " times, its second came while idle");
                    }
                    break;
                }
            }
        }
        for (std::int64_t day = 0; day < 31; ++day) {
            daysWithoutBroadcast_ +=
                IsBroadcastDay(DateOf(MsFromLocal(2026, 12, 1, 0, 0, 0) + day * kMsPerDay)) ? 0 : 1;
        }
    }

    void Violation(const std::string& what) { violations_.push_back(what); }

    std::mt19937 random_;
    ClockRig rig_;
    std::vector<std::string> files_, bad_, folders_;
    std::map<std::string, std::vector<std::string>> startsByDate_;
    std::map<std::pair<std::string, int>, int> timeStarts_;
    std::set<std::pair<std::string, std::string>> expected_;
    std::vector<std::pair<std::string, std::string>> pending_;
    std::map<std::string, bool> broadcastDays_;
    std::vector<int> startSeconds_;  // of the rows loaded last, sorted
    bool discontinuitySinceStep_ = true;
    std::int64_t lastStepWallMs_ = 0;
    std::int64_t previousWallMs_ = 0;
    bool discontinuity_ = true;
    bool wasPlaying_ = false;
    int playingRowBefore_ = -1;
    int openCountBefore_ = 0;
    std::string dateBefore_;
};

TEST(BroadcastClockSimulationTest, ThirtyDaysKeepTheRules) {
    for (std::uint32_t seed : {1u, 2u}) {
        Simulation simulation(seed);
        simulation.Run(30);
        for (const std::string& violation : simulation.violations_) {
            ADD_FAILURE() << "seed " << seed << ": " << violation;
        }
        // The world was rich enough to mean something.
        EXPECT_GT(simulation.starts_, 100) << seed;
        EXPECT_GT(simulation.expectations_, 30) << seed;
        EXPECT_GT(simulation.daysWithoutBroadcast_, 0) << seed;
    }
}

}  // namespace
}  // namespace chimeon
