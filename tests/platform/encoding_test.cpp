#include "platform/encoding.h"

#include "platform/cp932.h"

#include <gtest/gtest.h>

#include "common/test_files.h"

namespace {

using Convert = std::string (*)(std::string_view);

// Converts each line of `input` and compares it with the same line of `reference`.
void ExpectLikeReference(Convert convert, const char* input, const char* reference) {
    const std::string data = std::string(ORV_TEST_DATA) + "/shift_jis/";
    auto lines = testkit::SplitLines(testkit::ReadFile(data + input));
    auto expected = testkit::SplitLines(testkit::ReadFile(data + reference));
    ASSERT_EQ(lines.size(), expected.size());
    ASSERT_GT(lines.size(), 5000u);
    int mismatches = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (convert(lines[i]) != expected[i] && ++mismatches <= 5) {
            ADD_FAILURE() << input << " line " << i + 1 << ": " << lines[i];
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace

TEST(Encoding, RealJapaneseTextConvertsBothWays) {
    std::string problem;
    ASSERT_TRUE(platform::CheckTextEncoding(problem)) << problem;
    const std::string data = std::string(ORV_TEST_DATA) + "/shift_jis/";
    std::string sjis = testkit::ReadFile(data + "cpython-shift_jis.txt");
    std::string utf8 = testkit::ReadFile(data + "cpython-shift_jis-utf8.txt");
    ASSERT_GT(sjis.size(), 500u);
    EXPECT_EQ(platform::Cp932ToUtf8(sjis), utf8);
    EXPECT_EQ(platform::Utf8ToCp932(utf8), sjis);
}

// Every lead/trail pair of the WHATWG table (which is Windows' CP932) decodes
// as the reference says, invalid pairs included; every encodable character
// encodes as it says.
TEST(Encoding, EveryPairAndCharacterConvertsLikeTheReference) {
    ExpectLikeReference(platform::Cp932ToUtf8, "shift_jis_in.txt", "shift_jis_in_ref.txt");
    ExpectLikeReference(platform::Utf8ToCp932, "shift_jis_out.txt", "shift_jis_out_ref.txt");
}

TEST(Encoding, BrokenInputNeverStopsTheConversion) {
    // A lead byte at the very end, a lead byte before ASCII, a lone trail-range byte.
    EXPECT_EQ(platform::Cp932ToUtf8("a\x82"), "a\xEF\xBF\xBD");
    EXPECT_EQ(platform::Cp932ToUtf8("\x82\x41"), "\xEF\xBF\xBD\x41");
    EXPECT_EQ(platform::Cp932ToUtf8("\xA0z"), "\xEF\xBF\xBDz");
    // Characters CP932 lacks, and a broken UTF-8 sequence, become "?".
    EXPECT_EQ(platform::Utf8ToCp932("x\xF0\x9F\x98\x80y"), "x?y");
    EXPECT_EQ(platform::Utf8ToCp932("x\xE3\x81y"), "x?y");
    EXPECT_EQ(platform::Cp932ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

// Layout, paths and the conversion part ways only after a lead byte.
TEST(Cp932, EachRuleEndsACharacterWhereItsUsersNeed) {
    struct Case {
        std::string_view text;
        size_t layout, path, broken;
    };
    const Case cases[] = {
        {"\x83\x41", 2, 2, 1},  // a kanji whose trail looks like "A"
        {"\x95\\", 2, 2, 1},    // a kanji ending in 0x5C, which never splits a path
        {"\x82/", 2, 1, 1},     // "/" can be no trail byte, so a path splits there
        {"\x82\x7F", 2, 1, 1},  // nor can 0x7F
        {"\x82\xFD", 2, 1, 2},  // nor 0xFD, which the conversion still skips along
        {"\xE0\x80", 2, 2, 2},  // the second lead byte range
        {"\x82", 1, 1, 1},      // a lone lead byte at the end
        {"\xA0\x41", 1, 1, 1},  // half-width kana: one byte
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
        EXPECT_EQ(platform::Cp932CharLength(c.text), c.layout);
        EXPECT_EQ(platform::Cp932PathCharLength(c.text), c.path);
        EXPECT_EQ(platform::Cp932BrokenCharLength(c.text), c.broken);
    }
    EXPECT_EQ(platform::Cp932UpperCase("*.tga;\x83\x61z\x82"), "*.TGA;\x83\x61Z\x82");
}
