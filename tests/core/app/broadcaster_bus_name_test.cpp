#include "core/app/broadcaster_bus_name.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

TEST(BroadcasterBusName, OneNamePerDirectoryHoweverItIsSpelled) {
    EXPECT_EQ(Fnv1a64(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(Fnv1a64("a"), 0xaf63dc4c8601ec8cULL);
    test::TempDir dir;
    std::filesystem::create_directories(dir / "bells");
    std::filesystem::create_directory_symlink(dir / "bells", dir / "link");
    const std::string name = BroadcasterBusName(dir / "bells");
    EXPECT_EQ(
        name, "org.chimeon.Broadcaster1.D" + [&] {
            char hex[17];
            std::snprintf(hex, sizeof hex, "%016llx",
                          static_cast<unsigned long long>(Fnv1a64((dir / "bells").string())));
            return std::string(hex);
        }());
    for (const auto& spelling : {dir / "bells/", dir / "link", dir / "bells/../bells"}) {
        EXPECT_EQ(BroadcasterBusName(spelling), name) << spelling;
    }
    EXPECT_NE(BroadcasterBusName(dir / "other"), name);
}

}  // namespace
}  // namespace chimeon
