// Global and system save files: format, persistence across runs, damaged and foreign
// files, failed writes, and saves interrupted by killing the process.
#include "SCRIPT/CSaveData.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"
#include "CORE/CSerializer.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "support/InterpreterFixture.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using kestrin::CDynamicVariables;
using kestrin::CLogWindow;
using kestrin::CMainScript;
using kestrin::CSaveData;

namespace {

std::string Header(char type, int32_t version) {
    std::string bytes = "BOW";
    bytes += type;
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((static_cast<uint32_t>(version) >> shift) & 0xFF);
    return bytes;
}

class SaveDataTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        CDynamicVariables::GetInstance()->SetString("SaveDataPath", m_saves.Path());
        m_dir.Write("main.iet", "[exit]\n");
    }
    void TearDown() override {
        m_script.reset();
        kestrin::ClearGamePathCache();
        InterpreterFixture::TearDown();
    }

    CMainScript& Boot() {
        m_script.reset(new CMainScript(nullptr));
        EXPECT_FALSE(m_script->Start());
        return *m_script;
    }
    // Runs until the script quits (which writes the global data).
    void RunToEnd() {
        for (int frame = 0; frame < 10 && m_script->GetState() != CMainScript::STAT_QUIT; ++frame) {
            m_script->Update(static_cast<uint32_t>(frame) * 16);
        }
        ASSERT_EQ(m_script->GetState(), CMainScript::STAT_QUIT);
    }
    std::string SavePath(const std::string& name) const { return m_saves.Path() + "/" + name; }
    std::string Read(const std::string& name) const { return kestrin_test::ReadFileBytes(SavePath(name)); }

    kestrin_test::TempDir m_saves;
};

TEST_F(SaveDataTest, GlobalAndSystemDataPersistAcrossRuns) {
    for (int run = 1; run <= 3; ++run) {
        CMainScript& script = Boot();
        kestrin::COruVariables& variables = script.GetVariables();
        EXPECT_EQ(variables.GetInt("g.runs"), run - 1) << run;
        variables.SetInt("g.runs", variables.GetInt("g.runs") + 1);
        variables.SetString("s.volume", "7");
        variables.SetString("f.local", "not saved");
        RunToEnd();
    }
    CMainScript& script = Boot();
    EXPECT_EQ(script.GetVariables().GetInt("g.runs"), 3);
    EXPECT_EQ(script.GetVariables().GetString("s.volume"), "7");
    EXPECT_EQ(script.GetVariables().Find("f.local"), nullptr);
    // The executed blocks of main.iet came back too.
    EXPECT_EQ(script.GetReadBlocks()["main.iet"].count(0), 1u);

    std::string global = Read("saveg.dat"), system = Read("system.dat");
    EXPECT_EQ(global.substr(0, 8), Header('G', 1000));
    EXPECT_EQ(system.substr(0, 8), Header('X', 1000));
    EXPECT_FALSE(fs::exists(SavePath("saveg.dat.tmp")));
}

TEST_F(SaveDataTest, UnforcedSavesWriteOnlyWhatChanged) {
    CMainScript& script = Boot();
    script.GetSaveData().SaveGlobal(false);
    // Boot set the system variables: only "system.dat" is due.
    EXPECT_FALSE(fs::exists(SavePath("saveg.dat")));
    ASSERT_TRUE(fs::exists(SavePath("system.dat")));
    fs::remove(SavePath("system.dat"));
    script.GetSaveData().SaveGlobal(true);
    EXPECT_TRUE(fs::exists(SavePath("saveg.dat")));
    EXPECT_FALSE(fs::exists(SavePath("system.dat")));
    script.GetVariables().SetInt("g.x", 1);
    fs::remove(SavePath("saveg.dat"));
    script.GetSaveData().SaveGlobal(false);
    EXPECT_TRUE(fs::exists(SavePath("saveg.dat")));
}

TEST_F(SaveDataTest, ClickWaitsSaveChangedGlobalsOutsideSkippingAndLeavingAlwaysSaves) {
    CMainScript& script = Boot();
    script.GetSaveData().SaveGlobal(true);
    fs::remove(SavePath("saveg.dat"));

    script.GetVariables().SetInt("g.seen", 1);
    script.SetStatus(CMainScript::STAT_CLICK);
    EXPECT_TRUE(fs::exists(SavePath("saveg.dat")));
    script.SetStatus(CMainScript::STAT_RUN);

    fs::remove(SavePath("saveg.dat"));
    script.GetVariables().SetInt("g.seen", 2);
    script.SetCommandSkip(true, true);
    script.SetStatus(CMainScript::STAT_CLICK);
    script.SetStatus(CMainScript::STAT_STOP);
    EXPECT_FALSE(fs::exists(SavePath("saveg.dat")));
    script.SetCommandSkip(false, true);
    script.SetStatus(CMainScript::STAT_STOP);
    EXPECT_TRUE(fs::exists(SavePath("saveg.dat")));

    // Leaving writes the global data whatever changed and whatever the autosave mode.
    fs::remove(SavePath("saveg.dat"));
    ASSERT_EQ(script.GetAutoSaveMode(), 0);
    script.Leave();
    EXPECT_TRUE(fs::exists(SavePath("saveg.dat")));
    EXPECT_FALSE(fs::exists(SavePath("autosave.dat")));
}

TEST_F(SaveDataTest, FilesOfAnotherTypeOrVersionDoNotLoadAndAreSetAside) {
    CMainScript& script = Boot();
    script.GetVariables().SetString("g.kept", "memory");
    script.GetVariables().SetString("s.kept", "memory");
    script.GetSaveData().SaveGlobal(true);
    std::string global = Read("saveg.dat");
    std::string body = global.substr(8);
    CSaveData& save = script.GetSaveData();

    struct Case {
        std::string bytes;
        char expected;
        bool fails;
    };
    const Case cases[] = {
        {Header('S', 1000) + body, 'X', true},  // a game save named "system.dat"
        {Header('X', 1000) + body, 'G', true},
        {Header('Q', 1000) + body, 'G', true},  // unknown type
        {Header('G', 1099) + body, 'G', false},
        {Header('G', 1100) + body, 'G', true},
        {Header('G', 999) + body, 'G', true},
        {Header('G', 1000), 'G', false},           // no archive: loads, changes nothing
        {std::string(8, '\0') + body, 'G', true},  // headerless
        {"BOW", 'G', true},
    };
    for (const auto& c : cases) {
        m_dir.Write("../" + fs::path(m_saves.Path()).filename().string() + "/probe.dat", c.bytes);
        script.GetVariables().SetString("g.kept", "changed in memory");
        EXPECT_EQ(save.Load("probe.dat", c.expected), c.fails) << c.bytes.size();
        if (c.fails) {
            EXPECT_EQ(script.GetVariables().GetString("g.kept"), "changed in memory");
        }
    }

    // At boot an unusable file is moved aside, so the next save cannot destroy it.
    std::string foreign = Header('S', 1000) + body;
    m_dir.Write("../" + fs::path(m_saves.Path()).filename().string() + "/system.dat", foreign);
    Boot();
    EXPECT_TRUE(LoggedWithin("system.dat: セーブデータの種類('S')が違います。"));
    EXPECT_EQ(Read("system.dat.broken"), foreign);
    EXPECT_EQ(m_script->GetVariables().GetString("g.kept"), "memory");
    // Every unusable file is kept, each under its own number.
    for (const std::string& suffix : {".broken.2", ".broken.3"}) {
        std::string another = Header('G', 1100) + suffix;
        m_dir.Write("../" + fs::path(m_saves.Path()).filename().string() + "/system.dat", another);
        Boot();
        EXPECT_EQ(Read("system.dat" + suffix), another);
        EXPECT_TRUE(LoggedWithin("system.dat: 読み込めないセーブデータを system.dat" + suffix + " に退避しました。"))
            << AllLines();
    }
    EXPECT_EQ(Read("system.dat.broken"), foreign);
}

TEST_F(SaveDataTest, DamagedFilesApplyNothing) {
    CMainScript& script = Boot();
    script.GetVariables().SetString("g.name", "saved");
    script.GetVariables().SetString("g.other", "value");
    script.GetReadBlocks()["main.iet"] = {0, 1, 2};
    script.GetSaveData().SaveGlobal(true);
    std::string whole = Read("saveg.dat");
    ASSERT_GT(whole.size(), 40u);

    CSaveData& save = script.GetSaveData();
    for (size_t length = 9; length < whole.size(); ++length) {
        std::ofstream(SavePath("cut.dat"), std::ios::binary) << whole.substr(0, length);
        script.GetVariables().SetString("g.name", "memory");
        script.GetReadBlocks()["main.iet"] = {5};
        EXPECT_TRUE(save.Load("cut.dat", 'G')) << length;
        EXPECT_EQ(script.GetVariables().GetString("g.name"), "memory") << length;
        EXPECT_EQ(script.GetReadBlocks()["main.iet"].count(5), 1u) << length;
    }
    // Counts beyond the data, and the name of a variable outside "g.".
    std::string huge = whole;
    huge[8 + 4 + 16] = '\x7F';  // the first element count of member 1
    std::ofstream(SavePath("huge.dat"), std::ios::binary) << huge;
    EXPECT_TRUE(save.Load("huge.dat", 'G'));

    EXPECT_FALSE(save.Load("saveg.dat", 'G'));
    EXPECT_EQ(script.GetVariables().GetString("g.name"), "saved");
    EXPECT_EQ(script.GetReadBlocks()["main.iet"], (std::set<int32_t>{0, 1, 2}));
}

TEST_F(SaveDataTest, FailedWritesAreReportedKeepTheOldFileAndAreRetried) {
    kestrin::HeadlessFileSystem fake;
    fake.AddDirectory("saves");
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.fileSystem = kestrin::Unowned(fake);
    kestrin::PlatformServicesScope scope(services);
    ASSERT_FALSE(scope.Failed());
    CDynamicVariables::GetInstance()->SetString("SaveDataPath", "saves");
    CMainScript script(nullptr);
    script.GetVariables().SetString("g.value", "first");
    script.GetSaveData().SaveGlobal(true);
    std::string first = fake.Contents("saves/saveg.dat");
    ASSERT_EQ(first.substr(0, 8), Header('G', 1000));

    for (bool* failure : {&fake.failRename, &fake.failSync}) {
        *failure = true;
        m_lines.clear();
        script.GetVariables().SetString("g.value", "second");
        script.GetSaveData().SaveGlobal(false);
        EXPECT_TRUE(LoggedWithin("saveg.dat: セーブデータを書き込めませんでした。"));
        EXPECT_EQ(fake.Contents("saves/saveg.dat"), first);
        EXPECT_FALSE(fake.Exists("saves/saveg.dat.tmp"));
        *failure = false;
        // Nothing changed since, but the failed write is due again.
        script.GetSaveData().SaveGlobal(false);
        EXPECT_NE(fake.Contents("saves/saveg.dat"), first);
        script.GetVariables().SetString("g.value", "first");
        script.GetSaveData().SaveGlobal(true);
        first = fake.Contents("saves/saveg.dat");
    }
}

TEST_F(SaveDataTest, SaveNamesWithBackslashesCreateFolders) {
    CMainScript& script = Boot();
    kestrin::CSerializer archive;
    archive.SaveInt(5, 1);
    EXPECT_FALSE(script.GetSaveData().WriteFile("slot\\deep\\one.dat", archive, 'S'));
    EXPECT_EQ(Read("slot/deep/one.dat").substr(0, 8), Header('S', 1000));
    EXPECT_EQ(fs::current_path(), fs::path(m_dir.Path()));
}

// A child saves in a loop and is killed at some point of a save; whatever moment it was,
// "saveg.dat" reads back whole, with one of the counts the child wrote.
TEST_F(SaveDataTest, KillingTheProcessDuringSavesNeverLeavesAnUnreadableFile) {
    for (int round = 0; round < 12; ++round) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeFds[0]);
            CLogWindow::SetLineSink(nullptr);
            CMainScript script(nullptr);
            for (int32_t count = 1;; ++count) {
                script.GetVariables().SetInt("g.count", count);
                // Enough data that a write takes a while.
                for (int i = 0; i < 50; ++i) script.GetReadBlocks()["file" + std::to_string(i)].insert(count);
                script.GetSaveData().SaveGlobal(true);
                char done = 1;
                if (count % 4 == 0 && write(pipeFds[1], &done, 1) != 1) _exit(1);
            }
        }
        close(pipeFds[1]);
        char byte;
        // Kill at a different moment each round: after a number of saves, plus a
        // varying amount of busy time.
        for (int seen = 0; seen < 1 + round % 3; ++seen) ASSERT_EQ(read(pipeFds[0], &byte, 1), 1);
        for (volatile int spin = 0; spin < round * 20000; ++spin) {
        }
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(pipeFds[0]);
        ASSERT_TRUE(WIFSIGNALED(status));

        CMainScript reader(nullptr);
        ASSERT_FALSE(reader.GetSaveData().Load("saveg.dat", 'G')) << "round " << round;
        EXPECT_GE(reader.GetVariables().GetInt("g.count"), 4) << "round " << round;
        EXPECT_EQ(reader.GetReadBlocks().size(), 50u);
    }
}

}  // namespace
