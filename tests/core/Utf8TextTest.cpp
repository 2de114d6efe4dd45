#include <gtest/gtest.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "CORE/DisplayText.h"
#include "CORE/Platform/HeadlessTextRasterizer.h"

using namespace kestrin;

namespace {
std::vector<uint32_t> Decode(const std::string& text) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < text.size();) out.push_back(NextUtf8CodePoint(text, i));
    return out;
}
}  // namespace

TEST(NextUtf8CodePoint, ReadsEachCharacterAndABrokenSequenceAsOneReplacement) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<uint32_t> read;
    } cases[] = {
        {"ASCII", "a\t", {'a', '\t'}},
        {"two, three and four bytes", "\xc3\xa9\xe3\x81\x82\xf0\x9f\x98\x80", {0xE9, 0x3042, 0x1F600}},
        {"a stray continuation byte", "a\x80z", {'a', 0xFFFD, 'z'}},
        {"a lead byte before ASCII: the ASCII is read next", "\xe3\x81z", {0xFFFD, 'z'}},
        {"cut short by the end", "a\xe3\x81", {'a', 0xFFFD}},
        {"a Shift_JIS byte pair", "\x95\x5c", {0xFFFD, 0x5C}},
    };
    for (const Case& c : cases) EXPECT_EQ(Decode(c.text), c.read) << c.what;
}

TEST(TextWidth, MeasuresALineAsItIsDrawn) {
    HeadlessTextRasterizer font({"face"});
    ASSERT_FALSE(font.Open("face", 12));  // 6 below U+0100, 12 above
    font.missing.insert('m');
    struct Case {
        const char* what;
        std::string text;
        int width;
    } cases[] = {
        {"empty", "", 0},
        {"ASCII and kana", "ab\xe3\x81\x82", 6 + 6 + 12},
        {"a tab is a space", "a\tb", 18},
        {"a missing glyph takes no room", "amb", 12},
        // The drawing reads a broken byte as U+FFFD, not as the byte's own value.
        {"a broken byte", "a\x80", 6 + 12},
    };
    for (const Case& c : cases) EXPECT_EQ(TextWidth(font, c.text), c.width) << c.what;

    // With a table of advances each character is rendered once.
    std::unordered_map<uint32_t, int> advances;
    font.renders = 0;
    EXPECT_EQ(TextWidth(font, "abab", &advances), 24);
    EXPECT_EQ(TextWidth(font, "ba", &advances), 12);
    EXPECT_EQ(font.renders, 2);
}
