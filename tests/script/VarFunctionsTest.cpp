// The var tag's system functions and the file tag where a run through the harness cannot
// reach: the save folder, file times, archives, devices, the layer tree, the clock service,
// and the limits that keep bad input from hanging or exhausting the engine. The functions'
// results against outside references are checked by tests/scripts/var_functions.cmake.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CPackFile.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/Platform/HeadlessTextRasterizer.h"
#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/ISurface.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "CORE/GamePath.h"
#include "SCRIPT/tags/VarFunctions.h"
#include "TEXT/CLinkableTextRenderer.h"
#include "support/InterpreterFixture.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace kestrin;

namespace {

// Sets TZ for the test's lifetime (the file-time table is made for one zone).
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) m_old = old, m_had = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string m_old;
    bool m_had = false;
};

class VarFunctionsTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        fs::create_directories(m_dir.Path() + "/game");
        fs::create_directories(m_dir.Path() + "/save");
        CDynamicVariables* v = CDynamicVariables::GetInstance();
        v->SetString("GameDataPath", m_dir.Path() + "/game");
        v->SetString("SaveDataPath", m_dir.Path() + "/save");
        fs::current_path(m_dir.Path() + "/game");
        m_root = CPackFile::RootPackName;
        CPackFile::ClearArchives();
    }
    void TearDown() override {
        CPackFile::RootPackName = m_root;
        CPackFile::ClearArchives();
        InterpreterFixture::TearDown();
    }
    void WriteGame(const std::string& name, const std::string& bytes) { m_dir.Write("game/" + name, bytes); }
    void WriteSave(const std::string& name, const std::string& bytes) { m_dir.Write("save/" + name, bytes); }

    // Boots main.iet (in the game folder) holding text, with errors traced.
    void Run(const std::string& text, CMainScreen* screen = nullptr) {
        WriteGame("main.iet", text);
        m_script = std::make_unique<CMainScript>(screen);
        // Set after the script's own, so that it wins.
        if (screen && m_messageLayers) screen->SetTextLayerFactory(m_messageLayers);
        ASSERT_FALSE(m_script->Start());
        m_script->SetDebugMode(1);
        m_script->SetTraceLevel(1);
        m_script->Update(m_now += 16);
    }
    // Runs one var tag on the running script.
    void Var(const std::map<std::string, std::string>& attributes) {
        CScriptBlock block(CScriptBlock::kTag, 0, "var");
        for (const auto& a : attributes) block.SetAttribute(a.first, a.second);
        m_script->ExecuteBlock(block, false);
    }
    std::string Get(const std::string& name) { return m_script->GetVariables().GetString(name); }
    bool Exists(const std::string& name) { return m_script->GetVariables().Find(name) != nullptr; }

    std::string m_root;
    // When set, makes the message layers of the script Run boots on a screen.
    CMainScreen::TextLayerFactory m_messageLayers;
};

TEST(VarTextTest, ExplodeFollowsEscapesDelimitersAndShiftJisPairs) {
    struct Case {
        std::string text, delimiter, escapes;
        std::vector<std::string> pieces;
    } cases[] = {
        {"a,b,,c", ",", "\\", {"a", "b", "", "c"}},
        {"a\\,b,c", ",", "\\", {"a,b", "c"}},
        {"", ",", "\\", {""}},
        {"a::b:", "::", "\\", {"a", "b:"}},
        {"ab\\", ",", "\\", {"ab\\"}},                               // nothing to escape: the escape stays
        {"a\\\nb", "\n", "\\", {"a", "b"}},                          // before a line feed the escape only goes
        {"\x83\x5c,\x95\x5c", ",", "\\", {"\x83\x5c", "\x95\x5c"}},  // trail bytes 0x5C are no escapes
        {"\x83", ",", "\\", {"\x83"}},                               // a lead byte at the end
        {"a\\\\b", ",", "\\", {"a\\b"}},
        {"a,b", "", "\\", {"a,b"}},        // no delimiter: one piece
        {"a\\,b", ",", "", {"a\\", "b"}},  // no escapes
    };
    for (const auto& c : cases) {
        std::vector<std::string> pieces;
        ExplodeText(c.text, c.delimiter, c.escapes, pieces);
        EXPECT_EQ(pieces, c.pieces) << c.text;
    }
}

TEST(VarTextTest, PartialEscapesAndReferencesAtTheEndStayAsTheyAre) {
    struct Case {
        const char* text;
        std::string decoded;
    } urls[] = {{"%", "%"},
                {"a%4", "a%4"},
                {"%41%4", "A%4"},
                {"%41", "A"},
                {"+%", " %"},
                {"%zz1", std::string("\0"
                                     "1",
                                     2)}};
    for (const auto& c : urls) EXPECT_EQ(UrlDecodeWhole(c.text), c.decoded) << c.text;

    struct Reference {
        const char* text;
        const char* utf8;
    } references[] = {{"&#65", "&#65"},       {"&#", "&#"},          {"&", "&"}, {"&#x", "&#x"}, {"&#x41;", "A"},
                      {"&#65;&#66", "A&#66"}, {"&#4294967361;", "A"}};  // 2^32 + 65: the low 16 bits
    for (const auto& c : references) EXPECT_EQ(CharacterReferencesToUtf8(c.text), c.utf8) << c.text;
}

TEST(VarTextTest, FolderNamesStayInsideTheirFolder) {
    struct Case {
        const char* name;
        bool inside;
        const char* clean;
        // clang-format off
    } cases[] = {
        {"a/b.txt", true, "a/b.txt"},  {"a\\b.txt", true, "a/b.txt"},     {"./a//b/./c", true, "a/b/c"},
        {"a/../b", true, "b"},         {"a/b/../../c", true, "c"},        {"", true, ""},
        {"..", false, ""},             {"a/../../b", false, ""},          {"/etc/passwd", false, ""},
        {"\\x", false, ""},            {"C:\\x", false, ""},              {"c:x", false, ""},
        {"\x83\x5c.txt", true, "\x83\x5c.txt"},  // a Shift_JIS 0x5C trail byte is no separator
    };
    // clang-format on
    for (const auto& c : cases) {
        std::string clean;
        EXPECT_EQ(NormalizeFolderName(c.name, clean), c.inside) << c.name;
        if (c.inside) {
            EXPECT_EQ(clean, c.clean) << c.name;
        }
    }
}

TEST_F(VarFunctionsTest, FileUpdateTimeFormatsTheSaveFolderFileAsDateDoes) {
    ScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
    std::ifstream table(kestrin_test::TestDataPath("harness/varfunctions/file_time_expected.txt"));
    ASSERT_TRUE(table) << "file_time_expected.txt";
    Run("[stop]\n");
    const std::string file = m_dir.Path() + "/save/stamp.dat";
    WriteSave("stamp.dat", "x");
    WriteGame("only_in_game.dat", "x");
    std::string line;
    int count = 0;
    while (std::getline(table, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string seconds, pattern, text;
        std::getline(fields, seconds, '\t');
        std::getline(fields, pattern, '\t');
        std::getline(fields, text);
        utimbuf times{};
        times.actime = times.modtime = static_cast<time_t>(std::stoll(seconds));
        ASSERT_EQ(utime(file.c_str(), &times), 0);
        Var({{"name", "t"}, {"system", "file_update_time"}, {"file", "stamp.dat"}, {"format", pattern}});
        EXPECT_EQ(Get("t"), text) << line;
        ++count;
    }
    EXPECT_GE(count, 8);
    // Missing and refused names give the noexist text; game-folder files are not looked at.
    for (const char* name : {"only_in_game.dat", "none.dat", "../game/only_in_game.dat", "/etc/hostname"}) {
        Var({{"name", "t"}, {"system", "file_update_time"}, {"file", name}, {"noexist", "-"}});
        EXPECT_EQ(Get("t"), "-") << name;
    }
    EXPECT_TRUE(LoggedWithin("[var system=\"file_update_time\" file=\"../game/only_in_game.dat\"]")) << AllLines();
}

TEST_F(VarFunctionsTest, FileUpdateTimeWritesWithoutMarkingSavedVariablesChanged) {
    WriteSave("stamp.dat", "x");
    Run("[stop]\n");
    COruVariables& variables = m_script->GetVariables();
    variables.TakeGameChanged();
    Var({{"name", "g.stamp"}, {"system", "file_update_time"}, {"file", "stamp.dat"}});
    EXPECT_EQ(Get("g.stamp").size(), std::string("yyyy/MM/dd hh:mm:ss").size()) << Get("g.stamp");
    EXPECT_FALSE(variables.TakeGameChanged());
    Var({{"name", "g.other"}, {"system", "file_update_time"}, {"file", "none"}, {"noexist", "no"}});
    EXPECT_EQ(Get("g.other"), "no");
    EXPECT_TRUE(variables.TakeGameChanged());
}

TEST_F(VarFunctionsTest, FileExistLooksInTheSaveFolderAndTheArchives) {
    // root.pfs holds packed.txt only; the save folder holds slot.dat; the game folder game.txt.
    m_dir.Write("src/packed.txt", "packed");
    const std::string archive = m_dir.Path() + "/game/root.pfs";
    const std::string command = std::string(KESTRIN_BINARY_DIR) + "/tools/kpack " + m_dir.Path() + "/src " + archive;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    CPackFile::RootPackName = archive;
    WriteSave("slot.dat", "save");
    WriteGame("game.txt", "game");
    Run("[stop]\n");
    struct Case {
        const char* file;
        const char* save;
        const char* exists;
    } cases[] = {
        {"game.txt", nullptr, "1"}, {"packed.txt", nullptr, "1"}, {"slot.dat", nullptr, "0"},
        {"slot.dat", "1", "1"},     {"SLOT.DAT", "1", "1"},       {"packed.txt", "1", "1"},
        {"game.txt", "1", "0"},     {"game.txt", "0", "1"},       {"../save/slot.dat", nullptr, "0"},
        {"../../x", "1", "0"},
    };
    for (const auto& c : cases) {
        std::map<std::string, std::string> attributes{{"name", "e"}, {"system", "file_exist"}, {"file", c.file}};
        if (c.save) attributes["save"] = c.save;
        Var(attributes);
        EXPECT_EQ(Get("e"), c.exists) << c.file << " save=" << (c.save ? c.save : "-");
        // The game folder is current again after every lookup.
        EXPECT_EQ(fs::current_path(), fs::path(m_dir.Path() + "/game")) << c.file;
    }
    Var({{"name", "c"}, {"system", "file_crc"}, {"file", "packed.txt"}, {"zerox", "1"}});
    EXPECT_EQ(Get("c"), "0x21f6b410");  // zlib.crc32(b"packed")
}

TEST_F(VarFunctionsTest, FileCrcReadsOnlyRegularFilesSoDevicesAndPipesCannotHangIt) {
    ASSERT_EQ(mkfifo((m_dir.Path() + "/game/pipe").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", m_dir.Path() + "/game/zero");
    fs::create_directories(m_dir.Path() + "/game/folder");
    WriteGame("real.txt", "Hello, world!\n");
    Run("[stop]\n");
    for (const char* file : {"pipe", "zero", "folder", "real.txt"}) {
        Var({{"name", std::string("c.") + file}, {"system", "file_crc"}, {"file", file}});
        Var({{"name", std::string("e.") + file}, {"system", "file_exist"}, {"file", file}});
    }
    EXPECT_EQ(Get("c.pipe"), "");
    EXPECT_EQ(Get("c.zero"), "");
    EXPECT_EQ(Get("c.folder"), "");
    EXPECT_EQ(Get("c.real.txt"), "7b55a718");  // zlib.crc32(b"Hello, world!\n")
    EXPECT_EQ(Get("e.pipe") + Get("e.zero") + Get("e.folder") + Get("e.real.txt"), "0001");
}

TEST_F(VarFunctionsTest, FileTagDeletesOnlyPlainFilesInsideTheGameFolder) {
    WriteGame("old.sav", "x");
    WriteGame("keep/inner.txt", "x");
    m_dir.Write("outside.txt", "x");
    Run("[file command=delete target=OLD.SAV]\n"
        "[file command=delete target=keep]\n"
        "[file command=delete target=\"..\\\\outside.txt\"]\n"
        "[file command=delete target=missing.txt]\n"
        "[file command=erase target=keep/inner.txt]\n"
        "[var name=after data=1]\n");
    EXPECT_EQ(Get("after"), "1");
    EXPECT_FALSE(fs::exists(m_dir.Path() + "/game/old.sav"));
    EXPECT_TRUE(fs::exists(m_dir.Path() + "/game/keep/inner.txt"));
    EXPECT_TRUE(fs::exists(m_dir.Path() + "/outside.txt"));
    EXPECT_TRUE(LoggedWithin("[file command=\"delete\" target=\"..\\outside.txt\"]")) << AllLines();
}

// The game's own link (to a folder of its data) is followed; one that another user planted
// in a save folder he may write, to a private folder of the player's, is not: the file stays,
// stderr says why and the game goes on.
TEST_F(VarFunctionsTest, FileTagDeletesThroughTheGamesOwnLinksOnly) {
    WriteGame("data/old.dat", "x");
    fs::create_symlink("data", m_dir.Path() + "/game/linked");
    const std::string victim = m_dir.Write("private/victim.txt", "victim");
    fs::create_directories(m_dir.Path() + "/game/save");
    const bool planted =
        kestrin_test::PlantLinkOfAnotherUser(m_dir.Path() + "/private", m_dir.Path() + "/game/save/sub");
    Run(std::string("[file command=delete target=\"linked\\\\old.dat\"]\n") +
        (planted ? "[file command=delete target=\"save\\\\sub\\\\victim.txt\"]\n" : "") + "[var name=after data=1]\n");
    EXPECT_EQ(Get("after"), "1");
    EXPECT_FALSE(fs::exists(m_dir.Path() + "/game/data/old.dat"));
    if (!planted) GTEST_SKIP() << "giving a symbolic link to another user (lchown) needs root; that case was not run";
    EXPECT_EQ(kestrin_test::ReadFileBytes(victim), "victim");
    EXPECT_TRUE(
        LoggedWithin("refusing to follow the symbolic link save/sub: it, or a link it leads through, belongs "
                     "to another user"))
        << AllLines();
}

// In a Shift_JIS game the refusal and error lines join game text (file names) with the engine's
// own Japanese words: both must reach the log as readable UTF-8.
TEST_F(VarFunctionsTest, ErrorLinesOfAShiftJisGameReadInTheLog) {
    kestrin_test::ScopedCharset charset("");
    Run("[stop]\n");
    struct Case {
        const char* tag;
        std::map<std::string, std::string> attributes;
        const char* line;  // UTF-8, after "main.iet(0): "
    } cases[] = {
        {"var",
         {{"system", "file_exist"}, {"name", "e"}, {"file", "../\x83\x65.txt"}},
         "[var system=\"file_exist\" file=\"../テ.txt\"] ゲームフォルダとセーブフォルダの外にあるファイルは扱えません。"},
        {"file",
         {{"command", "delete"}, {"target", "/\x83\x65"}},
         "[file command=\"delete\" target=\"/テ\"] ゲームフォルダとセーブフォルダの外にあるファイルは扱えません。"},
        {"var",
         {{"system", "substr"}, {"name", "s"}, {"source", "abc"}, {"position", "-1"}, {"length", "1"}},
         "positionパラメータまたはlengthパラメータが負の値です。"},
        {"var",
         {{"system", "explode"}, {"name", "x"}, {"source", "abc"}, {"delimiter", ""}},
         "[var system=\"explode\"] delimiterが空のため、sourceを分割しません。"},
        {"var",
         {{"system", "convert_encoding"}, {"name", "c"}, {"source", "abc"}, {"to", "utf8"}},
         "[var system=\"convert_encoding\"] 変換元文字コード(from)または変換先文字コード(to)の指定がありません。"},
    };
    for (const Case& c : cases) {
        CScriptBlock block(CScriptBlock::kTag, 0, c.tag);
        for (const auto& a : c.attributes) block.SetAttribute(a.first, a.second);
        m_script->ExecuteBlock(block, false);
        EXPECT_TRUE(LoggedWithin(std::string("main.iet(0): ") + c.line)) << c.line << "\n" << AllLines();
    }
}

TEST_F(VarFunctionsTest, ImplodeCapsItsOutputAndTheElementsItReads) {
    Run("[stop]\n");
    COruVariables& variables = m_script->GetVariables();
    const std::string nine(9u << 20, 'x');
    variables.SetInt("big.size", 3);
    variables.SetString("big.0", nine);
    variables.SetString("big.1", nine);
    variables.SetString("big.2", "z");
    Var({{"name", "joined"}, {"system", "implode"}, {"source", "big"}});
    EXPECT_EQ(Get("joined").size(), nine.size());
    EXPECT_TRUE(LoggedWithin("[var system=\"implode\"] 連結した文字列が大きすぎるため")) << AllLines();

    // A huge count with an empty delimiter grows nothing: the element limit ends it.
    variables.SetInt("huge.size", 2147483647);
    variables.SetString("huge.1", "b");
    Var({{"name", "joined"}, {"system", "implode"}, {"source", "huge"}, {"delimiter", ""}});
    EXPECT_EQ(Get("joined"), "b");
    EXPECT_TRUE(LoggedWithin("[var system=\"implode\"] 配列が大きすぎるため")) << AllLines();
}

TEST_F(VarFunctionsTest, ClockServiceGivesTheSeedTheUnixTimeAndTheDate) {
    ScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
    auto clock = std::make_shared<HeadlessClock>(1000);
    clock->SetUnixTime(1720000000);
    SPlatformServices services = PlatformServicesInEffect();
    services.clock = clock;
    PlatformServicesScope scope(services);
    ASSERT_FALSE(scope.Failed());
    // The first numbers of Boost's distribution for this seed (tools/var_random_reference.cpp).
    std::ifstream reference(kestrin_test::TestDataPath("harness/varfunctions/random_reference.txt"));
    std::string header;
    int first = 0, second = 0;
    ASSERT_TRUE(std::getline(reference, header) && (reference >> first >> second));
    ASSERT_EQ(header, "# seed 1720000000");
    Run("[var name=r0 system=random]\n[var name=r1 system=random min=0 max=65535]\n"
        "[var name=now system=unixtime]\n[var name=d system=date]\n[stop]\n");
    EXPECT_EQ(Get("r0"), std::to_string(first));
    EXPECT_EQ(Get("r1"), std::to_string(second));
    EXPECT_EQ(Get("now"), "1720000000");
    // 2024-07-03 09:46:40 UTC is 05:46:40 daylight time.
    EXPECT_EQ(Get("d.year") + "-" + Get("d.month") + "-" + Get("d.day") + " " + Get("d.hour") + ":" + Get("d.minute") +
                  ":" + Get("d.second"),
              "2024-7-3 5:46:40");
    clock->Advance(2500);
    Var({{"name", "now"}, {"system", "unixtime"}});
    EXPECT_EQ(Get("now"), "1720000002");
}

TEST_F(VarFunctionsTest, QueriesWithoutTheirSubjectAndUnknownNamesWriteNothing) {
    Run("[stop]\n");
    // Without a screen there is no message layer; no page was recorded for "q"; page 0
    // does not exist in an empty backlog.
    for (const char* system : {"get_message_layer_width", "get_message_layer_height", "get_message_tags",
                               "get_backlog_tags", "Random", "nothing"}) {
        Var({{"name", "q"}, {"system", system}});
        EXPECT_FALSE(Exists("q") || Exists("q.size")) << system;
    }
    Var({{"system", "array"}});
    EXPECT_EQ(Get(".size"), "0");
    Var({{"name", "s"}, {"system", "os"}});
    Var({{"name", "w"}, {"system", "screen_width"}});
    Var({{"name", "f"}, {"system", "fullscreen"}});
    Var({{"name", "l"}, {"system", "get_layer_info"}});
    Var({{"name", "n"}, {"system", "get_sound_info"}});
    EXPECT_EQ(Get("s") + "," + Get("w") + "," + Get("f") + "," + Get("l.size"), "windows,0,0,0");
    EXPECT_EQ(Get("n.playing") + "," + Get("n.size"), "0,0");
}

TEST_F(VarFunctionsTest, GetFontListsJapaneseOutlineFacesInTheScriptEncoding) {
    SPlatformServices services = PlatformServicesInEffect();
    services.textRasterizer = []() {
        auto f = std::make_unique<HeadlessTextRasterizer>(
            std::set<std::string>{"@Tate", "Bitmap Mono", "DejaVu Sans", "IPAGothic", "IPAMincho", "\xEF\xBC\xAD"});
        f->fixedPitch = {"@Tate", "Bitmap Mono", "IPAGothic", "\xEF\xBC\xAD"};
        f->japanese = {"@Tate", "Bitmap Mono", "IPAGothic", "IPAMincho", "\xEF\xBC\xAD"};
        f->bitmapOnly = {"Bitmap Mono"};
        return f;
    };
    PlatformServicesScope scope(services);
    ASSERT_FALSE(scope.Failed());
    Run("[stop]\n");
    // The full-width M as the script spells it.
    const std::string m = m_script->GetTextEncoding() == 0 ? "\x82\x6C" : "\xEF\xBC\xAD";
    const struct {
        std::map<std::string, std::string> flags;
        std::vector<std::string> expected;
    } cases[] = {
        // The fake lists its families in name order.
        {{}, {"IPAGothic", "IPAMincho", m}},
        {{{"monospace", "1"}}, {"IPAGothic", m}},
        {{{"vertical", "1"}}, {"@Tate"}},
        {{{"vertical", "0"}, {"monospace", "0"}}, {"IPAGothic", "IPAMincho", m}},
    };
    for (const auto& c : cases) {
        std::map<std::string, std::string> attributes = c.flags;
        attributes["name"] = "f";
        attributes["system"] = "get_font";
        Var(attributes);
        std::vector<std::string> got;
        for (size_t i = 0; i < c.expected.size(); ++i) got.push_back(Get("f." + std::to_string(i)));
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(Get("f.size"), std::to_string(c.expected.size()));
    }
}

class StandInObject : public CDisplayObject {
public:
    IDisplayObject* Clone(bool copyState) const override {
        (void)copyState;
        return new StandInObject(*this);
    }
};

TEST_F(VarFunctionsTest, MessageLayerSizeIsTheTextSize) {
    ASSERT_NO_FATAL_FAILURE(OpenScreen(640, 480));
    Run("あいう\n[var name=w system=get_message_layer_width][var name=h system=get_message_layer_height][stop]\n",
        m_screen.get());
    CLinkableTextRenderer* layer = CLinkableTextRenderer::Of(m_screen->GetCurrentMessageLayer());
    ASSERT_NE(layer, nullptr);
    EXPECT_GT(layer->GetTextWidth(), 0);
    EXPECT_EQ(Get("w"), std::to_string(layer->GetTextWidth()));
    EXPECT_EQ(Get("h"), "32");  // 24 px text under 8 px of ruby room
}

TEST_F(VarFunctionsTest, LayerInfoReadsOneLayerOrTheWholeTree) {
    CDynamicVariables::GetInstance()->SetInt("ini.SurfaceCacheSize", 1 << 20);
    ASSERT_NO_FATAL_FAILURE(OpenScreen(64, 48));
    m_messageLayers = [](CMainScreen&) {
        CMainScreen::SMessageLayer layer;
        layer.object = std::make_shared<StandInObject>();
        return layer;
    };
    CSurface surface;
    ASSERT_FALSE(surface.Init(10, 6, ISurface::kPixel32Alpha, 0));
    CPng png;
    CPng::SOutputBuffer buffer;
    buffer.capacity = 4096;
    buffer.data = new uint8_t[buffer.capacity];
    ASSERT_FALSE(png.Save(&surface, buffer, 6));
    std::unique_ptr<uint8_t[]> keep(buffer.data);
    WriteGame("sprite.png", std::string(reinterpret_cast<char*>(buffer.data), buffer.length));
    Run("[lyc id=a.b file=sprite.png]\n"
        "[lyprop id=a.b left=5 top=-3 alpha=100 xscale=150 yscale=33 rotate=45 layermode=add visible=0]\n"
        "[flip]\n"
        "[var name=one system=get_layer_info id=a.b]\n"
        "[var name=none system=get_layer_info id=a.c]\n"
        "[var name=list system=get_layer_info]\n"
        "[var name=map system=get_layer_info style=map]\n"
        "[stop]\n",
        m_screen.get());
    EXPECT_EQ(Get("one.left") + " " + Get("one.top") + " " + Get("one.width") + " " + Get("one.height") + " " +
                  Get("one.alpha") + " " + Get("one.xscale") + " " + Get("one.yscale") + " " + Get("one.rotate") + " " +
                  Get("one.layermode") + " " + Get("one.visible"),
              "5 -3 10 6 100 150 32 45 1 0");  // 33 % is 21626 / 65536, read back rounded down
    EXPECT_FALSE(Exists("none.left"));
    EXPECT_EQ(Get("list.size"), "2");
    EXPECT_EQ(Get("list.0.id") + " " + Get("list.1.id"), "a a.b");
    EXPECT_EQ(Get("list.1.xscale"), "150");
    EXPECT_EQ(Get("map.size"), "2");
    EXPECT_EQ(Get("map.a.b.id"), "a.b");
    EXPECT_EQ(Get("map.a.b.left"), "5");
    EXPECT_EQ(Get("map.a.visible"), "1");
}

}  // namespace
