#include "core/app/skin_choice.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;

TEST(SkinChoiceAtStartUp, PicksTheFileOrTheMessage) {
    const struct {
        const char* name;
        const char* dataSkins;       // files in the data directory's "skin", by spaces
        const char* installedSkins;  // files in the installed "skin"
        const char* setting;
        const char* chosen;  // "data/NAME" or "installed/NAME", or the message
    } cases[] = {
        {"named", "corona.smf blue.smf", "", "blue.smf", "data/blue.smf"},
        {"named missing: first found", "zeta.smf alpha.smf", "", "gone.smf", "data/alpha.smf"},
        {"empty: corona", "alpha.smf corona.smf", "", "", "data/corona.smf"},
        {"empty without corona: the one", "only.smf notes.txt", "", "", "data/only.smf"},
        {"installed skins are found", "", "corona.smf", "", "installed/corona.smf"},
        {"data folder first", "corona.smf", "corona.smf", "", "data/corona.smf"},
        {"upper-case extension", "BIG.SMF", "", "x.smf", "data/BIG.SMF"},
        {"over 1 MB passed over", "huge.smf b.smf", "", "huge.smf", "data/b.smf"},
        {"only over 1 MB", "huge.smf", "", "", "Can not find any skin!"},
        {"none when set", "readme.txt", "", "corona.smf", "Can not find any skin"},
        {"none when empty", "", "", "", "Can not find any skin!"},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        for (const char* folder : {"data", "installed"}) {
            fs::create_directories(dir / folder);
            std::istringstream names(*folder == 'd' ? c.dataSkins : c.installedSkins);
            for (std::string name; names >> name;) {
                dir.Write(std::string(folder) + "/" + name, "x");
                if (name == "huge.smf") {  // sparse: no disk is used
                    fs::resize_file(dir / folder / name, kMaxSkinFileBytes + 1);
                }
            }
        }
        SkinChoice choice = ChooseSkin(c.setting, {dir / "data", dir / "installed"});
        if (choice.message) {
            EXPECT_EQ(*choice.message, c.chosen) << c.name;
        } else {
            EXPECT_EQ(choice.file, dir / c.chosen) << c.name;
            EXPECT_EQ(choice.skinFile, choice.file.filename().string()) << c.name;
        }
    }
    EXPECT_EQ(ChooseSkin("", {"/nonexistent/skin"}).message, "Can not find any skin!");
}

}  // namespace
}  // namespace chimeon
