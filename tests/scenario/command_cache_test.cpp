#include "scenario/Cmdctrl3.h"

#include <gtest/gtest.h>

#include "common/test_files.h"
#include "common/test_platform.h"

using namespace scenario;
using testkit::Shown;

namespace {

const std::string kTooManyCommands =
    "error ok " + testkit::Cp932("１ページあたりのコマンド数が多すぎます");

class CommandCache : public ::testing::Test {
protected:
    CommandCache() { cache.File = &doc; }

    // Book "B" with the pages given as (name, inner lines), after a header block.
    void Load(const std::vector<std::pair<std::string, StringList>>& pages) {
        std::string text = "<Head=\"Velto\">\nTitle=t\n<Head End>\n<Book=\"B\">\n";
        for (const auto& [name, lines] : pages) {
            text += "<Page=\"" + name + "\">\n";
            for (const std::string& line : lines) text += line + "\n";
            text += "<Page End>\n";
        }
        doc.LoadFromText(text + "<Book End>\n");
        cache.SetBook("B");
    }
    void LoadPage(const StringList& lines) {
        Load({{"P", lines}});
        cache.SetPage("P");
    }

    TVeltoCommand Command(int32_t index) {
        TVeltoCommand command;
        EXPECT_TRUE(cache.GetCommand(index, command)) << index;
        return command;
    }

    std::vector<int32_t> Levels() {
        std::vector<int32_t> levels;
        for (int32_t i = 0; i < cache.GetCount(); ++i) levels.push_back(cache.GetNestLevel(i));
        return levels;
    }

    testkit::ScopedPlatform host;
    platform::HeadlessDialogs& boxes = host.boxes;
    TVeltoFile doc;
    TCommandCtrl cache;
};

// Nested blocks are played in the demo and the headless tests.
TEST_F(CommandCache, NestLevelsOfStrayAndPaddedBlockLines) {
    Load({{"stray", {"@Wait", "@endif", "@Wait", "@if", "@Wait", "@else"}},
          {"padded", {" @if ", "\t@Move", "@endif "}}});
    cache.SetPage("stray");
    EXPECT_EQ(Levels(), (std::vector<int32_t>{0, -1, -1, -1, 0, -1}));

    // Padded lines nest by their trimmed text, but the record keeps the type
    // of the line as written.
    cache.SetPage("padded");
    EXPECT_EQ(Levels(), (std::vector<int32_t>{0, 1, 0}));
    EXPECT_EQ(Command(1).Type, scenario::kCmdUnknown);
    EXPECT_EQ(Command(1).NestLevel, 1);
}

TEST_F(CommandCache, FiveHundredCommandsAtMost) {
    StringList full(TCommandCtrl::kMaxCommands, "@Wait");
    full.insert(full.begin(), "Wait.Time=1");
    StringList trailingLine = full, oneMore = full;
    trailingLine.push_back("");
    oneMore.push_back("@Wait");
    Load({{"short", {"@rem", "@rem"}},
          {"full", full},
          {"trailing", trailingLine},
          {"over", oneMore}});

    cache.SetPage("full");
    EXPECT_EQ(cache.GetCount(), 500);
    EXPECT_EQ(Command(499).Type, scenario::kCmdWait);
    EXPECT_TRUE(boxes.Records().empty());

    for (const char* page : {"trailing", "over"}) {
        cache.SetPage("short");
        ASSERT_EQ(cache.GetCount(), 2);
        cache.SetPage(page);
        boxes.Clear();
        EXPECT_EQ(cache.GetCount(), 2) << page << ": the previous count stays";
        TVeltoCommand command;
        cache.GetCommand(0, command);
        EXPECT_EQ(cache.GetNestLevel(5), -1);
        EXPECT_EQ(Shown(boxes), StringList(3, kTooManyCommands)) << page << ": one report per use";
    }
}

TEST_F(CommandCache, PositionsStayRelativeToThePage) {
    LoadPage({"A=1", "@rem", "B=2", "@Wait", "C=3"});
    ASSERT_EQ(cache.GetCount(), 2);
    // Settings written into the header block before the page move its lines.
    doc.SetValue("Velto", "New", "1");
    doc.SetValue("Velto", "Other", "2");
    EXPECT_EQ(Command(1).Params, StringList{"B=2"});

    // A document replaced under a current cache is read within its bounds.
    doc.LoadFromText("<Book=\"B\">\n<Page=\"P\">\n@rem\n<Page End>\n<Book End>");
    TVeltoCommand command;
    ASSERT_TRUE(cache.GetCommand(1, command));
    EXPECT_EQ(command.Params, StringList{""}) << "lines past the page read as empty";
}

}  // namespace
