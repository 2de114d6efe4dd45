// The authoring guide (docs/authoring.md) held to the engine: its tag reference names every tag
// the interpreter accepts (the tag table, whose rows also cover the tags the parser runs), and
// nothing else, with the required attributes the parser checks; its table of messages holds
// every message of the parser and of the tags, each byte for byte as the engine writes it;
// the game it walks through is quoted whole from docs/authoring-game/, and that game runs
// through kestrin-harness to each of its endings without a script error.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruParser.h"
#include "SCRIPT/ParserMessages.h"
#include "SCRIPT/tags/TagMessages.h"
#include "ScriptTestSupport.h"
#include "support/TestSupport.h"

namespace {

using kestrin::CMainScript;
using kestrin::COruParser;

const std::string kDocs = std::string(KESTRIN_SOURCE_DIR) + "/docs/";

// The engine's side, each through one accessor: every tag of the table, and the required
// attributes of each tag in the order they are checked.
std::set<std::string> EngineTags() {
    std::set<std::string> names;
    for (const auto& row : CMainScript::Tags()) names.insert(row.name);
    return names;
}
std::map<std::string, std::vector<std::string>> RequiredAttributes() {
    COruParser parser(nullptr);
    const auto& required = parser.GetRequiredParameters();
    return {required.begin(), required.end()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// The names in `backticks` of a table cell, in order.
std::vector<std::string> Quoted(const std::string& cell) {
    std::vector<std::string> names;
    for (size_t at = cell.find('`'); at != std::string::npos; at = cell.find('`', at)) {
        const size_t end = cell.find('`', at + 1);
        if (end == std::string::npos) break;
        names.push_back(cell.substr(at + 1, end - at - 1));
        at = end + 1;
    }
    return names;
}

std::vector<std::string> Cells(const std::string& row) {
    std::vector<std::string> cells;
    std::string cell;
    for (size_t i = 1; i < row.size(); ++i) {
        if (row[i] == '|') {
            cells.push_back(cell);
            cell.clear();
        } else {
            cell += row[i];
        }
    }
    return cells;
}

struct SGuideRow {
    std::vector<std::string> tags;
    std::vector<std::string> required;
    std::string line;
};

// The rows of the tables under "## Tag reference" whose first cell names tags.
std::vector<SGuideRow> TagRows(const std::string& guide) {
    std::vector<SGuideRow> rows;
    bool inReference = false;
    for (const auto& line : Lines(guide)) {
        if (line.rfind("## ", 0) == 0) inReference = line == "## Tag reference";
        if (!inReference || line.rfind("| `", 0) != 0) continue;
        const auto cells = Cells(line);
        if (cells.size() < 4) {
            rows.push_back({{}, {}, line});
            continue;
        }
        rows.push_back({Quoted(cells[0]), Quoted(cells[1]), line});
    }
    return rows;
}

// The table is the one list of tags: a row either has a handler or names a preprocessor tag
// the parser runs, so a tag handled anywhere else would be missing from it and the guide.
TEST(AuthoringGuide, EveryTagOfTheTableIsRunByTheInterpreterOrTheParser) {
    const std::string unknown = kestrin::GetParserMessage(kestrin::kUnknownPreprocessor, 0);
    ASSERT_NE(script_test::ParseToDump("[&nosuch]").find(unknown), std::string::npos);
    for (const auto& row : CMainScript::Tags()) {
        const std::string name = row.name;
        if (name[0] == '&') {
            EXPECT_EQ(row.handler, nullptr) << name;
            EXPECT_EQ(script_test::ParseToDump("[" + name + "]").find(unknown), std::string::npos) << name;
        } else {
            EXPECT_NE(row.handler, nullptr) << name << " has no handler";
        }
    }
}

TEST(AuthoringGuide, TagReferenceNamesEveryTagOnceWithTheParsersRequiredAttributes) {
    const std::string guide = kestrin_test::ReadFileBytes(kDocs + "authoring.md");
    ASSERT_FALSE(guide.empty());
    const std::set<std::string> wanted = EngineTags();
    const auto required = RequiredAttributes();

    std::set<std::string> documented;
    for (const SGuideRow& row : TagRows(guide)) {
        ASSERT_FALSE(row.tags.empty()) << "a row without four cells or a tag: " << row.line;
        for (const std::string& tag : row.tags) {
            EXPECT_TRUE(documented.insert(tag).second) << tag << " has two rows";
            EXPECT_TRUE(wanted.count(tag)) << tag << " is documented but is no tag of the engine";
            const auto it = required.find(tag);
            const std::vector<std::string> none;
            EXPECT_EQ(row.required, it == required.end() ? none : it->second) << "required attributes of " << tag;
        }
    }
    for (const std::string& tag : wanted) EXPECT_TRUE(documented.count(tag)) << tag << " has no row";
    for (const auto& entry : required) EXPECT_TRUE(documented.count(entry.first)) << entry.first << " has no row";
}

// The printf formats of the tags' message table by constant name, read from its header so
// that a message added there is missing from the guide until it has a row.
std::map<std::string, std::string> TagMessageFormats(size_t& declared) {
    const std::string header =
        kestrin_test::ReadFileBytes(std::string(KESTRIN_SOURCE_DIR) + "/Classes/SCRIPT/tags/TagMessages.h");
    std::map<std::string, std::string> formats;
    const std::string key = "constexpr char ";
    declared = 0;
    for (size_t at = header.find(key); at != std::string::npos; at = header.find(key, at)) {
        ++declared;
        at += key.size();
        const size_t bracket = header.find("[]", at);
        if (bracket == std::string::npos) break;
        const std::string name = header.substr(at, bracket - at);
        std::string text;
        size_t p = header.find('=', bracket) + 1;
        for (;;) {
            while (p < header.size() && std::isspace(static_cast<unsigned char>(header[p]))) ++p;
            if (p >= header.size() || header[p] != '"') break;
            for (++p; p < header.size() && header[p] != '"'; ++p) {
                if (header[p] == '\\') ++p;
                text += header[p];
            }
            ++p;
        }
        formats[name] = text;
        at = p;
    }
    return formats;
}

// The parser's messages in UTF-8; the three pieces of the missing-attribute message as one.
std::set<std::string> ParserMessages() {
    std::set<std::string> messages;
    for (int id = 0; id < kestrin::kParserMessageCount; ++id) {
        if (id == kestrin::kRequiredBefore || id == kestrin::kRequiredMiddle || id == kestrin::kRequiredAfter) continue;
        messages.insert(kestrin::GetParserMessage(static_cast<kestrin::ParserMessageId>(id), 2));
    }
    messages.insert(kestrin::GetParserMessage(kestrin::kRequiredBefore, 2) + "%s" +
                    kestrin::GetParserMessage(kestrin::kRequiredMiddle, 2) + "%s" +
                    kestrin::GetParserMessage(kestrin::kRequiredAfter, 2));
    return messages;
}

// Every source file of the engine, one after another.
std::string EngineSources() {
    std::string all;
    for (const char* area : {"/Classes", "/Application"}) {
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(std::string(KESTRIN_SOURCE_DIR) + area)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".cpp" || ext == ".h"))
                all += kestrin_test::ReadFileBytes(entry.path().string());
        }
    }
    return all;
}

// The pieces of a printf format between its conversions, as a C string literal writes them.
std::vector<std::string> LiteralPieces(const std::string& format) {
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            i += format.compare(i + 1, 2, "ld") == 0 ? 2 : 1;
            pieces.emplace_back();
        } else if (format[i] == '"' || format[i] == '\\') {
            pieces.back() += '\\';
            pieces.back() += format[i];
        } else {
            pieces.back() += format[i];
        }
    }
    return pieces;
}

// The first cells of the table under "## Messages".
std::vector<std::string> GuideMessages(const std::string& guide) {
    std::vector<std::string> messages;
    bool inMessages = false;
    for (const auto& line : Lines(guide)) {
        if (line.rfind("## ", 0) == 0) inMessages = line == "## Messages";
        if (!inMessages || line.rfind("| `", 0) != 0) continue;
        const auto cells = Cells(line);
        EXPECT_EQ(cells.size(), 3u) << line;
        const size_t end = line.find("` |");
        EXPECT_NE(end, std::string::npos) << line;
        if (end != std::string::npos) messages.push_back(line.substr(3, end - 3));
    }
    return messages;
}

// The guide lists every message of the parser and of the tags exactly as the engine writes it
// (before the arguments are put in); the other messages it lists (saves, Lua, start-up) are
// in the engine's sources word for word between their arguments.
TEST(AuthoringGuide, MessagesTableHoldsEveryParserAndTagMessageAsWritten) {
    const std::vector<std::string> listed = GuideMessages(kestrin_test::ReadFileBytes(kDocs + "authoring.md"));
    ASSERT_FALSE(listed.empty());
    size_t declared = 0;
    const auto formats = TagMessageFormats(declared);
    ASSERT_EQ(formats.size(), declared) << "a message of the tags was not read";
    ASSERT_EQ(formats.count("kPlaceMissing"), 1u);
    ASSERT_EQ(formats.at("kPlaceMissing"), kestrin::tagmsg::kPlaceMissing);
    std::set<std::string> tables = ParserMessages();
    for (const auto& entry : formats) tables.insert(entry.second);

    std::set<std::string> seen;
    const std::string sources = EngineSources();
    for (const std::string& message : listed) {
        EXPECT_TRUE(seen.insert(message).second) << message << " is listed twice";
        if (tables.count(message)) continue;
        for (const std::string& piece : LiteralPieces(message))
            EXPECT_NE(sources.find(piece), std::string::npos)
                << "\"" << piece << "\" of " << message << " is written nowhere in the engine";
    }
    for (const std::string& message : tables) EXPECT_TRUE(seen.count(message)) << message << " has no row";
}

// Every fence "```LANG authoring-game/PATH" equals that file, and every script and setting of
// the game is quoted.
TEST(AuthoringGuide, QuotesTheWholeGame) {
    const std::string guide = kestrin_test::ReadFileBytes(kDocs + "authoring.md");
    std::set<std::string> quoted;
    std::string path, body;
    bool inFence = false;
    for (const auto& line : Lines(guide)) {
        if (!inFence && line.rfind("```", 0) == 0) {
            inFence = true;
            const size_t at = line.find(" authoring-game/");
            path = at == std::string::npos ? "" : line.substr(at + 1);
            body.clear();
        } else if (inFence && line == "```") {
            inFence = false;
            if (path.empty()) continue;
            EXPECT_TRUE(quoted.insert(path).second) << path << " is quoted twice";
            const std::string file = kestrin_test::ReadFileBytes(kDocs + path);
            EXPECT_FALSE(file.empty()) << path;
            EXPECT_EQ(body, file) << "the guide's " << path << " differs from the file";
        } else if (inFence) {
            body += line + "\n";
        }
    }
    EXPECT_FALSE(inFence) << "an unclosed fence";
    DIR* dir = opendir((kDocs + "authoring-game").c_str());
    ASSERT_NE(dir, nullptr);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const bool text = name.size() > 4 && (name.compare(name.size() - 4, 4, ".iet") == 0 ||
                                              name.compare(name.size() - 4, 4, ".ini") == 0);
        if (text) {
            EXPECT_TRUE(quoted.count("authoring-game/" + name)) << name << " is not quoted in the guide";
        }
    }
    closedir(dir);
}

// 0xRRGGBB of a screenshot pixel (bytes blue, green, red, alpha).
uint32_t Pixel(kestrin::CSurface& surface, int x, int y) {
    const uint8_t* p = surface.GetLine(y) + x * 4;
    return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

bool Near(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d < -2 || d > 2) return false;
    }
    return true;
}

struct SEnding {
    const char* name;
    const char* input;
    const char* choice;
};

std::ostream& operator<<(std::ostream& out, const SEnding& c) { return out << c.name; }

class AuthoringGameTest : public ::testing::TestWithParam<SEnding> {};

// The clicks go through both pages of scene 1, pick a link in scene 2, and click through the
// ending to its exit. Script errors are trace lines at level 1, to which the game's own
// "debug" tag lowers the trace: none may appear.
TEST_P(AuthoringGameTest, PlaysToTheEndingWithoutErrors) {
    const SEnding& c = GetParam();
    kestrin_test::TempDir dir;
    const std::string input = dir.Write("input.txt", c.input);
    const std::string command = std::string(KESTRIN_BINARY_DIR) + "/tests/harness/kestrin-harness " + kDocs +
                                "authoring-game --frames 0 --timeout 600 --input " + input + " --trace " + dir.Path() +
                                "/trace.txt --dump-vars " + dir.Path() + "/vars.txt --screenshot 150:" + dir.Path() +
                                "/page.png --screenshot 400:" + dir.Path() + "/pier.png >" + dir.Path() +
                                "/stderr.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << kestrin_test::ReadFileBytes(dir.Path() + "/stderr.txt");

    const std::string vars = kestrin_test::ReadFileBytes(dir.Path() + "/vars.txt");
    const std::vector<std::string> wanted = {std::string("choice=") + c.choice, "g.endings=1", "visits=1"};
    for (const std::string& line : wanted)
        EXPECT_NE(vars.find(line + "\n"), std::string::npos) << line << " not in:\n" << vars;
    // The layers show once flipped: the sky on the first page, the star at the pier.
    for (const auto& [file, x, y, rgb] :
         {std::make_tuple("page.png", 320, 100, 0x639BE2u), std::make_tuple("pier.png", 320, 150, 0xFED600u)}) {
        const std::string bytes = kestrin_test::ReadFileBytes(dir.Path() + "/" + file);
        kestrin::CSurface screen;
        kestrin::CPng png;
        ASSERT_FALSE(png.LoadFromMemory(&screen, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) << file;
        EXPECT_TRUE(Near(Pixel(screen, x, y), rgb)) << file << std::hex << ": " << Pixel(screen, x, y);
    }
    for (const auto& line : Lines(kestrin_test::ReadFileBytes(dir.Path() + "/trace.txt"))) {
        const bool script = line.find(".iet(") != std::string::npos;
        const bool beforeDebugTag = line.rfind("main.iet(1): ", 0) == 0 || line.rfind("main.iet(2): ", 0) == 0 ||
                                    line.rfind("main.iet(3): ", 0) == 0;
        EXPECT_FALSE(script && !beforeDebugTag) << line;
    }
}

// Frame 150: the first page with its icon; frame 400: the pier with its links.
const SEnding kEndings[] = {
    {"cape", "150 click 320 240\n200 click 320 240\n400 click 90 401\n460 click 320 240\n520 click 320 240\n", "cape"},
    {"market", "150 click 320 240\n200 click 320 240\n400 click 250 401\n460 click 320 240\n520 click 320 240\n",
     "market"},
};

INSTANTIATE_TEST_SUITE_P(Endings, AuthoringGameTest, ::testing::ValuesIn(kEndings),
                         [](const ::testing::TestParamInfo<SEnding>& info) { return std::string(info.param.name); });

}  // namespace
