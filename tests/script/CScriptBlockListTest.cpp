#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CORE/CIni.h"
#include "SCRIPT/COruParser.h"
#include "SCRIPT/CScriptBlockList.h"
#include "ScriptTestSupport.h"

using kestrin::COruParser;
using kestrin::CScriptBlock;
using kestrin::CScriptBlockList;
using kestrin::ScriptText;

namespace {

// Parses a copy of text that is gone, with its parser, before the blocks are read.
CScriptBlockList ParseDetached(const std::string& text) {
    auto copy = std::make_unique<std::string>(text);
    auto parser = std::make_unique<COruParser>(nullptr);
    parser->Parse(copy->c_str());
    CScriptBlockList blocks = parser->TakeBlocks();
    EXPECT_TRUE(parser->GetBlocks().empty());
    parser.reset();
    copy->assign(copy->size(), '#');
    return blocks;
}

// The in-place view of every block agrees with the block it copies out to.
void ExpectViewsMatchCopies(const CScriptBlockList& blocks) {
    for (size_t i = 0; i < blocks.size(); ++i) {
        const CScriptBlockList::Ref ref = blocks[i];
        const CScriptBlock block = ref.ToBlock();
        EXPECT_EQ(ref.GetKind(), block.GetKind());
        EXPECT_EQ(ref.GetLine(), block.GetLine());
        EXPECT_EQ(ref.GetName(), block.GetName());
        ASSERT_EQ(ref.GetAttributeCount(), block.GetAttributes().size());
        size_t n = 0;
        for (const auto& attribute : block.GetAttributes()) {
            EXPECT_EQ(ref.GetAttributeName(n), attribute.first);
            EXPECT_EQ(ref.GetAttributeValue(n), attribute.second);
            EXPECT_TRUE(ref.HasAttribute(attribute.first));
            EXPECT_EQ(ref.GetAttribute(attribute.first), attribute.second);
            ++n;
        }
        EXPECT_FALSE(ref.HasAttribute("absent"));
        EXPECT_EQ(ref.GetAttribute("absent"), "");
    }
}

TEST(CScriptBlockList, BlocksOutliveTheirParserAndTheTextTheyCameFrom) {
    struct Case {
        const char* text;
        const char* blocks;
    } const cases[] = {
        {"", ""},
        {"; only a comment\n\n", ""},
        {"[t z=1 a=2 m=3]", "2@1 t a=2 m=3 z=1"},
        {"[t a=1 a=2 b a=\"3\"]", "2@1 t a=3 b="},
        {"[t v=\"x\\\"y\" w=a\\]b]", "2@1 t v=x\"y w=a]b"},
        {"[&linetag allow=0]Hello\r\nworld\r\n", "0@1 Hello | 0@2 world"},
        {"[&linetag allow=0]a\rb\n*lab\rel\r\n[r]", "0@1 ab | 1@2 label | 2@3 r"},
        {"[&linetag allow=0]line \\\r\nnext\n", "0@2 line \nnext"},
        {"[lua]x = 1 [b] [/lua]@", "2@1 lua script=x = 1 [b]  | 2@1 @"},
        {"[&linetag allow=0][&autoinsert target=lineend command=\"[l]\"]\nA\nB", "0@2 A | 2@2 l | 0@3 B"},
        {"[t a=1][t a=\"1\"]", "2@1 t a=1 | 2@1 t a=1"},
    };
    for (const Case& c : cases) {
        const CScriptBlockList blocks = ParseDetached(c.text);
        EXPECT_EQ(script_test::Dump(blocks), c.blocks) << c.text;
        ExpectViewsMatchCopies(blocks);
    }
}

TEST(CScriptBlockList, CopiedBlocksAreValuesOfTheirOwn) {
    CScriptBlockList blocks = ParseDetached("[t b=2 a=1]");
    CScriptBlock copy = *blocks[0];
    copy.SetAttribute("a", "changed");
    copy.SetAttribute("c", "new");
    EXPECT_EQ(copy.ToCommaText(), "t,a,changed,b,2,c,new");
    EXPECT_EQ(blocks[0].GetAttribute("a"), "1");
    EXPECT_EQ(blocks[0].GetAttributeCount(), 2u);

    // A chunk that has run gives its text up; the block keeps its place and its other attributes.
    blocks.ClearAttributeValue(0, "a");
    EXPECT_TRUE(blocks[0].HasAttribute("a"));
    EXPECT_EQ(blocks[0].GetAttribute("a"), "");
    EXPECT_EQ(blocks[0].GetAttribute("b"), "2");

    // Moved lists keep their blocks; the one moved from is empty.
    CScriptBlockList moved = std::move(blocks);
    EXPECT_TRUE(blocks.empty());
    EXPECT_EQ(script_test::Dump(moved), "2@1 t a= b=2");
}

TEST(CScriptBlockList, LongTextsAndNamesKeepTheirSize) {
    const std::string longValue(70000, 'v');
    const std::string longName(300, 'n');
    const std::string longText(70000, 't');
    const std::string escaped = "x\\" + longValue;  // unescaped: a copy, not a slice of the text
    const CScriptBlockList blocks = ParseDetached("[t " + longName + "=" + longValue + " e=\"" + escaped + "\" s=1]\n" +
                                                  longText + "\n[" + longName + "]");
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].GetAttribute(longName), longValue);
    EXPECT_EQ(blocks[0].GetAttribute("e"), "x" + longValue);
    EXPECT_EQ(blocks[0].GetAttribute("s"), "1");
    EXPECT_EQ(blocks[1].GetName(), longText);
    EXPECT_EQ(blocks[2].GetName(), longName);
    ExpectViewsMatchCopies(blocks);
}

TEST(CScriptBlockList, ManyDistinctAttributeNames) {
    // More names than an attribute's own field numbers.
    std::string text;
    const int kNames = 70000;
    for (int i = 0; i < kNames; ++i) text += "[t n" + std::to_string(i) + "=" + std::to_string(i) + " z=x]\n";
    const CScriptBlockList blocks = ParseDetached(text);
    ASSERT_EQ(blocks.size(), static_cast<size_t>(kNames));
    for (int i : {0, 1, 65534, 65535, 65536, kNames - 1}) {
        EXPECT_EQ(blocks[i].GetAttribute("n" + std::to_string(i)), std::to_string(i)) << i;
        EXPECT_EQ(blocks[i].GetAttribute("z"), "x") << i;
        EXPECT_EQ(blocks[i].GetAttributeName(0), "n" + std::to_string(i)) << i;
    }
}

TEST(CScriptBlockList, ScriptsTakenOverAsTheyAreRead) {
    ScriptText text = {'*', 'a', '\n', '\\', 'h', 'i'};  // no terminating zero: one is added
    COruParser parser(nullptr);
    parser.ParseScript(text);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(script_test::Dump(parser.GetBlocks()), "1@1 a | 0@2 hi");

    // A second script parsed into the same list is copied block by block.
    parser.Parse("[t v=1]");
    const CScriptBlockList blocks = parser.TakeBlocks();
    EXPECT_EQ(script_test::Dump(blocks), "1@1 a | 0@2 hi | 2@1 t v=1");
    ExpectViewsMatchCopies(blocks);
}

TEST(CScriptBlockList, LabelsFoundByName) {
    // Enough labels that probes pass over other labels' slots.
    std::string text = "*twice\n";
    for (int i = 0; i < 5000; ++i) text += "*l" + std::to_string(i) + "\nx\n";
    text += "*twice\n";
    COruParser parser(nullptr);
    parser.Parse(text.c_str());
    CScriptBlockList blocks = parser.TakeBlocks();
    for (int i : {0, 1, 2500, 4999}) {
        const int64_t at = blocks.FindLabel("l" + std::to_string(i));
        ASSERT_GE(at, 0) << i;
        EXPECT_EQ(blocks[static_cast<size_t>(at)].GetKind(), CScriptBlock::kLabel);
        EXPECT_EQ(blocks[static_cast<size_t>(at)].GetName(), "l" + std::to_string(i));
    }
    // A name given twice is its later label.
    EXPECT_EQ(blocks.FindLabel("twice"), static_cast<int64_t>(blocks.size()) - 1);
    for (const char* missing : {"", "l", "l5000", "twic", "twice2"})
        EXPECT_EQ(blocks.FindLabel(missing), -1) << missing;

    // A cleared list has no labels; labels added after a search are found.
    blocks.clear();
    EXPECT_EQ(blocks.FindLabel("l0"), -1);
    blocks.AddBlock(CScriptBlock::kLabel, 1, blocks.AddText("a"), 1);
    EXPECT_EQ(blocks.FindLabel("b"), -1);
    blocks.AddBlock(CScriptBlock::kLabel, 2, blocks.AddText("b"), 1);
    EXPECT_EQ(blocks.FindLabel("b"), 1);
    EXPECT_EQ(blocks.FindLabel("a"), 0);
}

}  // namespace
