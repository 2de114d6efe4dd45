#include "CORE/CIni.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kestrin::CIni;

namespace {
struct Entry {
    const char* section;
    const char* key;
    const char* value;  // nullptr: absent
};
struct Case {
    const char* name;
    std::string text;
    std::vector<Entry> entries;
};
}  // namespace

TEST(CIni, GrammarTable) {
    const Case cases[] = {
        {"crlf and trimming", "[SYSTEM]\r\nBOOT = start.iet \r\n", {{"SYSTEM", "BOOT", "start.iet"}}},
        {"line without = runs on", "a\nkey=v\n", {{"", "a\nkey", "v"}, {"", "a", nullptr}, {"", "key", nullptr}}},
        {"semicolon in value", "k=a;b\n;c=d\n", {{"", "k", "a;b"}, {"", ";c", nullptr}, {"", "c", nullptr}}},
        {"repeated section replaces", "[S]\na=1\n[S]\nb=2\n", {{"S", "a", nullptr}, {"S", "b", "2"}}},
        {"last line without line end", "[S]\nk=v", {{"S", "k", "v"}}},
        {"last key without =", "[S]\nk", {{"S", "k", ""}}},
        {"escaped = in key", "a\\=b=c\n", {{"", "a=b", "c"}}},
        {"escaped ] in section", "[a\\]b]\nk=v\n", {{"a]b", "k", "v"}}},
        {"backslash in value is plain", "k=a\\b\n", {{"", "k", "a\\b"}}},
        {"comment after ]", "[S] ; note\nk=v\n", {{"S", "k", "v"}}},
        {"text after ] starts a key", "[S]x=1\n", {{"S", "x", "1"}}},
        {"keys before any section", "top=1\n[S]\n", {{"", "top", "1"}}},
        {"case-sensitive", "[window]\nWIDTH=1\n", {{"WINDOW", "WIDTH", nullptr}, {"window", "WIDTH", "1"}}},
        {"section names not trimmed", "[ S ]\nk=v\n", {{" S ", "k", "v"}, {"S", "k", nullptr}}},
        {"later key wins", "k=1\nk=2\n", {{"", "k", "2"}}},
        {"blank-only value kept", "k=   \n", {{"", "k", "   "}}},
        {"trailing backslash ends parse", "k=v\nab\\", {{"", "k", "v"}, {"", "ab", ""}}},
        // Shift_JIS "表" is 95 5C (generated with iconv): its 5C is no escape, and 5B/5D/3D
        // trail bytes (e.g. 81 5B) are no syntax.
        {"sjis trail bytes", "[\x95\x5c]\n\x95\x5c=\x81\x5b\x95\x5c\n", {{"\x95\x5c", "\x95\x5c", "\x81\x5b\x95\x5c"}}},
        {"sjis key with 3D trail", "\x83\x3d=1\n", {{"", "\x83\x3d", "1"}}},
        {"lead byte cut off", "k=\x95", {{"", "k", "\x95"}}},
        // A UTF-8 byte-order mark at the start (Windows editors write one) is no text.
        {"byte-order mark", "\xEF\xBB\xBF[SYSTEM]\nBOOT=start\n", {{"SYSTEM", "BOOT", "start"}}},
        {"byte-order mark before a key", "\xEF\xBB\xBFk=v\n", {{"", "k", "v"}}},
    };
    for (const Case& c : cases) {
        CIni ini;
        ini.Parse(c.text.c_str());
        for (const Entry& e : c.entries) {
            const std::string got = ini.GetStringDefault(e.section, e.key, "<absent>");
            EXPECT_EQ(got, e.value ? e.value : "<absent>") << c.name << " [" << e.section << "] " << e.key;
        }
    }
}

TEST(CIni, UnclosedSectionsAreThoseWhoseLineEndedInTheName) {
    struct UnclosedCase {
        const char* name;
        std::string text;
        std::vector<std::string> unclosed;
    } cases[] = {
        {"closed", "[A]\nk=1\n", {}},
        {"runs to the end", "[A]\n[B\nk=1\n", {"B"}},
        {"closed lines later: named once, in order", "[Z\r\nk=1\r\n]\n[A\n\n]\n", {"Z", "A"}},
        // An escaped line break is part of the name on purpose.
        {"escaped line break", "[A\\\nB]\nk=1\n", {}},
        {"escaped backslash, then a line break", "[A\\\\\nk=1\n]\n", {"A\\"}},
        {"escaped line break, then an unescaped one", "[A\\\nB\n]\n", {"A\nB"}},
    };
    for (const UnclosedCase& c : cases) {
        CIni ini;
        ini.Parse(c.text.c_str());
        EXPECT_EQ(ini.GetUnclosedSections(), c.unclosed) << c.name;
    }
    CIni ini;
    ini.Parse("[A\n]\n");
    ini.Parse("[A]\n");
    EXPECT_TRUE(ini.GetUnclosedSections().empty()) << "a new parse forgets the old text";
}

TEST(CIni, ParseClearsAndHonoursLength) {
    CIni ini;
    ini.Parse("[A]\nk=1\n");
    ini.Parse("[B]\nk=2\nextra=3\n", 8);
    EXPECT_EQ(ini.GetString("A", "k"), "");
    EXPECT_EQ(ini.GetString("B", "k"), "2");
    EXPECT_EQ(ini.GetStringDefault("B", "extra", "none"), "none");
    // A mark cut short by the length is no mark.
    ini.Parse("\xEF\xBB\xBF[C]\nk=3\n", 2);
    EXPECT_FALSE(ini.GetSections().count("C"));
    ini.Parse("\xEF\xBB\xBF[C]\nk=3\n", 11);
    EXPECT_EQ(ini.GetString("C", "k"), "3");
    ini.Parse(nullptr);
    EXPECT_TRUE(ini.GetSections().count(""));
}

TEST(CIni, TypedQueries) {
    CIni ini;
    ini.Parse(
        "[W]\nw=640\nneg=-3\nsuffix= 12px\nword=yes\ntwo=2\nzero=0\nempty=\nblank=  \n"
        "huge=99999999999999999999\nsmall=-99999999999\n");
    EXPECT_EQ(ini.GetIntDefault("W", "w", 1), 640);
    EXPECT_EQ(ini.GetIntDefault("W", "neg", 1), -3);
    EXPECT_EQ(ini.GetIntDefault("W", "suffix", 1), 12);
    EXPECT_EQ(ini.GetIntDefault("W", "empty", 7), 7);
    EXPECT_EQ(ini.GetIntDefault("W", "blank", 7), 0);  // blanks are not trimmed away
    EXPECT_EQ(ini.GetIntDefault("W", "missing", 7), 7);
    EXPECT_EQ(ini.GetIntDefault("Q", "w", 7), 7);
    EXPECT_EQ(ini.GetIntDefault("W", "huge", 7), 2147483647);
    EXPECT_EQ(ini.GetIntDefault("W", "small", 7), -2147483647 - 1);
    EXPECT_FALSE(ini.GetBoolDefault("W", "word", true));
    EXPECT_TRUE(ini.GetBoolDefault("W", "two", false));
    EXPECT_FALSE(ini.GetBoolDefault("W", "zero", true));
    EXPECT_TRUE(ini.GetBoolDefault("W", "empty", true));
    EXPECT_TRUE(ini.GetBool("W", "huge"));
    EXPECT_EQ(ini.GetInt("W", "missing"), 0);
    EXPECT_FALSE(ini.GetBool("W", "missing"));
    EXPECT_EQ(ini.GetString("W", "missing"), "");
    EXPECT_FALSE(ini.GetSections().at("W").count("missing"));  // queries never create entries
}

TEST(CIni, Trim) {
    CIni ini;
    EXPECT_EQ(ini.Trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(ini.Trim(" \t "), " \t ");
    EXPECT_EQ(ini.Trim(""), "");
    EXPECT_EQ(ini.Trim(" \x81\x40 "), "\x81\x40");  // 81 40 is a full-width space: not a blank
    EXPECT_EQ(ini.Trim("\x95\x20"), "\x95\x20");    // 20 here is a trail byte
}
