#include "graphics/Dyna_lay.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/test_files.h"
#include "common/test_font.h"
#include "common/test_pictures.h"

using namespace graphics;
using namespace testkit;
using Item = graphics::TDynamicLayerList;

namespace {

constexpr uint8_t kDisabled = Item::kDisabled;
constexpr uint8_t kEnabled = Item::kEnabled;
constexpr uint8_t kActive = Item::kActive;

// Each pixel tells its cell: red is the column, green the row.
uint32_t CellColour(int32_t column, int32_t row) {
    return uint32_t(column) << 16 | uint32_t(row) << 8 | 0x80;
}

TLasGraphic Cells(int32_t width, int32_t height, int32_t columns, int32_t rows) {
    return Painted(width, height, [=](int32_t x, int32_t y) {
        return CellColour(x / (width / columns), y / (height / rows));
    });
}

TLasGraphic Background(int32_t width, int32_t height) {
    return Painted(width, height, [](int32_t x, int32_t y) {
        return (x / 4 + y / 4) % 2 ? 0x406080u : 0xC0B0A0u;
    });
}

std::unique_ptr<Item> ClickArea(int32_t left, int32_t top, int32_t width, int32_t height,
                                int32_t attrID = 0) {
    auto item = std::make_unique<Item>();
    item->Left = left;
    item->Top = top;
    item->Width = width;
    item->Height = height;
    item->ClickableMode = TClickableMode::All;
    item->AttrID = attrID;
    EXPECT_TRUE(item->SetupPicture(nullptr));
    return item;
}

// Adds the item and keeps a handle on it.
Item& Added(TDynamicLayer& layers, std::unique_ptr<Item> item) {
    Item& added = *item;
    layers.Add(std::move(item));
    return added;
}

// The item as drawing it should look, pixel by pixel, for an opaque picture:
// the area's pixels that read from inside the picture, offset to the cell.
TLasGraphic DrawnNaively(const Item& item, const TLasGraphic& destination) {
    TLasGraphic expected;
    expected.Assign(destination);
    const TLasGraphic& picture = *item.Picture;
    int64_t cellX = int64_t{picture.Width() / item.FrameCount} * item.ShownFrame();
    int64_t cellY = int64_t{picture.Height() / item.RowCount} * item.ShownRow();
    for (int32_t y = 0; y < expected.Height(); ++y) {
        for (int32_t x = 0; x < expected.Width(); ++x) {
            int64_t dx = int64_t{x} - item.Left, dy = int64_t{y} - item.Top;
            int64_t sx = dx + cellX, sy = dy + cellY;
            if (dx < 0 || dy < 0 || dx >= item.Width || dy >= item.Height || sx < 0 || sy < 0 ||
                sx >= picture.Width() || sy >= picture.Height()) {
                continue;
            }
            expected.Row(y)[x] = picture.Row(int32_t(sy))[sx];
        }
    }
    return expected;
}

}  // namespace

TEST(DynamicLayerItem, ImagesAreCutIntoCells) {
    struct Case {
        int32_t frames, rows;
        int32_t wantFrames, wantRows, width, height;
    };
    const Case cases[] = {
        {3, 2, 3, 2, 100, 50},
        {0, 0, 1, 1, 300, 100},
        {-7, INT32_MIN, 1, 1, 300, 100},
        {INT32_MAX, 1, INT32_MAX, 1, 0, 100},
    };
    TLasGraphic loaded = Cells(300, 100, 3, 2);
    loaded.ApplyColourKey();
    for (const Case& c : cases) {
        Item item;
        item.ImageFileName = "button.png";
        item.Picture = std::make_unique<TLasGraphic>();
        item.FrameCount = c.frames;
        item.RowCount = c.rows;
        item.Width = item.Height = INT32_MAX;  // the cell's size replaces the area's
        ASSERT_TRUE(item.SetupPicture(&loaded)) << c.frames;
        EXPECT_EQ(item.FrameCount, c.wantFrames) << c.frames;
        EXPECT_EQ(item.RowCount, c.wantRows) << c.frames;
        EXPECT_EQ(item.Width, c.width) << c.frames;
        EXPECT_EQ(item.Height, c.height) << c.frames;
        // A copy of its own, transparency and all.
        ASSERT_NE(item.Picture.get(), &loaded);
        EXPECT_EQ(item.Picture->Mode(), TransparencyMode::Keyed);
        EXPECT_EQ(PixelsOf(*item.Picture), PixelsOf(loaded));
    }
}

TEST(DynamicLayerItem, FrameAndStateChooseTheCell) {
    struct Case {
        uint8_t state;
        int32_t frame;
        int32_t column, row;  // the cell expected
    };
    const Case cases[] = {
        {kEnabled, 2, 2, 0},
        {kActive, 0, 0, 1},
        {kDisabled, 1, 1, 2},
        {7, 1, 1, 0},  // a state that is none of the three shows row 0
        // A frame past the count shows the first.
        {kEnabled, INT32_MAX, 0, 0},
        {kEnabled, -1, 0, 0},
    };
    for (const Case& c : cases) {
        auto item = ImageItem(Cells(300, 150, 3, 3), 20, 30, 3, 3);
        item->RowDisabled = 2;
        item->RowEnabled = 0;
        item->RowActive = 1;
        item->State = c.state;
        item->Frame = c.frame;
        TLasGraphic drawn = Background(200, 120);
        item->Draw(drawn, {0, 0, 200, 120});
        // The cell's first and last pixels; what lies around them the absurd
        // areas below check.
        EXPECT_EQ(drawn.GetPixel(20, 30), CellColour(c.column, c.row)) << int(c.state) << c.frame;
        EXPECT_EQ(drawn.GetPixel(119, 79), CellColour(c.column, c.row)) << int(c.state) << c.frame;
    }
}

// Areas, rows and clips from scenarios take any value; drawing covers exactly
// the pixels where area, picture and destination meet, and nothing else.
TEST(DynamicLayerItem, AbsurdAreasAndRowsDrawOnlyWhereTheyMeetThePicture) {
    struct Case {
        const char* name;
        std::function<void(Item&)> change;
    };
    const Case cases[] = {
        {"half off the left and top", [](Item& i) { i.Left = -30, i.Top = -20; }},
        {"wider than its cell", [](Item& i) { i.Width = 250, i.Height = 90; }},
        {"far right", [](Item& i) { i.Left = INT32_MAX; }},
        {"far left, widest", [](Item& i) { i.Left = INT32_MIN, i.Width = INT32_MAX; }},
        {"ending at the screen", [](Item& i) { i.Left = INT32_MIN + 40, i.Width = INT32_MAX; }},
        {"far below, tallest", [](Item& i) { i.Top = INT32_MAX, i.Height = INT32_MAX; }},
        {"negative size", [](Item& i) { i.Width = -5, i.Height = INT32_MIN; }},
        {"no size", [](Item& i) { i.Width = 0; }},
        {"row at the limit", [](Item& i) { i.RowEnabled = INT32_MAX; }},
        {"row below 0", [](Item& i) { i.RowEnabled = -1, i.Height = 100; }},
        {"lowest row", [](Item& i) { i.RowEnabled = INT32_MIN, i.Top = INT32_MAX; }},
        {"counts beyond the picture", [](Item& i) { i.FrameCount = INT32_MAX, i.Frame = 5; }},
    };
    const TLasGraphic background = Background(160, 100);
    for (const Case& c : cases) {
        auto item = ImageItem(Cells(300, 100, 3, 2), 10, 20, 3, 2);
        item->Frame = 1;
        c.change(*item);
        TLasGraphic expected = DrawnNaively(*item, background);
        TLasGraphic drawn;
        drawn.Assign(background);
        item->Draw(drawn, {0, 0, 160, 100});
        EXPECT_EQ(PixelsOf(drawn), PixelsOf(expected)) << c.name;
    }
}

TEST(DynamicLayerList, HitsFollowTheAreaAndTheClickableMode) {
    struct Case {
        const char* name;
        std::function<void(Item&)> setup;
        int32_t x, y;
        bool hit;
    };
    // 20 x 20 at (10, 10); the picture's coverage at column x is x.
    TLasGraphic graded = Painted(40, 20, [](int32_t, int32_t) { return 0u; });
    graded.SetTransparencyMode(TransparencyMode::Alpha);
    for (int32_t y = 0; y < 20; ++y) {
        for (int32_t x = 0; x < 40; ++x) graded.MaskRow(y)[x] = uint8_t(x < 20 ? x : 255);
    }
    auto opaqueMode = [&](Item& i) {
        i.ClickableMode = TClickableMode::Opaque;
        i.Picture = std::make_unique<TLasGraphic>();
        i.Picture->Assign(graded);
    };
    const Case cases[] = {
        {"inside", [](Item&) {}, 10, 10, true},
        {"last pixel", [](Item&) {}, 29, 29, true},
        {"right of it", [](Item&) {}, 30, 10, false},
        {"not clickable", [](Item& i) { i.ClickableMode = TClickableMode::None; }, 15, 15, false},
        {"opaque without picture", [](Item& i) { i.ClickableMode = TClickableMode::Opaque; }, 15,
         15, false},
        {"coverage 15", opaqueMode, 25, 15, false},
        {"coverage 16", opaqueMode, 26, 15, true},
        // The first cell decides, whatever frame is shown.
        {"first cell", [&](Item& i) { opaqueMode(i), i.FrameCount = 2, i.Frame = 1; }, 20, 15,
         false},
        {"opaque picture",
         [](Item& i) {
             i.ClickableMode = TClickableMode::Opaque;
             i.Picture = std::make_unique<TLasGraphic>();
         },
         12, 12, true},
        {"at the far right", [](Item& i) { i.Left = INT32_MAX, i.Width = INT32_MAX; }, INT32_MAX,
         10, true},
        {"widest from the far left", [](Item& i) { i.Left = INT32_MIN, i.Width = INT32_MAX; }, -2,
         10, true},
        {"one past the widest", [](Item& i) { i.Left = INT32_MIN, i.Width = INT32_MAX; }, -1, 10,
         false},
        {"far from its picture",
         [&](Item& i) { opaqueMode(i), i.Left = INT32_MIN, i.Width = INT32_MAX; }, 100, 15, false},
        {"negative size", [](Item& i) { i.Width = -20; }, 5, 15, false},
    };
    for (const Case& c : cases) {
        TDynamicLayer layers;
        Item& item = Added(layers, ClickArea(10, 10, 20, 20));
        c.setup(item);
        EXPECT_EQ(layers.HitTest(c.x, c.y, true), c.hit) << c.name;
        EXPECT_EQ(item.State, c.hit ? kActive : kEnabled) << c.name;
    }
}

// Hits in and out of single areas are above.
TEST(DynamicLayerList, OnlyTheNewestItemHitBecomesActive) {
    // An item hit keeps the older ones beneath it from being active, even
    // when it cannot become active itself; an active one stays so.
    struct Rule {
        uint8_t state, activeMode;
        bool allowed;
        uint8_t after;
    };
    const Rule rules[] = {
        {kEnabled, 0, true, kActive},  {kEnabled, 1, false, kEnabled},
        {kEnabled, 2, false, kActive}, {kDisabled, 2, true, kDisabled},
        {kActive, 1, false, kActive},  {9, 2, true, 9},
    };
    for (const Rule& r : rules) {
        TDynamicLayer stacked;
        Item& below = Added(stacked, ClickArea(0, 0, 10, 10));
        below.State = kActive;
        Item& above = Added(stacked, ClickArea(0, 0, 10, 10));
        above.State = r.state;
        above.ActiveMode = r.activeMode;
        EXPECT_TRUE(stacked.HitTest(5, 5, r.allowed));
        EXPECT_EQ(above.State, r.after) << int(r.state) << " " << int(r.activeMode);
        EXPECT_EQ(below.State, kEnabled) << int(r.state) << " " << int(r.activeMode);
    }
    // Left, it is enabled again.
    TDynamicLayer single;
    Item& left = Added(single, ClickArea(0, 0, 10, 10));
    EXPECT_TRUE(single.HitTest(5, 5, true));
    EXPECT_TRUE(single.HitTest(50, 50, true));
    EXPECT_EQ(left.State, kEnabled);
}

TEST(DynamicLayerList, LoopingItemsAnimate) {
    struct Case {
        uint8_t animation;
        int32_t frames, frame;
        int32_t next;
    };
    const Case cases[] = {
        {1, 2, 0, 1}, {1, 2, 1, 0}, {0, 2, 0, 0}, {1, 3, 7, 0}, {1, INT32_MAX, INT32_MAX - 1, 0}};
    for (const Case& c : cases) {
        TDynamicLayer layers;
        Item& item = Added(layers, ClickArea(0, 0, 1, 1));
        item.AnimationMode = c.animation;
        item.FrameCount = c.frames;
        item.Frame = c.frame;
        EXPECT_EQ(layers.AnimateStep(), c.next != c.frame) << c.frames << " " << c.frame;
        EXPECT_EQ(item.Frame, c.next) << c.frames << " " << c.frame;
    }
}

class TextItems : public testkit::WithTestFont<> {
protected:
    static std::unique_ptr<Item> TextItem(const std::string& utf8, int32_t width) {
        auto item = std::make_unique<Item>();
        item->Text = testkit::Cp932(utf8);
        item->Width = width;
        item->Height = 999;
        item->ClickableMode = TClickableMode::All;
        return item;
    }
};

TEST_F(TextItems, StripsBeyondThePictureLimitsAreRefused) {
    std::string tallText;
    for (int i = 0; i < 300; ++i) tallText += "a#";
    std::string tallerText = "<+99>" + tallText;
    struct Case {
        const char* name;
        std::string text;
        int32_t width;
        bool made;
    };
    const Case cases[] = {
        {"300 lines", tallText, 200, true},
        {"no width", "a", 0, false},
        {"negative width", "a", -200, false},
        {"widest", "a", kMaxPictureSide, true},
        {"wider", "a", kMaxPictureSide + 1, false},
        {"widest int", "a", INT32_MAX, false},
        {"too tall", tallerText, 10, false},
        {"too many pixels", tallText, kMaxPictureSide, false},
    };
    for (const Case& c : cases) {
        auto item = TextItem(c.text, c.width);
        item->Picture = std::make_unique<TLasGraphic>();
        EXPECT_EQ(item->SetupPicture(nullptr), c.made) << c.name;
        EXPECT_EQ(item->Picture != nullptr, c.made) << c.name;
        if (c.made) {
            EXPECT_EQ(item->Picture->Width(), c.width) << c.name;
        }
    }
}
