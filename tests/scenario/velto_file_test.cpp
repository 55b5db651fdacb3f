#include "scenario/Velto_file.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <random>

#include "common/test_files.h"
#include "common/test_platform.h"
#include "scenario/Cmdctrl3.h"
#include "scenario/Text_util.h"

using scenario::ParseInt;
using scenario::StringList;
using scenario::TVeltoFile;
using testkit::Cp932;
using testkit::Shown;

// Heap bytes in use by the whole test program, and the most there were, so
// that a test can tell what a document costs.
static std::atomic<int64_t> gHeapBytes{0};
static std::atomic<int64_t> gHeapPeak{0};

void* operator new(size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (!block) throw std::bad_alloc();
    int64_t now = gHeapBytes += malloc_usable_size(block);
    int64_t peak = gHeapPeak;
    while (now > peak && !gHeapPeak.compare_exchange_weak(peak, now)) {
    }
    return block;
}

void operator delete(void* block) noexcept {
    if (!block) return;
    gHeapBytes -= malloc_usable_size(block);
    std::free(block);
}

void operator delete(void* block, size_t) noexcept {
    operator delete(block);
}

namespace {

TVeltoFile Load(std::string_view text) {
    TVeltoFile doc;
    doc.LoadFromText(std::string(text));
    return doc;
}

}  // namespace

TEST(VeltoFile, LinesSplitAtEveryBreakAndStopAtNul) {
    EXPECT_EQ(Load("a\nb\rc\r\nd").Lines(), (StringList{"a", "b", "c", "d"}));
    EXPECT_EQ(Load("a\n\nb\n").Lines(), (StringList{"a", "", "b"}));
    EXPECT_EQ(Load("\n\r\r\n").Lines(), (StringList{"", "", ""}));
    EXPECT_TRUE(Load("").Lines().empty());
    EXPECT_EQ(Load(std::string_view("x\ny\0z\nw", 7)).Lines(), (StringList{"x", "y"}));
}

// Names with ":" or "/" (which the format forbids) split and shadow index
// keys; lookups still go by the text of the entries, as the index lists them.
TEST(VeltoFile, LookupsGoByTheEntryTextWhateverTheNames) {
    TVeltoFile doc = Load(
        "<Head=\"a:b\">\n<Head End>\n<Book=\"a\">\n<Page=\"x:y\">\n<Page End>\n<Book End>\n"
        "<Book=\"c/d\">\n<Book End>\n");
    EXPECT_EQ(doc.Index(), (StringList{"a:b/:0,1", "a/x:y:3,4", "a:2,5", "c/d:6,7"}));
    const std::tuple<const char*, int32_t, int32_t> keys[] = {
        {"a:", -1, -1},  // the head "a:b" comes first and is no book "a"
        {"a:b/:", 0, 1}, {"a/x:y:", 3, 4},    {"a/x:", -1, -1}, {"c/d:", 6, 7},
        {"a", -1, -1},   {"a/x:y:3", -1, -1}, {"", -1, -1},
    };
    for (const auto& [key, start, end] : keys) {
        int32_t s = -1, e = -1;
        EXPECT_EQ(doc.FindIndexEntry(key, s, e), start >= 0) << key;
        EXPECT_EQ(std::pair(s, e), std::pair(start, end)) << key;
    }
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
        Load(text);
        EXPECT_EQ(Shown(host.boxes), std::vector<std::string>{damaged + what}) << text;
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
    const std::pair<const char*, const char*> keys[] = {{"FileType", "OV3"},
                                                        {"filetype", "d"},
                                                        {" FileType", "XXX"},
                                                        {"Title", "a=b"},
                                                        {"Title=a", "b"}};
    for (const auto& [key, value] : keys) EXPECT_EQ(doc.GetValue("Velto", key, "d"), value) << key;
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
    for (std::string_view line : doc.Lines()) joined.append(line).append("\n");
    EXPECT_EQ(doc.Index(), Load(joined).Index());

    // A value that makes its line a block line cannot be followed: rebuild.
    doc.SetValue("ValueFlag", "<Page", "=\"odd\">");
    EXPECT_TRUE(doc.IndexDirty());
    EXPECT_EQ(doc.GetValue("ValueFlag", "<Page", ""), "=\"odd\">");
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

// Lines, block index, key tables and a command's parameters together stay
// within a small multiple of the text, however the text is made.
TEST(VeltoFile, MemoryStaysWithinASmallMultipleOfTheText) {
    auto repeat = [](int count, const std::function<std::string(int)>& line) {
        std::string text;
        for (int i = 0; i < count; ++i) text += line(i);
        return text;
    };
    struct Case {
        const char* what;
        std::string text;
        std::function<void(TVeltoFile&)> use;
    };
    const Case cases[] = {
        {"empty lines", std::string(1 << 20, '\n'), [](TVeltoFile&) {}},
        {"pages of a book with a long name",
         "<Book=\"" + std::string(8192, 'b') + "\">\r\n" +
             repeat(20000, [](int) { return "<Page=\"p\">\r\n<Page End>\r\n"; }) + "<Book End>\r\n",
         [](TVeltoFile& doc) { EXPECT_EQ(doc.GetCommandCount(std::string(8192, 'b'), "p"), 0); }},
        {"a header block of many keys",
         "<Head=\"Velto\">\r\n" +
             repeat(100000, [](int i) { return std::to_string(i) + "=\r\n"; }) + "<Head End>\r\n",
         [](TVeltoFile& doc) { EXPECT_EQ(doc.GetValue("Velto", "99999", "none"), ""); }},
        {"a command of many parameters",
         "<Book=\"b\">\r\n<Page=\"p\">\r\n" + repeat(200000, [](int) { return "x=\r\n"; }) +
             "@rem\r\n<Page End>\r\n<Book End>\r\n",
         [](TVeltoFile& doc) {
             scenario::TCommandCtrl cache;
             cache.File = &doc;
             cache.SetBook("b");
             cache.SetPage("p");
             scenario::TVeltoCommand command;
             ASSERT_TRUE(cache.GetCommand(0, command));
             EXPECT_EQ(command.Params.size(), 200000u);
         }},
    };
    for (const Case& c : cases) {
        int64_t before = gHeapBytes;
        gHeapPeak = before;
        {
            TVeltoFile doc;
            doc.LoadFromText(c.text);
            c.use(doc);
        }
        double multiple = static_cast<double>(gHeapPeak - before) / c.text.size();
        EXPECT_LE(multiple, 10) << c.what;
    }
}

TEST(IntegerText, DecimalAndEveryHexPrefixButNothingElse) {
    const std::pair<const char*, int32_t> good[] = {
        {"  -12", -12},    {"+7", 7},    {"-2147483648", INT32_MIN}, {"$1F", 31},
        {"x1f", 31},       {"X10", 16},  {" $7FFFFFFF", INT32_MAX},  {"0x7fffffff", INT32_MAX},
        {"$000000001", 1}, {"0010", 10},
    };
    for (const auto& [text, value] : good) EXPECT_EQ(ParseInt(text), value) << text;
    for (const char* text :
         {"", " ", "-", "$", "0x", "12abc", "12 ", "\t1", "1.0", "--1", "-$1", "2147483648",
          "-2147483649", "99999999999999999999", "$100000000", "0x1G", "\x82\x50",
          // Hexadecimal text is a value too, so beyond 2147483647 it is no integer.
          "$80000000", "$FFFFFFFF", " 0XFFFFFFFF"}) {
        EXPECT_FALSE(ParseInt(text).has_value()) << text;
    }
    EXPECT_EQ(scenario::ParseIntDef("junk", 42), 42);
}

// Keys found ignoring case are checked with the settings and stack records
// that look them up.
TEST(TextHelpers, TrimAndCaseFoldKeepCp932Intact) {
    EXPECT_EQ(scenario::Trim(std::string_view("\0 \t a b \r\n", 10)), "a b");
    EXPECT_TRUE(scenario::SameTextIgnoreCase("MessageDraw.Text", "messagedraw.TEXT"));
    // "ア" is 83 41 and "ャ" is 83 61: their trail bytes look like "A" and "a".
    EXPECT_FALSE(scenario::SameTextIgnoreCase("\x83\x41", "\x83\x61"));
    EXPECT_EQ(scenario::FindText("\x83\x41\x41", "A"), 2u) << "a search skips trail bytes too";
    EXPECT_FALSE(scenario::SameTextIgnoreCase("ab", "abc"));
}

// Lines replaced (shorter in place, longer moved), inserted and appended at
// random read back as a plain list holds them, across the compactions that
// reclaim the space they leave.
TEST(LineList, EditsMatchAPlainList) {
    std::mt19937 random(3);
    scenario::LineList lines;
    scenario::StringList plain;
    for (int i = 0; i < 6000; ++i) {
        std::string line(random() % 300, static_cast<char>('a' + i % 26));
        size_t at = plain.empty() ? 0 : random() % plain.size();
        int op = plain.empty() ? 0 : random() % 10;
        if (op == 0) {
            lines.push_back(line);
            plain.push_back(line);
        } else if (op == 1) {
            lines.insert(at, line);
            plain.insert(plain.begin() + at, line);
        } else {
            lines.replace(at, line);
            plain[at] = line;
        }
    }
    EXPECT_TRUE(lines == plain);
    // A line of the list may be written into it again.
    lines.push_back(lines[0]);
    lines.replace(1, lines[2]);
    lines.insert(0, lines[3].substr(1));
    plain.push_back(plain[0]);
    plain[1] = plain[2];
    plain.insert(plain.begin(), plain[3].substr(1));
    EXPECT_TRUE(lines == plain);
}
