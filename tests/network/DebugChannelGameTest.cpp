// A game in trace mode 2 talks to a debugger in another process: this test plays the
// debugger (it makes the shared objects, reads and answers) while kestrin-harness runs
// the game. Each run uses its own channel name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "NETWORK/CProcessCommunication.h"
#include "support/TestSupport.h"

extern char** environ;

namespace {

using kestrin::CProcessCommunication;

class Debugger : public CProcessCommunication {
public:
    Debugger(const std::string& name, size_t size) : CProcessCommunication(name, size) {}
    void OnRequest(uint8_t* bytes, uint32_t& length) override {
        messages.emplace_back(reinterpret_cast<const char*>(bytes), length);
        length = 0;
    }
    std::vector<std::string> messages;
};

std::string UniqueChannel(const char* what) {
    static int counter = 0;
    return std::string("KestrinTest_") + what + "_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

// Runs the harness on the game; the debugger answers until the game has ended, and step
// (when given) runs after each of its turns. The harness's stderr goes to errorFile when given.
int RunGame(const std::string& game, Debugger* debugger, const std::string& errorFile = std::string(),
            const std::function<void()>& step = nullptr) {
    std::string harness = std::string(KESTRIN_BINARY_DIR) + "/tests/harness/kestrin-harness";
    std::vector<char*> argv = {harness.data(), const_cast<char*>(game.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!errorFile.empty())
        posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, harness.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    for (;;) {
        if (debugger) debugger->Poll();
        if (step) step();
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        usleep(1000);
    }
    if (debugger) debugger->Poll();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class DebugChannelGame : public ::testing::Test {
protected:
    void SetUp() override {
        m_channel = UniqueChannel("channel");
        setenv("KESTRIN_DEBUG_CHANNEL", m_channel.c_str(), 1);
        m_game.Write("system.ini", "[WINDOW]\nWIDTH=64\nHEIGHT=48\n[SYSTEM]\nCHARSET=utf-8\n");
    }
    void TearDown() override { unsetenv("KESTRIN_DEBUG_CHANNEL"); }

    std::string m_channel;
    kestrin_test::TempDir m_game;
};

TEST_F(DebugChannelGame, TraceTextArrivesWholeAndInOrderWithExitLast) {
    const std::string longText(700, 'L');
    m_game.Write("main.iet",
                 "[debug mode=2 level=3]\n"
                 "[debugprint data=first]\n"
                 "[wait time=100]\n"
                 "[debugprint data=" +
                     longText +
                     "]\n"
                     "[debugprint data=second]\n"
                     "[wait time=50]\n"
                     "[debugprint data=last]\n");
    // A small mapping: the long line must be split to fit.
    const size_t kMapping = 256;
    Debugger debugger(m_channel, kMapping);
    ASSERT_TRUE(debugger.IsOpen());
    ASSERT_EQ(RunGame(m_game.Path(), &debugger), 0);

    // The long line alone takes three messages.
    ASSERT_GE(debugger.messages.size(), 6u);
    EXPECT_EQ(debugger.messages.back(), std::string("EXIT", 5));
    std::string text;
    for (size_t i = 0; i + 1 < debugger.messages.size(); ++i) {
        const std::string& message = debugger.messages[i];
        ASSERT_LE(message.size(), kMapping - 4);
        ASSERT_FALSE(message.empty());
        ASSERT_EQ(message.back(), '\0') << i;
        ASSERT_EQ(message.find('\0'), message.size() - 1) << i;
        EXPECT_NE(message, std::string("EXIT", 5));
        text += message.substr(0, message.size() - 1);
    }
    const std::vector<std::string> lines = {"main.iet(2): debugprint first\n",
                                            "main.iet(4): debugprint " + longText + "\n",
                                            "main.iet(5): debugprint second\n", "main.iet(7): debugprint last\n"};
    size_t at = 0;
    for (const auto& line : lines) {
        size_t found = text.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line.substr(0, 40) << "\n" << text;
        at = found + line.size();
    }
}

TEST_F(DebugChannelGame, WithoutADebuggerTheGameRunsAndLeavesNoSharedObjects) {
    m_game.Write("main.iet", "[debug mode=2]\n[debugprint data=nobody]\n");
    ASSERT_EQ(RunGame(m_game.Path(), nullptr), 0);
    // The engine only opens: nothing of that name was made.
    Debugger late(m_channel, 0);
    EXPECT_FALSE(late.IsOpen());
    EXPECT_NE(access(("/dev/shm/" + m_channel + "_map").c_str(), F_OK), 0);
    EXPECT_NE(access(("/dev/shm/sem." + m_channel + "_server").c_str(), F_OK), 0);
}

TEST_F(DebugChannelGame, ObjectsOpenToOtherUsersAreRefusedAndTheGameRunsOn) {
    m_game.Write("main.iet", "[debug mode=2]\n[debugprint data=secret]\n");
    Debugger debugger(m_channel, 256);
    // Another local user could read this mapping: the game must not write its trace there.
    int fd = shm_open(("/" + m_channel + "_map").c_str(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(fchmod(fd, 0644), 0);
    close(fd);
    const std::string errors = m_game.Path() + "/stderr.txt";
    ASSERT_EQ(RunGame(m_game.Path(), &debugger, errors), 0);
    EXPECT_TRUE(debugger.messages.empty());
    const std::string log = kestrin_test::ReadFileBytes(errors);
    EXPECT_NE(log.find("debug channel: \"/" + m_channel +
                       "_map\" is open to other users (mode 644); the channel "
                       "stays closed"),
              std::string::npos)
        << log;
}

TEST_F(DebugChannelGame, AnObjectShrunkWhileTheGameRunsClosesTheChannelAndTheGameEndsNormally) {
    m_game.Write("main.iet",
                 "[debug mode=2 level=3]\n[debugprint data=first]\n[wait time=100]\n"
                 "[debugprint data=second]\n[wait time=100]\n[debugprint data=third]\n");
    struct Case {
        const char* object;
        std::string file;
        std::string logged;
    };
    const Case cases[] = {
        {"_map", "/dev/shm/" + m_channel + "_map", "the shared memory no longer holds its size"},
        {"_server", "/dev/shm/sem." + m_channel + "_server",
         "\"" + m_channel + "_server\" no longer holds its semaphore"},
        {"_client", "/dev/shm/sem." + m_channel + "_client",
         "\"" + m_channel + "_client\" no longer holds its semaphore"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.object);
        Debugger debugger(m_channel, 256);
        ASSERT_TRUE(debugger.IsOpen());
        bool shrunk = false;
        // As soon as the first message is in, the object goes to 0 bytes: the game touches
        // it again for its next message or for the reply.
        auto shrink = [&] {
            if (shrunk || debugger.messages.empty()) return;
            shrunk = truncate(c.file.c_str(), 0) == 0;
        };
        const std::string errors = m_game.Path() + "/stderr.txt";
        ASSERT_EQ(RunGame(m_game.Path(), &debugger, errors, shrink), 0);
        ASSERT_TRUE(shrunk);
        // The game touches "_client" only to wait for a reply: the message it sent before
        // waiting may still reach the debugger, whose answer then finds the object broken.
        EXPECT_GE(debugger.messages.size(), 1u);
        EXPECT_LE(debugger.messages.size(), std::string(c.object) == "_client" ? 2u : 1u);
        const std::string log = kestrin_test::ReadFileBytes(errors);
        EXPECT_NE(log.find("debug channel: " + c.logged + "; the channel is closed"), std::string::npos) << log;
        EXPECT_EQ(log.find("messages were not sent"), std::string::npos) << log;
    }
}

}  // namespace
