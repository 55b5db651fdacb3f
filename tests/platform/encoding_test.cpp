#include "platform/encoding.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadFile(const std::string& name) {
    std::ifstream file(std::string(ORV_TEST_DATA) + "/shift_jis/" + name, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(Encoding, RealJapaneseTextConvertsBothWays) {
    std::string sjis = ReadFile("cpython-shift_jis.txt");
    std::string utf8 = ReadFile("cpython-shift_jis-utf8.txt");
    ASSERT_FALSE(sjis.empty());
    EXPECT_EQ(platform::Cp932ToUtf8(sjis), utf8);
    EXPECT_EQ(platform::Utf8ToCp932(utf8), sjis);
}

// Every lead/trail pair of the WHATWG table (which is Windows' CP932) decodes
// as the reference says, invalid pairs included.
TEST(Encoding, EveryDoubleBytePairDecodesLikeTheReference) {
    auto input = SplitLines(ReadFile("shift_jis_in.txt"));
    auto expected = SplitLines(ReadFile("shift_jis_in_ref.txt"));
    ASSERT_EQ(input.size(), expected.size());
    ASSERT_GT(input.size(), 10000u);
    int mismatches = 0;
    for (size_t i = 0; i < input.size(); ++i) {
        if (platform::Cp932ToUtf8(input[i]) != expected[i] && ++mismatches <= 5) {
            ADD_FAILURE() << "line " << i + 1 << ": " << input[i];
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Encoding, EveryEncodableCharacterEncodesLikeTheReference) {
    auto input = SplitLines(ReadFile("shift_jis_out.txt"));
    auto expected = SplitLines(ReadFile("shift_jis_out_ref.txt"));
    ASSERT_EQ(input.size(), expected.size());
    int mismatches = 0;
    for (size_t i = 0; i < input.size(); ++i) {
        if (platform::Utf8ToCp932(input[i]) != expected[i] && ++mismatches <= 5) {
            ADD_FAILURE() << "line " << i + 1 << ": " << input[i];
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Encoding, BrokenInputNeverStopsTheConversion) {
    // A lead byte at the very end, a lead byte before ASCII, a lone trail-range byte.
    EXPECT_EQ(platform::Cp932ToUtf8("a\x82"), "a\xEF\xBF\xBD");
    EXPECT_EQ(platform::Cp932ToUtf8("\x82" "A"), "\xEF\xBF\xBD" "A");
    EXPECT_EQ(platform::Cp932ToUtf8("\xA0z"), "\xEF\xBF\xBDz");
    // Characters CP932 lacks, and a broken UTF-8 sequence, become "?".
    EXPECT_EQ(platform::Utf8ToCp932("x\xF0\x9F\x98\x80y"), "x?y");
    EXPECT_EQ(platform::Utf8ToCp932("x\xE3\x81y"), "x?y");
    EXPECT_EQ(platform::Cp932ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}
