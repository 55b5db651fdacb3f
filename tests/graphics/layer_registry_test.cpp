#include "graphics/Lay_ctrl.h"

#include <gtest/gtest.h>

#include "common/test_files.h"
#include "common/test_platform.h"

using graphics::TLayerCtrl;
using scenario::StringList;

TEST(LayerRegistry, ReadsTheListWithTheBackgroundBelowWithinTheTable) {
    const std::string background(graphics::kBackgroundLayerName);
    scenario::TVeltoFile doc;
    TLayerCtrl layers;
    layers.SetDocument(&doc);
    EXPECT_EQ(layers.NameList(), StringList{background});

    doc.LoadFromText(
        "<Head=\"LayerList\">\nLayerCount=4\nLayer.1.LayerName=A\nLayer.1.FileName=a.png\n"
        "Layer.1.Attr=1\nLayer.1.Left=-5\nLayer.1.Top=$10\nLayer.3.LayerName=C\n<Head End>\n");
    layers.Load();
    EXPECT_EQ(layers.NameList(), (StringList{"C", "noname", "A", background}));
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
    EXPECT_EQ(layers.NameList(), StringList{background});

    testkit::ScopedPlatform host;

    platform::HeadlessDialogs& boxes = host.boxes;
    EXPECT_EQ(TLayerCtrl::GetSectionName(3, 5), "Layer.3");
    EXPECT_EQ(testkit::Shown(boxes),
              StringList{"error ok " + testkit::Cp932("Layer Section が不正です\n"
                                                      "fail from TLayerCtrl::GetSectionName()")});
}
