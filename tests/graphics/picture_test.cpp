#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "common/test_pictures.h"

using graphics::TLasGraphic;
using graphics::TransparencyMode;
using Row = std::vector<uint32_t>;
using Mask = std::vector<uint8_t>;

namespace {

constexpr uint32_t W = 0xFFFFFF;

// In a masked mode every pixel has `coverage`.
TLasGraphic Filled(int32_t width, int32_t height, uint32_t colour,
                   TransparencyMode mode = TransparencyMode::Opaque, uint8_t coverage = 255) {
    TLasGraphic picture = testkit::Painted(width, height, [=](int32_t, int32_t) { return colour; });
    picture.SetTransparencyMode(mode);
    for (int32_t y = 0; y < height && picture.HasMask(); ++y) {
        std::fill_n(picture.MaskRow(y), width, coverage);
    }
    return picture;
}

// Each pixel's colour is x + 16 * y, so a drawn pixel tells where it came from.
TLasGraphic Numbered(int32_t width, int32_t height) {
    return testkit::Painted(width, height,
                            [](int32_t x, int32_t y) { return uint32_t(x + 16 * y); });
}

Row RowOf(const TLasGraphic& picture, int32_t y) {
    return {picture.Row(y), picture.Row(y) + picture.Width()};
}

Mask MaskOf(const TLasGraphic& picture, int32_t y) {
    return {picture.MaskRow(y), picture.MaskRow(y) + picture.Width()};
}

}  // namespace

TEST(Picture, CopiesKeepTheMaskAndAbsurdSizesLeaveNothing) {
    TLasGraphic picture = Filled(4, 3, 0x123456, TransparencyMode::Alpha, 7);
    TLasGraphic copy;
    copy.Assign(picture);
    EXPECT_EQ(copy.Mode(), TransparencyMode::Alpha);
    EXPECT_EQ(MaskOf(copy, 2), Mask(4, 7));

    for (auto [w, h] : {std::pair{-1, 5},
                        {5, -1},
                        {graphics::kMaxPictureSide + 1, 1},
                        {graphics::kMaxPictureSide, graphics::kMaxPictureSide}}) {
        picture.SetSize(w, h);
        EXPECT_EQ(picture.Width() + picture.Height(), 0) << w << "x" << h;
    }
    EXPECT_EQ(picture.GetPixel(0, 0), 0u);
    EXPECT_FALSE(picture.HitTest(0, 0));
}

TEST(Picture, DrawIsClippedToBothPictures) {
    TLasGraphic source = Numbered(4, 4);
    TLasGraphic dest = Filled(6, 6, W);

    // A negative destination shows the source from column/row -x on.
    source.Draw(dest, -2, -1, 4, 4, 0, 0);
    EXPECT_EQ(RowOf(dest, 0), (Row{18, 19, W, W, W, W}));
    EXPECT_EQ(RowOf(dest, 2), (Row{50, 51, W, W, W, W}));
    EXPECT_EQ(RowOf(dest, 3), Row(6, W));

    // A source smaller than the rectangle draws only its own extent.
    dest = Filled(6, 6, W);
    source.Draw(dest, 3, 4, 100, 100, 1, 2);
    EXPECT_EQ(RowOf(dest, 4), (Row{W, W, W, 33, 34, 35}));
    EXPECT_EQ(RowOf(dest, 5), (Row{W, W, W, 49, 50, 51}));
    EXPECT_EQ(RowOf(dest, 3), Row(6, W));

    // A negative source start moves the destination on with it.
    dest = Filled(6, 6, W);
    source.Draw(dest, 0, 0, 3, 1, -2, 0);
    EXPECT_EQ(RowOf(dest, 0), (Row{W, W, 0, W, W, W}));

    // Nothing to draw: empty, inverted, off the edges, or sums that would wrap.
    dest = Filled(6, 6, W);
    source.Draw(dest, 1, 1, 0, 3, 0, 0);
    source.Draw(dest, 1, 1, -3, 3, 0, 0);
    source.Draw(dest, 6, 0, 4, 4, 0, 0);
    source.Draw(dest, 0, 0, 4, 4, 4, 0);
    source.Draw(dest, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0, 0);
    source.Draw(dest, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0);
    source.Draw(dest, 0, 0, INT_MAX, INT_MAX, INT_MIN, INT_MIN);
    EXPECT_EQ(testkit::PixelsOf(dest), Row(36, W));

    source.Draw(dest, 0, 0, INT_MAX, INT_MAX, 0, 0);
    EXPECT_EQ(RowOf(dest, 3), (Row{48, 49, 50, 51, W, W}));

    // Onto itself, the overlapping rows are read as they were.
    source.Draw(source, 1, 1, 3, 3, 0, 0);
    EXPECT_EQ(RowOf(source, 1), (Row{16, 0, 1, 2}));
    EXPECT_EQ(RowOf(source, 3), (Row{48, 32, 33, 34}));
}

// How keyed and alpha pictures draw is pinned by the PNG transparency cases.
// A masked destination takes the source's mask ORed in, all of it from an
// opaque one.
TEST(Picture, DrawingMergesTheMask) {
    TLasGraphic keyed = Filled(3, 1, 0x111111, TransparencyMode::Keyed, 0);
    keyed.MaskRow(0)[1] = 0x0F;
    TLasGraphic dest = Filled(4, 1, W, TransparencyMode::Alpha, 0xF0);
    dest.MaskRow(0)[0] = 0x01;
    keyed.Draw(dest, 0, 0, 3, 1, 0, 0);
    EXPECT_EQ(MaskOf(dest, 0), (Mask{0x01, 0xFF, 0xF0, 0xF0}));
    Filled(2, 1, 0x111111).Draw(dest, 2, 0, 5, 1, 0, 0);
    EXPECT_EQ(MaskOf(dest, 0), (Mask{0x01, 0xFF, 0xFF, 0xFF}));
    TLasGraphic opaque = Filled(3, 1, W);
    keyed.Draw(opaque, 0, 0, 3, 1, 0, 0);
    EXPECT_FALSE(opaque.HasMask());
}

TEST(Picture, FillGetPixelAndHitTestOutside) {
    TLasGraphic picture = Filled(4, 3, W, TransparencyMode::Keyed, 0);
    picture.FillRect(-2, 1, 4, 100, 0xFF123456);
    picture.FillRect(3, 2, INT_MAX, INT_MAX, 0);
    picture.FillRect(INT_MAX, 0, INT_MAX, 1, 0);
    picture.FillRect(0, 0, -5, 3, 0);
    EXPECT_EQ(RowOf(picture, 0), Row(4, W));
    EXPECT_EQ(RowOf(picture, 2), (Row{0x123456, 0x123456, W, 0}));
    EXPECT_EQ(MaskOf(picture, 1), (Mask{255, 255, 0, 0}));
    EXPECT_EQ(picture.GetPixel(-5, 2), 0x123456u);  // the nearest pixel inside
    EXPECT_EQ(picture.GetPixel(9, 9), 0u);
    // Coverage above 15 hits (the buttons' cases); nothing outside does.
    EXPECT_FALSE(picture.HitTest(4, 2));
    EXPECT_FALSE(picture.HitTest(1, -1));
}
