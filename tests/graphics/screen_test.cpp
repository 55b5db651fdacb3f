#include "graphics/Las_scrn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <vector>

#include "common/test_pictures.h"
#include "common/test_platform.h"

using namespace graphics;
using namespace testkit;

namespace {

constexpr int32_t kWidth = 64;
constexpr int32_t kHeight = 48;

// A visible layer above `below` showing `picture` in the rectangle.
TLasLayer& ShowPicture(TLasScreen& screen, TLasLayer& below, const TLasGraphic& picture,
                       int32_t left, int32_t top, int32_t width, int32_t height) {
    TLasLayer& layer = screen.AddLayerAfter(below);
    layer.Picture().Assign(picture);
    layer.SetPosition(left, top);
    layer.SetExtent(width, height);
    layer.SetVisible(true);
    return layer;
}

}  // namespace

TEST(LasScreen, LayersAreStackedInAllModes) {
    TLasScreen screen(kWidth, kHeight);
    TLasLayer& base = screen.BaseLayer();
    base.Picture().Assign(Painted(kWidth, kHeight, [](int32_t x, int32_t y) {
        return (x / 8 + y / 8) % 2 ? 0x3050A0u : 0xB0B8C0u;
    }));
    // Keyed: a red square on white, scrolled 10 columns in, placed half off the left edge.
    TLasGraphic square = Painted(40, 30, [](int32_t x, int32_t y) {
        return x >= 14 && x < 34 && y >= 5 && y < 25 ? 0xE02020u : 0xFFFFFFu;
    });
    TLasLayer& keyed = ShowPicture(screen, base, square, -6, 4, 30, 30);
    keyed.Picture().ApplyColourKey();
    keyed.SetView(10, 0);
    // Alpha, graded coverage, reaching past the bottom-right corner.
    TLasGraphic green = Painted(32, 32, [](int32_t, int32_t) { return 0x10E040u; });
    TLasLayer& graded = ShowPicture(screen, keyed, green, 36, 20, 40, 40);
    graded.Picture().SetTransparencyMode(TransparencyMode::Alpha);
    for (int32_t y = 0; y < 32; ++y) {
        for (int32_t x = 0; x < 32; ++x) graded.Picture().MaskRow(y)[x] = uint8_t(x * 8);
    }
    // Hidden layers leave what is beneath them alone.
    TLasLayer& hidden = screen.AddLayerAfter(graded);
    hidden.SetExtent(kWidth, kHeight);
    // Translucent, inserted beneath the keyed layer.
    TLasGraphic ramp = Painted(24, 16, [](int32_t x, int32_t) { return x * 0x0A0A00u; });
    TLasLayer& translucent = ShowPicture(screen, base, ramp, 12, 10, 24, 16);
    translucent.Picture().MakeTranslucent();

    EXPECT_EQ(screen.LayerAt(-5), &base);
    EXPECT_EQ(screen.LayerAt(2), &keyed);
    EXPECT_EQ(screen.LayerAt(5), nullptr);

    testkit::RecordingCanvas canvas;
    screen.SetCanvas(&canvas);
    screen.Refresh();
    testkit::ExpectGolden(screen.Composition(), "screen_layers");
    testkit::ExpectGolden(screen.Display(), "screen_layers");
    screen.Present();
    ASSERT_EQ(canvas.frames.size(), 1u);
    EXPECT_EQ(canvas.frames[0].pixels, PixelsOf(screen.Display()));
}

// A rectangle updated and presented alone comes out as the whole screen
// would, and nothing outside it changes, on the display or in the window;
// only the rectangle's part on the screen is uploaded.
TEST(LasScreen, PartialUpdatesMatchFullOnes) {
    // What the uploads leave in a window of the screen's size.
    struct Window : testkit::RecordingCanvas {
        void Upload(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch, int32_t x,
                    int32_t y) override {
            RecordingCanvas::Upload(pixels, width, height, pitch, x, y);
            for (int32_t row = 0; row < height; ++row) {
                std::copy_n(pixels + size_t(row) * pitch, width,
                            shown.begin() + size_t(y + row) * kWidth + x);
            }
        }
        std::vector<uint32_t> shown = std::vector<uint32_t>(size_t(kWidth) * kHeight);
    };
    struct Case {
        TClip clip;
        std::optional<TClip> uploaded;
    };
    const Case cases[] = {
        {{0, 0, kWidth, kHeight}, TClip{0, 0, kWidth, kHeight}},
        {{10, 8, 20, 16}, TClip{10, 8, 20, 16}},
        {{-5, -6, 12, 30}, TClip{0, 0, 7, 24}},
        {{40, 30, 1000, 1000}, TClip{40, 30, kWidth - 40, kHeight - 30}},
        {{3, 3, 0, 5}, std::nullopt},
        {{INT32_MIN, 20, INT32_MAX, 4}, std::nullopt},
        {{INT32_MIN + 10, 20, INT32_MAX, 4}, TClip{0, 20, 9, 4}},
        {{INT32_MAX, 0, INT32_MAX, kHeight}, std::nullopt},
        {{kWidth, 0, 1, 1}, std::nullopt},
    };
    for (const auto& [clip, uploaded] : cases) {
        SCOPED_TRACE(testing::Message() << clip.X << "," << clip.Y);
        Window window;
        TLasScreen screen(kWidth, kHeight);
        screen.SetCanvas(&window);
        screen.BaseLayer().Picture().Assign(Painted(kWidth, kHeight, [](int32_t x, int32_t y) {
            return uint32_t(x * 4) << 16 | uint32_t(y * 5) << 8 | 0x30;
        }));
        // Overlapping buttons: opaque two-frame, keyed, and translucent.
        TDynamicLayer& items = screen.DynamicLayers();
        auto blinking = ImageItem(
            Painted(40, 20, [](int32_t x, int32_t) { return x < 20 ? 0x102030u : 0xA0B0C0u; }), 5,
            5, 2);
        blinking->AnimationMode = TDynamicLayerList::kAnimationLoop;
        items.Add(std::move(blinking));
        TLasGraphic ring = Painted(30, 40, [](int32_t x, int32_t y) {
            return (x - 15) * (x - 15) + (y - 10) * (y - 10) < 80 ? 0xFFFFFFu : 0xE03030u;
        });
        ring.ApplyColourKey();
        auto lit = ImageItem(ring, 15, 10, 1, 2);
        lit->RowActive = 1;
        lit->ClickableMode = graphics::TClickableMode::All;
        items.Add(std::move(lit));
        TLasGraphic glass = Painted(30, 30, [](int32_t, int32_t) { return 0x40FF40u; });
        glass.MakeTranslucent();
        items.Add(ImageItem(glass, 25, 18));
        screen.Refresh();
        screen.Present();
        const std::vector<uint32_t> before = PixelsOf(screen.Display());
        ASSERT_EQ(window.shown, before);
        window.frames.clear();

        // The marker blinks, a button lights up, a character is revealed.
        ASSERT_TRUE(items.AnimateStep());
        ASSERT_TRUE(items.HitTest(20, 12, true));
        screen.DrawIntoComposition(Painted(6, 6, [](int32_t, int32_t) { return 0x000000u; }), 30,
                                   20, 6, 6, 0, 0);
        screen.UpdateDisplay(clip);
        screen.Present(clip);
        if (uploaded) {
            ASSERT_EQ(window.frames.size(), 1u);
            const testkit::RecordingCanvas::Frame& frame = window.frames[0];
            EXPECT_EQ((std::vector{frame.x, frame.y, frame.width, frame.height}),
                      (std::vector{uploaded->X, uploaded->Y, uploaded->Width, uploaded->Height}));
        } else {
            EXPECT_TRUE(window.frames.empty());
        }
        const std::vector<uint32_t> partial = PixelsOf(screen.Display());
        screen.UpdateDisplay();
        const std::vector<uint32_t> full = PixelsOf(screen.Display());
        ASSERT_NE(full, before);
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                bool inside = x >= clip.X && int64_t{x} < int64_t{clip.X} + clip.Width &&
                              y >= clip.Y && int64_t{y} < int64_t{clip.Y} + clip.Height;
                size_t at = size_t(y) * kWidth + x;
                uint32_t want = inside ? full[at] : before[at];
                ASSERT_EQ(partial[at], want) << x << "," << y;
                ASSERT_EQ(window.shown[at], want) << x << "," << y;
            }
        }
    }
}

// Counts the clicks a window takes.
struct ClickCounter : platform::WindowSink {
    void MouseDown(platform::MouseButton, int32_t, int32_t) override { ++clicks; }
    int clicks = 0;
};

TEST(LasScreen, RunEffectAnimatesTheNewComposition) {
    testkit::ScopedPlatform host(500);
    ClickCounter counter;
    std::unique_ptr<platform::Window> window = platform::Windows().Create(counter, {});
    TLasScreen screen(kWidth, kHeight);
    TLasGraphic& background = screen.BaseLayer().Picture();

    // Each frame posts a click, which the next frame wait must handle, and
    // tries to present the half-finished screen, which must draw nothing.
    testkit::RecordingCanvas canvas;
    bool presenting = false;
    int posted = 0;
    canvas.onUpload = [&] {
        if (presenting || !screen.EffectRunning()) return;
        presenting = true;
        screen.Present();
        presenting = false;
        EXPECT_EQ(counter.clicks, posted);
        host.backend.Post(*window, {platform::WindowEvent::Kind::MouseDown});
        ++posted;
    };
    screen.SetCanvas(&canvas);
    // A number that is no effect: recomposed at once.
    for (int32_t number : {-1, 8}) {
        background.FillRect(0, 0, kWidth, kHeight, 0x708090 + number);
        screen.RunEffect(number, 0, 0, 0, 0);
        EXPECT_EQ(screen.Display().GetPixel(0, 0), uint32_t(0x708090 + number));
    }
    EXPECT_TRUE(canvas.frames.empty());
    EXPECT_EQ(platform::TickCount(), 500u);

    // A size of 0 means the whole screen: the wipe from the top ends with
    // every row new, each frame presented as it comes.
    background.FillRect(0, 0, kWidth, kHeight, 0xC0FFEE);
    screen.RunEffect(2, 0, 0, 0, 0);
    ASSERT_EQ(canvas.frames.size(), 12u);
    EXPECT_EQ(canvas.flushes, 12);
    EXPECT_EQ(platform::TickCount(), 500u + 12 * 40);
    EXPECT_EQ(counter.clicks, 12);
    EXPECT_EQ(canvas.frames.back().pixels, PixelsOf(screen.Display()));
    EXPECT_FALSE(screen.EffectRunning());

    // Closing the window during an effect ends it at its next frame, not
    // after its nine frames of 200 ms; the new screen is composed all the same.
    struct Closer : platform::WindowSink {
        void CloseRequested() override { platform::Events().Terminate(0); }
    } closer;
    std::unique_ptr<platform::Window> main = platform::Windows().Create(closer, {});
    canvas.onUpload = [&] { host.backend.Post(*main, {platform::WindowEvent::Kind::Close}); };
    canvas.frames.clear();
    const uint32_t start = platform::TickCount();
    background.FillRect(0, 0, kWidth, kHeight, 0x123456);
    screen.RunEffect(7, 0, 0, 0, 0);
    EXPECT_EQ(canvas.frames.size(), 1u);
    EXPECT_LE(platform::TickCount() - start, 200u);
    EXPECT_EQ(screen.Display().GetPixel(0, 0), 0x123456u);
}
