// Messages, tool windows and bad input played whole through the headless
// runner, checked by trace, message log and window list. The demo's test
// shows pictures, messages, choices and buttons against golden images.
#include <gtest/gtest.h>

#include "common/test_font.h"
#include "shell/play.h"

using namespace testkit;

namespace {

constexpr int32_t kWidth = 160;
constexpr int32_t kHeight = 120;

class Display : public WithTestFont<PlayTest> {
protected:
    // The game's background.
    std::vector<PackageEntry> Pictures() const {
        return {{"bg.png", PngBytes(Painted(kWidth, kHeight, [](int32_t x, int32_t y) {
                     return uint32_t(0x203040 + (x / 20 + y / 20) % 2 * 0x202020);
                 }))}};
    }

    std::string Velto() const {
        return "ImageWidth=" + std::to_string(kWidth) + "\nImageHeight=" + std::to_string(kHeight) +
               "\n<Head End>\n<Head=\"LayerList\">\nLayerCount=2\nLayer.1.LayerName=人物\n";
    }
};

}  // namespace

// Tool windows keep their offset from the main window and follow it; one
// the user dragged keeps its new offset.
TEST_F(Display, ToolWindowsFollowTheMainWindow) {
    std::string game = Game(R"(<Page="p">
WindowShow.Window=1 | WindowShow.Show=1 | @WindowShow
WindowShow.Window=0 | WindowShow.Show=1 | @WindowShow
Wait.InputBreak=1 | @Wait
WindowShow.Window=1 | @WindowShow
WindowShow.Window=2 | WindowShow.Show=1 | @WindowShow
WindowShow.Window=9 | WindowShow.Show=1 | @WindowShow
<Page End>
)",
                            "Title=窓\n<Head End>\n<Head=\"MessageWindow\">\nImageWidth=100\n"
                            "ImageHeight=40\nRelativeToMainX=-20\n");
    Write("game.cfg", "MainForm.Left=30\r\nMainForm.Top=40\r\n");
    Outcome run = Play(game, "movewindow 100 50\ndragwindow 1 300 300\nmovewindow 110 50\nclick\n");
    EXPECT_EQ(run.status, shell::kExitDone);
    EXPECT_EQ(run.trace,
              (Lines{"200 _system/_init#0 @Return", "200 b/p#0 @WindowShow",
                     "200 b/p#1 @WindowShow", "400 b/p#2 @Wait", "1200 b/p#3 @WindowShow",
                     "1200 b/p#4 @WindowShow", "1200 b/p#5 @WindowShow"}));
    EXPECT_EQ(run.windows,
              (Lines{"0 1 110 50 640 480 窓", "1 0 310 300 100 40 ", "2 1 190 270 400 110 ",
                     "3 0 110 50 100 100 ", "4 0 110 50 100 100 ", "5 0 110 50 100 100 "}));
    EXPECT_TRUE(ReadFile(Path("game.cfg")).starts_with("MainForm.Left=110\r\nMainForm.Top=50\r\n"))
        << "where the user left the window";
}

// Names that are not there, pictures that are missing, areas and texts far
// too large: the given messages or a clean clip, and play goes on.
TEST_F(Display, BadInputIsReportedAndPlayGoesOn) {
    std::string select = "Select.Area.Top=-40\n";
    for (int n = 1; n <= 20; ++n) {
        select += "Select.Text" + std::to_string(n) + "=選択肢" + std::to_string(n) + "\n";
        select += "Select.Page" + std::to_string(n) + "=end\n";
    }
    std::string game = Game(R"(<Page="p">
GraphicDraw.FileName=bg.png | GraphicDraw.Layer=ない | @GraphicDraw
GraphicDraw.FileName=missing.png | @GraphicDraw
GraphicDraw.FileName=bg.png | GraphicDraw.EffectType=Mosaic | GraphicDraw.EffectAreaLimit=1
GraphicDraw.Area.Left=-2147483648 | GraphicDraw.Area.Width=2147483647
GraphicDraw.Area.Height=-5 | @GraphicDraw
DynamicLayer.Type=Image | DynamicLayer.Image.FileName=missing.png | @DynamicLayer
DynamicLayer.Type=Text | DynamicLayer.Text.Text=幅が広すぎる
DynamicLayer.Area.Width=2147483647 | @DynamicLayer
Layer.Name=背景レイヤー | Layer.Pos.Change=1 | Layer.Pos.Left=2147483647
Layer.Size.Change=1 | Layer.Size.Width=-2147483648
Layer.ViewPos.Change=1 | Layer.ViewPos.Left=-7 | @LayerCtrl
MessageDraw.Text=)" + std::string(100000, 'a') +
                                R"(
MessageDraw.Effect=None | @MessageDraw
)" + select + R"(@Select
<Page End>
<Page="end">
@rem
<Page End>
)",
                            Velto(), Pictures());
    Outcome run = Play(game, "answer ignore\nmove 20 25\nclick\n");
    EXPECT_EQ(run.status, shell::kExitDone);
    // The mosaic plays its nine frames over what of its area is on screen; the
    // failed dynamic layer ends its tick.
    EXPECT_EQ(run.trace.at(4), "2000 b/p#3 @DynamicLayer");
    EXPECT_EQ(run.trace.at(6), "2200 b/p#5 @LayerCtrl");
    EXPECT_EQ(run.trace.back(), "2600 b/end#0 @rem");
    const std::string box = "plain ok ok debug - ";
    EXPECT_EQ(
        run.messages,
        (Lines{box + "error:\\n layername not found:ない", box + "Graphic load function is fail",
               "error abortignore ignore 画像ファイル「missing.png」の読み込みに失敗しました"
               "\\nこのファイルが存在しないか、このファイルを読み込むためのSusieプラグインが"
               "必要です。",
               box + "Graphic load function is fail",
               box + "Dynamic layer create fail \\r\\nダイナミックレイヤーの生成に失敗しました"}));
}
