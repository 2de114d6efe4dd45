// Whole-file replacement in a save folder where other processes (another copy of the game,
// or someone planting links and FIFOs) may have left things.
#include "CORE/FileReplace.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "CORE/Platform/IFileSystem.h"
#include "CORE/Platform/PosixFileSystem.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using kestrin::CFileReplacement;
using kestrin::ReplaceFileContents;
using kestrin_test::ReadFileBytes;

// Temporary files anywhere below root.
std::vector<std::string> Temporaries(const std::string& root) {
    std::vector<std::string> found;
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(root, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (CFileReplacement::IsTemporaryName(it->path().filename().string())) found.push_back(it->path().string());
    }
    return found;
}

void SetAge(const std::string& path, int seconds) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = std::time(nullptr) - seconds;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

class FileReplace : public ::testing::Test {
public:  // the planting steps of the cases reach in
    void SetUp() override {
        m_saves = m_root.Path() + "/saves";
        m_outside = m_root.Path() + "/outside";
        fs::create_directories(m_saves);
        fs::create_directories(m_outside);
        m_victim = m_root.Write("outside/victim", "victim");
    }
    std::string Save(const std::string& relative) const { return m_saves + "/" + relative; }

    kestrin_test::TempDir m_root;
    std::string m_saves, m_outside, m_victim;
};

TEST_F(FileReplace, WhatIsPlantedInTheSaveFolderIsNeverWrittenThrough) {
    struct Case {
        const char* what;
        std::function<void(FileReplace&)> plant;
        const char* name;
        const char* refusal;  // null: the save goes through
    };
    const std::vector<Case> cases = {
        {"a link at the name a temporary file once had",
         [](FileReplace& t) { fs::create_symlink(t.m_victim, t.Save("save.dat.tmp")); }, "save.dat", nullptr},
        {"a FIFO at the name a temporary file once had",
         [](FileReplace& t) { ASSERT_EQ(mkfifo(t.Save("save.dat.tmp").c_str(), 0600), 0); }, "save.dat", nullptr},
        {"the save file is a link", [](FileReplace& t) { fs::create_symlink(t.m_victim, t.Save("save.dat")); },
         "save.dat", "refusing to replace the symbolic link"},
        {"the save file is a FIFO", [](FileReplace& t) { ASSERT_EQ(mkfifo(t.Save("save.dat").c_str(), 0600), 0); },
         "save.dat", "refusing to replace the special file"},
        {"a save subfolder is a link", [](FileReplace& t) { fs::create_symlink(t.m_outside, t.Save("slot")); },
         "slot\\one.dat", "refusing to write through the symbolic link"},
        {"a deeper save subfolder is a link",
         [](FileReplace& t) {
             fs::create_directories(t.Save("a"));
             fs::create_symlink(t.m_outside, t.Save("a/b"));
         },
         "a/b/c/one.dat", "refusing to write through the symbolic link"},
        {"a name that goes up through a linked subfolder",
         [](FileReplace& t) { fs::create_symlink(t.m_outside + "/deep", t.Save("up")); }, "up/../x/../up/one.dat",
         "refusing to write through the symbolic link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_saves);
        fs::remove_all(m_outside);
        fs::create_directories(m_saves);
        fs::create_directories(m_outside + "/deep");
        m_root.Write("outside/victim", "victim");
        m_root.Write("saves/keep.dat", "keep");
        c.plant(*this);

        std::string error;
        const bool failed = ReplaceFileContents(m_saves, c.name, "new", 3, &error);
        EXPECT_EQ(failed, c.refusal != nullptr) << error;
        if (c.refusal) {
            EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
        }
        // Nothing outside the save folder changed or appeared.
        EXPECT_EQ(ReadFileBytes(m_victim), "victim");
        std::vector<std::string> outside;
        for (const auto& entry : fs::recursive_directory_iterator(m_outside)) outside.push_back(entry.path().string());
        std::sort(outside.begin(), outside.end());
        EXPECT_EQ(outside, (std::vector<std::string>{m_outside + "/deep", m_victim}));
        EXPECT_EQ(ReadFileBytes(Save("keep.dat")), "keep");
        if (!c.refusal) {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Save("save.dat"))));
            EXPECT_EQ(ReadFileBytes(Save("save.dat")), "new");
        }
        EXPECT_EQ(Temporaries(m_root.Path()), std::vector<std::string>());
    }
}

TEST_F(FileReplace, TheSaveFolderItselfMayBeALinkAndIsMadeWhenMissing) {
    // Where a player keeps the saves is the player's choice.
    fs::create_symlink(m_outside, m_root.Path() + "/linked");
    EXPECT_FALSE(ReplaceFileContents(m_root.Path() + "/linked", "slot\\one.dat", "a", 1, nullptr));
    EXPECT_EQ(ReadFileBytes(m_outside + "/slot/one.dat"), "a");
    EXPECT_FALSE(ReplaceFileContents(m_root.Path() + "/made/here", "one.dat", "b", 1, nullptr));
    EXPECT_EQ(ReadFileBytes(m_root.Path() + "/made/here/one.dat"), "b");
    // An absolute name is written where it says.
    EXPECT_FALSE(ReplaceFileContents(m_saves, m_outside + "/shot.png", "c", 1, nullptr));
    EXPECT_EQ(ReadFileBytes(m_outside + "/shot.png"), "c");
}

TEST_F(FileReplace, TwoWritersOfOneFileNeverMixTheirBytes) {
    // Two copies of a game saving the same file at the same time: each writes its own
    // temporary file, and the file is one of the two saves, whole.
    const std::string path = Save("saveg.dat");
    CFileReplacement first, second;
    ASSERT_FALSE(first.Begin(path, nullptr));
    ASSERT_FALSE(second.Begin(path, nullptr));
    for (int i = 0; i < 3; ++i) {
        ASSERT_FALSE(first.Write("1111", 4));
        ASSERT_FALSE(second.Write("22", 2));
    }
    EXPECT_EQ(Temporaries(m_saves).size(), 2u);
    EXPECT_FALSE(first.Commit(nullptr));
    EXPECT_EQ(ReadFileBytes(path), "111111111111");
    EXPECT_FALSE(second.Commit(nullptr));
    EXPECT_EQ(ReadFileBytes(path), "222222");
    EXPECT_EQ(Temporaries(m_saves), std::vector<std::string>());
    // One that is dropped leaves the file as it was.
    CFileReplacement dropped;
    ASSERT_FALSE(dropped.Begin(path, nullptr));
    dropped.Write("3", 1);
    dropped.Abandon();
    EXPECT_EQ(ReadFileBytes(path), "222222");
    EXPECT_EQ(Temporaries(m_saves), std::vector<std::string>());
}

// A disk that fills up when the bytes are pushed to it.
class FullDisk : public kestrin::PosixFileSystem {
public:
    bool SyncFile(std::FILE*) override {
        errno = ENOSPC;
        return true;
    }
};

TEST_F(FileReplace, AFailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    m_root.Write("saves/slot/one.dat", "old");
    FullDisk full;
    kestrin::SetFileSystem(&full);
    std::string error;
    const bool failed = ReplaceFileContents(m_saves, "slot/one.dat", "new", 3, &error);
    kestrin::SetFileSystem(nullptr);
    EXPECT_TRUE(failed);
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_EQ(ReadFileBytes(Save("slot/one.dat")), "old");
    EXPECT_EQ(Temporaries(m_root.Path()), std::vector<std::string>());
}

TEST_F(FileReplace, TemporaryFilesOfKilledRunsGoAtTheNextSaveWhileThoseOfRunningOnesStay) {
    // Another copy of the game, in the middle of writing its save.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const std::string path = Save("saveg.dat");
    pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        CFileReplacement writing;
        bool failed = writing.Begin(path, nullptr) || writing.Write("other", 5);
        char done = failed ? 'f' : 'r';
        if (write(ready[1], &done, 1) != 1) _exit(1);
        for (;;) pause();  // until killed
    }
    close(ready[1]);
    char state = 0;
    ASSERT_EQ(read(ready[0], &state, 1), 1);
    close(ready[0]);
    ASSERT_EQ(state, 'r');
    std::vector<std::string> left = Temporaries(m_saves);
    ASSERT_EQ(left.size(), 1u);
    const std::string others = left[0];

    // Leftovers and look-alikes, all old; only files of the exact pattern may go.
    const std::string abandoned = Save(".kestrin-0123456789abcdef.tmp");
    m_root.Write("saves/.kestrin-0123456789abcdef.tmp", "killed");
    const std::vector<std::string> kept = {
        m_root.Write("saves/saveg.dat.tmp", "x"),
        m_root.Write("saves/.kestrin-0123456789ABCDEF.tmp", "x"),
        m_root.Write("saves/.kestrin-0123456789abcde.tmp", "x"),
        m_root.Write("saves/.kestrin-0123456789abcdef.tmp.bak", "x"),
        m_root.Write("saves/kestrin-0123456789abcdef.tmp", "x"),
    };
    const std::string linkLike = Save(".kestrin-fedcba9876543210.tmp");
    fs::create_symlink(m_victim, linkLike);
    const std::string folderLike = Save(".kestrin-00000000000000ff.tmp");
    fs::create_directories(folderLike + "/inside");
    for (const std::string& file : kept) SetAge(file, 3600);
    SetAge(abandoned, 3600);
    SetAge(linkLike, 3600);
    SetAge(others, 3600);

    EXPECT_FALSE(ReplaceFileContents(m_saves, "saveg.dat", "mine", 4, nullptr));
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fs::exists(others)) << "the running copy's file went";
    for (const std::string& file : kept) EXPECT_TRUE(fs::exists(file)) << file;
    EXPECT_TRUE(fs::is_symlink(linkLike));
    EXPECT_EQ(ReadFileBytes(m_victim), "victim");
    EXPECT_TRUE(fs::exists(folderLike + "/inside"));

    // Killed, it leaves its file behind: kept while young, removed once a minute old.
    ASSERT_EQ(kill(other, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(other, &status, 0), other);
    SetAge(others, 0);
    EXPECT_FALSE(ReplaceFileContents(m_saves, "saveg.dat", "mine", 4, nullptr));
    EXPECT_TRUE(fs::exists(others));
    SetAge(others, static_cast<int>(CFileReplacement::kAbandonedSeconds));
    EXPECT_FALSE(ReplaceFileContents(m_saves, "saveg.dat", "mine", 4, nullptr));
    EXPECT_FALSE(fs::exists(others));
    EXPECT_EQ(ReadFileBytes(path), "mine");
}

}  // namespace
