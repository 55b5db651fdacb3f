// Random CP932 bytes with markup through the text engine. The first two bytes
// choose the font size and the limits (small, so that lines break and pages
// fill); the rest is the text. The reveal script is then replayed the way the
// message window does, page after page. Besides crashes it checks that the
// mask stays binary and that every page change takes some text.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "graphics/Las_grf.h"

namespace {

constexpr int32_t kPageChange = 14;
// Bounds a run even if a page stops taking text: more steps than any page has.
constexpr int kMaxStepsPerPage = graphics::TLasGraphic::kRevealCapacity + 1;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void CheckMaskIsBinary(const graphics::TLasGraphic& picture) {
    for (int32_t y = 0; y < picture.Height(); ++y) {
        const uint8_t* mask = picture.MaskRow(y);
        Check(std::all_of(mask, mask + picture.Width(),
                          [](uint8_t m) { return m == 0 || m == 255; }));
    }
}

// Reads the page's script; true when it ends in a page change.
bool ReplayPage(graphics::TLasGraphic& picture) {
    for (int step = 0; step < kMaxStepsPerPage; ++step) {
        graphics::TRevealStep next = picture.NextRevealStep();
        if (next.Code == 0) return false;
        if (next.Code == kPageChange) return true;
    }
    Check(false);
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    graphics::TLasGraphic picture;
    picture.TextFont.Name = "IPAGothic";
    picture.TextFont.Size = 4 + data[0] % 32;
    int32_t maxWidth = data[1] % 16 * 16 - 8;  // -8 to 232
    int32_t maxHeight = data[1] / 16 * 8;      // 0 (no limit) to 120
    picture.Text.assign(reinterpret_cast<const char*>(data) + 2, size - 2);

    picture.RenderText(maxWidth, maxHeight);
    CheckMaskIsBinary(picture);
    while (ReplayPage(picture)) {
        size_t before = picture.Text.size();
        picture.RenderTextInPlace();
        CheckMaskIsBinary(picture);
        Check(picture.Text.size() < before);
    }
    return 0;
}
