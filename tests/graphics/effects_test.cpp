#include "graphics/Las_eff.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "common/test_pictures.h"
#include "common/test_platform.h"
#include "platform/backend.h"
#include "platform/random.h"

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

class Effects : public ::testing::Test {
protected:
    Effects() {
        platform::SeedRandom(2024);
        canvas_.onUpload = [this] { ticks_.push_back(platform::TickCount()); };
    }

    // Runs effect `number` from the old to the new picture into a fresh canvas.
    void Run(int32_t number, const TEffectArea& area) {
        canvas_.frames.clear();
        ticks_.clear();
        TLasGraphic work;
        work.Assign(old_);
        ASSERT_TRUE(graphics::RunEffectByNumber(number, canvas_, work, target_, area));
    }
    // The first frame showing the new pixel, or -1.
    int FirstNew(int32_t x, int32_t y) const {
        for (size_t k = 0; k < canvas_.frames.size(); ++k) {
            if (canvas_.frames[k].pixels.at(size_t(y) * kWidth + x) == NewPixel(x, y))
                return int(k);
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
                if (x < area.X || x >= area.X + area.Width || y < area.Y ||
                    y >= area.Y + area.Height) {
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

    testkit::ScopedPlatform host_{kStart};
    testkit::RecordingCanvas canvas_;
    std::vector<uint32_t> ticks_;  // of each frame
    TLasGraphic old_ = testkit::Painted(kWidth, kHeight, OldPixel);
    TLasGraphic target_ = testkit::Painted(kWidth, kHeight, NewPixel);
};

int WipeFrame(int32_t strip) {
    return 9 - strip % 10 + strip / 10;
}

}  // namespace

// Each effect's frames and their period; nothing outside the area changes
// until the effect is done.
TEST_F(Effects, PacedFramesWithinTheArea) {
    struct Case {
        int32_t number;
        TEffectArea area;
        size_t frames;
        uint32_t period;
        size_t ownFrames;  // then the whole new screen is shown
        std::vector<size_t> golden;
        const char* name;
        TEffectArea reach = {};  // where it changes pixels, when more than the area
    };
    const Case cases[] = {
        {0, {8, 6, 40, 30}, 8, 150, 8, {0, 3, 7}, "effect_fade"},
        {1, kScreen, 13, 40, 13, {1, 6, 12}, "effect_wipe_left"},
        {2, {4, 3, 50, 41}, 11, 40, 11, {3, 10}, "effect_wipe_top"},
        {3, kScreen, 13, 30, 12, {0, 5, 10}, "effect_random_panels"},
        {4, kScreen, 10, 40, 10, {2, 6}, "effect_blind"},
        // The square's last lines reach past the area (to 45, 45).
        {5, {5, 5, 31, 33}, 10, 40, 10, {1, 5}, "effect_square", {5, 5, 40, 40}},
        {6, {8, 6, 40, 30}, 21, 100, 20, {2, 10, 16}, "effect_wave"},
        {7, kScreen, 9, 200, 9, {0, 2, 4, 5, 8}, "effect_mosaic"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Run(c.number, c.area);
        ASSERT_EQ(ticks_.size(), c.frames);
        for (size_t k = 1; k < c.frames; ++k) EXPECT_EQ(ticks_[k] - ticks_[0], k * c.period) << k;
        ExpectOldOutside(c.reach.Width > 0 ? c.reach : c.area, c.ownFrames);
        // The chosen frames side by side against one golden image.
        auto strip = [&](int32_t x, int32_t y) {
            return canvas_.frames.at(c.golden[x / kWidth]).pixels[y * kWidth + x % kWidth];
        };
        int32_t width = kWidth * int32_t(c.golden.size());
        testkit::ExpectGolden(testkit::Painted(width, kHeight, strip), c.name);
    }
}

// An area reaching past the picture keeps its position and size: strips,
// bands and tiles are counted from it as given, and what falls on the picture
// is drawn. However far it reaches, a frame costs no more than the picture.
TEST_F(Effects, PartialAreasAndAreasReachingPastThePicture) {
    constexpr int32_t kMin = INT32_MIN, kMax = INT32_MAX;
    constexpr TEffectArea kNarrow{20, 8, 10, 30};
    struct Case {
        int32_t number;
        TEffectArea area;
        size_t frames;
        size_t ownFrames;  // the last shows the area's part on the picture new
        TEffectArea onPicture;
    };
    const Case cases[] = {
        {1, {30, 0, kWidth, kHeight}, 13, 13, {30, 0, 34, kHeight}},  // 32 strips
        {2, {0, 20, kWidth, kHeight}, 12, 12, {0, 20, kWidth, 28}},   // 24 strips
        {3, {-5, -7, kMax, kMax}, 13, 12, kScreen},  // tile (0, 0) covers the picture
        {4, {0, 10, kWidth, kHeight}, 10, 10, {0, 10, kWidth, 38}},  // the 2nd band ends at 49
        {4, {-5, -7, kMax, kMax}, 10, 10, kScreen},
        {5, {-13, -7, 100, 100}, 10, 10, kScreen},
        {6, {-16, -3, 96, 60}, 21, 20, kScreen},
        {6, {-5, -7, kMax, kMax}, 21, 20, kScreen},
        {0, {kMin, kMin, kMax, kMax}, 8, 8, kNowhere},
        {5, {kMax, kMin, kMax, kMax}, 10, 10, kNowhere},
        {7, {kMax, kMax, kMax, kMax}, 9, 9, kNowhere},
        // Areas within the picture, the tiles of one narrower than 12
        // columns taking all its width in the last column, the rotations up
        // to 38 columns of the wave in one 10 wide.
        {3, kNarrow, 13, 12, kNarrow},
        {6, kNarrow, 21, 20, kNarrow},
        {6, {8, 6, 40, 30}, 21, 20, {8, 6, 40, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.number << " at " << c.area.X << ", " << c.area.Y);
        Run(c.number, c.area);
        ASSERT_EQ(canvas_.frames.size(), c.frames);
        ExpectOldOutside(c.onPicture, c.ownFrames);
        EXPECT_EQ(Wrong(c.ownFrames - 1, c.onPicture), 0);
        // A last frame of its own shows the whole new screen.
        if (c.frames > c.ownFrames) {
            EXPECT_EQ(Wrong(c.frames - 1, kScreen), 0);
        }
    }

    // The wave rotates within the whole area: what comes from columns off
    // the picture is not drawn. First band: rotation left by 22 columns.
    Run(6, {-16, 0, 96, kHeight});
    EXPECT_EQ(canvas_.frames[0].pixels[0], NewPixel(22, 0));
    EXPECT_EQ(canvas_.frames[0].pixels[41], NewPixel(63, 0));
    EXPECT_EQ(canvas_.frames[0].pixels[42], OldPixel(42, 0));
    // Mosaic blocks of 32 from (-5, -3): centres at (43, 45), and at (75, 45)
    // past the edge, where the nearest pixel inside stands in.
    Run(7, {-5, -3, 80, 60});
    EXPECT_EQ(canvas_.frames[5].pixels[30 * kWidth + 30], NewPixel(43, 45));
    EXPECT_EQ(canvas_.frames[5].pixels[47 * kWidth + 63], NewPixel(63, 45));

    // Only an opaque target fades in.
    target_.SetTransparencyMode(graphics::TransparencyMode::Keyed);
    Run(0, {8, 6, 40, 30});
    ExpectOldOutside(kNowhere, 8);
    target_.SetTransparencyMode(graphics::TransparencyMode::Opaque);

    // A wipe a billion strips wide plays for weeks, unless the application
    // ends meanwhile.
    canvas_.onUpload = [this] {
        if (canvas_.frames.size() == 20) platform::Events().Terminate();
    };
    Run(1, {-5, 0, kMax, kHeight});
    ASSERT_EQ(canvas_.frames.size(), 20u);
    EXPECT_EQ(FirstNew(0, 0), WipeFrame(2));
    EXPECT_EQ(FirstNew(1, 0), WipeFrame(3));
}
