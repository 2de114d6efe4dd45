#include <gtest/gtest.h>

#include <string>

#include "CORE/CSerializer.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CScriptBlock.h"

using kestrin::CBinaryStream;
using kestrin::COruVariables;
using kestrin::CScriptBlock;
using kestrin::CSerializer;

namespace {

std::string Image(kestrin::ISerializable& object) {
    CSerializer s;
    object.Save(&s);
    CBinaryStream::CMemoryInfo* m = s.GetMemory();
    return m ? std::string(reinterpret_cast<char*>(m->data), static_cast<size_t>(m->size)) : std::string();
}

void LoadImage(kestrin::ISerializable& object, const std::string& image) {
    CSerializer s;
    s.Attach(image.data(), static_cast<unsigned>(image.size()));
    object.Load(&s);
}

TEST(CScriptBlock, LacksAttributeIsTrueOnlyForAMissingNameAndAssignCopiesEverything) {
    CScriptBlock block(CScriptBlock::kTag, 3, "lyc");
    block.SetAttribute("mask", "");
    block.SetAttribute("id", "a");
    std::string value = "untouched";
    EXPECT_TRUE(block.LacksAttribute("file", value));
    EXPECT_EQ(value, "untouched");
    EXPECT_FALSE(block.LacksAttribute("mask", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(block.LacksAttribute("id", value));
    EXPECT_EQ(value, "a");
    EXPECT_EQ(block.GetAttributes().size(), 2u);

    CScriptBlock copy(CScriptBlock::kText, 9, "old");
    copy.SetAttribute("stale", "1");
    copy.Assign(block);
    EXPECT_EQ(copy, block);
}

TEST(CScriptBlock, CommaTextAndDescriptionListAttributesByName) {
    CScriptBlock tag(CScriptBlock::kTag, 12, "font");
    tag.SetAttribute("size", "24");
    tag.SetAttribute("color", "255");
    EXPECT_EQ(tag.ToCommaText(), "font,color,255,size,24");
    EXPECT_EQ(CScriptBlock(CScriptBlock::kTag, 0, "r").ToCommaText(), "r");
    EXPECT_EQ(CScriptBlock(CScriptBlock::kText, 0, "Hello, world").ToCommaText(), "\\\\,Hello\\, world");
    EXPECT_EQ(CScriptBlock(CScriptBlock::kLabel, 0, "start").ToCommaText(), "*,start");
    EXPECT_EQ(CScriptBlock(CScriptBlock::kMessage, 0, "m").ToCommaText(), "`,m");
    // A comma after a Shift_JIS lead byte is its trail byte and stays as it is (even in UTF-8 text).
    EXPECT_EQ(CScriptBlock(CScriptBlock::kTag, 0, "a\x82,b,c").ToCommaText(), "a\x82,b\\,c");
    CScriptBlock v(CScriptBlock::kTag, 1, "var");
    v.SetAttribute("v", "1,2");
    EXPECT_EQ(v.ToCommaText(), "var,v,1\\,2");

    CScriptBlock key(CScriptBlock::kTag, 12, "keyconfig");
    key.SetAttribute("key", "1");
    EXPECT_EQ(key.Describe("main.iet", "M"), "main.iet(12): [keyconfig key=\"1\"] M");
    CScriptBlock d;
    EXPECT_EQ(d.GetKind(), CScriptBlock::kTag);
    EXPECT_EQ(d.GetLine(), 0);
    EXPECT_EQ(d.Describe("f", "x"), "f(0): [] x");
}

TEST(CScriptBlock, SurvivesTheArchive) {
    CScriptBlock b(CScriptBlock::kTag, 7, "tag\x82\xA0");
    b.SetAttribute("b", "x,\"y\"");
    b.SetAttribute("a", "\xE3\x81\x82");
    b.SetAttribute("c", "");
    CScriptBlock loaded(CScriptBlock::kText, 99, "old");
    loaded.SetAttribute("stale", "1");
    LoadImage(loaded, Image(b));
    EXPECT_EQ(loaded, b);
    // Members missing from an image leave their fields.
    CSerializer partial;
    partial.SaveString("renamed", 3);
    CBinaryStream::CMemoryInfo* m = partial.GetMemory();
    CScriptBlock kept(CScriptBlock::kLabel, 5, "x");
    kept.SetAttribute("k", "v");
    LoadImage(kept, std::string(reinterpret_cast<char*>(m->data), static_cast<size_t>(m->size)));
    EXPECT_EQ(kept.GetKind(), CScriptBlock::kLabel);
    EXPECT_EQ(kept.GetLine(), 5);
    EXPECT_EQ(kept.GetName(), "renamed");
    EXPECT_EQ(kept.GetAttribute("k"), "v");
}

TEST(COruVariables, GameSavesKeepPlainVariablesAsStringsAndTheScopes) {
    COruVariables vars;
    vars.AddQuoteCharacter('\'');
    vars.SetInt("n", 5);
    vars.SetString("s", "5");
    vars.SetInt("t.tmp", 1);
    vars.SetInt("g.glob", 2);
    vars.SetInt("s.sys", 3);
    vars.PushLocalScope()->SetString("arg", "outer");
    vars.PushLocalScope()->SetString("arg", "inner");

    COruVariables loaded;
    loaded.SetString("gone", "x");
    LoadImage(loaded, Image(vars));
    EXPECT_TRUE(loaded.IsQuoteCharacter('\''));
    EXPECT_EQ(loaded.GetString("n"), "5");
    EXPECT_TRUE(loaded.CVariables::Find("n")->IsString());
    EXPECT_EQ(loaded.CVariables::Find("gone"), nullptr);
    EXPECT_EQ(loaded.CVariables::Find("t.tmp"), nullptr);
    EXPECT_EQ(loaded.CVariables::Find("g.glob"), nullptr);
    EXPECT_EQ(loaded.CVariables::Find("s.sys"), nullptr);
    ASSERT_EQ(loaded.GetLocalScopeCount(), 2u);
    EXPECT_EQ(loaded.GetString("arg"), "inner");
    loaded.PopLocalScope();
    EXPECT_EQ(loaded.GetString("arg"), "outer");

    // The persistent name spaces go through their own members.
    CSerializer global;
    vars.SaveWithPrefix(&global, "g.", 1);
    vars.SaveWithPrefix(&global, "s.", 2);
    CBinaryStream::CMemoryInfo* m = global.GetMemory();
    std::string image(reinterpret_cast<char*>(m->data), static_cast<size_t>(m->size));
    CSerializer reader;
    reader.Attach(image.data(), static_cast<unsigned>(image.size()));
    loaded.LoadWithPrefix(&reader, 1);
    EXPECT_EQ(loaded.GetString("g.glob"), "2");
    EXPECT_EQ(loaded.CVariables::Find("s.sys"), nullptr);
    EXPECT_EQ(loaded.GetString("n"), "5");
}

}  // namespace

namespace {

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

TEST(COruVariables, DeeplyNestedScopesInASaveAreNotFollowed) {
    // Each level: an index of one member (key 3 at offset 12), a list of one scope, and the
    // scope's own image. Saves never hold scopes inside scopes.
    const uint32_t depth = 200000;
    std::string image;
    image.reserve(depth * 20);
    for (uint32_t k = depth; k >= 1; --k) image += Le32(1) + Le32(3) + Le32(12) + Le32(1) + Le32(20 * (k - 1));
    COruVariables vars;
    LoadImage(vars, image);
    ASSERT_EQ(vars.GetLocalScopeCount(), 1u);
    EXPECT_EQ(vars.GetLocalScope()->GetLocalScopeCount(), 0u);
    // The store still loads normally afterwards.
    COruVariables saved;
    saved.PushLocalScope()->SetString("arg", "1");
    COruVariables again;
    LoadImage(again, Image(saved));
    EXPECT_EQ(again.GetString("arg"), "1");
}

}  // namespace
