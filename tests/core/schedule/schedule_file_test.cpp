#include "core/schedule/schedule_file.h"

#include <gtest/gtest.h>

#include <random>

#include "support/printers.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::Hex;
using test::TempDir;

const std::string kChainedGbk = Hex("d0 f8 b2 a5");               // 续播
const std::string kPlayOnceGbk = Hex("b2 a5 cd ea d6 d5 d6 b9");  // 播完终止

TEST(ScheduleFileFormat, WritesFourCrLfLinesPerItemInGbk) {
    ScheduleTable table = {
        ProgramItem{"Bell", "8:0:0", "播完终止", "80", "3:07", "d:\\bell\\ring.mp3"},
        ProgramItem{"音乐", "续播", "12:0:0", "100", "随机", "d:\\music\\"},
    };
    std::string expected = "Bell\r\n8:0:0\r\n" + kPlayOnceGbk + "  80\r\n0d:\\bell\\ring.mp3\r\n" +
                           Hex("d2 f4 c0 d6") + "\r\n" + kChainedGbk + "\r\n12:0:0  100\r\n" +
                           "1d:\\music\\\r\n";
    EXPECT_EQ(SerializeScheduleTable(table), expected);
    EXPECT_EQ(SerializeScheduleTable({}), "");
}

// Items in one line: "title|start|end|volume|mode|path" each, after a "; " between them.
std::string Described(const ScheduleTable& table) {
    std::string text;
    for (const ProgramItem& item : table) {
        text += (text.empty() ? "" : "; ") + item.title + "|" + item.start + "|" + item.end + "|" +
                item.volume + "|" + item.mode + "|" + item.path;
    }
    return text;
}

TEST(ScheduleFileParse, ReadsByTheLineRules) {
    const struct {
        const char* name;
        std::string bytes;
        std::string items;
    } cases[] = {
        {"empty file", "", ""},
        {"title only", "T\r\n", "T|||100||"},
        {"end without volume", "T\r\n8:0:0\r\n" + kPlayOnceGbk + "\r\n0c:\\a.wav\r\n",
         "T|8:0:0|播完终止|100|顺序|c:\\a.wav"},
        {"volume: all after the first two spaces", "T\r\n8:0:0\r\n12:0:0  100  more  \r\n0p\r\n",
         "T|8:0:0|12:0:0|100  more  |顺序|p"},
        {"random folder", "T\r\n" + kChainedGbk + "\r\n12:0:0  100\r\n1d:\\music\\\r\n",
         "T|续播|12:0:0|100|随机|d:\\music\\"},
        {"no marker keeps the whole path", "T\r\n1:0:0\r\n2:0:0  5\r\nc:\\a.wav\r\n",
         "T|1:0:0|2:0:0|5|顺序|c:\\a.wav"},
        {"single byte line 4", "T\r\n1:0:0\r\n2:0:0  5\r\n0\r\n", "T|1:0:0|2:0:0|5||0"},
        {"padded time kept as text", "T\r\n08:00:00\r\nx  1\r\n0p\r\n", "T|08:00:00|x|1|顺序|p"},
        {"LF only, no final line end", "T\n1:0:0\n2:0:0  5\n0p", "T|1:0:0|2:0:0|5|顺序|p"},
        {"an empty line after the last item starts another", "T\r\n1:0:0\r\n2:0:0  5\r\n0p\r\n\r\n",
         "T|1:0:0|2:0:0|5|顺序|p; |||100||"},
        {"a lone CR is kept", "A\rB\r\n\r\r\n x\r\n0p\r\n", "A\rB|\r| x|100|顺序|p"},
        {"NUL bytes are text", std::string("A\0B\r\n", 5), std::string("A\0B|||100||", 11)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Described(ParseScheduleTable(c.bytes)), c.items) << c.name;
    }
}

TEST(ScheduleFileLoad, ReadsTheHandMadeSampleWithGbkText) {
    auto table = LoadScheduleFile(std::filesystem::path(CHIMEON_TEST_DATA_DIR) / "Day1.dat");
    ASSERT_TRUE(table.has_value());
    ScheduleTable expected = {
        ProgramItem{"上课铃", "8:0:0", "播完终止", "80", "顺序", "d:\\bell\\ring.mp3"},
        ProgramItem{"早操音乐", "续播", "8:30:0", "100", "随机", "d:\\music\\早操\\"},
    };
    EXPECT_EQ(*table, expected);
}

// A missing file (or a folder) is no table; an empty file is an empty one.
TEST(ScheduleFileLoad, NameInAnotherCaseIsReadWhenItIsTheOnlyMatch) {
    TempDir dir;
    EXPECT_FALSE(LoadScheduleFile(dir / "Day1.dat").has_value());
    EXPECT_FALSE(LoadScheduleFile(dir.path()).has_value());
    dir.Write("Day2.dat", "");
    EXPECT_EQ(LoadScheduleFile(dir / "Day2.dat"), ScheduleTable{});
    dir.Write("day1.dat", "T\r\n");
    auto table = LoadScheduleFile(dir / "Day1.dat");
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(table->size(), 1u);

    dir.Write("DAY1.DAT", "U\r\nV\r\n");
    EXPECT_FALSE(LoadScheduleFile(dir / "Day1.dat").has_value())
        << "two spellings: neither is guessed";

    ASSERT_TRUE(SaveScheduleFile(dir / "Day1.dat", {ProgramItem{"W", "", "", "", "", "p"}}));
    EXPECT_EQ(dir.Read("Day1.dat"), "W\r\n\r\n  \r\n0p\r\n") << "saves use the canonical name";
    EXPECT_EQ(LoadScheduleFile(dir / "Day1.dat")->front().title, "W");
}

ScheduleTable RandomTable(std::mt19937& random) {
    const std::vector<std::string> words = {"",           "8:0:0",         "续播",   "播完终止",
                                            "随机",       "顺序",          "铃声 a", "12:30:5",
                                            "d:\\音乐\\", "/home/x/a.mp3", "100",    " 1 "};
    auto pick = [&] { return words[random() % words.size()] + words[random() % words.size()]; };
    ScheduleTable table(random() % 8);
    for (ProgramItem& item : table) {
        item = ProgramItem{pick(), pick(), pick(), pick(), random() % 2 ? "随机" : "顺序", pick()};
        // Two spaces inside `end`, or one at its end, would move text into `volume`, and an empty
        // path cannot carry the order marker: all are beyond what the editor produces.
        while (item.end.find("  ") != std::string::npos) {
            item.end.erase(item.end.find("  "), 1);
        }
        while (!item.end.empty() && item.end.back() == ' ') {
            item.end.pop_back();
        }
        if (item.path.size() < 1) {
            item.path = "p";
        }
    }
    return table;
}

TEST(ScheduleFileRoundTrip, RandomTablesComeBackEqualExceptFileItemMode) {
    TempDir dir;
    std::mt19937 random(20261207);
    for (int round = 0; round < 200; ++round) {
        ScheduleTable table = RandomTable(random);
        ASSERT_TRUE(SaveScheduleFile(dir / "Template1.dat", table));
        auto loaded = LoadScheduleFile(dir / "Template1.dat");
        ASSERT_TRUE(loaded.has_value());
        for (ProgramItem& item : table) {
            if (!item.IsRandom()) {
                item.mode = "顺序";
            }
        }
        ASSERT_EQ(*loaded, table) << "round " << round;
    }
}

TEST(ScheduleFileSave, FieldWithLineBreakIsRefusedAndOldFileKept) {
    TempDir dir;
    dir.Write("Day2.dat", "old\r\n");
    for (std::string bad : {"a\nb", "a\rb"}) {
        EXPECT_FALSE(SaveScheduleFile(dir / "Day2.dat", {ProgramItem{bad, "", "", "", "", "p"}}));
        EXPECT_FALSE(SaveScheduleFile(dir / "Day2.dat", {ProgramItem{"t", "", "", "", "", bad}}));
    }
    EXPECT_EQ(dir.Read("Day2.dat"), "old\r\n");
}

}  // namespace
}  // namespace chimeon
