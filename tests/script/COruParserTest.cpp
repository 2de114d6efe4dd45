#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "CORE/FileFunctions.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruParser.h"
#include "SCRIPT/ParserMessages.h"
#include "ScriptTestSupport.h"
#include "support/TestSupport.h"

using kestrin::GetParserMessage;
using script_test::MakeIni;
using script_test::ParseToDump;

namespace {

std::string Msg(kestrin::ParserMessageId id) { return GetParserMessage(id, 0); }

std::string Required(const std::string& tag, const std::string& attribute) {
    return Msg(kestrin::kRequiredBefore) + tag + Msg(kestrin::kRequiredMiddle) + attribute +
           Msg(kestrin::kRequiredAfter);
}

TEST(COruParser, MessagesAreInTheScriptEncoding) {
    EXPECT_EQ(GetParserMessage(kestrin::kBadTag, 2), "不正なタグです。");
    EXPECT_EQ(GetParserMessage(kestrin::kBadTag, 0),
              "\x95s\x90\xB3\x82\xC8\x83^\x83O\x82\xC5\x82\xB7\x81"
              "B");
    EXPECT_EQ(GetParserMessage(kestrin::kRequiredBefore, 2) + "lyc" + GetParserMessage(kestrin::kRequiredMiddle, 2) +
                  "file" + GetParserMessage(kestrin::kRequiredAfter, 2),
              "[ERROR] タグ lyc の必須パラメータ file が見つかりません。このタグは無視されます。");
}

TEST(COruParser, RejectsTagsWithoutTheirRequiredAttributes) {
    EXPECT_EQ(ParseToDump("[lyc id=a]"), "3@1 " + Required("lyc", "file"));
    EXPECT_EQ(ParseToDump("[lyc file=x]"), "3@1 " + Required("lyc", "id"));  // only the first is reported
    EXPECT_EQ(ParseToDump("[lyc id=a file=]"), "3@1 " + kestrin::CScriptParser::BadTagMessage(0));
    EXPECT_EQ(ParseToDump("[lyc id=a file=\"\"]"), "2@1 lyc file= id=a");
    EXPECT_EQ(ParseToDump("[slider x=1 y=2 background_path=a controller_path=b var_min=0 var_max=9 var_name=v]"),
              "3@1 " + Required("slider", "id"));
    EXPECT_EQ(ParseToDump("[&linetag]"), "3@1 " + Required("&linetag", "allow"));
    kestrin::COruParser parser(nullptr);
    EXPECT_EQ(parser.GetRequiredParameters().size(), 47u);
}

// The parser's checks come from the tag table, the preprocessor's rows included: a tag with
// none of its attributes is reported for the first one listed, and nothing dispatches the
// rows without a handler.
TEST(COruParser, RequiredAttributesComeFromTheTagTable) {
    for (const auto& row : kestrin::CMainScript::Tags()) {
        if (!row.handler) EXPECT_EQ(kestrin::CMainScript::FindTag(row.name), nullptr) << row.name;
        if (!row.required[0]) continue;
        EXPECT_EQ(ParseToDump(std::string("[") + row.name + "]"), "3@1 " + Required(row.name, row.required[0]))
            << row.name;
    }
}

TEST(COruParser, MapsLineTagArgumentsThroughTagIni) {
    auto ini = MakeIni("[chara]\n0=id\n1=file\n[one]\n0=x\n[dup]\n0=a\n1=a\n");
    EXPECT_EQ(ParseToDump("chara c1,a.png\n", ini), "2@1 chara file=a.png id=c1");
    EXPECT_EQ(ParseToDump("one p,q\n", ini), "3@1 " + Msg(kestrin::kLineTagUnmapped));
    EXPECT_EQ(ParseToDump("nosuch p\n", ini), "3@1 " + Msg(kestrin::kLineTagUnmapped));
    EXPECT_EQ(ParseToDump("dup p,q\n", ini), "2@1 dup a=q");
    EXPECT_EQ(ParseToDump("chara c1,a.png\n", nullptr), "3@1 " + Msg(kestrin::kNoTagIni));
    // Without arguments a line tag needs no definitions; required attributes still apply.
    EXPECT_EQ(ParseToDump("bare\nlyc\n", nullptr), "2@1 bare | 3@2 " + Required("lyc", "id"));
    EXPECT_EQ(ParseToDump("lyc i\n", MakeIni("[lyc]\n0=id\n")), "3@1 " + Required("lyc", "file"));
}

TEST(COruParser, LineTagPreprocessorSwitchesLineTags) {
    auto ini = MakeIni("[open]\n0=a\n");
    EXPECT_EQ(ParseToDump("[&linetag allow=1 prefix=#]\nopen x\n#open y\n", ini), "0@2 open x | 2@3 open a=y");
    EXPECT_EQ(ParseToDump("[&linetag allow=0]\nopen x\n#open y\n", ini), "0@2 open x | 0@3 #open y");
    EXPECT_EQ(ParseToDump("[&linetag allow=0][&linetag allow=2]\nopen x\n", ini), "2@2 open a=x");
    EXPECT_EQ(ParseToDump("[&linetag allow=abc]\nopen\n", ini), "0@2 open");
    EXPECT_EQ(ParseToDump("[&unknown]\n[&scpsupport x=1]\n[&scpsupport mode=zap]"),
              "3@1 " + Msg(kestrin::kUnknownPreprocessor) + " | 3@2 " + Msg(kestrin::kScpSupportMode) + " | 3@3 " +
                  Msg(kestrin::kScpSupportMode));
    EXPECT_EQ(ParseToDump("[&autoinsert target=elsewhere command=\"[r]\"]\n\x82\xA0\n"), "0@2 \x82\xA0");
}

TEST(COruParser, ScpSupportRunsCommandsByTheLastCharacter) {
    // "。" in Shift_JIS is 81 42; in UTF-8 E3 80 82.
    const std::string sjis =
        "[&scpsupport mode=add char=\x81\x42 command=\"[l]\"]\n"
        "[&scpsupport mode=addsp command=\"[g]\"]\n"
        "\x82\xA0\x81\x42\n"
        "\x82\xA0x\n"
        "[&scpsupport]\n"
        "\x82\xA0\x81\x42\n";
    EXPECT_EQ(ParseToDump(sjis), "0@3 \x82\xA0\x81\x42 | 2@3 l | 0@4 \x82\xA0x | 2@4 g | 0@6 \x82\xA0\x81\x42");
    const std::string utf8 =
        "[&scpsupport mode=add char=。 command=\"[l][p]\"]\n"
        "あ。\n"
        "[&scpsupport mode=init]\n"
        "あ。\n";
    EXPECT_EQ(ParseToDump(utf8, nullptr, 2), "0@2 あ。 | 2@2 l | 2@2 p | 0@4 あ。");
    // A byte that ends a multibyte character does not match a single-byte key.
    EXPECT_EQ(ParseToDump("[&scpsupport mode=add char=B command=\"[l]\"]\n\x82\x42\n\\B\n"),
              "0@2 \x82\x42 | 0@3 B | 2@3 l");
}

TEST(COruParser, AutoInsertPlacesCommands) {
    EXPECT_EQ(ParseToDump("[&autoinsert target=lineend command=\"[r]\"]\n\x82\xA0\n[x]\n\x82\xA2[y]\n"),
              "0@2 \x82\xA0 | 2@2 r | 2@3 x | 0@4 \x82\xA2 | 2@4 y");
    EXPECT_EQ(ParseToDump("[&autoinsert target=linehead command=\"[h]\"]\n\x82\xA0@\x82\xA2\n[t]\n"),
              "2@2 h | 0@2 \x82\xA0 | 2@2 @ | 0@2 \x82\xA2 | 2@3 t");
    EXPECT_EQ(ParseToDump("[&autoinsert target=blankline command=\"[b]\"]\n\n\n[t]\n"), "2@2 b | 2@3 b | 2@4 t");
    // Order at a line end: the text, the scpsupport commands, then the autoinsert command.
    EXPECT_EQ(ParseToDump("[&autoinsert target=lineend command=\"[r]\"][&scpsupport mode=add command=\"[s]\"]\n"
                          "\x82\xA0\n"),
              "0@2 \x82\xA0 | 2@2 s | 2@2 r");
    // An absent command switches the insertion off.
    EXPECT_EQ(ParseToDump("[&autoinsert target=lineend command=\"[r]\"][&autoinsert target=lineend]\n\x82\xA0\n"),
              "0@2 \x82\xA0");
}

TEST(COruParser, InsertedCommandsCannotInsertThemselves) {
    // Each of these commands raises its own event again; it is parsed once per place.
    EXPECT_EQ(ParseToDump("[&autoinsert target=linehead command=\"\x82\xA0\"]\n\x82\xA2\n"),
              "0@2 \x82\xA0 | 0@2 \x82\xA2");
    // (The next tags hold a line end in their quoted command, so the text is on line 3.)
    EXPECT_EQ(ParseToDump("[&autoinsert target=lineend command=\"\x82\xA0\n\"]\n\x82\xA2\n"),
              "0@3 \x82\xA2 | 0@3 \x82\xA0");
    EXPECT_EQ(ParseToDump("[&scpsupport mode=add command=\"\x82\xA0\n\"]\n\x82\xA2\n"), "0@3 \x82\xA2 | 0@3 \x82\xA0");
    EXPECT_EQ(ParseToDump("[&autoinsert target=blankline command=\"\n\n[b]\"]\n\n"), "2@4 b");
    // A command that changes its own setting while it runs.
    EXPECT_EQ(
        ParseToDump("[&autoinsert target=lineend command=\"[&autoinsert target=lineend command=\\\"[z]\\\"][y]\"]\n"
                    "\x82\xA0\n\x82\xA2\n"),
        "0@2 \x82\xA0 | 2@2 y | 0@3 \x82\xA2 | 2@3 z");
    // Blocks of a command carry the line where it is inserted; the counter goes on unchanged.
    EXPECT_EQ(ParseToDump("[&autoinsert target=lineend command=\"\n\n[q]\"]\n\x82\xA0\n[t]\n"),
              "0@4 \x82\xA0 | 2@4 q | 2@5 t");
}

TEST(COruParser, LuaBodyBecomesTheScriptAttribute) {
    EXPECT_EQ(ParseToDump("[lua]\nfunction f() return a[1] end\n[/lua]\n"),
              "2@3 lua script=\nfunction f() return a[1] end\n");
    kestrin::COruParser parser(nullptr);
    parser.Parse("[r]x");
    auto blocks = parser.TakeBlocks();
    EXPECT_EQ(blocks.size(), 2u);
    EXPECT_TRUE(parser.GetBlocks().empty());
}

// A big script is parsed a slice at a time as the game reads it: whatever the slices, the
// blocks are those of one parse of the whole text.
TEST(COruParser, ParsingInSlicesGivesTheBlocksOfAWholeParse) {
    const auto ini = MakeIni("[chara]\n0=id\n1=file\n");
    const char* const texts[] = {
        "\xEF\xBB\xBF*start\n\x82\xA0[r]\x82\xA2@\n\n[lyc id=a\nfile=b.png]\n*end",
        "[&autoinsert target=lineend command=\"[r]\"]\n\x82\xA0\n\n[&autoinsert target=blankline "
        "command=\"[b]\"]\n\n\x82\xA2\n[&scpsupport mode=add char=B command=\"[l]\"]\n\x82\x42\n",
        "[&linetag allow=1 prefix=#]\n#chara c1,a.png\nplain\r\n/* a\ncomment */[x]\n; line\n// too\n[y]\n",
        "[lua]\nfunction f() return a[1] end\n\n[/lua]\ntext\\\nwith escapes\n[var name=v data=\"q\nr\"]\n",
        "[broken\n\n[lyc id=a]\n[ok]\n[unterminated",
    };
    for (const char* text : texts) {
        const std::string whole = script_test::ParseToDump(text, ini);
        for (const size_t slice : {size_t(1), size_t(5), size_t(64)}) {
            auto parser = std::make_shared<kestrin::COruParser>(ini);
            kestrin::ScriptText source(text, text + std::strlen(text));
            kestrin::CScriptBlockList blocks = kestrin::COruParser::ParseScriptInSlices(parser, source);
            EXPECT_TRUE(source.empty());
            size_t slices = 1;
            while (blocks.ParseMore(slice)) ++slices;
            EXPECT_EQ(script_test::Dump(blocks), whole) << text << " in slices of " << slice;
            if (slice == 1) {
                EXPECT_GT(slices, 2u) << text;
            }
        }
    }
}

// Reading a list that is still being parsed parses as far as it needs: a block past the end
// parses on to it, its size and its labels parse it whole.
TEST(COruParser, ReadingAListInSlicesParsesAsFarAsItNeeds) {
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "*l" + std::to_string(i) + "\n[var name=v data=" + std::to_string(i) + "]\n";
    text += "*l7\n";  // of a label given twice, the later one counts
    const auto slices = [&text] {
        kestrin::ScriptText source(text.begin(), text.end());
        return kestrin::COruParser::ParseScriptInSlices(std::make_shared<kestrin::COruParser>(nullptr), source);
    };
    kestrin::CScriptBlockList blocks = slices();
    EXPECT_TRUE(blocks.IsPartial());
    EXPECT_FALSE(blocks.empty());
    ASSERT_TRUE(blocks.HasBlock(3));
    EXPECT_EQ(blocks[3].GetAttribute("data"), "1");
    EXPECT_TRUE(blocks.IsPartial());
    kestrin::CScriptBlockList moved = std::move(blocks);
    EXPECT_EQ(moved[9000].GetName(), "l4500");
    EXPECT_TRUE(moved.IsPartial());
    EXPECT_EQ(moved.size(), 40001u);
    EXPECT_FALSE(moved.IsPartial());
    EXPECT_FALSE(moved.HasBlock(40001));

    kestrin::CScriptBlockList labels = slices();
    EXPECT_EQ(labels.FindLabel("l7"), 40000);
    EXPECT_FALSE(labels.IsPartial());
    // Dropped while partial: nothing is left behind.
    kestrin::CScriptBlockList dropped = slices();
    dropped.clear();
    EXPECT_TRUE(dropped.empty());
}

}  // namespace

namespace {

TEST(COruParser, ReadsTagIniThroughTheFileLayer) {
    const std::string cwd = std::filesystem::current_path().string();
    kestrin_test::TempDir dir;
    kestrin::ChangeDirectory(dir.Path());
    {
        kestrin::COruParser parser;
        EXPECT_EQ(parser.GetTagDefinitions(), nullptr);
    }
    dir.Write("tag.ini", "[chara]\r\n0=id\r\n1=file\r\n");
    kestrin::COruParser parser;
    parser.Parse("chara c1,a.png\n");
    kestrin::ChangeDirectory(cwd);
    EXPECT_EQ(script_test::Dump(parser.GetBlocks()), "2@1 chara file=a.png id=c1");
}

}  // namespace
