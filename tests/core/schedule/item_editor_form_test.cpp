#include "core/schedule/item_editor_form.h"

#include <gtest/gtest.h>

#include "support/printers.h"

namespace chimeon {
namespace {

TEST(ItemEditorForm, TimeTextsRead) {
    struct {
        std::string_view text;
        TimeOfDay time;
    } cases[] = {
        {"13:30:0", {13, 30, 0}}, {"08:05:09", {8, 5, 9}},  // leading zeros of a hand-edited file
        {"7:5", {7, 5, 0}},       {"7", {7, 0, 0}},        {"", {0, 0, 0}},
        {"12:3:4:5", {12, 3, 4}},  // the seconds are the rest, read up to the first non-digit
        {" 9: 15:x", {9, 15, 0}}, {"8:60:0", {9, 0, 0}},  // out of range carries over like a clock
        {"25:0:0", {1, 0, 0}},    {"-1:0:0", {23, 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseTimeOfDay(c.text), c.time) << c.text;
    }
}

TEST(ItemEditorForm, VolumeMustBeAWholeNumberFrom0To100) {
    struct {
        std::string_view text;
        VolumeCheck check;
        unsigned value;
    } cases[] = {
        {"100", VolumeCheck::kOk, 100},
        {"0", VolumeCheck::kOk, 0},
        {" 50 ", VolumeCheck::kOk, 50},
        {"080", VolumeCheck::kOk, 80},
        {"+7", VolumeCheck::kOk, 7},
        {"-0", VolumeCheck::kOk, 0},
        {"", VolumeCheck::kNotInteger, 0},
        {"50%", VolumeCheck::kNotInteger, 0},
        {"5 0", VolumeCheck::kNotInteger, 0},
        {"１２", VolumeCheck::kNotInteger, 0},  // full-width digits
        {"101", VolumeCheck::kOutOfRange, 0},
        {"-5", VolumeCheck::kOutOfRange, 0},
        {"99999999999999999999999", VolumeCheck::kOutOfRange, 0},
    };
    for (const auto& c : cases) {
        VolumeParse parsed = ParseVolumeText(c.text);
        EXPECT_EQ(parsed.check, c.check) << c.text;
        EXPECT_EQ(parsed.value, c.value) << c.text;
    }
}

TEST(ItemEditorForm, PathRules) {
    struct {
        std::string_view folder;
        std::string_view stored;
    } folders[] = {
        {"D:\\Music", "D:\\Music\\"},     {"C:\\", "C:\\"}, {"/home/music", "/home/music/"},
        {"/home/music/", "/home/music/"}, {"", ""},         {"music", "music/"},
    };
    for (const auto& c : folders) {
        EXPECT_EQ(WithTrailingSeparator(c.folder), c.stored) << c.folder;
    }
}

// The editor's fields in one line: "title | file PATH (or folder PATH [random]) | volume |
// at/chained START | until/once END | play time".
std::string Shown(const ItemEditorFields& f) {
    return f.title + " | " +
           (f.source == SourceKind::kFile
                ? "file " + f.filePath
                : "folder " + f.folderPath + (f.randomOrder ? " random" : "")) +
           " | " + f.volumeText + " | " + (f.startAtTime ? "at " : "chained ") +
           FormatTimeOfDay(f.startTime) + " | " + (f.endAtTime ? "until " : "once ") +
           FormatTimeOfDay(f.endTime) + " | " + f.durationText;
}

TEST(ItemEditorForm, FieldsFromExistingItems) {
    // The pickers keep their default 8:0:0 where the item has no time; a file item's play time
    // is not measured until its path is chosen again.
    const std::pair<ProgramItem, std::string> cases[] = {
        {ProgramItem{"早操", "13:30:0", "播完终止", "80", "顺序", "d:\\bell\\ring.mp3"},
         "早操 | file d:\\bell\\ring.mp3 | 80 | at 13:30:0 | once 8:0:0 | "},
        {ProgramItem{"音乐", "续播", "12:0:0", "100", "随机", "d:\\music\\"},
         "音乐 | folder d:\\music\\ random | 100 | chained 8:0:0 | until 12:0:0 | "},
        {ProgramItem{"x", "续播", "播完终止", "100", "顺序", ""},
         "x | folder  | 100 | chained 8:0:0 | once 8:0:0 | "},
        {ProgramItem{"x", "续播", "播完终止", "100", "顺序", "/srv/music/"},
         "x | folder /srv/music/ | 100 | chained 8:0:0 | once 8:0:0 | "},
    };
    for (const auto& [item, shown] : cases) {
        EXPECT_EQ(Shown(FieldsFromItem(item)), shown);
    }
    // A row of today's list keeps the play time its "时长" cell shows; a folder row has none.
    EXPECT_EQ(FieldsFromTodayRow(ProgramItem{"x", "续播", "播完终止", "80", "3:07", "/a.mp3"})
                  .durationText,
              "3:07");
    EXPECT_EQ(
        FieldsFromTodayRow(ProgramItem{"x", "续播", "播完终止", "100", "随机", "/m/"}).durationText,
        "");

    struct {
        std::string_view stored;
        std::string_view shown;
    } volumes[] = {{"80", "80"},      {"080", "80"}, {"", "0"},     {"abc", "0"},
                   {"75 loud", "75"}, {"-5", "0"},   {"150", "150"}};
    for (const auto& c : volumes) {
        EXPECT_EQ(
            FieldsFromItem(ProgramItem{"x", "续播", "播完终止", std::string(c.stored), "", "a.mp3"})
                .volumeText,
            c.shown)
            << c.stored;
    }
}

TEST(ItemEditorForm, ChecksInOrder) {
    ItemEditorFields f;
    f.title = "";
    f.filePath = "";
    f.volumeText = "abc";
    EXPECT_EQ(CheckFields(f).message, kVolumeNotIntegerMessage);
    EXPECT_TRUE(CheckFields(f).volumeProblem);
    f.volumeText = "101";
    EXPECT_EQ(CheckFields(f).message, kVolumeOutOfRangeMessage);
    f.source = SourceKind::kFolder;
    EXPECT_EQ(CheckFields(f).message, kNoTitleMessage);  // a folder item's volume box is disabled
    f.source = SourceKind::kFile;
    f.volumeText = "100";
    EXPECT_EQ(CheckFields(f).message, kNoTitleMessage);  // empty title and path: only the title
    f.title = "铃声";
    EXPECT_EQ(CheckFields(f).message, kNoFileMessage);
    f.source = SourceKind::kFolder;
    EXPECT_EQ(CheckFields(f).message, kNoFolderMessage);
    f.folderPath = "/srv/music";
    EXPECT_TRUE(CheckFields(f).ok);
    f.source = SourceKind::kFile;
    EXPECT_FALSE(CheckFields(f).ok);  // the folder box does not count for a file item
    f.filePath = "a.mid";
    EXPECT_TRUE(CheckFields(f).ok);
    f.title = " ";
    EXPECT_TRUE(CheckFields(f).ok);  // only an empty title is refused
}

TEST(ItemEditorForm, ItemsMadeFromFields) {
    auto file = [](std::string path, std::string volume) {
        ItemEditorFields f;
        f.title = "铃";
        f.filePath = std::move(path);
        f.volumeText = std::move(volume);
        f.durationText = "3:07";
        return f;
    };
    struct {
        ItemEditorFields fields;
        ProgramItem item;
    } cases[] = {
        {file("D:\\Bell\\Ring.MP3", "80"),
         ProgramItem{"铃", "续播", "播完终止", "80", "3:07", "d:\\bell\\ring.mp3"}},
        {file("D:\\Bell\\Ring.WAV", "80"),
         ProgramItem{"铃", "续播", "播完终止", "100", "3:07", "d:\\bell\\ring.wav"}},
        {file("C:\\.mp3stuff\\a.wav", "40"),
         ProgramItem{"铃", "续播", "播完终止", "40", "3:07", "c:\\.mp3stuff\\a.wav"}},
        {file("/Srv/铃声/Ring.mp3", "050"),
         ProgramItem{"铃", "续播", "播完终止", "50", "3:07", "/srv/铃声/ring.mp3"}},
        {file("a.mp3", "100"), ProgramItem{"铃", "续播", "播完终止", "100", "3:07", "a.mp3"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ItemFromFields(c.fields), c.item) << c.fields.filePath;
    }

    ItemEditorFields timed = file("a.wav", "100");
    timed.startAtTime = true;
    timed.startTime = {7, 5, 9};
    timed.endAtTime = true;
    timed.endTime = {13, 30, 0};
    timed.durationText = "";  // edited without choosing the file again
    EXPECT_EQ(ItemFromFields(timed), (ProgramItem{"铃", "7:5:9", "13:30:0", "100", "", "a.wav"}));

    ItemEditorFields folder;
    folder.title = "音乐";
    folder.source = SourceKind::kFolder;
    folder.folderPath = "D:\\Music";
    folder.filePath = "ignored.mp3";
    folder.volumeText = "30";
    folder.randomOrder = true;
    EXPECT_EQ(ItemFromFields(folder),
              (ProgramItem{"音乐", "续播", "播完终止", "100", "随机", "D:\\Music\\"}));
    folder.randomOrder = false;
    folder.folderPath = "/srv/Music/";
    EXPECT_EQ(ItemFromFields(folder),
              (ProgramItem{"音乐", "续播", "播完终止", "100", "顺序", "/srv/Music/"}));

    // A line break (a Linux file name may hold one) would split the stored item in two.
    ItemEditorFields broken = file("/srv/a\nb.wav", "100");
    broken.title = "a\r\nb";
    ProgramItem made = ItemFromFields(broken);
    EXPECT_EQ(made.title.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(made.path.find_first_of("\r\n"), std::string::npos);
}

}  // namespace
}  // namespace chimeon
