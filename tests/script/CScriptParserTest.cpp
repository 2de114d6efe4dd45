#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "SCRIPT/COruParser.h"
#include "SCRIPT/CScriptParser.h"
#include "ScriptTestSupport.h"

using script_test::ParseToDump;

namespace {

struct Case {
    const char* text;
    const char* blocks;
};

// Kinds: 0 text, 1 label, 2 tag, 3 message. "E" stands for the bad-tag message.
const std::string kBad = kestrin::CScriptParser::BadTagMessage(0);

std::string Expand(const char* expected) {
    std::string s = expected;
    for (size_t p; (p = s.find("{E}")) != std::string::npos;) s.replace(p, 3, kBad);
    return s;
}

const Case kCases[] = {
    // Tags and attributes.
    {"[ tag a = 1 b=\"x y\" c ]", "2@1 tag a=1 b=x y c="},
    {"[tag a b=2]", "2@1 tag a= b=2"},
    {"[tag a=1 a=2]", "2@1 tag a=2"},
    {"[tag\n a=1\n b=\"p\nq\"\n]", "2@5 tag a=1 b=p\nq"},
    {"[tag v=a[b=c\"d]", "2@1 tag v=a[b=c\"d"},
    {"[tag v=\"\"]", "2@1 tag v="},
    {"[tag v=\\]x]", "2@1 tag v=]x"},
    {"[a\\ b]", "2@1 a b"},
    {"[tag a=1]x", "2@1 tag a=1 | 0@1 x"},
    // Syntax errors: one message each, the tag dropped, parsing goes on.
    {"[]", "3@1 {E}"},
    {"[ ]", "3@1 {E}"},
    {"[tag", "3@1 {E}"},
    {"[", "3@1 {E}"},
    {"[tag a=", "3@1 {E}"},
    {"[tag a=\"open", "3@1 {E}"},
    {"[tag a", "3@1 {E}"},
    {"[tag a=]after", "3@1 {E} | 0@1 after"},
    {"[tag =1 x] y", "3@1 {E} | 0@1 y"},
    {"[tag [b]", "3@1 {E} | 2@1 b"},
    {"[tag a [b]", "3@1 {E} | 2@1 b"},
    {"[[b]", "3@1 {E} | 2@1 b"},
    {"[]x", "3@1 {E} | 0@1 x"},
    // Text, "@" and escapes.
    {"\x82\xA0@\x82\xA2\n", "0@1 \x82\xA0 | 2@1 @ | 0@1 \x82\xA2"},
    {"\\[x\\@y\\\\\n", "0@1 [x@y\\"},
    {"\\open a,b\n", "0@1 open a,b"},
    {"  \x82\xA0  \r\n", "0@1 \x82\xA0  "},
    {"\x82\xA0;x//y\n", "0@1 \x82\xA0;x//y"},
    {"\x82\xA0\\\nB\n", "0@2 \x82\xA0\nB"},
    {"\x82\xA0\\\r\nB\n", "0@2 \x82\xA0\nB"},
    {"\x82\xA0[r]\x82\xA2", "0@1 \x82\xA0 | 2@1 r | 0@1 \x82\xA2"},
    // A Shift_JIS trail byte 0x5C or 0x40 is no escape and no "@".
    {"\x83\x5C\x83\x40\n", "0@1 \x83\x5C\x83\x40"},
    // Line tags with the initial settings.
    {"open\n", "2@1 open"},
    {"open", "2@1 open"},
    {"\xB1\xAF open\n", "0@1 \xB1\xAF open"},  // half-width katakana is no line-tag name
    // Labels and comments.
    {"*start ; x\n", "1@1 start ; x"},
    {"*\n@", "2@2 @"},
    {"; c\n[r];c\n// c\n/* a\n b */[s]/*/[t]", "2@2 r | 2@5 s | 2@5 t"},
    {"/* never closed [x]", ""},
    {"", ""},
    {"\n\n[r]", "2@3 r"},
    // Raw body of "lua".
    {"[lua]a[b][/x][/lua][r]", "2@1 lua script=a[b][/x] | 2@1 r"},
    {"[lua a=1]\nx\r\ny\\z\n[/lua]", "2@4 lua a=1 script=\nx\ny\\z\n"},
    {"[lua]never closed", ""},
    {"[lua]x[/lu", ""},
    {"[lua]x[/lua", ""},
    // A UTF-8 byte-order mark at the start is skipped: the first label stays a label.
    {"\xEF\xBB\xBF*start\n[r]", "1@1 start | 2@2 r"},
    {"\xEF\xBB\xBF", ""},
};

TEST(CScriptParser, ParsesTheTableOfScripts) {
    for (const Case& c : kCases) {
        std::string expected = Expand(c.blocks);
        EXPECT_EQ(ParseToDump(c.text), expected) << "script: " << c.text;
    }
}

// A parser that records every event, to check the order of line heads, line ends and blank lines.
class Recorder : public kestrin::CScriptParser {
public:
    std::vector<std::string> events;

protected:
    void OnLineHead(const char*) override { events.push_back("head@" + std::to_string(GetLine())); }
    bool OnText(std::string& t) override {
        events.push_back("text:" + t);
        return false;
    }
    void OnLineEnd(const char* p, size_t offset) override {
        events.push_back("end@" + std::to_string(GetLine()) + "/" + std::to_string(offset) + (*p == '\n' ? "" : "?"));
    }
    bool OnLabel(std::string& l) override {
        events.push_back("label:" + l);
        return false;
    }
    bool OnTag(std::string& n, AttributeList& a) override {
        events.push_back("tag:" + n + "/" + std::to_string(a.size()));
        return false;
    }
    bool OnLineTag(std::string& n, std::vector<std::string>& args) override {
        std::string s = "linetag:" + n;
        for (auto& a : args) s += "<" + a + ">";
        events.push_back(s);
        return false;
    }
    void OnError(const std::string&) override { events.push_back("error"); }
    void OnBlankLine() override { events.push_back("blank@" + std::to_string(GetLine())); }
};

std::string Events(const std::string& text, bool lineTags = true, char prefix = 0) {
    Recorder r;
    r.SetLineTag(lineTags, prefix);
    r.Parse(text.c_str());
    std::string out;
    for (auto& e : r.events) out += (out.empty() ? "" : " ") + e;
    EXPECT_EQ(r.GetLine(), 0);
    return out;
}

TEST(CScriptParser, RaisesLineEventsInOrder) {
    EXPECT_EQ(Events("\x82\xA0\n\n  [r]\n"), "head@1 text:\x82\xA0 end@1/2 blank@2 tag:r/0");
    EXPECT_EQ(Events("\n"), "blank@1");
    EXPECT_EQ(Events("\\x"), "head@1 text:x");
    // Line tags: blanks after a comma are skipped, blanks before it kept; a blank before the
    // line end gives one empty argument, none without it.
    EXPECT_EQ(Events("open a , b,\n"), "linetag:open<a ><b><>");
    EXPECT_EQ(Events("open \n"), "linetag:open<>");
    EXPECT_EQ(Events("open\n"), "linetag:open");
    EXPECT_EQ(Events("open a\\,b,c"), "linetag:open<a,b><c>");
    EXPECT_EQ(Events("open a,"), "linetag:open<a>");
    EXPECT_EQ(Events("  open x\n"), "linetag:open<x>");
    // Line tags off, or with a prefix.
    EXPECT_EQ(Events("open a\n", false), "head@1 text:open a end@1/6");
    EXPECT_EQ(Events("#open a\nopen\n#\n#", true, '#'), "linetag:open<a> head@2 text:open end@2/12");
    EXPECT_EQ(Events("*lbl"), "label:lbl");
    EXPECT_EQ(Events("[r]\n\n"), "tag:r/0 blank@2");
}

TEST(CScriptParser, NeverReadsPastTheEndOfTheText) {
    // Each text ends in the middle of something. Each is parsed from a heap block of exactly
    // its size and terminator, so that ASan sees a read past the end.
    const char* texts[] = {"\x82",   "x\x82",    "[a \x82",    "\\",        "x\\",       "[a b=\\",  "[a b=\"\\",
                           "/*\x82", ";\x82",    "*\x82",      "open \x82", "[lua]\x82", "open a\\", "\xE3\x81",
                           "\xEF",   "\xEF\xBB", "[lua]x[/lu", "open a,",   "[a b=\"x"};
    for (const char* t : texts) {
        const size_t size = std::strlen(t) + 1;
        for (int encoding = 0; encoding < 3; ++encoding) {
            std::unique_ptr<char[]> block(new char[size]);
            std::memcpy(block.get(), t, size);
            kestrin::COruParser parser(nullptr);
            parser.SetEncoding(encoding);
            parser.Parse(block.get());
            Recorder events;
            events.SetEncoding(encoding);
            events.Parse(block.get());
        }
    }
}

TEST(CScriptParser, CountsLinesWhereverLineEndsAre) {
    EXPECT_EQ(ParseToDump("/*\n\n*/[a]\n;x\n[b c=\"\n\"]\n*l\n\x82\xA0\n[lua]\n\n[/lua]"),
              "2@3 a | 2@6 b c=\n | 1@7 l | 0@8 \x82\xA0 | 2@11 lua script=\n\n");
}

}  // namespace

namespace {

TEST(CScriptParser, TrailBytesFollowTheScriptEncoding) {
    // 8E 5C: one character in Shift_JIS and EUC-JP; in UTF-8 a stray byte and a backslash.
    EXPECT_EQ(ParseToDump("\x8E\x5C[r]", nullptr, 0), "0@1 \x8E\x5C | 2@1 r");
    EXPECT_EQ(ParseToDump("\x8E\x5C[r]", nullptr, 1), "0@1 \x8E\x5C | 2@1 r");
    EXPECT_EQ(ParseToDump("\x8E\x5C[r]", nullptr, 2), "0@1 \x8E[r]");
    // A4 40: a half-width katakana and "@" in Shift_JIS, one character in EUC-JP.
    EXPECT_EQ(ParseToDump("\xA4\x40@", nullptr, 0), "0@1 \xA4 | 2@1 @ | 2@1 @");
    EXPECT_EQ(ParseToDump("\xA4\x40@", nullptr, 1), "0@1 \xA4\x40 | 2@1 @");
    // A UTF-8 lead byte takes its trail bytes whole: E3 80 5B is no "[".
    EXPECT_EQ(ParseToDump("\xE3\x80\x5B\n", nullptr, 2), "0@1 \xE3\x80\x5B");
}

}  // namespace
