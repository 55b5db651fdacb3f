#include "scenario/Text_util.h"

#include <gtest/gtest.h>

#include <random>

using scenario::ParseInt;

TEST(IntegerText, DecimalAndEveryHexPrefixButNothingElse) {
    EXPECT_EQ(ParseInt("0"), 0);
    EXPECT_EQ(ParseInt("  -12"), -12);
    EXPECT_EQ(ParseInt("+7"), 7);
    EXPECT_EQ(ParseInt("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseInt("$1F"), 31);
    EXPECT_EQ(ParseInt("x1f"), 31);
    EXPECT_EQ(ParseInt("X10"), 16);
    EXPECT_EQ(ParseInt("0x7fffffff"), INT32_MAX);
    EXPECT_EQ(ParseInt(" $7FFFFFFF"), INT32_MAX);
    EXPECT_EQ(ParseInt("$000000001"), 1);
    EXPECT_EQ(ParseInt("0010"), 10);
    for (const char* text :
         {"", " ", "-", "+", "$", "0x", "12abc", "12 ", "\t1", "1.0", "--1", "-$1", "2147483648",
          "-2147483649", "99999999999999999999", "$100000000", "0x1G", "\x82\x50",
          // Hexadecimal text is a value too, so beyond 2147483647 it is no integer.
          "$80000000", "0x80000000", "$FFFFFFFF", " 0XFFFFFFFF"}) {
        EXPECT_FALSE(ParseInt(text).has_value()) << text;
    }
    EXPECT_EQ(scenario::ParseIntDef("junk", 42), 42);
}

// Keys found ignoring case are checked with the settings, command and stack
// records that look them up.
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
