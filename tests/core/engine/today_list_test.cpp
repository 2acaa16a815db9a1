#include "core/engine/today_list.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace chimeon {
namespace {

ProgramItem Item(std::string start, std::string path, std::string mode = "顺序") {
    return ProgramItem{"title", std::move(start), "播完终止",
                       "100",   std::move(mode),  std::move(path)};
}

class RecordingObserver : public TodayListObserver {
public:
    void OnRowsReplaced(std::uint64_t generation) override {
        events.push_back("rows " + std::to_string(generation));
    }
    void OnCellChanged(int row, int column) override {
        events.push_back("cell " + std::to_string(row) + "," + std::to_string(column));
    }
    void OnRowInserted(int row) override { events.push_back("insert " + std::to_string(row)); }
    void OnRowRemoved(int row) override { events.push_back("remove " + std::to_string(row)); }
    std::vector<std::string> events;
};

TEST(TodayListTest, RowsStartWaitingWithTheItemsFields) {
    TodayList list;
    list.Load({ProgramItem{"早铃", "8:0:0", "播完终止", "80", "随机", "d:\\bell\\"}});
    ASSERT_EQ(list.RowCount(), 1);
    const char* expected[] = {"早铃", "待播", "8:0:0", "播完终止", "80", "随机", "d:\\bell\\"};
    for (int column = 0; column < kTodayColumnCount; ++column) {
        EXPECT_EQ(list.Cell(0, column), expected[column]) << column;
    }
}

TEST(TodayListTest, ObserversHearOfEveryChangeAndOnlyOfChanges) {
    TodayList list;
    RecordingObserver observer;
    list.AddObserver(&observer);
    list.AddObserver(&observer);  // once is enough
    list.Load({Item("8:0:0", "/a.mp3")});
    list.SetCell(0, kColumnState, kStatePlaying);
    list.SetCell(0, kColumnState, kStatePlaying);  // same text: no news
    // Reads outside the list give empty text, and writes there are ignored.
    for (auto [row, column] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 7}, {100, 100}}) {
        EXPECT_EQ(list.Cell(row, column), "");
        list.SetCell(row, column, "x");
    }
    EXPECT_EQ(list.RowCount(), 1);
    list.Load({});
    list.RemoveObserver(&observer);
    list.Load({});
    EXPECT_EQ(observer.events, (std::vector<std::string>{"rows 1", "cell 0,1", "rows 2"}));
}

TEST(TodayListTest, DurationsAreAskedAndWrittenForACurrentFileRowWithTheSamePath) {
    TodayList list;
    list.Load({Item("8:0:0", "/old.mp3")});
    const std::uint64_t stale = list.Generation();
    list.Load({Item("8:0:0", "/a.mp3"), Item("续播", "/music/", "随机"), Item("续播", "")});
    const std::uint64_t now = list.Generation();
    ASSERT_NE(stale, now);
    const std::vector<DurationRequest> asked = list.DurationRequests();  // file rows only
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(std::tie(asked[0].row, asked[0].path), std::tuple(0, "/a.mp3"));

    struct Case {
        const char* name;
        DurationResult result;
        bool applied;
    };
    const Case cases[] = {
        {"older load", {stale, 0, "/a.mp3", "1:00"}, false},
        {"no row holds the path", {now, 0, "/other.mp3", "1:00"}, false},
        {"row moved away: found by path", {now, 3, "/a.mp3", "2:00"}, true},
        {"folder row keeps 随机", {now, 1, "/music/", "1:00"}, false},
        {"empty path is a folder", {now, 2, "", "1:00"}, false},
        {"current file row", {now, 0, "/a.mp3", "3:07"}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list.ApplyDuration(c.result), c.applied) << c.name;
    }
    EXPECT_EQ(list.Cell(0, kColumnMode), "3:07");
    EXPECT_EQ(list.Cell(1, kColumnMode), "随机");
    EXPECT_EQ(list.Cell(2, kColumnMode), "顺序");
}

TEST(TodayListTest, OperatorChangesKeepTheLoadAndTheStartLookupCurrent) {
    TodayList list;
    list.Load({Item("8:0:0", "/a.mp3"), Item("9:0:0", "/b.mp3")});
    list.SetCell(0, kColumnState, kStatePlaying);
    list.SetCell(1, kColumnStart, "8:0:0");  // the upper of two rows with one start
    EXPECT_EQ(list.FirstRowStartingAt("8:0:0"), 0);
    list.SetCell(1, kColumnStart, "9:0:0");
    RecordingObserver observer;
    list.AddObserver(&observer);

    list.AppendRow(Item("10:0:0", "/c.mp3"));
    EXPECT_EQ(list.Cell(2, kColumnState), kStateWaiting);
    EXPECT_EQ(list.FirstRowStartingAt("10:0:0"), 2);

    list.SwapRows(0, 1);  // the state moves with its row
    EXPECT_EQ(list.Cell(1, kColumnState), kStatePlaying);
    EXPECT_EQ(list.Cell(0, kColumnPath), "/b.mp3");
    EXPECT_EQ(list.FirstRowStartingAt("8:0:0"), 1);

    list.RemoveRow(0);
    EXPECT_EQ(list.RowCount(), 2);
    EXPECT_EQ(list.FirstRowStartingAt("8:0:0"), 0);
    EXPECT_EQ(list.FirstRowStartingAt("9:0:0"), -1);
    EXPECT_EQ(list.FirstRowStartingAt("续播"), -1);
    EXPECT_EQ(list.Item(1), Item("10:0:0", "/c.mp3"));

    // Outside the list nothing happens.
    list.RemoveRow(2);
    list.RemoveRow(-1);
    list.SwapRows(1, 2);
    list.SwapRows(1, 1);
    EXPECT_EQ(list.Generation(), 1u);
    EXPECT_EQ(observer.events.front(), "insert 2");
    EXPECT_EQ(observer.events.back(), "remove 0");
    EXPECT_EQ(list.Item(5), ProgramItem{});
    list.RemoveObserver(&observer);
}

}  // namespace
}  // namespace chimeon
