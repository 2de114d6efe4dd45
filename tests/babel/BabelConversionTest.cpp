// Whole-string conversions: the documented examples of every engine.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "babel/babel.h"

namespace {

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

std::string Hex(const std::string& s) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Hex(const std::u16string& s) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (char16_t c : s) {
        if (!out.empty()) out += ' ';
        for (int shift = 12; shift >= 0; shift -= 4) out += digits[(c >> shift) & 15];
    }
    return out;
}

struct NarrowCase {
    const char* what;
    std::function<std::string(const std::string&)> fn;
    std::string in;
    std::string out;
};

TEST(BabelConversion, NarrowToNarrowExamples) {
    // clang-format off
    const std::vector<NarrowCase> cases = {
        // Shift_JIS <-> EUC-JP
        {"sjis->euc hiragana", babel::sjis_to_euc, B({0x82, 0xA0}), B({0xA4, 0xA2})},
        {"euc->sjis hiragana", babel::euc_to_sjis, B({0xA4, 0xA2}), B({0x82, 0xA0})},
        {"sjis->euc katakana", babel::sjis_to_euc, B({0xB1}), B({0x8E, 0xB1})},
        {"euc->sjis katakana", babel::euc_to_sjis, B({0x8E, 0xB1}), B({0xB1})},
        {"sjis->euc NEC", babel::sjis_to_euc, B({0x87, 0x90}), B({0xAD, 0xF0})},
        {"euc->sjis NEC", babel::euc_to_sjis, B({0xAD, 0xF0}), B({0x87, 0x90})},
        {"sjis->euc IBM", babel::sjis_to_euc, B({0xFA, 0x40}), B({0xFC, 0xF1})},
        {"sjis->euc NEC-selected", babel::sjis_to_euc, B({0xEE, 0xEF}), B({0xFC, 0xF1})},
        {"euc->sjis row 92", babel::euc_to_sjis, B({0xFC, 0xF1}), B({0xFA, 0x40})},
        {"euc->sjis bad trail", babel::euc_to_sjis, B({0xB0, 0x41}), "?A"},
        {"euc->sjis 0212", babel::euc_to_sjis, B({0x8F, 0xA2, 0xB7, 'x'}), "?x"},
        {"euc->sjis pending 0212", babel::euc_to_sjis, B({'a', 0x8F, 0xA2}), "a??"},
        {"sjis->euc lone lead", babel::sjis_to_euc, B({'a', 0x82}), "a?"},
        {"sjis->euc bad trail", babel::sjis_to_euc, B({0x82, 0x20}), "? "},
        {"sjis->euc user-defined", babel::sjis_to_euc, B({0xF0, 0x40}), B({0xFF, 0xA1})},
        {"sjis->euc user-defined NUL", babel::sjis_to_euc, B({0xF0, 0x9F, 'z'}), B({0x00, 0xA1, 'z'})},
        // Writing ISO-2022-JP
        {"sjis->jis kanji", babel::sjis_to_jis, B({0x88, 0x9F}), B({0x1B, 0x24, 0x42, 0x30, 0x21, 0x1B, 0x28, 0x42})},
        {"sjis->jis mixed", babel::sjis_to_jis, B({'A', 0x82, 0xA0, 'B'}),
         B({'A', 0x1B, 0x24, 0x42, 0x24, 0x22, 0x1B, 0x28, 0x42, 'B'})},
        {"sjis->jis katakana", babel::sjis_to_jis, B({0xB1}), B({0x1B, 0x28, 0x49, 0x31, 0x1B, 0x28, 0x42})},
        {"sjis->jis IBM", babel::sjis_to_jis, B({0xFA, 0x40}), B({0x1B, 0x24, 0x42, 0x7C, 0x71, 0x1B, 0x28, 0x42})},
        {"sjis->jis lone lead after kanji", babel::sjis_to_jis, B({0x88, 0x9F, 0x88}),
         B({0x1B, 0x24, 0x42, 0x30, 0x21, 0x1B, 0x28, 0x42, '?'})},
        {"sjis->jis one escape per run", babel::sjis_to_jis, B({0x88, 0x9F, 0x88, 0x9F}),
         B({0x1B, 0x24, 0x42, 0x30, 0x21, 0x30, 0x21, 0x1B, 0x28, 0x42})},
        {"euc->jis 0212", babel::euc_to_jis, B({0x8F, 0xA2, 0xB7}), B({0x1B, 0x24, 0x28, 0x44, 0x22, 0x37, 0x1B, 0x28, 0x42})},
        {"euc->jis katakana", babel::euc_to_jis, B({0x8E, 0xB1, 'a'}), B({0x1B, 0x28, 0x49, 0x31, 0x1B, 0x28, 0x42, 'a'})},
        {"euc->jis bad trail", babel::euc_to_jis, B({0xB0, 0x41}), "?A"},
        // Reading ISO-2022-JP
        {"jis->sjis kanji", babel::jis_to_sjis, B({0x1B, 0x24, 0x42, 0x30, 0x21, 0x1B, 0x28, 0x42}), B({0x88, 0x9F})},
        {"jis->euc kanji", babel::jis_to_euc, B({0x1B, 0x24, 0x42, 0x30, 0x21, 0x1B, 0x28, 0x42}), B({0xB0, 0xA1})},
        {"jis->sjis roman", babel::jis_to_sjis, B({0x1B, 0x24, 0x42, 0x30, 0x21, 0x1B, 0x28, 0x4A, 0x30, 0x21}),
         B({0x88, 0x9F, 0x30, 0x21})},
        {"jis->euc ignores roman", babel::jis_to_euc, B({0x1B, 0x24, 0x42, 0x30, 0x21, 0x1B, 0x28, 0x4A, 0x30, 0x21}),
         B({0xB0, 0xA1, 0xB0, 0xA1})},
        {"jis->euc 1978 dropped", babel::jis_to_euc, B({0x1B, 0x24, 0x40, 0x30, 0x21}), B({0x30, 0x21})},
        {"jis->euc cut escape", babel::jis_to_euc, B({'a', 0x1B, 0x24}), "a??"},
        {"jis->euc cut 0212 escape", babel::jis_to_euc, B({'a', 0x1B, 0x24, 0x28}), "a???"},
        {"jis->euc unknown 4-byte", babel::jis_to_euc, B({0x1B, 0x24, 0x28, 0x45, 'x'}), B({0x45, 'x'})},
        {"jis->sjis shifts", babel::jis_to_sjis, B({0x0F, 0x31, 0x32, 0x0E, 'a'}), B({0xB1, 0xB2, 'a'})},
        {"jis->euc shifts", babel::jis_to_euc, B({0x0F, 0x31, 0x32, 0x0E}), B({0x8E, 0xB1, 0x8E, 0xB2})},
        {"jis->euc escape katakana", babel::jis_to_euc, B({0x1B, 0x28, 0x49, 0x31}), B({0x8E, 0xB1})},
        {"jis->sjis 0212", babel::jis_to_sjis, B({0x1B, 0x24, 0x28, 0x44, 0x22, 0x37, 0x1B, 0x28, 0x42}), "?"},
        {"jis->euc 0212", babel::jis_to_euc, B({0x1B, 0x24, 0x28, 0x44, 0x22, 0x37}), B({0x8F, 0xA2, 0xB7})},
        {"jis->sjis row 92", babel::jis_to_sjis, B({0x1B, 0x24, 0x42, 0x7C, 0x71}), B({0xFA, 0x40})},
        {"jis->sjis lone byte in 0208", babel::jis_to_sjis, B({0x1B, 0x24, 0x42, 0x30}), "?"},
        // UTF-8 <-> Shift_JIS / EUC-JP / ISO-2022-JP
        {"utf8->sjis", babel::utf8_to_sjis, "\xE3\x81\x82", B({0x82, 0xA0})},
        {"sjis->utf8", babel::sjis_to_utf8, B({0x82, 0xA0, 'A'}), "\xE3\x81\x82" "A"},
        {"utf8->sjis emoji", babel::utf8_to_sjis, "\xF0\x9F\x98\x80", "??"},
        {"utf8->sjis yen", babel::utf8_to_sjis, "\xC2\xA5\xE2\x80\xBE", "??"},
        {"utf8->sjis wave dash", babel::utf8_to_sjis, "\xE3\x80\x9C\xEF\xBD\x9E", B({0x81, 0x60, 0x81, 0x60})},
        {"utf8->sjis private use", babel::utf8_to_sjis, "a\xEE\x80\x80" "b", "ab"},
        {"sjis->utf8 lone lead", babel::sjis_to_utf8, B({'x', 0x82}), "x?"},
        {"utf8->euc", babel::utf8_to_euc, "\xE3\x81\x82", B({0xA4, 0xA2})},
        {"utf8->euc wave dash", babel::utf8_to_euc, "\xE3\x80\x9C\xEF\xBD\x9E", B({'?', 0xA1, 0xC1})},
        {"euc->utf8", babel::euc_to_utf8, B({0xA4, 0xA2}), "\xE3\x81\x82"},
        {"utf8->jis 0212", babel::utf8_to_jis, "\xC2\xA1", B({0x1B, 0x24, 0x28, 0x44, 0x22, 0x42, 0x1B, 0x28, 0x42})},
        {"jis->utf8", babel::jis_to_utf8, B({0x1B, 0x24, 0x42, 0x24, 0x22, 0x1B, 0x28, 0x42}), "\xE3\x81\x82"},
        {"utf8->jis katakana", babel::utf8_to_jis, "\xEF\xBD\xB1", B({0x1B, 0x28, 0x49, 0x31, 0x1B, 0x28, 0x42})},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(Hex(c.fn(c.in)), Hex(c.out)) << c.what;
}

TEST(BabelConversion, EmptyInputGivesEmptyOutputEverywhere) {
    const std::vector<std::function<std::string(const std::string&)>> narrow = {
        babel::sjis_to_euc, babel::sjis_to_jis,  babel::euc_to_sjis,  babel::euc_to_jis,
        babel::jis_to_sjis, babel::jis_to_euc,   babel::sjis_to_utf8, babel::euc_to_utf8,
        babel::jis_to_utf8, babel::utf8_to_sjis, babel::utf8_to_euc,  babel::utf8_to_jis};
    for (const auto& fn : narrow) EXPECT_EQ(fn(""), "");
    EXPECT_EQ(babel::sjis_cp932_to_unicode(""), u"");
    EXPECT_EQ(babel::euc_to_unicode(""), u"");
    EXPECT_EQ(babel::utf8_to_unicode(""), u"");
    EXPECT_EQ(babel::jis_to_unicode(""), u"");
    EXPECT_EQ(babel::unicode_to_sjis_cp932(u""), "");
    EXPECT_EQ(babel::unicode_to_euc(u""), "");
    EXPECT_EQ(babel::unicode_to_utf8(u""), "");
    babel::init_maps();
    babel::init_maps();
}

TEST(BabelConversion, ToUnicodeExamples) {
    struct Case {
        const char* what;
        std::function<std::u16string(const std::string&)> fn;
        std::string in;
        std::u16string out;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"sjis pair without character", babel::sjis_cp932_to_unicode, B({0x81, 0xAD}), u"?"},
        {"sjis bad trail", babel::sjis_cp932_to_unicode, B({0x82, 0x20}), u"? "},
        {"sjis wave dash", babel::sjis_cp932_to_unicode, B({0x81, 0x60}), u"\uFF5E"},
        {"sjis NEC", babel::sjis_cp932_to_unicode, B({0x87, 0x90}), u"\u2252"},
        {"sjis IBM", babel::sjis_cp932_to_unicode, B({0xFA, 0x40}), u"\u2170"},
        {"sjis user-defined", babel::sjis_cp932_to_unicode, B({0xF0, 0x40}), u"?"},
        {"sjis katakana", babel::sjis_cp932_to_unicode, B({0xB1}), u"\uFF71"},
        {"sjis backslash", babel::sjis_cp932_to_unicode, B({0x5C, 0x7E}), u"\\~"},
        {"sjis odd single bytes", babel::sjis_cp932_to_unicode, B({0x80, 0xA0, 0xFD, 0xFE, 0xFF}),
         u"\u0080\u00A0\u00FD\u00FE\u00FF"},
        {"sjis lone lead", babel::sjis_cp932_to_unicode, B({'a', 0x82}), u"a?"},
        {"euc hiragana", babel::euc_to_unicode, B({0xA4, 0xA2}), u"\u3042"},
        {"euc katakana", babel::euc_to_unicode, B({0x8E, 0xB1}), u"\uFF71"},
        {"euc 0212 tilde", babel::euc_to_unicode, B({0x8F, 0xA2, 0xB7}), u"~"},
        {"euc wave dash", babel::euc_to_unicode, B({0xA1, 0xC1}), u"\uFF5E"},
        {"euc duplicate NEC", babel::euc_to_unicode, B({0xAD, 0xF0}), u"?"},
        {"euc unassigned pair", babel::euc_to_unicode, B({0xB0, 0x41}), u"?"},
        {"euc bad trail", babel::euc_to_unicode, B({0xB0, 0x20}), u"? "},
        {"euc single bytes", babel::euc_to_unicode, B({0x80, 0xA0, 0xFF}), u"\u0080\u00A0\u00FF"},
        {"euc pending 0212", babel::euc_to_unicode, B({0x8F, 0xA2}), u"??"},
        {"utf8 hiragana", babel::utf8_to_unicode, "\xE3\x81\x82", u"\u3042"},
        {"utf8 pair", babel::utf8_to_unicode, "\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
        {"utf8 BOM kept", babel::utf8_to_unicode, "\xEF\xBB\xBF" "a", u"\uFEFF" "a"},
        // Bad UTF-8: one "?" per refused byte, reading goes on at the next.
        {"utf8 bad continuation", babel::utf8_to_unicode, "\xC3\x28", u"?("},
        {"utf8 cut before ASCII", babel::utf8_to_unicode, "\xE3\x81\x41", u"??A"},
        {"utf8 cut before a character", babel::utf8_to_unicode, "\xE3\xE3\x81\x82", u"?\u3042"},
        {"utf8 stray continuation", babel::utf8_to_unicode, "\x80" "A", u"?A"},
        {"utf8 FE FF", babel::utf8_to_unicode, "\xFE\xFF", u"??"},
        {"utf8 cut", babel::utf8_to_unicode, "\xE3\x81", u"??"},
        {"utf8 cut, bad tail", babel::utf8_to_unicode, "\xF0\x9F\x41", u"??A"},
        {"utf8 overlong slash", babel::utf8_to_unicode, "\xC0\xAF", u"??"},
        {"utf8 overlong C1", babel::utf8_to_unicode, "\xC1\xBF" "a", u"??a"},
        {"utf8 overlong three bytes", babel::utf8_to_unicode, "\xE0\x80\xAF", u"???"},
        {"utf8 overlong four bytes", babel::utf8_to_unicode, "\xF0\x8F\xBF\xBF", u"????"},
        {"utf8 smallest three bytes", babel::utf8_to_unicode, "\xE0\xA0\x80", u"\u0800"},
        {"utf8 smallest four bytes", babel::utf8_to_unicode, "\xF0\x90\x80\x80", u"\xD800\xDC00"},
        {"utf8 encoded surrogate", babel::utf8_to_unicode, "\xED\xA0\x80" "a", u"???a"},
        {"utf8 below surrogates", babel::utf8_to_unicode, "\xED\x9F\xBF", u"\uD7FF"},
        {"utf8 10FFFF", babel::utf8_to_unicode, "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
        {"utf8 above 10FFFF", babel::utf8_to_unicode, "\xF4\x90\x80\x80" "a", u"????a"},
        {"utf8 F5 lead", babel::utf8_to_unicode, "\xF5\x80\x80\x80", u"????"},
        {"utf8 six bytes", babel::utf8_to_unicode, "\xFD\xBF\xBF\xBF\xBF\xBF", u"??????"},
        {"jis to unicode", babel::jis_to_unicode, B({0x1B, 0x24, 0x28, 0x44, 0x22, 0x42}), u"\u00A1"},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(Hex(c.fn(c.in)), Hex(c.out)) << c.what;
}

TEST(BabelConversion, FromUnicodeExamples) {
    struct Case {
        const char* what;
        std::function<std::string(const std::u16string&)> fn;
        std::u16string in;
        std::string out;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"sjis wave dash", babel::unicode_to_sjis_cp932, u"\uFF5E\u301C", B({0x81, 0x60, 0x81, 0x60})},
        {"sjis NEC duplicate", babel::unicode_to_sjis_cp932, u"\u2252", B({0x81, 0xE0})},
        {"sjis NEC-selected", babel::unicode_to_sjis_cp932, u"\u2170", B({0xEE, 0xEF})},
        {"sjis private use", babel::unicode_to_sjis_cp932, u"\uE000", ""},
        {"sjis katakana", babel::unicode_to_sjis_cp932, u"\uFF71", B({0xB1})},
        {"sjis yen overline", babel::unicode_to_sjis_cp932, u"\u00A5\u203E\u0080", "???"},
        {"sjis surrogates", babel::unicode_to_sjis_cp932, u"\xD83D\xDE00", "??"},
        {"euc tilde", babel::unicode_to_euc, u"~", "~"},
        {"euc 0212", babel::unicode_to_euc, u"\u00A1", B({0x8F, 0xA2, 0xC2})},
        {"euc katakana", babel::unicode_to_euc, u"\uFF71", B({0x8E, 0xB1})},
        {"euc no code", babel::unicode_to_euc, u"\u301C\u2212\u00A5\u0080", "????"},
        {"euc private use", babel::unicode_to_euc, u"a\uF8FFb", "ab"},
        {"utf8 hiragana", babel::unicode_to_utf8, u"\u3042", "\xE3\x81\x82"},
        {"utf8 pair", babel::unicode_to_utf8, u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {"utf8 BOM", babel::unicode_to_utf8, u"\uFEFF", "\xEF\xBB\xBF"},
        {"utf8 lone high at end", babel::unicode_to_utf8, u"\xD800", "?"},
        {"utf8 lone low", babel::unicode_to_utf8, u"\xDC00", "\xED\xB0\x80"},
        {"utf8 unpaired high", babel::unicode_to_utf8, u"\xD800" "a", "\xED\xA0\x80" "a"},
        {"utf8 two bytes", babel::unicode_to_utf8, u"\u00E9", "\xC3\xA9"},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(Hex(c.fn(c.in)), Hex(c.out)) << c.what;
}

}  // namespace
