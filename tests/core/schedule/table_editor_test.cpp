#include "core/schedule/table_editor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <map>
#include <sstream>

#include "core/schedule/schedule_file.h"
#include "support/temp_dir.h"
#include "support/write_failures.h"

namespace chimeon {
namespace {

using test::Hex;
using test::TempDir;

ProgramItem Titled(std::string title) {
    return {std::move(title), "8:0:0", "播完终止", "100", "顺序", "c:\\a.wav"};
}

ScheduleTable TableOf(std::string_view titles) {
    ScheduleTable table;
    for (char title : titles) {
        table.push_back(Titled(std::string(1, title)));
    }
    return table;
}

std::string Titles(const TableEditor& editor) {
    std::string titles;
    for (const ProgramItem& item : editor.Rows()) {
        titles += item.title;
    }
    return titles;
}

// Operations as words: "c2" chooses row 2, "u" 上移, "d" 下移, "x" 删除, "a" adds "N", "e" edits
// the current row into "E", "w1" chooses radio 1, "i1" imports table 1.
void RunOperations(TableEditor& editor, const std::string& operations) {
    using Operation = std::function<void(TableEditor&, int)>;
    const std::map<char, Operation> operation = {
        {'c', [](TableEditor& e, int n) { e.SetCurrentRow(n); }},
        {'u', [](TableEditor& e, int) { e.MoveUp(); }},
        {'d', [](TableEditor& e, int) { e.MoveDown(); }},
        {'x', [](TableEditor& e, int) { e.Delete(); }},
        {'a', [](TableEditor& e, int) { e.Append(Titled("N")); }},
        {'e', [](TableEditor& e, int) { e.Replace(e.CurrentRow(), Titled("E")); }},
        {'w', [](TableEditor& e, int n) { (void)e.Choose(n); }},
        {'i', [](TableEditor& e, int n) { (void)e.Import(static_cast<TableId>(n)); }}};
    std::istringstream words(operations);
    for (std::string word; words >> word;) {
        operation.at(word[0])(editor, word.size() > 1 ? std::stoi(word.substr(1)) : 0);
    }
}

struct ListCase {
    const char* name;
    const char* operations;
    const char* titles;
    int currentRow;
};

class TableEditorList : public testing::TestWithParam<ListCase> {};

// Sunday's table holds ABCDE, "模板2" XY; Monday's was never saved.
TEST_P(TableEditorList, ButtonsActOnTheCurrentRow) {
    TempDir dir;
    ASSERT_TRUE(SaveScheduleFile(dir / "Day0.dat", TableOf("ABCDE")));
    ASSERT_TRUE(SaveScheduleFile(dir / "Template2.dat", TableOf("XY")));
    AppState state;
    TableEditor editor(state, dir.path(), WeekdayTables());
    EXPECT_TRUE(editor.Choose(0).IsEmpty());
    RunOperations(editor, GetParam().operations);
    EXPECT_EQ(Titles(editor), GetParam().titles);
    EXPECT_EQ(editor.CurrentRow(), GetParam().currentRow);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, TableEditorList,
    testing::Values(ListCase{"nothing_without_a_click", "e x u d", "ABCDE", -1},
                    ListCase{"up_stops_at_the_top", "c2 u u u", "CABDE", 0},
                    ListCase{"down_on_the_last_row", "c4 d", "ABCDE", 4},
                    ListCase{"delete_takes_the_row_moved_up", "c3 x x x", "ABC", 3},
                    ListCase{"add_at_the_end_row_stays", "c1 a d", "ACBDEN", 2},
                    ListCase{"edit_in_place", "c1 e", "AECDE", 1},
                    ListCase{"switch_drops_changes_keeps_row", "c1 a w1 w0", "ABCDE", 1},
                    ListCase{"import_replaces_the_list", "c3 a i1", "XY", 3},
                    ListCase{"import_of_a_table_never_saved", "i6 d u", "", -1}),
    [](const testing::TestParamInfo<ListCase>& info) { return info.param.name; });

TEST(TableEditorFiles, SaveAndImportTellTheOperator) {
    TempDir dir;
    ASSERT_TRUE(SaveScheduleFile(dir / "Template2.dat", TableOf("XY")));
    AppState state;
    state.usePassword = true;
    TableEditor editor(state, dir.path(), WeekdayTables());
    (void)editor.Choose(3);
    EXPECT_TRUE(editor.Import(TableId::kTemplate2).IsEmpty());
    EXPECT_EQ(editor.Save(), NotLoggedIn());
    EXPECT_EQ(dir.Read("Day3.dat"), "<missing>");

    state.loggedIn = true;
    EXPECT_EQ(editor.Save(), Saved());
    EXPECT_EQ(dir.Read("Day3.dat"), dir.Read("Template2.dat"));

    EXPECT_EQ(editor.Import(TableId::kTemplate5),
              (PageMessage{MessageTitle::kReminder, std::string(kNothingToImportMessage)}));
    EXPECT_TRUE(editor.Rows().empty());
    EXPECT_EQ(editor.Save(), Saved());
    EXPECT_EQ(dir.Read("Day3.dat"), "");

    std::filesystem::create_symlink(dir / "nowhere", dir / "Day4.dat");
    EXPECT_EQ(editor.Choose(4).text.rfind("无法读取", 0), 0u) << "there, but not readable";
}

// An unchanged save gives back every byte; a save into a folder the operator cannot write fails
// and leaves the file as it was.
TEST(TableEditorFiles, KeepsEveryByteOrWritesNothing) {
    TempDir dir;
    // A stray 0x80, an 0xFF and a lone lead byte at the end of a path.
    const std::string stored = "T" + Hex("80") + "x\r\n8:0:0\r\n" + Hex("b2 a5 cd ea d6 d5 d6 b9") +
                               "  100\r\n0d:\\" + Hex("ff d2 f4 c0 d6 d0") + "\r\n";
    dir.Write("Template4.dat", stored);
    AppState state;
    TableEditor editor(state, dir.path(), TemplateTables());
    EXPECT_TRUE(editor.Choose(3).IsEmpty());
    EXPECT_EQ(editor.Save(), Saved());
    EXPECT_EQ(dir.Read("Template4.dat"), stored);

    ::chmod((dir / "Template4.dat").c_str(), 0444);
    editor.Append(Titled("N"));
    EXPECT_TRUE(test::RunWithoutWritePermission(
        dir.path().string(), [&] { return editor.Save() == SaveFailed({dir / "Template4.dat"}); }));
    EXPECT_EQ(dir.Read("Template4.dat"), stored);
}

}  // namespace
}  // namespace chimeon
