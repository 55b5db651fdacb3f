// vp3tool check on games and libraries laid out byte by byte: every kind of
// finding fires where it should, and nothing fires on what the player finds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_files.h"
#include "common/test_package.h"
#include "graphics/Las_grf.h"
#include "graphics/Png_write.h"
#include "storage/Link_arc.h"
#include "tools/run_vp3tool.h"

namespace fs = std::filesystem;
using namespace testkit;

namespace {

// A scenario with "{BAD}" standing for a byte that is no CP932 character.
std::string Scenario(const std::string& utf8) {
    std::string text = ScenarioText(utf8);
    for (size_t at; (at = text.find("{BAD}")) != std::string::npos;) text.replace(at, 5, "\xA0");
    return text;
}

class Check : public Vp3toolTest {
protected:
    std::string Png(int32_t width, int32_t height) const {
        graphics::TLasGraphic picture;
        picture.SetSize(width, height);
        EXPECT_TRUE(graphics::SavePngFile(picture, Path(".png")));
        return Read(".png");
    }

    // A system library whose page "_system/_menu" leads into the game, and
    // which holds a picture the game shows.
    std::string Library() const {
        std::string system = Scenario(R"(/// library
<Book="_system">
<Page="_init"> | @Return | <Page End>
<Page="_menu"> | Move.BookName=本 | Move.PageName=呼出し | @Move | <Page End>
<Book End>)");
        return Write("lib.vlb",
                     PackageBytes({{"system.vf3", system}, {"frame.png", Png(20, 20)}}, "OV3LIB"));
    }
};

TEST_F(Check, ListsEachFaultOfAGameOnceInTheOrderOfThePackage) {
    std::string scenario = R"(/// game
<Head="Velto"> | FileType=OV2 | CommandVersion=17 | StartBook=本 | StartPage=始め
AutoExtract=1 | Opening=opening.png | <Head End>
<Head="LayerList"> | LayerCount=2 | Layer.1.LayerName=人物 | <Head End>
<Head="ValueFlag"> | 回数=0 | <Head End>
<Head="StringFlag"> | 名前=旅人 | <Head End>
<Head="Note"> | Text={BAD} | <Head End>
<Book="本">
<Page="始め">
GraphicDraw.FileName=wide.png | GraphicDraw.Layer=人物 | @GraphicDraw
GraphicDraw.FileName=frame.png | GraphicDraw.Layer=無い層 | @GraphicDraw
GraphicDraw.FileName=$絵$.png | @GraphicDraw
GraphicDraw.FileName=missing.png | @GraphicDraw
Layer.Name=人物 | Layer.Image.Change=1 | Layer.Image.FileName=broken.bmp | @LayerCtrl
Sound.FileName=chime.wav | @Sound
Music.FileName=pop.wav | @Music
Sound.FileName=gone.wav | @Sound
ValueCtrl.ValueVar=%合計% | ValueCtrl.LeftValue=%回数% | ValueCtrl.RightValue=%未定%
ValueCtrl.Calc=Add | @ValueCtrl
MessageDraw.Text=$名前$は%合計%点、$誰$と%@乱数%{BAD} | @MessageDraw
if.VariableType=Text | if.Variable1=$入力$ | if.Variable2=%未定% | @if
@else | @else | @endif | @endif | @if
StringInput.StringVar=$入力$ | @StringInput
@Bogus
Select.Text1=行く | Select.Page1=選んだ先 | Select.Text2= | Select.Page2=無い頁
Select.Text3=三 | Select.Page3=行き止まり | @Select
DynamicLayer.Type=Image | DynamicLayer.Image.FileName=strip.png
DynamicLayer.Image.DivideCount=3 | DynamicLayer.Clickable.Mode=All
DynamicLayer.Clickable.BookName=本 | DynamicLayer.Clickable.PageName=押した先 | @DynamicLayer
DynamicLayer.Clickable.Mode=Opaque | DynamicLayer.Clickable.PageName=押した先 | @DynamicLayer
Call.BookName=_system | Call.PageName=_menu | @Call
Move.BookName=本 | Move.PageName=どこにもない | @Move
<Page End>
<Page="選んだ先"> | @Return | <Page End>
<Page="押した先"> | @Return | <Page End>
<Page="呼出し"> | @Return | <Page End>
<Page="離れ小島"> | Call.BookName=本 | Call.PageName=孤立先 | @Call
 @Return
<Page End>
<Page="孤立先"> | @Return | <Page End>
<Page="多すぎ">
)";
    for (int i = 0; i < 501; ++i) scenario += "@rem\n";
    scenario += "<Page End>\n<Page=\"選んだ先\"> | <Page End>\n<Book End>\n";
    const std::string game = Write(
        "game.vp3", PackageBytes({{"velto.vf3", Scenario(scenario)},
                                  {"wide.png", Png(700, 10)},
                                  {"strip.png", Png(600, 900)},
                                  {"packed.png", Compressed(Png(4, 4)), storage::kLinkCompressed},
                                  {"broken.bmp", "BM not really"},
                                  {"pop.wav", "RIFF", 0x01000000u, 0x01000000u}}));
    Write("Chime.WAV", "RIFF");

    Result result = Run({"check", game, "--library", Library()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "");
    const std::string unreached =
        ": warning: nothing leads here from the start page, the system library's pages or a button";
    EXPECT_EQ(result.out, R"(-: error: FileType is "OV2", not "OV3"
-: error: CommandVersion 17 is newer than 16, the newest the player plays
-: error: picture "opening.png" not found
-: warning: line 21: text that is not valid CP932
packed.png: error: PNG picture stored compressed: the player reads pictures only as they are stored
本/始め#0: warning: picture "wide.png" shows 700 x 10, larger than the screen's 640 x 480
本/始め#1: error: layer "無い層" is not in the layer list
本/始め#3: error: picture "missing.png" not found
本/始め#4: error: picture "broken.bmp" cannot be read
本/始め#7: error: sound "gone.wav" not found
本/始め#8: warning: variable %未定% is read but never declared or set
本/始め#9: warning: text that is not valid CP932
本/始め#9: warning: variable $誰$ is read but never declared or set
本/始め#12: error: second @else for the @if at 本/始め#10
本/始め#14: error: @endif without @if
本/始め#15: error: @if without @endif
本/始め#17: error: unknown command "@Bogus"
本/始め#18: error: choice target "本/行き止まり" is no page
本/始め#20: error: button target "/押した先" is no page
本/始め#22: error: jump target "本/どこにもない" is no page
本/離れ小島)" + unreached + R"(
本/離れ小島#1: error: unknown command " @Return"
本/孤立先)" + unreached + R"(
本/多すぎ)" + unreached + R"(
本/多すぎ#500: error: more than 500 commands on the page: it never plays
本/選んだ先: warning: never played: an earlier page has the same name
)");
    // Reading asks nothing and writes nothing: no data directory made.
    EXPECT_FALSE(fs::exists(Path("game")));
}

// The demo game and the system library the build makes check clean (see
// tests/CMakeLists.txt); a library of its own is checked as a game.
TEST_F(Check, ChecksALibraryByItself) {
    // Its book "_system" leads to a page it lacks.
    Result result = Run({"check", Library()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "_system/_menu#0: error: jump target \"本/呼出し\" is no page\n");
}

TEST_F(Check, ReportsWhatStopsTheReadingAndBadCommandLines) {
    // A page opened inside another: the player's report, and where.
    const std::string damaged =
        Write("damaged.vf3",
              Scenario("/// game\n<Book=\"b\">\n<Page=\"p\"> | @Bogus | <Page=\"q\"> | <Page End>\n"
                       "<Book End>"));
    Result result = Run({"check", damaged, "--library", Library()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, R"(-: error: ファイルが破損しています [Page block miss close flag]
-: error: the scenario is damaged at line 5, so its pages are not checked
-: error: no FileType in the header block "Velto"
)");

    // A book left open at the end is no damage until the library's book follows it.
    const std::string head = "/// game\n<Head=\"Velto\"> | FileType=OV3 | <Head End>\n";
    const std::string open =
        Write("open.vf3", Scenario(head + "<Book=\"b\"> | <Page=\"p\"> | @Bogus | <Page End>"));
    result = Run({"check", open, "--library", Library()});
    EXPECT_EQ(result.out,
              R"(-: error: system library: ファイルが破損しています [Book block miss close flag]
-: error: the scenario ends inside a block, which takes in the system library's book: the scenario is damaged, so its pages are not checked
)");

    const std::string game = Write("game.vf3", Scenario(head));
    result = Run({"check", game, "--library", Path("none.vlb")});
    EXPECT_EQ(result.out, "-: error: no system library at " + Path("none.vlb") +
                              " (--library names one)\n-: error: start page "
                              "\"スタートブック/スタートページ\" is no page\n");
    result = Run({"check", Write("junk.vp3", "JUNK"), "--library", Library()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              "-: error: ファイルのヘッダIDが違います。 このファイルはOrvanta３で利用できるファイ"
              "ルではありません\n");

    EXPECT_EQ(Run({"check", Path("missing.vp3")}).status, 1);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"check"},
                                               {"check", game, game},
                                               {"check", game, "--strict"},
                                               {"check", game, "--library"}}) {
        Result bad = Run(args);
        EXPECT_EQ(bad.status, 2) << args.size();
        EXPECT_EQ(bad.out, "");
    }
}

}  // namespace
