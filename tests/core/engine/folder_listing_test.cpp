#include "core/engine/folder_listing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::TempDir;

TEST(FileSystemDirectoryListerTest, ListsEveryRegularFileSortedByNameIgnoringCaseAndNoneElsewhere) {
    TempDir dir;
    std::filesystem::create_directory(dir / "Music");
    for (const char* name : {"b.mp3", "A.wav", ".hidden.mp3", "README", "c.MID"}) {
        dir.Write(std::string("Music/") + name, "x");
    }
    std::filesystem::create_directories(dir / "Music/sub/deeper");  // an empty folder
    dir.Write("Music/sub/deep.mp3", "x");
    ASSERT_EQ(mkfifo((dir / "Music" / "pipe.mp3").c_str(), 0600), 0);

    FileSystemDirectoryLister lister;
    std::string folder = (dir / "Music").string() + "/";
    std::vector<std::string> files = lister.ListFiles(folder);
    std::vector<std::string> names;
    for (const std::string& file : files) {
        names.push_back(std::filesystem::path(file).filename().string());
        EXPECT_TRUE(std::filesystem::is_regular_file(file)) << file;
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{".hidden.mp3", "A.wav", "b.mp3", "c.MID", "README"}));

    // A folder stored on Windows: backslashes and another letter case.
    std::string stored = (dir / "music").string() + "\\";
    std::replace(stored.begin(), stored.end(), '/', '\\');
    EXPECT_EQ(lister.ListFiles(stored), files);
    for (const std::string& none :
         {(dir / "Music/sub/deeper/").string(), (dir / "x/").string(), std::string()}) {
        EXPECT_TRUE(lister.ListFiles(none).empty()) << none;
    }
}

// The same seed gives the same order; every order of three is reached about as often.
TEST(ShuffleFolderFilesTest, SeededAndEven) {
    std::map<std::vector<std::string>, int> seen;
    for (std::uint32_t seed = 0; seed < 6000; ++seed) {
        std::vector<std::string> files{"a", "b", "c"}, again{"a", "b", "c"};
        ShuffleFolderFiles(files, seed);
        ShuffleFolderFiles(again, seed);
        EXPECT_EQ(files, again);
        ++seen[files];
    }
    ASSERT_EQ(seen.size(), 6u);
    for (const auto& [order, count] : seen) {
        EXPECT_GT(count, 800);
        EXPECT_LT(count, 1200);
    }
    std::vector<std::string> none, one{"/m/a.mp3"};
    ShuffleFolderFiles(none, 1);
    ShuffleFolderFiles(one, 1);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(one, std::vector<std::string>{"/m/a.mp3"});
}

}  // namespace
}  // namespace chimeon
