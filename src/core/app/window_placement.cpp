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
    const int room = available.width - main.width - kGapBesidePreview;
    placement.previewSize = preview;
    if (room < preview.width && preview.width > 0) {
        const int width = std::max(room, preview.width / 2);
        placement.previewSize = {width, static_cast<int>(static_cast<long long>(preview.height) *
                                                         width / preview.width)};
    }
    placement.preview = {available.x, HalfwayDown(available, placement.previewSize.height)};
    const int rightmost = available.x + available.width - main.width;
    placement.main = {std::max(available.x, std::min(available.x + placement.previewSize.width +
                                                         kGapBesidePreview,
                                                     rightmost)),
                      HalfwayDown(available, main.height)};
    return placement;
}

}  // namespace chimeon
