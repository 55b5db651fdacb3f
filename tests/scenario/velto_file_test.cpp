#include "scenario/Velto_file.h"

#include <gtest/gtest.h>

#include <random>

#include "common/test_files.h"
#include "common/test_platform.h"

using scenario::StringList;
using scenario::TVeltoFile;
using testkit::Cp932;
using testkit::Shown;

namespace {

TVeltoFile Load(std::string_view text) {
    TVeltoFile doc;
    doc.LoadFromText(text);
    return doc;
}

}  // namespace

TEST(VeltoFile, LinesSplitAtEveryBreakAndStopAtNul) {
    EXPECT_EQ(Load("a\nb\rc\r\nd").Lines(), (StringList{"a", "b", "c", "d"}));
    EXPECT_EQ(Load("a\n\nb\n").Lines(), (StringList{"a", "", "b"}));
    EXPECT_EQ(Load("\n\r\r\n").Lines(), (StringList{"", "", ""}));
    EXPECT_TRUE(Load("").Lines().empty());
    EXPECT_EQ(Load(std::string_view("x\ny\0z\nw", 7)).Lines(), (StringList{"x", "y"}));
    // A new document starts with the banner lines a scenario file is known by.
    TVeltoFile fresh;
    EXPECT_EQ(fresh.Lines().size(), 2u);
    for (const std::string& line : fresh.Lines()) EXPECT_EQ(line.substr(0, 4), "/// ");
}

TEST(VeltoFile, ClassifyLineLooksOnlyAtTheWord) {
    const std::pair<const char*, int> lines[] = {
        {"<Head=\"Velto\">", 3}, {" \t<Head End>  ", 4},
        {"<Book=\"b\">", 5},     {"<Book End>", 6},
        {"<Page=\"p\">", 7},     {"<Page anything", 8},
        {"<Book>", 0},           {"<Bookmark=\"x\">", 0},
        {"<page End>", 0},       {"<", 0},
        {"Key=<Head", -1},       {"", -1},
    };
    for (const auto& [line, kind] : lines) EXPECT_EQ(TVeltoFile::ClassifyLine(line), kind) << line;
    EXPECT_EQ(TVeltoFile::GetBlockName(Cp932("<Book=\"第一章\">")), Cp932("第一章"));
    EXPECT_EQ(TVeltoFile::GetBlockName("<Head=abc>"), "abc");
    EXPECT_EQ(TVeltoFile::GetBlockName("<Head=\"abc>"), "abc");
    EXPECT_EQ(TVeltoFile::GetBlockName("<Head=\"abc\""), "");
}

TEST(VeltoFile, IndexListsBlocksInTheOrderTheyEnd) {
    TVeltoFile doc = Load(
        "<Page=\"loose\">\n"   // 0: before any book
        "<Page End>\n"         // 1
        "<Book=\"B\">\n"       // 2
        "<Page=\"P\">\n"       // 3
        "<Head=\"Inner\">\n"   // 4: header blocks are tracked on their own
        "<Head End>\n"         // 5
        "<Page End>\n"         // 6
        "<Book End>\n"         // 7
        "<Page=\"late\">\n"    // 8: still counts as book B
        "<Page End>\n"         // 9
        "<Book=\"Open\">\n");  // 10: never closed, never indexed
    EXPECT_EQ(doc.Index(),
              (StringList{"/loose:0,1", "Inner/:4,5", "B/P:3,6", "B:2,7", "B/late:8,9"}));
    int32_t s = 0, e = 0;
    EXPECT_TRUE(doc.FindPage("", "loose", s, e));
    EXPECT_TRUE(doc.FindPage("B", "late", s, e));
    EXPECT_EQ(s, 8);
    EXPECT_FALSE(doc.FindBook("Open", s, e));
    EXPECT_EQ(s, 8) << "a failed search leaves the outputs alone";
    StringList books;
    doc.GetBookList(books);
    EXPECT_EQ(books, StringList{"B"});
}

TEST(VeltoFile, DamageIsReportedAndTheIndexStopsThere) {
    const std::string damaged = "error ok " + Cp932("ファイルが破損しています\r\n");
    const std::pair<const char*, const char*> cases[] = {
        {"<Head=\"a\">\n<Head=\"b\">", "[Header block miss close flag]"},
        {"<Head End>", "[Header block miss start flag]"},
        {"<Book=\"a\">\n<Book=\"b\">", "[Book block miss close flag]"},
        {"<Book End>", "[Book block miss start flag]"},
        {"<Page=\"a\">\n<Page=\"b\">", "[Page block miss close flag]"},
        {"<Page End>", "[Page block miss start flag]"},
    };
    for (const auto& [text, what] : cases) {
        testkit::ScopedPlatform host;
        platform::HeadlessDialogs& boxes = host.boxes;
        Load(text);
        EXPECT_EQ(Shown(boxes), std::vector<std::string>{damaged + what}) << text;
    }

    testkit::ScopedPlatform host;

    platform::HeadlessDialogs& boxes = host.boxes;
    TVeltoFile doc = Load(
        "<Head=\"Velto\">\nTitle=ok\n<Head End>\n"
        "<Book=\"B\">\n<Page=\"P\">\n  <Bookmark=\"x\"> \n<Page End>\n<Book End>\n"
        "<Head=\"After\">\nX=1\n<Head End>\n");
    const std::string unknown =
        "error ok " +
        Cp932(
            "ファイル内に未知のブロックが存在します\r\nファイル保護のため処理を停止します\r\n"
            "  <Bookmark=\"x\"> ");
    EXPECT_EQ(Shown(boxes), std::vector<std::string>{unknown});
    EXPECT_EQ(doc.Index(), StringList{"Velto/:0,2"});
    // Blocks before the damage stay usable; each search that misses the cache
    // rebuilds and reports again.
    EXPECT_EQ(doc.GetValue("Velto", "Title", ""), "ok");
    EXPECT_EQ(doc.GetValue("Velto", "Title", ""), "ok");
    EXPECT_EQ(Shown(boxes).size(), 2u) << "the cached block needs no second rebuild";
    EXPECT_EQ(doc.GetValue("After", "X", "none"), "none");
    EXPECT_EQ(Shown(boxes).size(), 3u);
}

TEST(VeltoFile, SettingsAreReadByExactKeyInTheFirstColumn) {
    TVeltoFile doc = Load(
        "<Head=\"Velto\">\nFileType=OV3\n FileType=XXX\nTitle=a=b\nNum=$1F\n"
        "FileType=second\n<Head End>\n");
    EXPECT_EQ(doc.GetValue("Velto", "FileType", "d"), "OV3");
    EXPECT_EQ(doc.GetValue("Velto", "filetype", "d"), "d");
    EXPECT_EQ(doc.GetValue("Velto", " FileType", "d"), "XXX");
    EXPECT_EQ(doc.GetValue("Velto", "Title", "d"), "a=b");
    EXPECT_EQ(doc.GetValue("Velto", "Title=a", "d"), "b");
    EXPECT_EQ(doc.GetValue("velto", "Title", "d"), "d");
    EXPECT_EQ(doc.GetInt("Velto", "Num", 0), 31);
    EXPECT_TRUE(doc.GetBool("Velto", "Num", false));
}

// The index follows inserted lines without a rebuild; it must always agree
// with one built afresh from the same lines, also for large blocks whose keys
// are looked up through a map.
TEST(VeltoFile, IndexStaysExactThroughManyInserts) {
    std::string text =
        "<Book=\"B\">\n<Page=\"P\">\n@rem\n<Page End>\n<Book End>\n"
        "<Head=\"ValueFlag\">\ndup=first\n";
    for (int i = 0; i < 40; ++i) text += "v" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    text += "dup=second\n<Head End>\n<Page=\"Q\">\n<Page End>\n";
    TVeltoFile doc = Load(text);
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) {
        std::string block = random() % 3 ? "ValueFlag" : "StringFlag";
        std::string key = "k" + std::to_string(random() % 120);
        doc.SetValue(block, key, std::to_string(i));
        ASSERT_EQ(doc.GetValue(block, key, ""), std::to_string(i));
    }
    EXPECT_EQ(doc.GetValue("ValueFlag", "dup", ""), "first");
    EXPECT_EQ(doc.GetValue("ValueFlag", "v39", ""), "39");
    EXPECT_FALSE(doc.IndexDirty());
    std::string joined;
    for (const std::string& line : doc.Lines()) joined += line + "\n";
    EXPECT_EQ(doc.Index(), Load(joined).Index());

    // A value that makes its line a block line cannot be followed: rebuild.
    doc.SetValue("ValueFlag", "<Page", "=\"odd\">");
    EXPECT_TRUE(doc.IndexDirty());
    EXPECT_EQ(doc.GetValue("ValueFlag", "<Page", ""), "=\"odd\">");
}

TEST(VeltoFile, BooksAreImportedOnce) {
    TVeltoFile library =
        Load("<Book=\"_system\">\n<Page=\"_init\">\n@Return\n<Page End>\n<Book End>\n");
    TVeltoFile game = Load("<Book=\"main\">\n<Book End>\n");
    EXPECT_FALSE(game.ImportBook("nothing", library));
    ASSERT_TRUE(game.ImportBook("_system", library));
    EXPECT_EQ(game.GetCommandCount("_system", "_init"), 1);
    EXPECT_EQ(game.GetCommandLine("_system", "_init", 0), "@Return");
    EXPECT_EQ(game.GetCommandLine("_system", "_init", 1), "") << "past the page";
    EXPECT_FALSE(game.ImportBook("_system", library)) << "an existing book is kept";
    EXPECT_EQ(game.Lines().size(), 7u);
}

// A page named "" outside any book has the key of a header named "", so a
// setting written to that header lands inside the page, and here inside a
// large header block whose key map must not go stale.
TEST(VeltoFile, InsertInsideAnotherLargeBlockKeepsItsKeysRight) {
    std::string text = "<Head=\"H\">\nk=1\n";
    for (int i = 0; i < 15; ++i) text += "f" + std::to_string(i) + "=1\n";
    text += "<Page=\"\">\np=1\n<Page End>\nzzzzzzzzzzzz=1\n<Head End>\n";
    TVeltoFile doc = Load(text);
    EXPECT_EQ(doc.GetValue("H", "zzzzzzzzzzzz", "none"), "1");
    doc.SetValue("", "new", "v");
    EXPECT_EQ(doc.GetValue("H", "zzzzzzzzzzzz", "none"), "1");
    EXPECT_EQ(doc.GetValue("H", "new", "none"), "v");
}
