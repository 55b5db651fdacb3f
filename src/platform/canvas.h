// Where a picture is shown: a window's client area, or a recorder in tests.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

class Canvas {
public:
    virtual ~Canvas() = default;
    // Shows `width` x `height` pixels (0x00RRGGBB words, rows `pitch` words
    // apart) with their top-left corner at (x, y) of the canvas.
    virtual void Show(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch,
                      int32_t x, int32_t y) = 0;
};

// Keeps a copy of everything it was shown (tests, headless screenshots).
class RecordingCanvas : public Canvas {
public:
    struct Frame {
        int32_t width;
        int32_t height;
        int32_t x;
        int32_t y;
        std::vector<uint32_t> pixels;
    };

    void Show(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch, int32_t x,
              int32_t y) override {
        Frame frame{width, height, x, y, {}};
        frame.pixels.reserve(size_t(width) * height);
        for (int32_t row = 0; row < height; ++row) {
            frame.pixels.insert(frame.pixels.end(), pixels + size_t(row) * pitch,
                                pixels + size_t(row) * pitch + width);
        }
        frames.push_back(std::move(frame));
    }

    std::vector<Frame> frames;
};

}  // namespace platform
