#include <gtest/gtest.h>

#include <set>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/system.h"
#include "scenario/Var_ctrl.h"

using scenario::StringList;
using scenario::TVariableCtrl;
using scenario::TVeltoFile;

namespace {

// clang-format off
constexpr char kTaro[] = "\x91\xBE\x98Y";                                  // "太郎"
constexpr char kNameIs[] = "\x96\xBC\x91O\x82\xCD$name$\x82\xC5\x82\xB7";  // "名前は$name$です"
// "名前は太郎です"
constexpr char kNameIsTaro[] = "\x96\xBC\x91O\x82\xCD\x91\xBE\x98Y\x82\xC5\x82\xB7";
constexpr char kRandom[] = "%@\x97\x90\x90\x94%";                          // "%@乱数%"
constexpr char kElapsed[] = "%@\x8Co\x89\xDF\x8E\x9E\x8A\xD4%";            // "%@経過時間%"
constexpr char kWeekday[] = "@\x97j\x93\xFA";                              // "@曜日"
// clang-format on

// "メッセージ解析エラー：" + quoted marker + "の数が合いません。"
std::string UnpairedMessage(std::string_view marker) {
    // clang-format off
    return std::string("\x83\x81\x83" "b\x83Z\x81[\x83W\x89\xF0\x90\xCD\x83G\x83\x89\x81[\x81" "F\"")
        .append(marker)
        .append("\"\x82\xCC\x90\x94\x82\xAA\x8D\x87\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x81" "B");
    // clang-format on
}

class Variables : public ::testing::Test {
  protected:
    Variables() { vars.SetFile(&doc); }

    TVeltoFile doc;
    TVariableCtrl vars;
};

TEST_F(Variables, LiveAsLinesOfTheirHeaderBlocks) {
    StringList expected = doc.Lines();
    vars.Set_Value("%score%", 5);
    vars.Set_Text("$name$", "Taro=first");
    vars.Set_Value("%lives%", -3);
    vars.Set_Value("%score%", 7);
    expected.insert(expected.end(), {"<Head=\"ValueFlag\">", "score=7", "lives=-3", "<Head End>",
                                     "<Head=\"StringFlag\">", "name=Taro=first", "<Head End>"});
    EXPECT_EQ(doc.Lines(), expected);
    EXPECT_EQ(vars.Get_Value("%score%"), 7);
    EXPECT_EQ(vars.Get_Value("%Score%"), 0);
    EXPECT_EQ(vars.Get_Text("$name$"), "Taro=first");

    // Values a game ships; a new variable goes to the end of its block.
    doc.LoadFromText("<Head=\"ValueFlag\">\nhp=$10\nbad=1x\n<Head End>\n<Book=\"b\">\n<Book End>");
    vars.SetValueVar("mp", 2);
    EXPECT_EQ(doc.Lines()[3], "mp=2");
    EXPECT_EQ(vars.Get_Value("%hp%"), 16);
    EXPECT_EQ(vars.Get_Value("%bad%"), 0);
}

TEST_F(Variables, OperandsAndSubstitution) {
    EXPECT_EQ(vars.Get_Value("12"), 12);
    EXPECT_EQ(vars.Get_Value("abc"), 0);
    EXPECT_EQ(vars.Get_Value("$1F"), 31);
    // The last character is dropped unchecked; a lone "%" names "" as well.
    vars.SetValueVar("", 9);
    vars.SetValueVar("scor", 4);
    EXPECT_EQ(vars.Get_Value("%a"), 9);
    EXPECT_EQ(vars.Get_Value("%"), 9);
    EXPECT_EQ(vars.Get_Value("%score"), 4);

    bool failed = true;
    vars.SetStringVar("name", kTaro);
    EXPECT_EQ(vars.Substitute(kNameIs, failed), kNameIsTaro);
    EXPECT_FALSE(failed);
    EXPECT_EQ(vars.Get_Text("[$$|%hp%]"), "[|0]");
    // A string value goes in verbatim, yet its "%" signs meet the numeric pass.
    vars.SetValueVar("hp", 3);
    vars.SetStringVar("ref", "%hp%/$name$");
    EXPECT_EQ(vars.Get_Text("$ref$"), "3/$name$");

    vars.SetStringVar("name", "50%");
    EXPECT_EQ(vars.Substitute(kNameIs, failed), UnpairedMessage("%"));
    EXPECT_TRUE(failed);
    EXPECT_EQ(vars.Get_Text("a$b%"), UnpairedMessage("$"));
}

TEST_F(Variables, SpecialVariables) {
    platform::SetFixedDateTime(platform::LocalDateTime{2026, 3, 1, 9, 5, 7, 0});
    // clang-format off
    EXPECT_EQ(vars.Get_Value("%@\x94N\x8C\x8E\x93\xFA%"), 20260301);  // "@年月日"
    EXPECT_EQ(vars.Get_Value("%@\x94N%"), 2026);                      // "@年"
    EXPECT_EQ(vars.Get_Value("%@\x8C\x8E%"), 3);                      // "@月"
    EXPECT_EQ(vars.Get_Value("%@\x93\xFA%"), 1);                      // "@日"
    EXPECT_EQ(vars.Get_Value("%@\x8E\x9E\x95\xAA\x95" "b%"), 90507);  // "@時分秒"
    EXPECT_EQ(vars.Get_Value("%@\x8E\x9E%"), 9);                      // "@時"
    EXPECT_EQ(vars.Get_Value("%@\x95\xAA%"), 5);                      // "@分"
    EXPECT_EQ(vars.Get_Value("%@\x95" "b%"), 7);                      // "@秒"
    EXPECT_EQ(vars.GetStringVar(kWeekday), "\x93\xFA");               // "日"
    // clang-format on
    platform::SetFixedDateTime(platform::LocalDateTime{2026, 3, 7, 23, 59, 59, 6});
    EXPECT_EQ(vars.GetStringVar(kWeekday), "\x93y");  // "土"
    platform::SetFixedDateTime(std::nullopt);

    EXPECT_EQ(vars.Get_Value("%@Version%"), 2925);
    EXPECT_EQ(vars.Get_Value("%@CommandVersion%"), 16);
    EXPECT_EQ(vars.Get_Text("$@ScriptFile$"), "unknown file");
    vars.SetScriptFile("game.vp3");
    EXPECT_EQ(vars.Get_Text("$@ScriptFile$"), "game.vp3");

    // Other "@" names read header settings; without ":" from the block named "".
    doc.LoadFromText(
        "<Head=\"Velto\">\nCommandVersion=15\nTitle=My:Game\n<Head End>\n"
        "<Head=\"\">\n@x=5\n<Head End>");
    EXPECT_EQ(vars.Get_Value("%@Velto:CommandVersion%"), 15);
    EXPECT_EQ(vars.Get_Text("$@Velto:Title$"), "My:Game");
    EXPECT_EQ(vars.Get_Value("%@Velto:Title%"), 0);
    EXPECT_EQ(vars.Get_Value("%@x%"), 5);
    EXPECT_EQ(vars.GetValueVar(kWeekday), 0);
}

TEST(VariableClock, RandomRangeAndElapsedSecondsAcrossTheTickWrap) {
    platform::ScopedVirtualClock clock(0xFFFFF000u);
    TVariableCtrl vars;
    platform::SeedRandom(42);
    std::set<int32_t> seen;
    for (int i = 0; i < 2000; ++i) seen.insert(vars.Get_Value(kRandom));
    EXPECT_GE(*seen.begin(), 0);
    EXPECT_LT(*seen.rbegin(), 1000);
    EXPECT_GT(seen.size(), 500u);

    platform::AdvanceVirtualClock(999);
    EXPECT_EQ(vars.Get_Value(kElapsed), 0);
    platform::AdvanceVirtualClock(1);
    EXPECT_EQ(vars.Get_Value(kElapsed), 1);
    platform::SetVirtualTick(0xFFFFF000u + 10500u);
    EXPECT_EQ(vars.Get_Value(kElapsed), 10);
}

TEST_F(Variables, RefusedWrites) {
    platform::ScopedMessageRecorder boxes;
    StringList before = doc.Lines();
    vars.Set_Value(kRandom, 5);
    vars.Set_Text("$@ScriptFile$", "x");
    EXPECT_TRUE(boxes.Records().empty());
    EXPECT_EQ(vars.ScriptFile(), "unknown file");

    vars.Set_Value("score", 1);
    vars.Set_Text("name", "x");
    // Names that would split their line or read as a block line.
    vars.Set_Value("%a=b%", 1);
    vars.Set_Text("$<Head$", "x");
    EXPECT_EQ(doc.Lines(), before);
    ASSERT_EQ(boxes.Records().size(), 4u);
    EXPECT_EQ(boxes.Records()[0].kind, platform::MessageKind::Plain);
    EXPECT_EQ(boxes.Records()[0].buttons, platform::MessageButtons::Ok);
    EXPECT_EQ(boxes.Records()[0].text,
              "debug - TVariableCtrl::Set_Value()\r\nsyntax error : VarName=score");
    EXPECT_EQ(boxes.Records()[1].text,
              "debug - TVariableCtrl::Set_Text()\r\nsyntax error : VarName=name");
    EXPECT_EQ(boxes.Records()[3].text,
              "debug - TVariableCtrl::Set_Text()\r\nsyntax error : VarName=$<Head$");

    // Nor does such a name read a piece of another variable's line.
    vars.SetStringVar("a", "b=hello");
    EXPECT_EQ(vars.GetStringVar("a=b"), "");
}

}  // namespace
