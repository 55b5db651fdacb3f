// The six screens as the scenario sets them up from the layer list, pictures
// loaded with the transparency asked for, and buttons redrawn as they change.
// Messages revealed page by page are played in the demo.
#include "graphics/Scrnctrl.h"

#include <gtest/gtest.h>

#include <map>

#include "common/test_files.h"
#include "common/test_font.h"
#include "common/test_pictures.h"
#include "common/test_platform.h"

using namespace graphics;
using namespace testkit;
using scenario::StringList;

namespace {

const std::string kBackground(graphics::kBackgroundLayerName);
const std::string kText(graphics::kTextLayerName);

// Pictures by name, as the package would hand them out.
class FakePictures : public graphics::TPictureSource {
public:
    bool LoadImage(std::string_view name, TLasGraphic& graphic) override {
        auto found = pictures.find(std::string(name));
        if (found == pictures.end()) return false;
        graphic.Assign(found->second);
        return true;
    }
    std::map<std::string, TLasGraphic> pictures;
};

class Screens : public testkit::WithTestFont<> {
protected:
    // A scenario whose header blocks hold `headers`.
    void Load(const std::string& headers) {
        document.LoadFromText(Cp932(headers));
        layers.SetDocument(&document);
        process.Reset();
        screens.InitScreens();
    }
    testkit::ScopedPlatform host;
    scenario::TVeltoFile document;
    graphics::TLayerCtrl layers;
    FakePictures pictures;
    scenario::TVeltoProcess process;
    TScreenControl screens{{document, layers, pictures, process}};
};

}  // namespace

// The tool windows' settings are played in the display test, the main
// window's layer stack in the demo.
TEST_F(Screens, NoSuchSlotOrLayer) {
    Load("");
    EXPECT_EQ(screens.SlotOf(6), nullptr);
    EXPECT_EQ(screens.SlotOf(-1), nullptr);
    // The base layer is never found; windows 1 to 5 have no text layer.
    EXPECT_EQ(screens.FindLayer(0, ""), nullptr);
    EXPECT_EQ(screens.FindLayer(1, kText), nullptr);
    EXPECT_FALSE(screens.SetLayerVisible(7, kBackground, true));
    EXPECT_EQ(Shown(host.boxes),
              (StringList{"plain ok debug - error:\n layername not found:",
                          "plain ok debug - error:\n layername not found:" + kText}));
}

// The failure box of a missing picture is played in the display and window
// tests.
TEST_F(Screens, PicturesAreKeyedAndTranslucentWhenAsked) {
    Load("");
    TLasGraphic bmp =
        Painted(4, 4, [](int32_t x, int32_t y) { return x + y == 0 ? 0x123456u : 0x808080u; });
    bmp.Row(3)[0] = 0x00FF00;  // the bottom-left colour is the key
    pictures.pictures["a.bmp"].Assign(bmp);
    pictures.pictures["A.PNG"].Assign(bmp);
    ASSERT_TRUE(screens.LoadLayerPicture(0, kBackground, "a.bmp", true, true));
    TLasGraphic& picture = screens.FindLayer(0, kBackground)->Picture();
    EXPECT_EQ(picture.MaskRow(3)[0], 0) << "the bottom-left colour is clear";
    EXPECT_EQ(picture.MaskRow(0)[1], 128) << "the rest translucent";
    ASSERT_TRUE(screens.LoadLayerPicture(0, kBackground, "A.PNG", true, true));
    EXPECT_EQ(picture.Mode(), graphics::TransparencyMode::Opaque) << "a PNG keeps its own";
}

// Pointer moves and animation ticks redraw and upload only the items that
// changed, unless items came or went since the last update; the display is
// always what a whole recomposition gives.
TEST_F(Screens, ButtonsRedrawOnlyWhatChanged) {
    Load("<Head=\"Velto\">\nImageWidth=200\nImageHeight=100\n<Head End>\n");
    pictures.pictures["_inputchar.png"].Assign(
        Painted(8, 4, [](int32_t x, int32_t) { return x < 4 ? 0xFF0000u : 0x0000FFu; }));
    testkit::RecordingCanvas canvas;
    screens.SetCanvas(&canvas, 0);
    const TLasGraphic rows =
        Painted(30, 20, [](int32_t, int32_t y) { return y < 10 ? 0x111111u : 0x222222u; });
    for (int32_t left : {10, 100}) {
        auto button = ImageItem(rows, left, 40, 1, 2);
        button->RowActive = 1;
        button->ClickableMode = TClickableMode::All;
        screens.AddDynamicLayer(0, std::move(button));
    }
    graphics::TLasScreen& screen = *screens.ScreenOf(0);
    graphics::TDynamicLayer& dynamic = *screens.DynamicLayersOf(0);
    auto expectWholeRecomposition = [&](const char* when) {
        TLasGraphic shown;
        shown.Assign(screen.Display());
        screen.UpdateDisplay();
        EXPECT_EQ(testkit::PixelsOf(shown), testkit::PixelsOf(screen.Display())) << when;
    };
    auto uploaded = [&] {
        const testkit::RecordingCanvas::Frame& frame = canvas.frames.back();
        return std::vector<int32_t>{frame.x, frame.y, frame.width, frame.height};
    };

    ASSERT_TRUE(dynamic.HitTest(15, 45, true));
    screens.UpdateChangedDynamicLayers(0);
    EXPECT_EQ(uploaded(), (std::vector<int32_t>{0, 0, 200, 100})) << "the buttons came in whole";
    expectWholeRecomposition("first light");
    ASSERT_TRUE(dynamic.HitTest(105, 45, true));
    screens.UpdateChangedDynamicLayers(0);
    EXPECT_EQ(uploaded(), (std::vector<int32_t>{10, 40, 120, 10})) << "one out, one lit";
    EXPECT_EQ(screen.Display().GetPixel(100, 40), 0x222222u);
    expectWholeRecomposition("second light");

    screens.ShowInputMarker(0, 180, 80);
    screens.AnimateDynamicLayers();
    EXPECT_EQ(uploaded(), (std::vector<int32_t>{0, 0, 200, 100})) << "the marker came in whole";
    const size_t frames = canvas.frames.size();
    screens.AnimateDynamicLayers();
    EXPECT_EQ(uploaded(), (std::vector<int32_t>{180, 80, 4, 4})) << "only the marker blinks";
    EXPECT_EQ(screen.Display().GetPixel(180, 80), 0xFF0000u);
    expectWholeRecomposition("blink");
    ASSERT_FALSE(dynamic.HitTest(105, 45, true));
    screens.UpdateChangedDynamicLayers(0);
    EXPECT_EQ(canvas.frames.size(), frames + 1) << "nothing changed, nothing uploaded";
}

TEST(LayerRegistry, ReadsTheListWithTheBackgroundBelowWithinTheTable) {
    scenario::TVeltoFile doc;
    TLayerCtrl layers;
    layers.SetDocument(&doc);
    EXPECT_EQ(layers.NameList(), StringList{kBackground});

    doc.LoadFromText(
        "<Head=\"LayerList\">\nLayerCount=4\nLayer.1.LayerName=A\nLayer.1.FileName=a.png\n"
        "Layer.1.Attr=1\nLayer.1.Left=-5\nLayer.1.Top=$10\nLayer.3.LayerName=C\n<Head End>\n");
    layers.Load();
    EXPECT_EQ(layers.NameList(), (StringList{"C", "noname", "A", kBackground}));
    EXPECT_EQ(layers.Record(1).FileName, "a.png");
    EXPECT_TRUE(layers.Record(1).Attr);
    EXPECT_EQ(layers.Record(1).Left, -5);
    EXPECT_EQ(layers.Record(1).Top, 16);

    doc.SetValue("LayerList", "LayerCount", "1000");
    doc.SetValue("LayerList", "Layer.31.LayerName", "top");
    layers.Load();
    EXPECT_EQ(layers.LayerCount(), 32);
    EXPECT_EQ(layers.NameList().front(), "top");
    doc.SetValue("LayerList", "LayerCount", "-3");
    layers.Load();
    EXPECT_EQ(layers.NameList(), StringList{kBackground});

    testkit::ScopedPlatform host;
    EXPECT_EQ(TLayerCtrl::GetSectionName(3, 5), "Layer.3");
    EXPECT_EQ(Shown(host.boxes),
              StringList{"error ok " + Cp932("Layer Section が不正です\n"
                                             "fail from TLayerCtrl::GetSectionName()")});
}
