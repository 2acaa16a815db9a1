#include "core/engine/today_list.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace chimeon {
namespace {

using namespace std::chrono_literals;

ProgramItem Item(std::string start, std::string path, std::string mode = "顺序") {
    return ProgramItem{"title", std::move(start), "播完终止",
                       "100",   std::move(mode),  std::move(path)};
}

class RecordingObserver : public TodayListObserver {
public:
    void OnRowsReplaced(std::uint64_t generation) override {
        events.push_back("rows " + std::to_string(generation));
    }
    void OnRowChanged(int row) override { events.push_back("row " + std::to_string(row)); }
    void OnRowInserted(int row) override { events.push_back("insert " + std::to_string(row)); }
    void OnRowRemoved(int row) override { events.push_back("remove " + std::to_string(row)); }
    std::vector<std::string> events;
};

TEST(TodayListTest, RowsStartWaitingAndShowTheItemsFieldsWithTheirState) {
    TodayList list;
    list.Load({ProgramItem{"早铃", "8:0:0", "播完终止", "80", "随机", "d:\\bell\\"}});
    ASSERT_EQ(list.RowCount(), 1);
    TodayRow row = *list.Row(0);
    EXPECT_EQ(row.generation, list.Generation());
    const char* expected[] = {"早铃", "待播", "8:0:0", "播完终止", "80", "随机", "d:\\bell\\"};
    row.state = RowState::kPlaying;
    for (int column = 0; column < kTodayColumnCount; ++column) {
        EXPECT_EQ(CellText(*list.Row(0), column), expected[column]) << column;
    }
    EXPECT_EQ(CellText(row, kColumnState), "正播");
    EXPECT_EQ(CellText(row, kTodayColumnCount), "");
}

TEST(TodayListTest, ObserversHearOfEveryChangeAndOnlyOfChanges) {
    TodayList list;
    RecordingObserver observer;
    list.AddObserver(&observer);
    list.AddObserver(&observer);  // once is enough
    list.Load({Item("8:0:0", "/a.mp3")});
    list.SetState(0, RowState::kPlaying);
    list.SetState(0, RowState::kPlaying);  // same state: no news
    // Reads outside the list give an empty waiting row, and writes there are ignored.
    for (int row : {-1, 1, 100}) {
        EXPECT_EQ(list.Row(row), nullptr);
        EXPECT_FALSE(list.IsPlaying(row) || list.IsChained(row));
        list.SetState(row, RowState::kPlaying);
        list.ReplaceItem(row, Item("续播", "/x.mp3"));
    }
    EXPECT_EQ(list.RowCount(), 1);
    list.Load({});
    list.RemoveObserver(&observer);
    list.Load({});
    EXPECT_EQ(observer.events, (std::vector<std::string>{"rows 1", "row 0", "rows 2"}));
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
        {"older load", {stale, 0, "/a.mp3", 60s}, false},
        {"no row holds the path", {now, 0, "/other.mp3", 60s}, false},
        {"row moved away: found by path", {now, 3, "/a.mp3", 120s}, true},
        {"folder row keeps 随机", {now, 1, "/music/", 60s}, false},
        {"empty path is a folder", {now, 2, "", 60s}, false},
        {"current file row", {now, 0, "/a.mp3", 187s}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list.ApplyDuration(c.result), c.applied) << c.name;
    }
    EXPECT_EQ(ModeCellText(*list.Row(0)), "3:07");
    EXPECT_EQ(ModeCellText(*list.Row(1)), "随机");
    EXPECT_EQ(ModeCellText(*list.Row(2)), "顺序");
    list.ReplaceItem(0, Item("8:0:0", "/a.mp3", "0:59"));  // an edit shows the editor's text
    EXPECT_EQ(ModeCellText(*list.Row(0)), "0:59");
}

TEST(TodayListTest, OperatorChangesKeepTheLoadAndTheStartLookupCurrent) {
    TodayList list;
    list.Load({Item("8:0:0", "/a.mp3"), Item("9:0:0", "/b.mp3")});
    list.SetState(0, RowState::kPlaying);
    list.ReplaceItem(1, Item("8:0:0", "/b.mp3"));  // the upper of two rows with one start
    EXPECT_EQ(list.FirstRowStartingAt("8:0:0"), 0);
    list.ReplaceItem(1, Item("9:0:0", "/b.mp3"));
    RecordingObserver observer;
    list.AddObserver(&observer);

    list.AppendRow(Item("10:0:0", "/c.mp3"));
    EXPECT_FALSE(list.IsPlaying(2));
    EXPECT_EQ(list.FirstRowStartingAt("10:0:0"), 2);

    list.SwapRows(0, 1);  // the state moves with its row
    EXPECT_TRUE(list.IsPlaying(1));
    EXPECT_EQ(list.Item(0).path, "/b.mp3");
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
