#pragma once

#include <cstdint>

namespace chimeon {

// One decoded picture, 32 bits a pixel in B, G, R, unused byte order (on a little-endian machine
// the layout of a 0xffRRGGBB word). `data` is valid only during the call that hands it over.
struct VideoFrame {
    int width = 0;
    int height = 0;
    int stride = 0;  // bytes from one line to the next
    const std::uint8_t* data = nullptr;
};

// Where a player draws the picture of a video: the preview window's display area. A player given
// none (null) decodes video into a sink that needs no window and shows it nowhere.
//
// Present and Clear are called from the player's streaming thread as well as from the thread
// that owns the player; an implementation copies what it needs and hands it to its own thread
// (a widget repaints on the user-interface thread) and never waits for that thread: the player
// may be closing the file on it at that moment. Calls never overlap: the player serialises
// them, and none arrives after SetParentWindow(another surface), Close or the player's end
// returned.
class VideoOutput {
public:
    virtual ~VideoOutput() = default;

    // A new picture to draw scaled to fill the whole area.
    virtual void Present(const VideoFrame& frame) = 0;
    // Nothing to show any more (the file was closed).
    virtual void Clear() = 0;
    // Whether anyone looks at the pictures now: while nobody does, a player does not convert
    // them for Present. Called on the streaming thread, so it must be cheap.
    virtual bool Watched() const { return true; }
};

}  // namespace chimeon
