#include "core/app/window_placement.h"

#include <algorithm>

namespace chimeon {
namespace {

constexpr int kGapBesidePreview = 5;

int HalfwayDown(PixelRect available, int height) {
    return available.y + std::max(0, (available.height - height) / 2);
}

}  // namespace

PreviewAndMainPlacement PlaceBesidePreview(PixelRect available, PixelSize preview, PixelSize main) {
    PreviewAndMainPlacement placement;
    placement.preview = {available.x, HalfwayDown(available, preview.height)};
    const int rightmost = available.x + available.width - main.width;
    placement.main = {
        std::max(available.x, std::min(available.x + preview.width + kGapBesidePreview, rightmost)),
        HalfwayDown(available, main.height)};
    return placement;
}

}  // namespace chimeon
