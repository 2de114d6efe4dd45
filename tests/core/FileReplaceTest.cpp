// Whole-file replacement in a save folder where other processes (another copy of the game,
// or someone planting links and FIFOs) may have left things.
#include "CORE/FileReplace.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
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

#include "Application/PlatformServicesScope.h"
#include "CORE/CLogWindow.h"
#include "CORE/FolderWalk.h"
#include "CORE/Platform/IFileSystem.h"
#include "CORE/Platform/PosixFileSystem.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using kestrin::CFileReplacement;
using kestrin::RemoveFileBelow;
using kestrin::ReplaceFileContents;
using kestrin_test::PlantLinkOfAnotherUser;
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

mode_t PermissionsOf(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Makes a folder current while it lives: downloads and deletions name files below it.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& folder) : m_old(fs::current_path()) { fs::current_path(folder); }
    ~ScopedCurrentFolder() { fs::current_path(m_old); }

private:
    fs::path m_old;
};

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
        {"the save file is a folder", [](FileReplace& t) { fs::create_directories(t.Save("save.dat")); }, "save.dat",
         "cannot replace the folder"},
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
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.fileSystem = kestrin::Unowned(full);
    std::optional<kestrin::PlatformServicesScope> scope(std::in_place, services);
    std::string error;
    const bool failed = ReplaceFileContents(m_saves, "slot/one.dat", "new", 3, &error);
    scope.reset();
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

// Another local user who may write in the save folder plants a link to a folder only the
// engine's user may write. Saves, downloads (a name below the current folder) and deletions
// all refuse it, say so on stderr, and leave the private file as it was.
TEST_F(FileReplace, ALinkOfAnotherUserBelowTheFolderIsNeverFollowed) {
    const std::string secret = m_outside + "/secret";
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> foreignLinks;  // save-folder name, target
        std::vector<std::pair<std::string, std::string>> ownLinks;
        std::function<bool(FileReplace&, std::string&)> act;  // true on failure
    };
    const auto save = [](const char* name) {
        return [name](FileReplace& t, std::string& error) {
            return ReplaceFileContents(t.m_saves, name, "new", 3, &error);
        };
    };
    const std::vector<Case> cases = {
        {"a save in a linked subfolder", {{"sub", secret}}, {}, save("sub\\victim.txt")},
        {"a save in a deeper linked subfolder", {{"a/b", secret}}, {}, save("a/b/victim.txt")},
        {"a save whose name goes up through the link", {{"up", secret}}, {}, save("up/../x/../up/victim.txt")},
        {"a save through a link of ours that leads through the planted one",
         {{"mid/hop", secret}},
         {{"own", "mid/hop"}},
         save("own/victim.txt")},
        {"a download below the current folder",
         {{"sub", secret}},
         {},
         [](FileReplace& t, std::string& error) {
             ScopedCurrentFolder current(t.m_root.Path());
             CFileReplacement download;
             if (download.Begin("saves/sub/victim.txt", &error)) return true;
             download.Write("new", 3);
             return download.Commit(&error);
         }},
        {"a deletion below the current folder",
         {{"sub", secret}},
         {},
         [](FileReplace& t, std::string& error) {
             ScopedCurrentFolder current(t.m_root.Path());
             return RemoveFileBelow("saves/sub/victim.txt", &error);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_saves);
        fs::remove_all(m_outside);
        fs::create_directories(m_saves + "/mid");
        fs::create_directories(m_saves + "/a");
        fs::create_directories(secret);
        const std::string victim = m_root.Write("outside/secret/victim.txt", "victim");
        ASSERT_EQ(chmod(victim.c_str(), 0600), 0);
        ASSERT_EQ(chmod(secret.c_str(), 0700), 0);
        for (const auto& link : c.foreignLinks) {
            if (!PlantLinkOfAnotherUser(link.second, Save(link.first)))
                GTEST_SKIP() << "giving a symbolic link to another user (lchown) needs root";
        }
        for (const auto& link : c.ownLinks) fs::create_symlink(link.second, Save(link.first));

        std::vector<std::string> lines;
        kestrin::CLogWindow::SetLineSink([&](const std::string& line) { lines.push_back(line); });
        std::string error;
        const bool failed = c.act(*this, error);
        kestrin::CLogWindow::SetLineSink(nullptr);
        EXPECT_TRUE(failed);
        EXPECT_NE(error.find("refusing to follow the symbolic link"), std::string::npos) << error;
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("belongs to another user"), std::string::npos) << lines[0];
        EXPECT_EQ(ReadFileBytes(victim), "victim");
        EXPECT_EQ(PermissionsOf(victim), 0600u);
        std::vector<std::string> inside;
        for (const auto& entry : fs::directory_iterator(secret)) inside.push_back(entry.path().string());
        EXPECT_EQ(inside, std::vector<std::string>{victim});
        EXPECT_EQ(Temporaries(m_root.Path()), std::vector<std::string>());
    }
}

// Links that the engine's user (or root) made, such as those a game is shipped with, are
// followed wherever they lead, by relative and absolute targets and chains of them.
TEST_F(FileReplace, LinksOfTheEnginesUserBelowTheFolderAreFollowed) {
    fs::create_directories(m_outside + "/deep");
    fs::create_symlink(m_outside, Save("slot"));
    fs::create_symlink("../outside/deep", Save("relative"));
    fs::create_symlink("relative", Save("chain"));
    fs::create_symlink("../outside/none", Save("dangling"));
    fs::create_symlink("loop", Save("loop"));

    EXPECT_FALSE(ReplaceFileContents(m_saves, "slot\\one.dat", "a", 1, nullptr));
    EXPECT_EQ(ReadFileBytes(m_outside + "/one.dat"), "a");
    EXPECT_FALSE(ReplaceFileContents(m_saves, "chain/made/two.dat", "b", 1, nullptr));
    EXPECT_EQ(ReadFileBytes(m_outside + "/deep/made/two.dat"), "b");
    {
        ScopedCurrentFolder current(m_root.Path());
        CFileReplacement download;
        ASSERT_FALSE(download.Begin("saves/chain/three.dat", nullptr));
        ASSERT_FALSE(download.Write("c", 1));
        EXPECT_FALSE(download.Commit(nullptr));
        EXPECT_EQ(ReadFileBytes(m_outside + "/deep/three.dat"), "c");
        EXPECT_FALSE(RemoveFileBelow("saves/slot/one.dat", nullptr));
        EXPECT_FALSE(fs::exists(m_outside + "/one.dat"));
        // A deletion never makes folders, nor removes one.
        std::string error;
        EXPECT_TRUE(RemoveFileBelow("saves/slot/none/one.dat", &error));
        EXPECT_FALSE(fs::exists(m_outside + "/none"));
        EXPECT_TRUE(RemoveFileBelow("saves/chain/made", &error));
        EXPECT_NE(error.find("cannot remove the folder"), std::string::npos) << error;
        EXPECT_TRUE(fs::is_directory(m_outside + "/deep/made"));
    }
    // Nothing is made through a link that leads nowhere, and a loop ends.
    std::string error;
    EXPECT_TRUE(ReplaceFileContents(m_saves, "dangling/x.dat", "d", 1, &error));
    EXPECT_NE(error.find("dangling"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(m_outside + "/none"));
    EXPECT_TRUE(ReplaceFileContents(m_saves, "loop/x.dat", "e", 1, &error));
    EXPECT_NE(error.find("Too many levels of symbolic links"), std::string::npos) << error;
    EXPECT_EQ(Temporaries(m_root.Path()), std::vector<std::string>());
}

// A save the player keeps private stays so when it is replaced.
TEST_F(FileReplace, AReplacedFileKeepsThePermissionsOfTheEnginesUsersFile) {
    const mode_t oldMask = umask(022);
    struct Case {
        const char* name;
        mode_t before;  // 0: no file yet
        mode_t after;
    } cases[] = {
        {"private.dat", 0600, 0600},
        {"shared.dat", 0666, 0666},  // exactly: the umask does not take bits away
        {"new.dat", 0, 0644},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.before != 0) {
            m_root.Write(std::string("saves/") + c.name, "old");
            ASSERT_EQ(chmod(Save(c.name).c_str(), c.before), 0);
        }
        EXPECT_FALSE(ReplaceFileContents(m_saves, c.name, "new", 3, nullptr));
        EXPECT_EQ(ReadFileBytes(Save(c.name)), "new");
        EXPECT_EQ(PermissionsOf(Save(c.name)), c.after);
    }
    // Another user's file: the new one is the engine's user's, with the usual bits.
    const std::string theirs = m_root.Write("saves/theirs.dat", "old");
    ASSERT_EQ(chmod(theirs.c_str(), 0606), 0);
    const bool givenAway = chown(theirs.c_str(), kestrin_test::kOtherUser, kestrin_test::kOtherUser) == 0;
    if (givenAway) {
        EXPECT_FALSE(ReplaceFileContents(m_saves, "theirs.dat", "new", 3, nullptr));
        struct stat st;
        ASSERT_EQ(lstat(theirs.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, geteuid());
        EXPECT_EQ(st.st_mode & 07777, 0644u);
    }
    umask(oldMask);
    if (!givenAway) GTEST_SKIP() << "giving a file to another user (chown) needs root; that case was not run";
}

}  // namespace
