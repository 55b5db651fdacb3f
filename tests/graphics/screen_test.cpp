#include "graphics/Las_scrn.h"

#include <gtest/gtest.h>

#include <climits>

#include "common/test_pictures.h"
#include "common/test_platform.h"

using graphics::TLasGraphic;
using graphics::TLasLayer;
using graphics::TLasScreen;
using graphics::TransparencyMode;
using testkit::Painted;
using testkit::PixelsOf;

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
    EXPECT_EQ(&screen.TopLayer(), &hidden);
    EXPECT_EQ(keyed.Previous(), &translucent);

    testkit::RecordingCanvas canvas;
    screen.SetCanvas(&canvas);
    screen.Refresh();
    testkit::ExpectGolden(screen.Composition(), "screen_layers");
    testkit::ExpectGolden(screen.Display(), "screen_layers");
    screen.Present();
    ASSERT_EQ(canvas.frames.size(), 1u);
    EXPECT_EQ(canvas.frames[0].pixels, PixelsOf(screen.Display()));
}

TEST(LasScreen, DisplayIsCompositionWithDynamicLayers) {
    TLasScreen screen(kWidth, kHeight);
    screen.BaseLayer().Picture().FillRect(0, 0, kWidth, kHeight, 0x000080);
    screen.SetDynamicLayerPainter([](TLasGraphic& display) { display.FillRect(4, 4, 8, 8, 0xFF); });
    screen.Refresh();
    TLasGraphic glyph;
    screen.DrawIntoComposition(glyph, 30, 30, 4, 4, 0, 0);
    EXPECT_EQ(screen.Composition().GetPixel(5, 5), 0x000080u);
    EXPECT_EQ(screen.Composition().GetPixel(31, 31), 0xFFFFFFu);
    EXPECT_EQ(screen.Display().GetPixel(31, 31), 0x000080u);
    screen.UpdateDisplay();
    EXPECT_EQ(screen.Display().GetPixel(31, 31), 0xFFFFFFu);
    EXPECT_EQ(screen.Display().GetPixel(5, 5), 0xFFu);
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

    // No canvas: nothing to animate on, and the screen stays as it was.
    background.FillRect(0, 0, kWidth, kHeight, 0x405060);
    for (int32_t number : {2, 8}) {
        screen.RunEffect(number, 0, 0, 0, 0);
        EXPECT_EQ(screen.Composition().GetPixel(0, 0), 0xFFFFFFu) << number;
        EXPECT_EQ(screen.Display().GetPixel(0, 0), 0xFFFFFFu) << number;
    }
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

    // Rectangles from a scenario may reach far past the screen.
    screen.RunEffect(7, -20, -20, 50, 50);
    screen.RunEffect(6, INT32_MAX - 5, INT32_MIN, INT32_MAX, 100);
    EXPECT_EQ(canvas.frames.back().pixels, PixelsOf(screen.Display()));
}

// The effect takes the rectangle as given, reaching past the screen: its
// strips and bands are counted from it, not from its part on the screen.
TEST(LasScreen, EffectAreaReachingPastTheScreen) {
    testkit::ScopedPlatform host;
    TLasScreen screen(640, 480);
    testkit::RecordingCanvas canvas;
    size_t frames = 0;
    // Only the first and the last frame are kept.
    canvas.onUpload = [&] {
        ++frames;
        if (canvas.frames.size() > 2) canvas.frames.erase(canvas.frames.begin() + 1);
    };
    screen.SetCanvas(&canvas);
    auto isNew = [&](const testkit::RecordingCanvas::Frame& frame, int32_t x, int32_t y) {
        return frame.pixels[y * 640 + x] == screen.Display().GetPixel(0, 0);
    };
    auto newInRows = [&](const testkit::RecordingCanvas::Frame& frame, int32_t top,
                         int32_t bottom) {
        int count = 0;
        for (int32_t y = top; y < bottom; ++y) {
            for (int32_t x = 0; x < 640; ++x) count += isNew(frame, x, y);
        }
        return count;
    };
    // The time the effect took.
    auto run = [&](int32_t number, int32_t x, int32_t y, uint32_t colour) {
        screen.BaseLayer().Picture().FillRect(0, 0, 640, 480, colour);
        frames = 0;
        canvas.frames.clear();
        uint32_t start = platform::TickCount();
        screen.RunEffect(number, x, y, 0, 0);
        return platform::TickCount() - start;
    };

    // Columns 100 to 739: 320 strips in 41 frames.
    EXPECT_EQ(run(1, 100, 0, 0x204060), 1640u);
    EXPECT_EQ(frames, 41u);
    EXPECT_EQ(newInRows(canvas.frames.back(), 0, 480), 540 * 480);
    // Rows 50 to 529: 24 bands of 20, the 22nd over rows 470 to 489.
    run(4, 0, 50, 0x608040);
    EXPECT_EQ(frames, 10u);
    EXPECT_EQ(newInRows(canvas.frames.back(), 0, 50), 0);
    EXPECT_EQ(newInRows(canvas.frames.back(), 50, 470), 420 * 640);
    EXPECT_EQ(newInRows(canvas.frames.back(), 470, 480), 10 * 640);
    // Tiles of 53 x 40 from column 100 (640 / 12 wide), each drawn whole.
    run(3, 100, 0, 0xA0B0C0);
    EXPECT_EQ(frames, 13u);
    const testkit::RecordingCanvas::Frame& first = canvas.frames.front();
    EXPECT_GT(newInRows(first, 0, 480), 0);
    for (int32_t x = 100; x < 640; ++x) {
        for (int32_t y = 0; y < 480; ++y) {
            ASSERT_EQ(isNew(first, x, y), isNew(first, 100 + (x - 100) / 53 * 53, y / 40 * 40))
                << x << ", " << y;
        }
    }
}

// Characters revealed one by one upload the screen each time; the window is
// presented once, when the loop next waits.
TEST(LasScreen, ManyPresentsBetweenTwoWaitsShowOnce) {
    testkit::ScopedPlatform host;
    ClickCounter counter;
    std::unique_ptr<platform::Window> created = platform::Windows().Create(counter, {});
    auto& window = static_cast<platform::HeadlessWindow&>(*created);
    window.SetClientSize(kWidth, kHeight);
    window.SetVisible(true);
    TLasScreen screen(kWidth, kHeight);
    screen.SetCanvas(&window);
    platform::Events().WaitUntil(0);
    const int before = window.PresentCount();
    for (uint32_t colour = 0; colour < 200; ++colour) {
        screen.BaseLayer().Picture().FillRect(colour % kWidth, 0, 1, 1, colour);
        screen.Refresh();
        screen.Present();
    }
    EXPECT_EQ(window.PresentCount(), before);
    platform::Events().WaitUntil(10);
    EXPECT_EQ(window.PresentCount(), before + 1);
    EXPECT_EQ(window.Pixels(), PixelsOf(screen.Display()));
    platform::Events().WaitUntil(20);
    EXPECT_EQ(window.PresentCount(), before + 1) << "nothing new to show";

    // Closing the window during an effect ends it at its next frame, not
    // after its nine frames of 200 ms.
    struct Closer : platform::WindowSink {
        void CloseRequested() override { platform::Events().Terminate(0); }
    } closer;
    std::unique_ptr<platform::Window> main = platform::Windows().Create(closer, {});
    testkit::RecordingCanvas canvas;
    canvas.onUpload = [&] { host.backend.Post(*main, {platform::WindowEvent::Kind::Close}); };
    screen.SetCanvas(&canvas);
    const uint32_t start = platform::TickCount();
    screen.BaseLayer().Picture().FillRect(0, 0, kWidth, kHeight, 0x123456);
    screen.RunEffect(7, 0, 0, 0, 0);
    EXPECT_EQ(canvas.frames.size(), 1u);
    EXPECT_LE(platform::TickCount() - start, 200u);
    EXPECT_EQ(screen.Display().GetPixel(0, 0), 0x123456u)
        << "the new screen is composed all the same";
}
