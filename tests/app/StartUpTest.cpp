#include "Application/RunApplication.h"
#include "Application/EngineFactories.h"
#include "Application/PlatformServicesScope.h"
#include "CORE/CTimer.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/Platform/HeadlessCloseSignals.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CIni.h"
#include "CORE/CLogWindow.h"
#include "CORE/CPackFile.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/HeadlessMessageBox.h"
#include "CORE/RootArchive.h"
#include "CORE/StartUp.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

int KestrinMain(int argc, char** argv);

using namespace kestrin;
namespace fs = std::filesystem;
using kestrin_test::TempDir;

namespace {
ArgumentMap Parse(const char* line) {
    ArgumentMap m;
    ParseCommandLine(line, m);
    return m;
}

// argv for the functions that take one.
struct Argv {
    explicit Argv(std::vector<std::string> a) : args(std::move(a)) {
        for (auto& s : args) ptrs.push_back(s.data());
        ptrs.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(args.size()); }
    char** argv() { return ptrs.data(); }
    std::vector<std::string> args;
    std::vector<char*> ptrs;
};

}  // namespace

TEST(ParseCommandLine, GrammarTable) {
    struct Case {
        const char* line;
        ArgumentMap expected;
    } cases[] = {
        {"/s", {{"s", ""}}},
        {"/a /b", {{"a", ""}, {"b", ""}}},
        {"-w 640 -h 480 game.exe", {{"w", "640"}, {"h", "480"}, {"0", "game.exe"}}},
        {"\"my game\" second", {{"0", "my game"}, {"1", "second"}}},
        {"/t 'a b c' x", {{"t", "a b c"}, {"0", "x"}}},
        {"/t \"unterminated rest", {{"t", "unterminated rest"}}},
        {"a\tb c", {{"0", "a\tb"}, {"1", "c"}}},  // tabs are not blanks
        {"/P", {{"P", ""}}},
        {"/c:1234", {{"c:1234", ""}}},
        {"   ", {}},
        {"", {}},
        {"/x 1 /x 2", {{"x", "2"}}},  // later value replaces
        {"/x   ", {{"x", ""}}},       // switch at the end
        {"/fsr  -s", {{"fsr", ""}, {"s", ""}}},
        {"\"\" b", {{"0", ""}, {"1", "b"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(Parse(c.line), c.expected) << "line: " << c.line;

    ArgumentMap kept = {{"old", "1"}};
    ParseCommandLine("/new", kept);
    EXPECT_EQ(kept, (ArgumentMap{{"old", "1"}, {"new", ""}}));
}

TEST(ParseArgumentVector, EveryArgumentComesBackWhole) {
    struct Case {
        std::vector<std::string> args;  // after "kestrin"
        int gameIndex;
        ArgumentMap expected;
    } cases[] = {
        {{"/games/My Game", "/w", "640", "-title", "two words", "/fsr"},
         1,
         {{"0", "/games/My Game"}, {"w", "640"}, {"title", "two words"}, {"fsr", ""}}},
        // Quotes and apostrophes of every kind stay as typed, blanks included.
        {{"g", "-title", "it's \"x\" y"}, 1, {{"0", "g"}, {"title", "it's \"x\" y"}}},
        {{"g", "-v", "say \"hi\" now", "'quoted'"}, 1, {{"0", "g"}, {"v", "say \"hi\" now"}, {"1", "'quoted'"}}},
        {{"g", "-q", "\"", "-a", "'"}, 1, {{"0", "g"}, {"q", "\""}, {"a", "'"}}},
        // A switch before another switch, or at the end, has the value "".
        {{"/s", "/a", "-b"}, 0, {{"s", ""}, {"a", ""}, {"b", ""}}},
        {{"g", "-x", "", "tail"}, 1, {{"0", "g"}, {"x", ""}, {"1", "tail"}}},
        {{"g", "/x", "1", "/x", "2"}, 1, {{"0", "g"}, {"x", "2"}}},
        {{"g", "a\tb", "c d"}, 1, {{"0", "g"}, {"1", "a\tb"}, {"2", "c d"}}},
        {{"/c:1234"}, 0, {{"c:1234", ""}}},
        {{"/abs/game", "/p", "1234"}, 1, {{"0", "/abs/game"}, {"p", "1234"}}},
        {{}, 0, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"kestrin"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Argv a(args);
        ArgumentMap m;
        ParseArgumentVector(a.argc(), a.argv(), c.gameIndex, m);
        std::string shown;
        for (const auto& arg : c.args) shown += "[" + arg + "]";
        EXPECT_EQ(m, c.expected) << shown;
    }
}

TEST(FindGameArgument, GameComesFirstUnlessItIsASwitch) {
    TempDir dir;
    const std::string game = dir.Write("My Game/system.ini", "");
    const std::string gameFolder = fs::path(game).parent_path().string();  // absolute, starts with "/"
    Argv a({"kestrin", gameFolder, "/w", "640"});
    EXPECT_EQ(FindGameArgument(a.argc(), a.argv()), 1);
    Argv sw({"kestrin", "/s", "x"});
    EXPECT_EQ(FindGameArgument(sw.argc(), sw.argv()), 0);  // "/s" is a switch, not a path
    Argv dash({"kestrin", "-fsr"});
    EXPECT_EQ(FindGameArgument(dash.argc(), dash.argv()), 0);
    Argv missing({"kestrin", "/no/such/game"});
    EXPECT_EQ(FindGameArgument(missing.argc(), missing.argv()), 1);  // a path, reported missing later
    Argv rel({"kestrin", "sample"});
    EXPECT_EQ(FindGameArgument(rel.argc(), rel.argv()), 1);
    HeadlessFileSystem files;
    files.AddDirectory("/bin");
    SPlatformServices services = PlatformServicesInEffect();
    services.fileSystem = Unowned(files);
    PlatformServicesScope scope(services);
    Argv root({"kestrin", "/bin"});
    EXPECT_EQ(FindGameArgument(root.argc(), root.argv()), 1);  // exists: a folder in the root
}

namespace {
// Runs LocateGame on an in-memory file system.
struct FakeGameFiles {
    HeadlessFileSystem files;
    std::optional<PlatformServicesScope> scope;
    FakeGameFiles() {
        ClearGamePathCache();
        SPlatformServices services = PlatformServicesInEffect();
        services.fileSystem = Unowned(files);
        scope.emplace(services);
    }
    ~FakeGameFiles() {
        scope.reset();
        ClearGamePathCache();
    }
};
}  // namespace

TEST(LocateGame, EveryFormOfGameOnTheFileSystemService) {
    const std::string engine = "/opt/kestrin/bin/kestrin";
    struct Case {
        const char* name;
        std::vector<std::string> files;  // "name/" is a folder
        std::string cwd;
        std::string game;
        bool fails;
        std::string gameData, root, application;
        // clang-format off
    } cases[] = {
        {"folder with a trailing slash", {"/g/system.ini"}, "", "/g/", false, "/g", "/g/root.pfs", engine},
        {"relative folder", {"/home/u/g/system.ini"}, "/home/u", "g", false, "/home/u/g", "/home/u/g/root.pfs", engine},
        {"dot-dot folder", {"/a/g/system.ini", "/a/b/"}, "/a/b", "../g/.", false, "/a/g", "/a/g/root.pfs", engine},
        {"folder's root archive in another case", {"/g/ROOT.PFS"}, "", "/g", false, "/g", "/g/ROOT.PFS", engine},
        {"exe: its own archive first", {"/g/Game.exe", "/g/Game.pfs", "/g/root.pfs"}, "", "/g/Game.exe", false, "/g",
         "/g/Game.pfs", "/g/Game.exe"},
        {"exe: its own archive in another case", {"/g/GAME.EXE", "/g/game.pfs"}, "", "/g/GAME.EXE", false, "/g",
         "/g/game.pfs", "/g/GAME.EXE"},
        {"exe: then root.pfs in any case", {"/g/Game.exe", "/g/Root.Pfs"}, "", "/g/Game.exe", false, "/g",
         "/g/Root.Pfs", "/g/Game.exe"},
        {"exe: then the exe itself", {"/g/Game.exe", "/g/root.pfs/"}, "", "/g/Game.exe", false, "/g", "/g/Game.exe",
         "/g/Game.exe"},
        {"exe named in another case", {"/g/game.exe", "/g/game.pfs"}, "", "/G/GAME.EXE", false, "/g", "/g/game.pfs",
         "/g/game.exe"},
        {"pfs", {"/p/data.pfs"}, "/p", "data.pfs", false, "/p", "/p/data.pfs", engine},
        {"pfs in another case", {"/p/DATA.PFS"}, "", "/p/data.pfs", false, "/p", "/p/DATA.PFS", engine},
        {"game in the root folder", {"/Game.exe"}, "", "/Game.exe", false, "/", "/Game.exe", "/Game.exe"},
        {"no game: the engine's folder", {"/opt/kestrin/bin/kestrin", "/opt/kestrin/bin/root.pfs"}, "", "", false,
         "/opt/kestrin/bin", "/opt/kestrin/bin/root.pfs", engine},
        {"no game and no archive", {"/opt/kestrin/bin/kestrin"}, "", "", false, "/opt/kestrin/bin", engine, engine},
        {"missing", {"/g/system.ini"}, "", "/nothing", true, "", "", ""},
        {"below a folder named like an archive", {"/p/data.pfs/"}, "", "/p/data.pfs/x", true, "", "", ""},
        {"not a game", {"/x/readme.txt"}, "", "/x/readme.txt", true, "", "", ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeGameFiles fake;
        for (const std::string& f : c.files) {
            if (f.back() == '/') {
                fake.files.AddDirectory(f);
            } else {
                fake.files.AddFile(f, "MZ");
            }
        }
        if (!c.cwd.empty()) ASSERT_FALSE(fake.files.ChangeDirectory(c.cwd));
        GameLocation loc;
        std::string error;
        ASSERT_EQ(LocateGame(c.game, engine, loc, error), c.fails) << error;
        if (c.fails) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(loc.gameDataPath, c.gameData);
        EXPECT_EQ(loc.rootArchivePath, c.root);
        EXPECT_EQ(loc.applicationPath, c.application);
    }
}

// The start-up line names the root archive only when there is one to read.
TEST(EnterGame, TheStartUpLineNamesARootArchiveOnlyWhenThereIsOne) {
    const struct {
        std::vector<std::string> files;
        std::string game, says;
    } cases[] = {
        {{"/g/system.ini", "/g/root.pfs"}, "/g", "Kestrin: game folder /g, root archive /g/root.pfs"},
        {{"/g/system.ini"}, "/g", "Kestrin: game folder /g, no root archive"},
        {{"/g/system.ini", "/g/root.pfs/"}, "/g", "Kestrin: game folder /g, no root archive"},
        {{"/p/data.pfs"}, "/p/data.pfs", "Kestrin: game folder /p, root archive /p/data.pfs"},
    };
    for (const auto& c : cases) {
        FakeGameFiles fake;
        for (const std::string& f : c.files) {
            if (f.back() == '/') {
                fake.files.AddDirectory(f);
            } else {
                fake.files.AddFile(f, "MZ");
            }
        }
        std::vector<std::string> lines;
        CLogWindow::SetLineSink([&](const std::string& l) { lines.push_back(l); });
        GameLocation loc;
        std::string error;
        const bool failed = EnterGame(c.game, "/opt/kestrin/bin/kestrin", loc, error);
        CLogWindow::SetLineSink(nullptr);
        ASSERT_FALSE(failed) << error;
        EXPECT_EQ(lines, std::vector<std::string>{c.says});
    }
    g_rootArchivePath = "root.pfs";
    CDynamicVariables::ReleaseInstance();
    CLogWindow::ReleaseInstance();
}

TEST(LocateGame, FolderExeAndArchiveChoices) {
    TempDir dir;
    const std::string d = dir.Path();
    const std::string engine = "/opt/kestrin/bin/kestrin";
    GameLocation loc;
    std::string error;

    // A folder (trailing slash tolerated): game folder, engine as ApplicationPath.
    dir.Write("folder/system.ini", "");
    ASSERT_FALSE(LocateGame(d + "/folder/", engine, loc, error)) << error;
    EXPECT_EQ(loc.gameDataPath, d + "/folder");
    EXPECT_EQ(loc.applicationPath, engine);
    EXPECT_EQ(loc.rootArchivePath, d + "/folder/root.pfs");

    // A named .exe: its own .pfs wins over root.pfs, then root.pfs, then the .exe itself.
    const std::string exe = dir.Write("g/Game.exe", "MZ");
    dir.Write("g/Game.pfs", "pf3");
    dir.Write("g/root.pfs", "pf3");
    ASSERT_FALSE(LocateGame(exe, engine, loc, error));
    EXPECT_EQ(loc.applicationPath, exe);
    EXPECT_EQ(loc.gameDataPath, d + "/g");
    EXPECT_EQ(loc.rootArchivePath, d + "/g/Game.pfs");
    fs::remove(d + "/g/Game.pfs");
    ASSERT_FALSE(LocateGame(exe, engine, loc, error));
    EXPECT_EQ(loc.rootArchivePath, d + "/g/root.pfs");
    fs::remove(d + "/g/root.pfs");
    fs::create_directory(d + "/g/root.pfs");  // a folder of that name is no archive
    ASSERT_FALSE(LocateGame(exe, engine, loc, error));
    EXPECT_EQ(loc.rootArchivePath, exe);

    // A named .pfs is the root archive.
    const std::string pfs = dir.Write("p/data.pfs", "pf3");
    ASSERT_FALSE(LocateGame(pfs, engine, loc, error));
    EXPECT_EQ(loc.rootArchivePath, pfs);
    EXPECT_EQ(loc.gameDataPath, d + "/p");
    EXPECT_EQ(loc.applicationPath, engine);

    // No GAME: the executable's own folder.
    const std::string own = dir.Write("e/kestrin", "");
    dir.Write("e/root.pfs", "pf3");
    ASSERT_FALSE(LocateGame("", own, loc, error));
    EXPECT_EQ(loc.gameDataPath, d + "/e");
    EXPECT_EQ(loc.rootArchivePath, d + "/e/root.pfs");

    EXPECT_TRUE(LocateGame(d + "/nothing", engine, loc, error));
    EXPECT_NE(error.find("no game"), std::string::npos);
    EXPECT_TRUE(LocateGame(dir.Write("x/readme.txt", ""), engine, loc, error));
}

TEST(LoadSystemIni, DefaultsOverridesAndBadSizes) {
    struct Case {
        const char* name;
        const char* text;
        int width, height;
        std::string boot, charset, savePath;
        bool frameless, sideCut, software;
        int cacheSize;
        // clang-format off
    } cases[] = {
        {"empty", "", 800, 600, "main.iet", "Shift_JIS", "", false, false, false, 0},
        {"sections", "[SYSTEM]\nBOOT=a.iet\nCHARSET=utf-8\nSAVEPATH=sv\nFORCE_SOFTWARE_RENDER=1\n"
                     "[WINDOW]\nWIDTH=1280\nHEIGHT=720\nFRAMELESS=1\nSIDECUT=1\n",
         1280, 720, "a.iet", "utf-8", "sv", true, true, true, 0},
        {"windows overrides", "[SYSTEM]\nBOOT=a.iet\nSAVEPATH=sv\n[WINDOW]\nWIDTH=1280\nFRAMELESS=1\n"
                              "[WINDOWS]\nWIDTH=1024\nBOOT=b.iet\nFRAMELESS=0\nFORCE_SOFTWARE_RENDER=1\n"
                              "SURFACE_CACHE_SIZE=64\n",
         1024, 600, "b.iet", "Shift_JIS", "sv", false, false, true, 64},
        // An empty WINDOWS value keeps ints and bools but empties strings.
        {"empty overrides", "[SYSTEM]\nSAVEPATH=sv\n[WINDOW]\nWIDTH=1280\nSIDECUT=1\n[WINDOWS]\nWIDTH=\nSIDECUT=\nSAVEPATH=\n",
         1280, 600, "main.iet", "Shift_JIS", "", false, true, false, 0},
        {"software render only from SYSTEM", "[WINDOW]\nFORCE_SOFTWARE_RENDER=1\nSURFACE_CACHE_SIZE=9\n",
         800, 600, "main.iet", "Shift_JIS", "", false, false, false, 0},
        {"sizes of 0 or less fall back", "[WINDOW]\nWIDTH=0\nHEIGHT=-5\n[WINDOWS]\nWIDTH=1024\n", 1024, 600,
         "main.iet", "Shift_JIS", "", false, false, false, 0},
        {"bad override keeps earlier", "[WINDOW]\nWIDTH=640\n[WINDOWS]\nWIDTH=-1\nHEIGHT=abc\n", 640, 600,
         "main.iet", "Shift_JIS", "", false, false, false, 0},
        {"lower-case section ignored", "[window]\nWIDTH=1\n", 800, 600, "main.iet", "Shift_JIS", "", false, false,
         false, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        CDynamicVariables::ReleaseInstance();
        CIni ini;
        ini.Parse(c.text);
        ApplySystemIni(ini);
        CDynamicVariables* dv = CDynamicVariables::GetInstance();
        SCOPED_TRACE(c.name);
        EXPECT_EQ(dv->GetInt("ini.Width"), c.width);
        EXPECT_EQ(dv->GetInt("ini.Height"), c.height);
        EXPECT_EQ(dv->GetString("ini.Boot"), c.boot);
        EXPECT_EQ(dv->GetString("ini.Charset"), c.charset);
        EXPECT_EQ(dv->GetString("ini.SavePath"), c.savePath);
        EXPECT_EQ(dv->GetBool("ini.Frameless"), c.frameless);
        EXPECT_EQ(dv->GetBool("ini.SideCut"), c.sideCut);
        EXPECT_EQ(dv->GetBool("ini.ForceSoftwareRender"), c.software);
        EXPECT_EQ(dv->GetInt("ini.SurfaceCacheSize"), c.cacheSize);
    }
    CDynamicVariables::ReleaseInstance();
}

TEST(LoadSystemIni, ReadsTheLooseFileOfTheCurrentFolder) {
    TempDir dir;
    dir.Write("system.ini", "[WINDOW]\r\nSCREEN_SAVER=1\r\nSCREEN_SAVER_TITLE=Stars \r\n");
    const fs::path old = fs::current_path();
    fs::current_path(dir.Path());
    LoadSystemIni();
    fs::current_path(old);
    CDynamicVariables* dv = CDynamicVariables::GetInstance();
    EXPECT_TRUE(dv->GetBool("ini.ScreenSaver"));
    EXPECT_EQ(dv->GetString("ini.ScreenSaverTitle"), "Stars");
    CDynamicVariables::ReleaseInstance();
}

TEST(PrepareSaveFolder, CreatesOneLevelOrFallsBackToUserData) {
    TempDir dir;
    const std::string game = dir.Path() + "/My Game";
    fs::create_directory(game);
    EXPECT_EQ(PrepareSaveFolder(game, ""), game);
    EXPECT_EQ(PrepareSaveFolder(game, "save"), game + "/save");
    EXPECT_TRUE(fs::is_directory(game + "/save"));
    EXPECT_EQ(PrepareSaveFolder(game, "save\\slot"), game + "/save/slot");
    EXPECT_TRUE(fs::is_directory(game + "/save/slot"));

    // A file where the save folder should be: it cannot be written, so saves go to XDG.
    dir.Write("My Game/blocked", "");
    setenv("XDG_DATA_HOME", (dir.Path() + "/xdg").c_str(), 1);
    std::vector<std::string> lines;
    CLogWindow::SetLineSink([&](const std::string& l) { lines.push_back(l); });
    const std::string saved = PrepareSaveFolder(game, "blocked");
    CLogWindow::SetLineSink(nullptr);
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(saved, dir.Path() + "/xdg/kestrin/My Game");
    EXPECT_TRUE(fs::is_directory(saved));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("cannot be written"), std::string::npos);
}

TEST(PrepareSaveFolder, TheWriteProbeNeverWritesThroughWhatIsPlantedAtItsName) {
    // Someone who may write in a shared save folder plants the probe's name, pointing at a
    // file of the player's.
    TempDir dir;
    const std::string game = dir.Path() + "/game";
    const std::string victim = dir.Write("victim.txt", "victim");
    fs::create_directories(game + "/save");
    fs::create_symlink(victim, game + "/save/.kestrin-write-probe");
    EXPECT_EQ(PrepareSaveFolder(game, "save"), game + "/save");
    EXPECT_EQ(kestrin_test::ReadFileBytes(victim), "victim");
    EXPECT_FALSE(fs::exists(fs::symlink_status(game + "/save/.kestrin-write-probe")));
}

namespace {
// Runs the whole start-up on a temporary game with a fake message box.
struct StartUpRun {
    TempDir dir;
    HeadlessMessageBox box;
    HeadlessCloseSignals signals;
    int Run(const std::string& ini, std::vector<std::string> switches) {
        dir.Write("game/system.ini", ini);
        std::vector<std::string> args = {"kestrin", dir.Path() + "/game"};
        args.insert(args.end(), switches.begin(), switches.end());
        return RunArgs(args);
    }
    int RunArgs(const std::vector<std::string>& args) {
        Argv a(args);
        const fs::path old = fs::current_path();
        SPlatformServices services = PlatformServicesInEffect();
        services.messageBox = Unowned(box);
        // A headless window system whose first event asks the game to close.
        auto windows = std::make_shared<HeadlessWindowSystem>();
        SWindowEvent quit;
        quit.type = EWindowEvent::Quit;
        windows->PushEvent(quit);
        services.windowSystem = windows;
        services.clock = std::make_shared<HeadlessClock>(1000);
        services.closeSignals = Unowned(signals);
        std::optional<PlatformServicesScope> scope(std::in_place, services);
        const int rc = KestrinMain(a.argc(), a.argv());
        scope.reset();
        ClearWindowMessages();
        fs::current_path(old);
        return rc;
    }
    bool SaveFolderMade() const { return fs::is_directory(dir.Path() + "/game/sv"); }
};
const char kScreenSaverIni[] = "[SYSTEM]\nSAVEPATH=sv\n[WINDOW]\nSCREEN_SAVER=1\nSCREEN_SAVER_TITLE=Settings\n";
}  // namespace

TEST(KestrinMain, ScreenSaverSwitches) {
    {
        StartUpRun run;  // preview: ends at once, nothing shown, no save folder
        EXPECT_EQ(run.Run(kScreenSaverIni, {"/p", "1234"}), 0);
        EXPECT_TRUE(run.box.shown.empty());
        EXPECT_FALSE(run.SaveFolderMade());
    }
    {
        StartUpRun run;  // upper-case P is checked separately and also previews
        EXPECT_EQ(run.Run(kScreenSaverIni, {"/P"}), 0);
        EXPECT_TRUE(run.box.shown.empty());
    }
    {
        StartUpRun run;  // settings switch: the title box, then the end
        EXPECT_EQ(run.Run(kScreenSaverIni, {"/c:1234"}), 0);
        ASSERT_EQ(run.box.shown.size(), 1u);
        EXPECT_EQ(run.box.shown[0].text, "Settings");
        EXPECT_EQ(run.box.shown[0].caption, "");
        EXPECT_EQ(run.box.shown[0].type, kMessageBoxOk);
        EXPECT_FALSE(run.SaveFolderMade());
    }
    {
        StartUpRun run;  // run switch: start-up goes on to the save folder
        EXPECT_EQ(run.Run(kScreenSaverIni, {"/s"}), 0);
        EXPECT_TRUE(run.box.shown.empty());
        EXPECT_TRUE(run.SaveFolderMade());
    }
}

TEST(KestrinMain, SetsVariablesAndReleasesThemAtTheEnd) {
    StartUpRun run;
    std::vector<std::string> lines;
    CLogWindow::SetLineSink([&](const std::string& l) { lines.push_back(l); });
    EXPECT_EQ(run.Run("[SYSTEM]\nSAVEPATH=sv\n", {"/fsr"}), 0);
    CLogWindow::SetLineSink(nullptr);
    EXPECT_TRUE(run.SaveFolderMade());
    EXPECT_TRUE(run.box.shown.empty());
    EXPECT_EQ(g_rootArchivePath, run.dir.Path() + "/game/root.pfs");
    bool sawSave = false;
    for (const auto& l : lines) sawSave |= l == "Kestrin: save folder " + run.dir.Path() + "/game/sv";
    EXPECT_TRUE(sawSave);
    // The store was released: a fresh one is empty.
    std::string s;
    EXPECT_TRUE(CDynamicVariables::GetInstance()->TryGetString("SaveDataPath", s));
    CDynamicVariables::ReleaseInstance();

    StartUpRun missing;
    Argv a({"kestrin", missing.dir.Path() + "/absent"});
    EXPECT_NE(KestrinMain(a.argc(), a.argv()), 0);
}

TEST(KestrinMain, ASignalDuringStartUpClosesTheGameWithStatusZero) {
    // The request arrives before anything is set up; it is kept until the main loop runs,
    // which closes the game window through its leave path.
    StartUpRun run;
    run.signals.Raise();
    EXPECT_EQ(run.Run("[SYSTEM]\nSAVEPATH=sv\n", {}), 0);
    EXPECT_EQ(run.signals.taken, 1);
    EXPECT_FALSE(run.signals.pending);
    EXPECT_TRUE(run.SaveFolderMade());
    EXPECT_TRUE(run.box.shown.empty());
    CDynamicVariables::ReleaseInstance();
}

TEST(KestrinMain, RunsAGameFromAnExeOrArchiveNamedInAnyCase) {
    // "GAME.EXE" beside "game.pfs": the archive holds "system.ini".
    TempDir src;
    src.Write("data/System.ini", "[SYSTEM]\r\nSAVEPATH=sv\r\n[WINDOW]\r\nWIDTH=320\r\n");
    StartUpRun run;
    run.dir.Write("game/GAME.EXE", "MZ");
    const std::string command = std::string(KESTRIN_BINARY_DIR) + "/tools/kpack -k 2 " + src.Path() + "/data " +
                                run.dir.Path() + "/game/game.pfs";
    ASSERT_EQ(std::system(command.c_str()), 0);
    CPackFile::ClearArchives();
    const int rc = run.RunArgs({"kestrin", run.dir.Path() + "/game/GAME.EXE"});
    CPackFile::ClearArchives();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(g_rootArchivePath, run.dir.Path() + "/game/game.pfs");
    EXPECT_TRUE(run.SaveFolderMade()) << "system.ini was not read from the archive";
    EXPECT_TRUE(run.box.shown.empty());
    CDynamicVariables::ReleaseInstance();
}

TEST(ApplySystemIni, ItsOwnNotesGoToStderrAndLeaveTheLogWindowClosed) {
    // A display and an enabled log window: only what the engine logs while running may open it.
    auto windows = std::make_shared<HeadlessWindowSystem>();
    windows->SetHasDisplay(true);
    SPlatformServices services = PlatformServicesInEffect();
    services.windowSystem = windows;
    PlatformServicesScope scope(services);
    CLogWindow::ReleaseInstance();
    CLogWindow::SetWindowEnabled(true);
    struct Case {
        const char* text;
        const char* note;  // "" when the file is clean
        int width, height;
    } cases[] = {
        {"[WINDOW]\nWIDTH=320\nHEIGHT=200\n", "", 320, 200},
        // The section's name runs on to the end: its keys are lost, and one line says why.
        {"[SYSTEM]\nBOOT=a.iet\n[WINDOW\nWIDTH=320\nHEIGHT=200\n",
         "system.ini: the section \"[WINDOW\" has no \"]\" on its line", 800, 600},
        // Closed on a later line: the lines between are its name, the rest its keys.
        {"[WINDOW\r\nWIDTH=320\r\n]\r\nHEIGHT=200\r\n", "system.ini: the section \"[WINDOW\" has no \"]\"", 800, 600},
        // A backslash carries the line break into the name on purpose: no note (the keys
        // belong to the section "WIN\nDOW").
        {"[WIN\\\nDOW]\nWIDTH=320\nHEIGHT=200\n", "", 800, 600},
        // An escaped backslash escapes no line break.
        {"[WINDOW\\\\\nWIDTH=320\n]\nHEIGHT=200\n", "system.ini: the section \"[WINDOW\\\" has no \"]\"", 800, 600},
        {"[WINDOW]\r\nWIDTH=0\r\nHEIGHT=200\r\n", "system.ini: [WINDOW] WIDTH=0 is not a size; using 800", 800, 200},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines;
        CLogWindow::SetLineSink([&](const std::string& l) { lines.push_back(l); });
        CIni ini;
        ini.Parse(c.text);
        ApplySystemIni(ini);
        CLogWindow::SetLineSink(nullptr);
        if (*c.note) {
            ASSERT_EQ(lines.size(), 1u) << c.text;
            EXPECT_EQ(lines[0].find(c.note), 0u) << lines[0];
        } else {
            EXPECT_TRUE(lines.empty()) << c.text;
        }
        CDynamicVariables* dv = CDynamicVariables::GetInstance();
        EXPECT_EQ(dv->GetInt("ini.Width"), c.width) << c.text;
        EXPECT_EQ(dv->GetInt("ini.Height"), c.height) << c.text;
    }
    EXPECT_EQ(windows->WindowCount(), 0u);
    CDynamicVariables::ReleaseInstance();
    CLogWindow::ReleaseInstance();
    CLogWindow::SetWindowEnabled(false);
}

TEST(KestrinMain, AStartThatFailsExitsWithOneAndSaysWhatIsMissingAndWhere) {
    // The program's interpreter, so that the boot script is really looked for.
    struct ProgramInterpreter {
        ProgramInterpreter() { DefaultScriptFactory() = MainScriptFactory(); }
        ~ProgramInterpreter() { DefaultScriptFactory() = nullptr; }
    } interpreter;
    TempDir packed;
    packed.Write("data/other.iet", "@\n");
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;  // under the game folder; "/" ending: a folder
        const char* archive;                                     // a root archive of packed/data, or ""
        std::vector<std::string> switches;
        std::string says;  // after "Kestrin: cannot start: "; "@" stands for the game folder
    } cases[] = {
        {"an empty folder", {}, "", {}, "no system.ini and no boot script \"main.iet\" in the game folder @"},
        {"no boot script",
         {{"system.ini", "[SYSTEM]\nBOOT=start.iet\n"}},
         "root.pfs",
         {},
         "no boot script \"start.iet\" (BOOT of system.ini) in the game folder @ or the archive @/root.pfs"},
        {"a folder where the boot script should be",
         {{"system.ini", ""}, {"main.iet/", ""}},
         "",
         {},
         "the boot script \"main.iet\" in @ is not a file"},
        {"a window larger than the desktop",
         {{"system.ini", "[WINDOW]\nWIDTH=4000\nHEIGHT=3000\n"}, {"main.iet", "@\n"}},
         "",
         {"/fsr"},
         "the game window of 4000x3000 (WIDTH and HEIGHT of system.ini) does not fit the desktop of 1920x1080"},
    };
    for (const Case& c : cases) {
        StartUpRun run;
        const std::string game = run.dir.Path() + "/game";
        fs::create_directories(game);
        for (const auto& file : c.files) {
            if (file.first.back() == '/') {
                fs::create_directories(game + "/" + file.first);
            } else {
                run.dir.Write("game/" + file.first, file.second);
            }
        }
        if (*c.archive) {
            const std::string command = std::string(KESTRIN_BINARY_DIR) + "/tools/kpack " + packed.Path() + "/data " +
                                        game + "/" + c.archive + " > /dev/null";
            ASSERT_EQ(std::system(command.c_str()), 0);
        }
        std::vector<std::string> args = {"kestrin", game};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        std::vector<std::string> lines;
        CLogWindow::SetLineSink([&](const std::string& l) { lines.push_back(l); });
        CPackFile::ClearArchives();
        const int rc = run.RunArgs(args);
        CPackFile::ClearArchives();
        CLogWindow::SetLineSink(nullptr);
        EXPECT_EQ(rc, 1) << c.what;
        std::string says = c.says;
        for (size_t at = says.find('@'); at != std::string::npos; at = says.find('@', at + game.size()))
            says.replace(at, 1, game);
        int found = 0;
        for (const auto& l : lines) found += l == "Kestrin: cannot start: " + says;
        EXPECT_EQ(found, 1) << c.what << "\nwanted: " << says << "\nlogged: " << ::testing::PrintToString(lines);
        ASSERT_FALSE(run.box.shown.empty()) << c.what;
        EXPECT_EQ(run.box.shown.back().caption, "起動エラー") << c.what;
        EXPECT_EQ(run.box.shown.back().type, kMessageBoxIconError) << c.what;
    }
    CDynamicVariables::ReleaseInstance();
}

TEST(KestrinMain, HelpPrintsTheUsageAndStartsNothing) {
    struct Case {
        std::vector<std::string> args;
        bool help;
    } cases[] = {
        {{"--help"}, true},
        {{"-h"}, true},
        {{"some game", "--help"}, true},
        // "-h 480" is a switch with a value for the game, as any other.
        {{"-h", "480"}, false},
    };
    for (const Case& c : cases) {
        StartUpRun run;
        std::vector<std::string> args = {"kestrin"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ::testing::internal::CaptureStdout();
        const int rc = run.RunArgs(args);
        const std::string out = ::testing::internal::GetCapturedStdout();
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        if (c.help) {
            EXPECT_EQ(rc, 0) << shown;
            EXPECT_EQ(out.find("usage: kestrin [GAME]"), 0u) << shown << out;
            std::string path;
            EXPECT_TRUE(CDynamicVariables::GetInstance()->TryGetString("GameDataPath", path)) << shown;
        } else {
            EXPECT_EQ(out, "") << shown;
        }
        CDynamicVariables::ReleaseInstance();
    }
}
