#include "core/app/window_placement.h"

#include <gtest/gtest.h>

namespace chimeon {
namespace {

TEST(WindowPlacementTest, PreviewAndMainWindowStayOnTheUsableArea) {
    struct Case {
        const char* name;
        PixelRect available;
        PixelSize main;
        PixelPoint preview, mainAt;
    };
    const PixelSize preview{320, 280};
    const Case cases[] = {
        {"1024 wide: main moves left", {0, 0, 1024, 768}, {719, 600}, {0, 244}, {305, 84}},
        {"panel at the top and left", {60, 27, 964, 741}, {600, 500}, {60, 257}, {385, 147}},
        {"narrower than the main window", {0, 0, 640, 480}, {700, 600}, {0, 100}, {0, 0}},
    };
    for (const Case& c : cases) {
        const PreviewAndMainPlacement placement = PlaceBesidePreview(c.available, preview, c.main);
        EXPECT_EQ(placement.preview, c.preview) << c.name;
        EXPECT_EQ(placement.main, c.mainAt) << c.name;
    }
}

}  // namespace
}  // namespace chimeon
