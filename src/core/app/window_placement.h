#pragma once

namespace chimeon {

// Pixel geometry of the screen and of windows (frames included).
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};
struct PixelPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPoint&) const = default;
};

struct PreviewAndMainPlacement {
    PixelPoint preview;
    PixelSize previewSize;
    PixelPoint main;
};

// Where the preview window and the main window go at start-up, on the usable screen area
// `available` (the desktop less its panels, which may start below the screen's top): the preview
// at the area's left edge, the main window 5 pixels to its right, each halfway down. Where the
// area is too narrow for both side by side (1024 pixels hold a main window of 669 and a preview
// of 364 only with an overlap), the preview shrinks, keeping its shape, into the room left of the
// main window, down to half its size. Neither leaves the area: the main window moves left (over
// the preview only when even the half preview does not fit), and a window taller than the area
// keeps its caption at the area's top.
PreviewAndMainPlacement PlaceBesidePreview(PixelRect available, PixelSize preview, PixelSize main);

}  // namespace chimeon
