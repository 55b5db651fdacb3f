#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "graphics/Las_grf.h"

using graphics::TLasGraphic;
using graphics::TransparencyMode;

namespace {

TLasGraphic Filled(int32_t width, int32_t height, uint32_t colour,
                   TransparencyMode mode = TransparencyMode::Opaque, uint8_t coverage = 255) {
    TLasGraphic picture;
    picture.SetTransparencyMode(mode);
    picture.SetSize(width, height);
    picture.FillRect(0, 0, width, height, colour);
    for (int32_t y = 0; y < height && picture.HasMask(); ++y) {
        std::fill(picture.MaskRow(y), picture.MaskRow(y) + width, coverage);
    }
    return picture;
}

// Each pixel's colour is x + 16 * y, so a drawn pixel tells where it came from.
TLasGraphic Numbered(int32_t width, int32_t height) {
    TLasGraphic picture;
    picture.SetSize(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) picture.Row(y)[x] = uint32_t(x + 16 * y);
    }
    return picture;
}

std::vector<uint32_t> RowOf(const TLasGraphic& picture, int32_t y) {
    return {picture.Row(y), picture.Row(y) + picture.Width()};
}

std::vector<uint8_t> MaskOf(const TLasGraphic& picture, int32_t y) {
    return {picture.MaskRow(y), picture.MaskRow(y) + picture.Width()};
}

constexpr uint32_t W = 0xFFFFFF;

}  // namespace

TEST(Picture, SizeModeAndMaskLifecycle) {
    TLasGraphic picture;
    EXPECT_EQ(picture.Width(), 10);
    EXPECT_EQ(picture.Height(), 10);
    EXPECT_EQ(picture.Mode(), TransparencyMode::Opaque);
    EXPECT_FALSE(picture.HasMask());
    EXPECT_EQ(picture.GetPixel(9, 9), W);

    picture.SetTransparencyMode(TransparencyMode::Keyed);  // a new mask is fully covered
    EXPECT_EQ(MaskOf(picture, 3), std::vector<uint8_t>(10, 255));
    picture.MaskRow(0)[0] = 7;
    picture.SetTransparencyMode(TransparencyMode::Alpha);  // kept between masked modes
    EXPECT_EQ(picture.MaskRow(0)[0], 7);

    picture.SetSize(3, 2);  // a masked picture is resized clear
    EXPECT_EQ(MaskOf(picture, 1), std::vector<uint8_t>(3, 0));
    EXPECT_EQ(RowOf(picture, 1), std::vector<uint32_t>(3, W));

    picture.SetTransparencyMode(TransparencyMode::Opaque);
    EXPECT_FALSE(picture.HasMask());
    EXPECT_EQ(picture.MaskRow(0), nullptr);

    for (auto [w, h] : {std::pair{-1, 5},
                        {5, -1},
                        {graphics::kMaxPictureSide + 1, 1},
                        {graphics::kMaxPictureSide, graphics::kMaxPictureSide}}) {
        picture.SetSize(w, h);
        EXPECT_EQ(picture.Width(), 0) << w << "x" << h;
        EXPECT_EQ(picture.Height(), 0) << w << "x" << h;
    }
    EXPECT_EQ(picture.GetPixel(0, 0), 0u);
    EXPECT_FALSE(picture.HitTest(0, 0));
}

TEST(Picture, AssignAndLoadFromGraphicCopyEverything) {
    TLasGraphic source = Numbered(4, 3);
    source.SetTransparencyMode(TransparencyMode::Alpha);
    source.MaskRow(2)[3] = 99;
    TLasGraphic copy;
    copy.Assign(source);
    EXPECT_EQ(copy.Mode(), TransparencyMode::Alpha);
    EXPECT_EQ(copy.Width(), 4);
    EXPECT_EQ(RowOf(copy, 2), RowOf(source, 2));
    EXPECT_EQ(copy.MaskRow(2)[3], 99);

    copy.Assign(Numbered(2, 2));
    EXPECT_EQ(copy.Mode(), TransparencyMode::Opaque);
    EXPECT_FALSE(copy.HasMask());

    // Pixels from elsewhere may carry a top byte; the picture keeps colour only.
    const uint32_t pixels[] = {0xFF112233, 0x00445566};
    copy.SetTransparencyMode(TransparencyMode::Keyed);
    copy.LoadFromGraphic(1, 2, pixels);
    EXPECT_EQ(copy.Mode(), TransparencyMode::Opaque);
    EXPECT_EQ(copy.GetPixel(0, 0), 0x112233u);
    EXPECT_EQ(copy.GetPixel(0, 1), 0x445566u);
}

TEST(Picture, DrawIsClippedToBothPictures) {
    TLasGraphic source = Numbered(4, 4);
    TLasGraphic dest = Filled(6, 6, W);

    // A negative destination shows the source from column/row -x on.
    source.Draw(dest, -2, -1, 4, 4, 0, 0);
    EXPECT_EQ(RowOf(dest, 0), (std::vector<uint32_t>{18, 19, W, W, W, W}));
    EXPECT_EQ(RowOf(dest, 2), (std::vector<uint32_t>{50, 51, W, W, W, W}));
    EXPECT_EQ(RowOf(dest, 3), std::vector<uint32_t>(6, W));

    // A source smaller than the rectangle draws only its own extent.
    dest = Filled(6, 6, W);
    source.Draw(dest, 3, 4, 100, 100, 1, 2);
    EXPECT_EQ(RowOf(dest, 4), (std::vector<uint32_t>{W, W, W, 33, 34, 35}));
    EXPECT_EQ(RowOf(dest, 5), (std::vector<uint32_t>{W, W, W, 49, 50, 51}));
    EXPECT_EQ(RowOf(dest, 3), std::vector<uint32_t>(6, W));

    // A negative source start moves the destination on with it.
    dest = Filled(6, 6, W);
    source.Draw(dest, 0, 0, 3, 1, -2, 0);
    EXPECT_EQ(RowOf(dest, 0), (std::vector<uint32_t>{W, W, 0, W, W, W}));

    // Nothing to draw: empty, inverted, off the edges, or sums that would wrap.
    TLasGraphic untouched = Filled(6, 6, W);
    dest = Filled(6, 6, W);
    source.Draw(dest, 1, 1, 0, 3, 0, 0);
    source.Draw(dest, 1, 1, -3, 3, 0, 0);
    source.Draw(dest, 6, 0, 4, 4, 0, 0);
    source.Draw(dest, 0, 0, 4, 4, 4, 0);
    source.Draw(dest, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0, 0);
    source.Draw(dest, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0);
    source.Draw(dest, 0, 0, INT_MAX, INT_MAX, INT_MIN, INT_MIN);
    for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(RowOf(dest, y), RowOf(untouched, y));

    source.Draw(dest, 0, 0, INT_MAX, INT_MAX, 0, 0);
    EXPECT_EQ(RowOf(dest, 3), (std::vector<uint32_t>{48, 49, 50, 51, W, W}));
}

TEST(Picture, DrawRulesOfTheThreeModes) {
    constexpr uint32_t under = 0x204060;
    TLasGraphic source = Filled(4, 1, 0xFFFFFF, TransparencyMode::Keyed);
    const uint8_t coverage[] = {0, 64, 128, 255};
    std::copy(coverage, coverage + 4, source.MaskRow(0));

    TLasGraphic dest = Filled(4, 1, under);
    source.Draw(dest, 0, 0, 4, 1, 0, 0);
    EXPECT_EQ(RowOf(dest, 0), (std::vector<uint32_t>{under, W, W, W}));

    // ((255 - m) * dest + m * src) >> 8: m = 255 falls one short of a bright source.
    source.SetTransparencyMode(TransparencyMode::Alpha);
    dest = Filled(4, 1, under);
    source.Draw(dest, 0, 0, 4, 1, 0, 0);
    EXPECT_EQ(RowOf(dest, 0), (std::vector<uint32_t>{under, 0x576F87, 0x8F9FAF, 0xFEFEFE}));

    TLasGraphic dark = Filled(1, 1, 0x000000, TransparencyMode::Alpha, 128);
    dest = Filled(1, 1, 0xFF8001);
    dark.Draw(dest, 0, 0, 1, 1, 0, 0);
    EXPECT_EQ(dest.GetPixel(0, 0), 0x7E3F00u);

    // An opaque source replaces the whole pixel.
    Filled(2, 1, 0x123456).Draw(dest, 0, 0, 1, 1, 0, 0);
    EXPECT_EQ(dest.GetPixel(0, 0), 0x123456u);
}

TEST(Picture, DrawMergesTheDestinationMask) {
    TLasGraphic keyed = Filled(3, 1, 0x111111, TransparencyMode::Keyed, 0);
    keyed.MaskRow(0)[1] = 0x0F;
    TLasGraphic dest = Filled(4, 1, W, TransparencyMode::Alpha, 0xF0);
    dest.MaskRow(0)[0] = 0x01;
    keyed.Draw(dest, 0, 0, 3, 1, 0, 0);
    EXPECT_EQ(MaskOf(dest, 0), (std::vector<uint8_t>{0x01, 0xFF, 0xF0, 0xF0}));

    Filled(2, 1, 0x111111).Draw(dest, 2, 0, 5, 1, 0, 0);
    EXPECT_EQ(MaskOf(dest, 0), (std::vector<uint8_t>{0x01, 0xFF, 0xFF, 0xFF}));

    TLasGraphic opaque = Filled(3, 1, W);
    keyed.Draw(opaque, 0, 0, 3, 1, 0, 0);
    EXPECT_FALSE(opaque.HasMask());
}

TEST(Picture, DrawOntoItselfReadsTheOriginal) {
    TLasGraphic picture = Numbered(4, 4);
    picture.Draw(picture, 1, 1, 3, 3, 0, 0);
    EXPECT_EQ(RowOf(picture, 1), (std::vector<uint32_t>{16, 0, 1, 2}));
    EXPECT_EQ(RowOf(picture, 3), (std::vector<uint32_t>{48, 32, 33, 34}));
}

TEST(Picture, BlendOpaque) {
    TLasGraphic target = Filled(3, 2, 0xFF8000);
    TLasGraphic old = Filled(3, 2, 0x0080FF);
    target.BlendOpaque(old, 1, 1, 5, 5, 0, 0, 127);
    // (128 * 0x00 + 127 * 0xFF) >> 8 = 0x7E; (128 * 0x80 + 127 * 0x80) >> 8 = 0x7F.
    EXPECT_EQ(RowOf(old, 1), (std::vector<uint32_t>{0x0080FF, 0x7E7F7F, 0x7E7F7F}));
    EXPECT_EQ(RowOf(old, 0), std::vector<uint32_t>(3, 0x0080FF));

    target.BlendOpaque(old, 0, 0, 3, 2, 0, 0, 255);
    EXPECT_EQ(old.GetPixel(0, 0), 0xFE7F00u);

    TLasGraphic masked = Filled(3, 2, 0x000000, TransparencyMode::Keyed);
    masked.BlendOpaque(old, 0, 0, 3, 2, 0, 0, 255);  // only opaque pictures blend
    EXPECT_EQ(old.GetPixel(0, 0), 0xFE7F00u);
}

TEST(Picture, FillRectIsClippedAndCoversTheMask) {
    TLasGraphic picture = Filled(4, 3, W, TransparencyMode::Keyed, 0);
    picture.FillRect(-2, 1, 4, 100, 0xFF123456);
    EXPECT_EQ(RowOf(picture, 0), std::vector<uint32_t>(4, W));
    EXPECT_EQ(RowOf(picture, 2), (std::vector<uint32_t>{0x123456, 0x123456, W, W}));
    EXPECT_EQ(MaskOf(picture, 1), (std::vector<uint8_t>{255, 255, 0, 0}));
    EXPECT_EQ(MaskOf(picture, 0), std::vector<uint8_t>(4, 0));
    picture.FillRect(3, 2, INT_MAX, INT_MAX, 0);
    EXPECT_EQ(picture.GetPixel(3, 2), 0u);
    picture.FillRect(INT_MAX, 0, INT_MAX, 1, 0);
    picture.FillRect(0, 0, -5, 3, 0);
    EXPECT_EQ(RowOf(picture, 0), std::vector<uint32_t>(4, W));
}

TEST(Picture, GetPixelAndHitTest) {
    TLasGraphic picture = Numbered(4, 3);
    EXPECT_EQ(picture.GetPixel(2, 1), 18u);
    EXPECT_EQ(picture.GetPixel(-5, 1), 16u);  // nearest pixel inside
    EXPECT_EQ(picture.GetPixel(9, 9), 35u);
    EXPECT_TRUE(picture.HitTest(3, 2));
    EXPECT_FALSE(picture.HitTest(4, 0));
    EXPECT_FALSE(picture.HitTest(0, -1));

    picture.SetTransparencyMode(TransparencyMode::Alpha);
    picture.MaskRow(0)[0] = 15;
    picture.MaskRow(0)[1] = 16;
    EXPECT_FALSE(picture.HitTest(0, 0));
    EXPECT_TRUE(picture.HitTest(1, 0));
}

TEST(Picture, TransparencyRequests) {
    // A white bottom-left pixel keys out every white pixel, interior ones too.
    TLasGraphic picture = Filled(4, 4, W);
    picture.FillRect(1, 0, 2, 3, 0x0000FF);
    picture.Row(1)[2] = 0xFFFFFFFF;  // a top byte does not hide the colour
    picture.ApplyColourKey();
    EXPECT_EQ(picture.Mode(), TransparencyMode::Keyed);
    EXPECT_EQ(MaskOf(picture, 1), (std::vector<uint8_t>{0, 255, 0, 0}));
    EXPECT_EQ(MaskOf(picture, 3), std::vector<uint8_t>(4, 0));

    // Other coverage is kept; translucency lowers only what lies above 128.
    TLasGraphic alpha = Filled(3, 1, 0x010203, TransparencyMode::Alpha, 200);
    alpha.Row(0)[2] = 0x777777;
    alpha.ApplyColourKey();
    EXPECT_EQ(MaskOf(alpha, 0), (std::vector<uint8_t>{0, 0, 200}));
    alpha.MaskRow(0)[1] = 50;
    alpha.MakeTranslucent();
    EXPECT_EQ(alpha.Mode(), TransparencyMode::Alpha);
    EXPECT_EQ(MaskOf(alpha, 0), (std::vector<uint8_t>{0, 50, 128}));

    TLasGraphic opaque = Filled(2, 2, W);
    opaque.MakeTranslucent();
    EXPECT_EQ(opaque.Mode(), TransparencyMode::Alpha);
    EXPECT_EQ(MaskOf(opaque, 1), std::vector<uint8_t>(2, 128));

    opaque.ClearMask();
    EXPECT_EQ(opaque.Mode(), TransparencyMode::Alpha);
    EXPECT_EQ(MaskOf(opaque, 0), std::vector<uint8_t>(2, 0));
    TLasGraphic cleared = Filled(2, 2, W);
    cleared.ClearMask();
    EXPECT_EQ(cleared.Mode(), TransparencyMode::Keyed);
    EXPECT_EQ(MaskOf(cleared, 1), std::vector<uint8_t>(2, 0));
}
