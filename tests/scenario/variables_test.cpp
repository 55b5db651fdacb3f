#include <gtest/gtest.h>

#include <set>

#include "common/test_files.h"
#include "common/test_platform.h"
#include "platform/random.h"
#include "scenario/Var_ctrl.h"
#include "scenario/Velto_proc.h"

using scenario::StringList;
using scenario::TVariableCtrl;
using scenario::TVeltoFile;
using testkit::Cp932;

namespace {

const std::string kRandom = Cp932("%@乱数%");
const std::string kElapsed = Cp932("%@経過時間%");
const std::string kWeekday = Cp932("@曜日");

std::string UnpairedMessage(const std::string& marker) {
    return Cp932("メッセージ解析エラー：\"" + marker + "\"の数が合いません。");
}

class Variables : public ::testing::Test {
protected:
    Variables() { vars.SetFile(&doc); }

    testkit::ScopedPlatform host;
    platform::HeadlessDialogs& boxes = host.boxes;
    TVeltoFile doc;
    TVariableCtrl vars;
};

// Literal operands and arithmetic are played in the headless tests.
TEST_F(Variables, OperandsAndSubstitution) {
    // The last character is dropped unchecked; a lone "%" names "" as well.
    vars.SetValueVar("", 9);
    vars.SetValueVar("scor", 4);
    EXPECT_EQ(vars.Get_Value("%a"), 9);
    EXPECT_EQ(vars.Get_Value("%"), 9);
    EXPECT_EQ(vars.Get_Value("%score"), 4);

    vars.SetStringVar("name", Cp932("太郎"));
    EXPECT_EQ(vars.Get_Text(Cp932("名前は$name$です")), Cp932("名前は太郎です"));
    EXPECT_EQ(vars.Get_Text("[$$|%hp%]"), "[|0]");
    // A string value goes in verbatim, yet its "%" signs meet the numeric pass.
    vars.SetValueVar("hp", 3);
    vars.SetStringVar("ref", "%hp%/$name$");
    EXPECT_EQ(vars.Get_Text("$ref$"), "3/$name$");

    vars.SetStringVar("name", "50%");
    EXPECT_EQ(vars.Get_Text(Cp932("名前は$name$です")), UnpairedMessage("%"));
    EXPECT_EQ(vars.Get_Text("a$b%"), UnpairedMessage("$"));
    bool failed = false;
    vars.Substitute("a$b", failed);
    EXPECT_TRUE(failed);
    vars.Substitute("%hp%", failed);
    EXPECT_FALSE(failed);
}

// A page that doubles a text on every pass must stop at the size limit
// rather than take all memory: the text that would pass it is refused.
TEST_F(Variables, TextsStopAtTheSizeLimit) {
    constexpr size_t kMax = TVariableCtrl::kMaxStringBytes;
    const std::string half(kMax / 2, 'x');
    vars.Set_Text("$a$", half + half);
    vars.Set_Text("$a$", half + half + "y");
    EXPECT_EQ(vars.GetStringVar("a").size(), kMax) << "the longer text is refused";

    vars.Set_Text("$h$", half);
    bool failed = true;
    EXPECT_EQ(vars.Substitute("$h$$h$", failed).size(), kMax);
    EXPECT_FALSE(failed);
    EXPECT_EQ(vars.Substitute("<$h$$h$>", failed).size(), 0u);
    EXPECT_TRUE(failed);
    // Numbers take part too: "%n%" grows to eleven characters.
    vars.Set_Value("%n%", INT32_MIN);
    vars.Set_Text("$p$", std::string(kMax - 9, 'x') + "%n%");
    EXPECT_EQ(vars.Get_Text("$p$").size(), 0u);

    // Nor do texts under the limit add up past the document's: new names
    // each holding a long text.
    vars.maxDocumentBytes = doc.TextBytes() + 3 * (half.size() + 10);
    for (const char* name : {"$b1$", "$b2$", "$b3$", "$b4$"}) vars.Set_Text(name, half);
    EXPECT_EQ(vars.GetStringVar("b3").size(), half.size());
    EXPECT_EQ(vars.GetStringVar("b4"), "");

    const std::string debug = "plain ok debug - TVariableCtrl::";
    EXPECT_EQ(testkit::Shown(boxes),
              (StringList{debug + "Set_Text()\r\ntext too long : VarName=$a$",
                          debug + "Substitute()\r\ntext too long : VarName=$h$",
                          debug + "Substitute()\r\ntext too long : VarName=%n%",
                          debug + "Set_Text()\r\ntext too long : VarName=$b4$"}));
}

TEST_F(Variables, SpecialVariables) {
    platform::VirtualClock& clock = host.backend.Virtual();
    clock.PinDateTime(platform::LocalDateTime{2026, 3, 1, 9, 5, 7, 0});
    const std::pair<const char*, int32_t> parts[] = {
        {"%@年月日%", 20260301}, {"%@年%", 2026}, {"%@月%", 3}, {"%@日%", 1},
        {"%@時分秒%", 90507},    {"%@時%", 9},    {"%@分%", 5}, {"%@秒%", 7},
    };
    for (const auto& [name, value] : parts) EXPECT_EQ(vars.Get_Value(Cp932(name)), value) << name;
    EXPECT_EQ(vars.GetStringVar(kWeekday), Cp932("日"));
    clock.PinDateTime(platform::LocalDateTime{2026, 3, 7, 23, 59, 59, 6});
    EXPECT_EQ(vars.GetStringVar(kWeekday), Cp932("土"));

    vars.SetScriptFile("game.vp3");
    EXPECT_EQ(vars.Get_Text("$@ScriptFile$"), "game.vp3");

    // Other "@" names read header settings; without ":" from the block named "".
    doc.LoadFromText(
        "<Head=\"Velto\">\nCommandVersion=15\nTitle=My:Game\n<Head End>\n"
        "<Head=\"\">\n@x=5\n<Head End>");
    EXPECT_EQ(vars.Get_Value("%@Velto:CommandVersion%"), 15);
    EXPECT_EQ(vars.Get_Text("$@Velto:Title$"), "My:Game");
    EXPECT_EQ(vars.Get_Value("%@x%"), 5);
}

TEST(VariableClock, RandomRangeAndElapsedSecondsAcrossTheTickWrap) {
    testkit::ScopedPlatform host(0xFFFFF000u);
    platform::VirtualClock& clock = host.backend.Virtual();
    TVariableCtrl vars;
    platform::SeedRandom(42);
    std::set<int32_t> seen;
    for (int i = 0; i < 2000; ++i) seen.insert(vars.Get_Value(kRandom));
    EXPECT_GE(*seen.begin(), 0);
    EXPECT_LT(*seen.rbegin(), 1000);
    EXPECT_GT(seen.size(), 500u);

    clock.Advance(999);
    EXPECT_EQ(vars.Get_Value(kElapsed), 0);
    clock.Advance(1);
    EXPECT_EQ(vars.Get_Value(kElapsed), 1);
    clock.Set(0xFFFFF000u + 10500u);
    EXPECT_EQ(vars.Get_Value(kElapsed), 10);
}

TEST_F(Variables, RefusedWrites) {
    StringList before(doc.Lines().begin(), doc.Lines().end());
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
    const std::string debug = "plain ok debug - TVariableCtrl::Set_";
    const std::string value = debug + "Value()\r\nsyntax error : VarName=",
                      text = debug + "Text()\r\nsyntax error : VarName=";
    EXPECT_EQ(testkit::Shown(boxes),
              (StringList{value + "score", text + "name", value + "%a=b%", text + "$<Head$"}));

    // Nor does such a name read a piece of another variable's line.
    vars.SetStringVar("a", "b=hello");
    EXPECT_EQ(vars.GetStringVar("a=b"), "");
}

}  // namespace

// Waits, clicks and message skipping are played in the demo; here what a whole game cannot reach:
// the tick count's wrap.
TEST(VeltoProcess, TimedWaitsEndExactlyOnTimeAcrossTheWrap) {
    for (uint32_t start : {5000u, 0xFFFFFF00u}) {
        testkit::ScopedPlatform host(start);
        platform::VirtualClock& clock = host.backend.Virtual();
        scenario::TVeltoProcess p;
        p.StartWait();
        p.SetWaitTimer(1000);
        for (uint32_t early : {0u, 1u, 255u, 256u, 999u}) {
            clock.Set(start + early);
            EXPECT_FALSE(p.BeginCommand()) << start << "+" << early;
        }
        clock.Set(start + 1000);
        EXPECT_TRUE(p.BeginCommand()) << start;

        p.StartMessageWait();
        p.SetWaitTimer(1000);
        clock.Advance(999);
        EXPECT_FALSE(p.CheckMessageEffect()) << start;
        clock.Advance(1);
        EXPECT_TRUE(p.CheckMessageEffect()) << start;

        // A negative time counts as no time at all.
        p.StartWait();
        p.SetWaitTimer(-5);
        EXPECT_TRUE(p.IsExecutable()) << start;
    }
}

TEST(VeltoProcess, AnimationTicksOncePerHalfSecondAcrossTheWrap) {
    testkit::ScopedPlatform host;
    scenario::TVeltoProcess p;
    EXPECT_FALSE(p.IsAnimationTick());
    for (uint32_t start : {5000u, 0xFFFFFF00u}) {
        int ticks = 0;
        for (uint32_t i = 0; i <= 1002; ++i) {
            host.backend.Virtual().Set(start + i);
            ticks += p.IsAnimationTick();
        }
        EXPECT_EQ(ticks, 3) << start;  // at +0, +501 and +1002
    }
}
