#include "core/app/window_placement.h"

#include <gtest/gtest.h>

namespace chimeon {
namespace {

TEST(WindowPlacementTest, PreviewAndMainWindowStayOnTheUsableArea) {
    struct Case {
        const char* name;
        PixelRect available;
        PixelSize main;
        PixelPoint previewAt;
        PixelSize previewSize;
        PixelPoint mainAt;
    };
    const PixelSize preview{364, 285};
    const Case cases[] = {
        {"1024 x 768", {0, 0, 1024, 768}, {669, 530}, {0, 247}, {350, 274}, {355, 119}},
        {"panels top and left", {60, 27, 964, 741}, {560, 500}, {60, 255}, preview, {429, 147}},
        {"narrower than main", {0, 0, 640, 480}, {700, 600}, {0, 169}, {182, 142}, {0, 0}},
    };
    for (const Case& c : cases) {
        const PreviewAndMainPlacement placement = PlaceBesidePreview(c.available, preview, c.main);
        EXPECT_EQ(placement.preview, c.previewAt) << c.name;
        EXPECT_EQ(placement.previewSize, c.previewSize) << c.name;
        EXPECT_EQ(placement.main, c.mainAt) << c.name;
    }
}

}  // namespace
}  // namespace chimeon
