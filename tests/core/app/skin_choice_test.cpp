#include "core/app/skin_choice.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct SkinCase {
    const char* name;
    std::vector<std::string> dataSkins;       // files in the data directory's "skin"
    std::vector<std::string> installedSkins;  // files in the installed "skin"
    std::string setting;
    std::string expectedFile;  // "data/NAME" or "installed/NAME"; "" when a message is expected
    std::string expectedSkinFile;
    std::string expectedMessage;
};

class SkinChoiceAtStartUp : public testing::TestWithParam<SkinCase> {};

TEST_P(SkinChoiceAtStartUp, PicksTheFileOrTheMessage) {
    const SkinCase& c = GetParam();
    TempDir dir;
    fs::create_directories(dir / "data");
    fs::create_directories(dir / "installed");
    auto write = [&](const std::string& file) {
        dir.Write(file, "x");
        if (file.find("huge") != std::string::npos) {  // sparse: no disk is used
            fs::resize_file(dir / file, kMaxSkinFileBytes + 1);
        }
    };
    for (const auto& name : c.dataSkins) {
        write("data/" + name);
    }
    for (const auto& name : c.installedSkins) {
        write("installed/" + name);
    }
    SkinChoice choice = ChooseSkin(c.setting, {dir / "data", dir / "installed"});
    if (c.expectedFile.empty()) {
        EXPECT_EQ(choice.message, c.expectedMessage);
        return;
    }
    EXPECT_EQ(choice.message, std::nullopt);
    EXPECT_EQ(choice.file, dir / c.expectedFile);
    EXPECT_EQ(choice.skinFile, c.expectedSkinFile);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SkinChoiceAtStartUp,
    testing::Values(
        SkinCase{
            "named", {"corona.smf", "blue.smf"}, {}, "blue.smf", "data/blue.smf", "blue.smf", ""},
        SkinCase{"named_missing_takes_first_found",
                 {"zeta.smf", "alpha.smf"},
                 {},
                 "gone.smf",
                 "data/alpha.smf",
                 "alpha.smf",
                 ""},
        SkinCase{"empty_takes_corona",
                 {"alpha.smf", "corona.smf"},
                 {},
                 "",
                 "data/corona.smf",
                 "corona.smf",
                 ""},
        SkinCase{"empty_without_corona_takes_the_one",
                 {"only.smf", "notes.txt"},
                 {},
                 "",
                 "data/only.smf",
                 "only.smf",
                 ""},
        SkinCase{"installed_skins_are_found",
                 {},
                 {"corona.smf"},
                 "",
                 "installed/corona.smf",
                 "corona.smf",
                 ""},
        SkinCase{"data_folder_first",
                 {"corona.smf"},
                 {"corona.smf"},
                 "",
                 "data/corona.smf",
                 "corona.smf",
                 ""},
        SkinCase{"upper_case_extension", {"BIG.SMF"}, {}, "x.smf", "data/BIG.SMF", "BIG.SMF", ""},
        SkinCase{
            "huge_passed_over", {"huge.smf", "b.smf"}, {}, "huge.smf", "data/b.smf", "b.smf", ""},
        SkinCase{"only_huge", {"huge.smf"}, {}, "", "", "", "Can not find any skin!"},
        SkinCase{
            "none_when_set", {"readme.txt"}, {}, "corona.smf", "", "", "Can not find any skin"},
        SkinCase{"none_when_empty", {}, {}, "", "", "", "Can not find any skin!"}),
    [](const testing::TestParamInfo<SkinCase>& info) { return info.param.name; });

TEST(SkinChoiceAtStartUp, MissingSkinFoldersGiveTheMessage) {
    EXPECT_EQ(ChooseSkin("", {"/nonexistent/skin"}).message, "Can not find any skin!");
}

}  // namespace
}  // namespace chimeon
