#include "graphics/Las_eff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/golden.h"
#include "platform/app.h"
#include "platform/clock.h"
#include "platform/headless.h"
#include "platform/system.h"

using graphics::TEffectArea;
using graphics::TLasGraphic;

namespace {

constexpr int32_t kWidth = 64;
constexpr int32_t kHeight = 48;
constexpr TEffectArea kScreen{0, 0, kWidth, kHeight};
constexpr TEffectArea kNowhere{};
constexpr uint32_t kStart = 0xFFFFFF00u;  // the effects cross the tick count's wrap

// Squares of 6 do not line up with the mosaic's blocks; the new picture
// differs from the old one everywhere (its blue is 0x20).
uint32_t OldPixel(int32_t x, int32_t y) {
    return (x / 6 + y / 6) % 2 ? 0x203060u : 0xC8D0D8u;
}
uint32_t NewPixel(int32_t x, int32_t y) {
    return uint32_t(x * 4) << 16 | uint32_t(y * 5) << 8 | 0x20;
}

TLasGraphic Picture(uint32_t (*colour)(int32_t, int32_t)) {
    TLasGraphic picture;
    picture.SetSize(kWidth, kHeight);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) picture.Row(y)[x] = colour(x, y);
    }
    return picture;
}

bool Inside(const TEffectArea& a, int32_t x, int32_t y) {
    return x >= a.X && x < a.X + a.Width && y >= a.Y && y < a.Y + a.Height;
}

// Records the tick of every frame as well.
class TimedCanvas : public platform::RecordingCanvas {
public:
    void Show(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch, int32_t x,
              int32_t y) override {
        ticks.push_back(platform::TickCount());
        RecordingCanvas::Show(pixels, width, height, pitch, x, y);
    }
    std::vector<uint32_t> ticks;
};

class Effects : public ::testing::Test {
protected:
    Effects() {
        platform::SetApp(&app_);
        platform::SeedRandom(2024);
    }
    ~Effects() override { platform::SetApp(nullptr); }

    // Runs effect `number` from the old to the new picture into a fresh canvas.
    void Run(int32_t number, const TEffectArea& area) {
        canvas_ = TimedCanvas();
        TLasGraphic work;
        work.Assign(old_);
        ASSERT_TRUE(graphics::RunEffectByNumber(number, canvas_, work, target_, area));
    }
    // The ticks of `count` frames `period` apart, the first at the effect's start.
    std::vector<uint32_t> Paced(uint32_t count, uint32_t period) const {
        std::vector<uint32_t> ticks;
        for (uint32_t k = 0; k < count; ++k) ticks.push_back(canvas_.ticks[0] + k * period);
        return ticks;
    }
    bool IsNew(size_t frame, int32_t x, int32_t y) const {
        return canvas_.frames.at(frame).pixels.at(size_t(y) * kWidth + x) == NewPixel(x, y);
    }
    // The first frame showing the new pixel, or -1.
    int FirstNew(int32_t x, int32_t y) const {
        for (size_t k = 0; k < canvas_.frames.size(); ++k) {
            if (IsNew(k, x, y)) return int(k);
        }
        return -1;
    }
    // Pixels of a frame that are not the old picture outside the area, or not
    // the new one inside it (when `inside` is checked too).
    int Wrong(size_t frame, const TEffectArea& area, bool inside = true) const {
        int wrong = 0;
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                uint32_t shown = canvas_.frames.at(frame).pixels[size_t(y) * kWidth + x];
                if (!Inside(area, x, y)) {
                    wrong += shown != OldPixel(x, y);
                } else if (inside) {
                    wrong += shown != NewPixel(x, y);
                }
            }
        }
        return wrong;
    }
    // No frame before `frames` changes anything outside the area.
    void ExpectOldOutside(const TEffectArea& area, size_t frames) const {
        for (size_t k = 0; k < frames; ++k) EXPECT_EQ(Wrong(k, area, false), 0) << k;
    }
    // The chosen frames side by side against one golden image.
    void ExpectFrames(const std::vector<size_t>& frames, const std::string& name) const {
        TLasGraphic strip;
        strip.SetSize(kWidth * int32_t(frames.size()), kHeight);
        for (size_t i = 0; i < frames.size(); ++i) {
            TLasGraphic frame;
            frame.LoadFromGraphic(kWidth, kHeight, canvas_.frames.at(frames[i]).pixels.data());
            frame.Draw(strip, kWidth * int32_t(i), 0, kWidth, kHeight, 0, 0);
        }
        golden::ExpectMatches(strip, name);
    }

    platform::ScopedVirtualClock clock_{kStart};
    platform::HeadlessApplication app_;
    TimedCanvas canvas_;
    TLasGraphic old_ = Picture(OldPixel);
    TLasGraphic target_ = Picture(NewPixel);
};

int WipeFrame(int32_t strip) {
    return 9 - strip % 10 + strip / 10;
}

}  // namespace

TEST_F(Effects, FadeBlendsOnlyAnOpaqueTarget) {
    TEffectArea area{8, 6, 40, 30};
    Run(0, area);
    EXPECT_EQ(canvas_.ticks, Paced(8, 150));
    ExpectOldOutside(area, 8);
    ExpectFrames({0, 3, 7}, "effect_fade");

    target_.SetTransparencyMode(graphics::TransparencyMode::Keyed);
    Run(0, area);
    EXPECT_EQ(canvas_.ticks, Paced(8, 150));
    ExpectOldOutside(kNowhere, 8);
}

TEST_F(Effects, WipesFillGroupsOfTenStripsFromTheirRightEnd) {
    Run(1, kScreen);
    EXPECT_EQ(canvas_.ticks, Paced(13, 40));
    for (int32_t x = 0; x < kWidth; ++x) {
        EXPECT_EQ(FirstNew(x, 0), WipeFrame(x / 2)) << x;
        EXPECT_EQ(FirstNew(x, kHeight - 1), WipeFrame(x / 2)) << x;
    }
    ExpectFrames({1, 6, 12}, "effect_wipe_left");

    // 41 rows: the odd last one is left to the screen's next Present.
    Run(2, {4, 3, 50, 41});
    EXPECT_EQ(canvas_.ticks, Paced(11, 40));
    EXPECT_EQ(Wrong(10, {4, 3, 50, 40}), 0);
    for (int32_t y = 3; y < 43; ++y) EXPECT_EQ(FirstNew(10, y), WipeFrame((y - 3) / 2)) << y;
    ExpectFrames({3, 10}, "effect_wipe_top");
}

TEST_F(Effects, RandomPanelsShowTwelveTilesAFrame) {
    Run(3, kScreen);
    EXPECT_EQ(canvas_.ticks, Paced(13, 30));
    for (size_t k = 0; k < 12; ++k) {
        int tiles = 0;
        for (int32_t t = 0; t < 144; ++t) tiles += IsNew(k, t / 12 * 5, t % 12 * 4);
        EXPECT_EQ(tiles, 12 * int(k + 1)) << k;
    }
    EXPECT_EQ(Wrong(12, kScreen), 0);
    ExpectFrames({0, 5, 10}, "effect_random_panels");

    // Narrower than 12 columns: the last column's tiles take all the width.
    TEffectArea narrow{20, 8, 10, 30};
    Run(3, narrow);
    EXPECT_EQ(Wrong(11, narrow), 0);
}

TEST_F(Effects, BlindAndSquareGrowTwoPixelLines) {
    Run(4, kScreen);
    EXPECT_EQ(canvas_.ticks, Paced(10, 40));
    for (int32_t y = 0; y < 40; ++y) EXPECT_EQ(FirstNew(7, y), y % 20 / 2) << y;
    EXPECT_EQ(Wrong(9, {0, 0, kWidth, 40}), 0);  // no band for the last 8 rows
    ExpectFrames({2, 6}, "effect_blind");
    Run(4, {0, 0, kWidth, 30});
    EXPECT_EQ(Wrong(9, {0, 0, kWidth, 20}), 0);

    // The partial last bands are covered, but nothing outside the area.
    TEffectArea area{5, 5, 31, 33};
    Run(5, area);
    EXPECT_EQ(canvas_.ticks, Paced(10, 40));
    ExpectOldOutside(area, 10);
    EXPECT_EQ(Wrong(9, area), 0);
    ExpectFrames({1, 5}, "effect_square");
}

TEST_F(Effects, WaveRotatesBandsWithinTheArea) {
    TEffectArea area{8, 6, 40, 30};
    Run(6, area);
    EXPECT_EQ(canvas_.ticks, Paced(21, 100));
    ExpectOldOutside(area, 20);
    EXPECT_EQ(Wrong(19, area), 0);
    EXPECT_EQ(Wrong(20, kScreen), 0);
    ExpectFrames({2, 10, 16}, "effect_wave");

    // Rotations up to 38 columns in an area 12 wide.
    TEffectArea narrow{30, 10, 12, 20};
    Run(6, narrow);
    ExpectOldOutside(narrow, 20);
    EXPECT_EQ(Wrong(19, narrow), 0);
}

TEST_F(Effects, MosaicCoarsensTheOldThenRefinesTheNew) {
    Run(7, kScreen);
    EXPECT_EQ(canvas_.ticks, Paced(9, 200));
    // The centre of the 32-pixel block at (32, 32) lies below the picture:
    // its colour comes from the last row.
    EXPECT_EQ(canvas_.frames[4].pixels.back(), OldPixel(48, 47));
    EXPECT_EQ(canvas_.frames[5].pixels.back(), NewPixel(48, 47));
    ExpectFrames({0, 2, 4, 5, 8}, "effect_mosaic");

    // A partial area is tiled from its own corner over the old screen.
    TEffectArea area{10, 10, 30, 20};
    Run(7, area);
    ExpectOldOutside(area, 9);
    EXPECT_EQ(canvas_.frames[4].pixels[29 * kWidth + 39], OldPixel(26, 26));
    EXPECT_EQ(canvas_.frames[8].pixels[13 * kWidth + 13], NewPixel(12, 12));
}

TEST_F(Effects, OtherNumbersRunNothing) {
    TLasGraphic work;
    for (int32_t number : {-1, 8, 1000}) {
        EXPECT_FALSE(graphics::RunEffectByNumber(number, canvas_, work, target_, kScreen));
    }
    EXPECT_TRUE(canvas_.frames.empty());
    EXPECT_EQ(platform::TickCount(), kStart);
}
