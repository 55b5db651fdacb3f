// Where a picture is shown: a window's client area.
#pragma once

#include <cstdint>

namespace platform {

class Canvas {
public:
    virtual ~Canvas() = default;
    // Copies `width` x `height` pixels (0x00RRGGBB words, rows `pitch` words
    // apart) with their top-left corner to (x, y) of the canvas, cut to it.
    // They are seen at the next present, not at once: many uploads between
    // two waits of the event loop cost one present.
    virtual void Upload(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch,
                        int32_t x, int32_t y) = 0;
    // Presents what was uploaded now (an effect frame that is due).
    virtual void Flush() = 0;
};

}  // namespace platform
