#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CLogWindow.h"
#include "CORE/COruPackFile.h"
#include "CORE/COruPackFileFactory.h"
#include "CORE/CPackFile.h"
#include "CORE/FileFunctions.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "support/TestSupport.h"

using namespace kestrin;
using kestrin_test::ScopedCharset;
using kestrin_test::TempDir;

namespace {

std::string Kpack() { return std::string(KESTRIN_BINARY_DIR) + "/tools/kpack"; }

void Pack(const std::string& args) {
    std::string command = Kpack() + " " + args;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

std::string ReadAll(CFile& f) {
    std::string out;
    char buf[7];
    int n;
    while ((n = f.Read(buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    return out;
}

std::string Int32(int32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
    return s;
}

// A "pf0" archive of named entries; count overrides the record count written.
std::string Pf0(const std::vector<std::pair<std::string, std::string>>& entries, int32_t count = -1) {
    std::string index, data;
    int32_t offset = 3 + 4 + 268 * static_cast<int32_t>(entries.size());
    for (const auto& e : entries) {
        std::string name = e.first;
        name.resize(260, '\0');
        index += name + Int32(offset) + Int32(static_cast<int32_t>(e.second.size()));
        offset += static_cast<int32_t>(e.second.size());
        data += e.second;
    }
    return "pf0" + Int32(count >= 0 ? count : static_cast<int32_t>(entries.size())) + index + data;
}

// A fake executable: "MZ" and a zeroed header.
std::string FakeExe() {
    std::string exe = "MZ";
    exe.resize(256, '\x90');
    for (int i = 28; i < 32; ++i) exe[i] = 0;
    return exe;
}

class PackFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cwd = std::filesystem::current_path().string();
        m_root = CPackFile::RootPackName;
        CPackFile::ClearArchives();
        // Game data: a folder packed as root.pfs, and an "img" folder packed as img.pfs.
        m_dir.Write("src/root/system.ini", "[SYSTEM]\nBOOT=first.iet\n");
        m_dir.Write("src/root/Scenario/Main.iet", "main script");
        m_dir.Write("src/root/\x83\x5c\\x.txt", "sjis folder");  // a 0x5C trail byte in a folder name
        m_dir.Write("src/img/bg.png", "background bytes");
        m_dir.Write("src/img/ch/a.png", "character a");
        m_dir.Write("src/img/\xe3\x82\xbd.png", "utf-8 name");  // "ソ" packed under its UTF-8 name
        ChangeDirectory(m_dir.Path());
        CPackFile::RootPackName = "root.pfs";
    }
    void TearDown() override {
        ChangeDirectory(m_cwd);
        CPackFile::RootPackName = m_root;
        CPackFile::ClearArchives();
    }
    TempDir m_dir;
    std::string m_cwd, m_root;
};

}  // namespace

TEST_F(PackFileTest, EveryKindOpensThroughTheLookupOrder) {
    for (int kind = 0; kind <= 3; ++kind) {
        SCOPED_TRACE(kind);
        CPackFile::ClearArchives();
        Pack("-k " + std::to_string(kind) + " src/root root.pfs");
        Pack("-k " + std::to_string(kind) + " src/img img.pfs");
        COruPackFile f;
        ASSERT_FALSE(f.Open("scenario\\MAIN.IET"));  // root archive, any letter case
        EXPECT_EQ(ReadAll(f), "main script");
        EXPECT_EQ(f.GetName(), "scenario\\MAIN.IET");
        ASSERT_FALSE(f.Open("img/bg.png"));  // img.pfs, looked up inside as bg.png
        EXPECT_EQ(f.GetName(), "img\\bg.png");
        EXPECT_EQ(f.GetSize(), 16);
        EXPECT_EQ(ReadAll(f), "background bytes");
        ASSERT_FALSE(f.Open("IMG\\CH\\A.PNG"));
        EXPECT_EQ(ReadAll(f), "character a");
        ASSERT_FALSE(f.Open("\x83\x5c\\x.txt"));
        EXPECT_EQ(ReadAll(f), "sjis folder");
        ASSERT_FALSE(f.Open("img\\\x83\x5c.PNG"));  // asked for in Shift_JIS
        EXPECT_EQ(ReadAll(f), "utf-8 name");
        EXPECT_TRUE(f.Open("img\\none.png"));
        EXPECT_FALSE(f.IsOpen());
        std::vector<std::string> names;
        ASSERT_FALSE(f.GetFileList("img.pfs", names));
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"bg.png", "ch\\a.png", "\xe3\x82\xbd.png"}));
    }
}

TEST_F(PackFileTest, LooseFilesWinAndWindowsStayInside) {
    Pack("-k 2 src/img img.pfs");
    m_dir.Write("img/bg.png", "loose");
    std::unique_ptr<CFile> f(COruPackFileFactory().Create());
    ASSERT_FALSE(f->Open("img\\BG.PNG"));
    EXPECT_EQ(ReadAll(*f), "loose");
    std::filesystem::remove_all(m_dir.Path() + "/img");

    ASSERT_FALSE(f->Open("img\\bg.png"));
    ASSERT_EQ(f->GetSize(), 16);
    char buf[32];
    EXPECT_EQ(f->Seek(-6, 2), 0);
    EXPECT_EQ(f->Read(buf, 32), 6);
    EXPECT_EQ(std::string(buf, 6), " bytes");
    EXPECT_EQ(f->Tell(), 16);
    EXPECT_EQ(f->Read(buf, 1), 0);
    // Relative seeks out of the entry are refused and keep the position.
    EXPECT_EQ(f->Seek(1, 1), -1);
    EXPECT_EQ(f->Seek(-17, 1), -1);
    EXPECT_EQ(f->Tell(), 16);
    // Before the start: refused. Past the end: Tell -1 and nothing read.
    EXPECT_EQ(f->Seek(-1, 0), -1);
    EXPECT_EQ(f->Seek(4, 2), 0);
    EXPECT_EQ(f->Tell(), -1);
    EXPECT_EQ(f->Read(buf, 32), 0);
    EXPECT_EQ(f->Seek(3, 7), -1);
    EXPECT_EQ(f->Seek(11, 0), 0);

    // A clone reads from its own position over the same handle.
    std::unique_ptr<CFile> c(f->Clone(true));
    EXPECT_NE(dynamic_cast<COruPackFile*>(c.get()), nullptr);
    EXPECT_EQ(c->GetName(), "img\\bg.png");
    EXPECT_EQ(ReadAll(*c), "bytes");
    EXPECT_EQ(f->Tell(), 11);
    EXPECT_EQ(f->Seek(0, 0), 0);
    EXPECT_EQ(ReadAll(*f), "background bytes");

    // The container went away: the entry no longer opens.
    f->Close();
    std::filesystem::remove(m_dir.Path() + "/img.pfs");
    EXPECT_TRUE(f->Open("img\\bg.png"));
    EXPECT_EQ(f->Close(), -1);
}

TEST_F(PackFileTest, ExecutableWrapperAndVolumes) {
    m_dir.Write("game.exe", FakeExe());
    for (int kind = 0; kind <= 3; ++kind) {
        for (bool at28 : {false, true}) {
            SCOPED_TRACE(std::to_string(kind) + (at28 ? " base at 28" : " base at end"));
            CPackFile::ClearArchives();
            std::string out = "packed" + std::to_string(kind) + (at28 ? "h" : "t") + ".exe";
            Pack("-k " + std::to_string(kind) + " -e game.exe " + (at28 ? "--base-at-28 " : "") + "src/img " + out);
            CPackFile::RootPackName = out;
            CPackFile f;
            ASSERT_FALSE(f.Open("ch\\a.png"));
            EXPECT_EQ(ReadAll(f), "character a");
        }
    }
    CPackFile::RootPackName = "root.pfs";

    // Volumes 000 and 002 merge even with 001 missing; the later volume wins.
    CPackFile::ClearArchives();
    m_dir.Write("v0/a.txt", "a from main");
    m_dir.Write("v0/b.txt", "b from main");
    m_dir.Write("v1/b.txt", "b from 000");
    m_dir.Write("v2/b.txt", "b from 002");
    m_dir.Write("v2/c.txt", "c from 002");
    Pack("-k 0 v0 data.pfs");
    Pack("-k 3 v1 data.pfs.000");
    Pack("-k 1 v2 data.pfs.002");
    CPackFile f;
    ASSERT_FALSE(f.Open("data\\a.txt"));
    EXPECT_EQ(ReadAll(f), "a from main");
    ASSERT_FALSE(f.Open("data\\b.txt"));
    EXPECT_EQ(ReadAll(f), "b from 002");
    ASSERT_FALSE(f.Open("data\\c.txt"));
    EXPECT_EQ(ReadAll(f), "c from 002");

    // The packer's own volume split.
    CPackFile::ClearArchives();
    for (int i = 0; i < 10; ++i) m_dir.Write("many/f" + std::to_string(i) + ".txt", "file " + std::to_string(i));
    Pack("-k 2 -v 3 many many.pfs");
    EXPECT_TRUE(std::filesystem::exists(m_dir.Path() + "/many.pfs.002"));
    for (int i = 0; i < 10; ++i) {
        ASSERT_FALSE(f.Open(("many\\F" + std::to_string(i) + ".TXT").c_str()));
        EXPECT_EQ(ReadAll(f), "file " + std::to_string(i));
    }
}

TEST_F(PackFileTest, DuplicateNamesFollowTheIndexKind) {
    // "A.txt" sorts before "a.txt"; both name one entry when case does not matter.
    m_dir.Write("dup/A.txt", "upper");
    m_dir.Write("dup/a.txt", "lower");
    for (int kind = 0; kind <= 3; ++kind) {
        CPackFile::ClearArchives();
        std::string name = "dup" + std::to_string(kind) + ".pfs";
        Pack("-k " + std::to_string(kind) + " dup " + name);
        CPackFile f;
        ASSERT_FALSE(f.Open(("dup" + std::to_string(kind) + "\\a.txt").c_str()));
        EXPECT_EQ(ReadAll(f), kind == 0 ? "lower" : "upper") << kind;
    }
}

TEST_F(PackFileTest, DamagedArchivesFailCleanly) {
    std::string entry = "0123456789";
    auto pf0 = [&](int32_t count, int32_t offset, int32_t size) {
        std::string record(260, '\0');
        record.replace(0, 5, "e.txt");
        return std::string("pf0") + Int32(count) + record + Int32(offset) + Int32(size) + entry;
    };
    const int32_t data = 3 + 4 + 268;
    m_dir.Write("good.pfs", pf0(1, data, 10));
    m_dir.Write("zero.pfs", pf0(0, data, 10));
    m_dir.Write("negcount.pfs", pf0(-5, data, 10));
    m_dir.Write("bigcount.pfs", pf0(1000000, data, 10));
    m_dir.Write("past.pfs", pf0(1, data, 11));
    m_dir.Write("negoffset.pfs", pf0(1, -4, 10));
    m_dir.Write("negsize.pfs", pf0(1, data, -1));
    m_dir.Write("wrap.pfs", pf0(1, 0x7FFFFFF0, 0x7FFFFFF0));
    m_dir.Write("neglen.pfs", std::string("pf2") + Int32(-1) + "xxxx");
    m_dir.Write("biglen.pfs", std::string("pf2") + Int32(0x7FFFFFFF) + "xxxx");
    m_dir.Write("other.pfs", "PK\x03\x04 not an archive");
    m_dir.Write("mz.pfs", "MZ" + std::string(26, '\0') + Int32(-8) + "tail" + Int32(0));
    m_dir.Write("mzend.pfs", "MZ" + std::string(30, '\0') + Int32(0x7FFFFFFF));

    std::vector<std::string> log;
    CLogWindow::SetLineSink([&](const std::string& line) { log.push_back(line); });
    CPackFile f;
    ASSERT_FALSE(f.Open("good\\e.txt"));
    EXPECT_EQ(ReadAll(f), entry);
    EXPECT_FALSE(f.LoadArchive("good.pfs"));
    EXPECT_TRUE(f.LoadArchive("zero.pfs"));
    EXPECT_TRUE(f.LoadArchive("zero.pfs"));  // stays refused
    for (const char* name :
         {"negcount", "past", "negoffset", "negsize", "wrap", "neglen", "biglen", "other", "mz", "mzend"}) {
        EXPECT_TRUE(f.Open((std::string(name) + "\\e.txt").c_str())) << name;
    }
    CLogWindow::SetLineSink(nullptr);
    auto logged = [&](const std::string& text) {
        return std::any_of(log.begin(), log.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(logged("past.pfs: 1 entries lie outside the file"));
    EXPECT_TRUE(logged("biglen.pfs: archive index length"));
    EXPECT_TRUE(logged("other.pfs: not a pack archive"));
    EXPECT_TRUE(logged("mz.pfs: no archive found in the executable"));
    // A count beyond the records: the archive fails, the records read before included.
    CPackFile g;
    EXPECT_TRUE(g.LoadArchive("bigcount.pfs"));
    EXPECT_TRUE(g.Open("bigcount\\e.txt"));

    std::vector<std::string> keep = {"untouched"};
    EXPECT_TRUE(f.GetFileList("missing.pfs", keep));
    EXPECT_TRUE(f.GetFileList("zero.pfs", keep));
    EXPECT_EQ(keep, std::vector<std::string>{"untouched"});
}

TEST_F(PackFileTest, APartlyReadIndexStaysRefused) {
    // The root archive claims two records and holds one: its "system.ini" is missing on
    // the first open and on every later one, and the log says why once.
    m_dir.Write("root.pfs", Pf0({{"system.ini", "[SYSTEM]\n"}}, 2));
    std::vector<std::string> log;
    CLogWindow::SetLineSink([&](const std::string& line) { log.push_back(line); });
    CPackFile f;
    EXPECT_TRUE(f.Open("system.ini"));
    EXPECT_TRUE(f.Open("system.ini"));
    EXPECT_TRUE(f.LoadArchive("root.pfs"));
    std::vector<std::string> names;
    EXPECT_TRUE(f.GetFileList("root.pfs", names));
    CLogWindow::SetLineSink(nullptr);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) {
                                return l.find("root.pfs: archive index is truncated") != std::string::npos;
                            }),
              1);
}

TEST_F(PackFileTest, BrokenRecordBlocksDoNotOpen) {
    // "pf2" index: each entry's record is a nested block; a block that cannot hold the
    // record leaves its entry out instead of opening it as an empty file.
    auto str = [](const std::string& v) { return Int32(static_cast<int32_t>(v.size())) + v; };
    const std::string good = str(Int32(0) + str("x.pfs") + Int32(0) + Int32(4));  // the archive's first 4 bytes
    struct Case {
        const char* what;
        std::string block;  // the broken entry's block, its length included
    } cases[] = {
        {"empty block", str("")},
        {"only the member index", str(Int32(0))},
        {"container longer than the block", str(Int32(0) + Int32(100) + "x" + Int32(0) + Int32(4))},
        {"start and size cut short", str(Int32(0) + str("x.pfs") + Int32(0))},
        {"block longer than the index", Int32(1000) + Int32(0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CPackFile::ClearArchives();
        const std::string image = Int32(0) + Int32(2) + str("good.txt") + good + str("bad.txt") + c.block;
        const std::string archive = "pf2" + Int32(static_cast<int32_t>(image.size())) + image;
        m_dir.Write("broken.pfs", archive);
        std::vector<std::string> log;
        CLogWindow::SetLineSink([&](const std::string& line) { log.push_back(line); });
        CPackFile f;
        EXPECT_TRUE(f.Open("broken\\bad.txt"));
        ASSERT_FALSE(f.Open("broken\\good.txt"));
        EXPECT_EQ(ReadAll(f), archive.substr(0, 4));
        CLogWindow::SetLineSink(nullptr);
        EXPECT_EQ(log, std::vector<std::string>{"broken.pfs: 1 entries have a broken record and were skipped"});
    }
}

TEST_F(PackFileTest, ACutIndexKeepsTheEntriesBeforeTheCutAndSaysSo) {
    // "pf1" index: name, offset, size per entry. The entries read whole before the cut stay;
    // nothing after it becomes an entry, and the log says how far the index went.
    auto str = [](const std::string& v) { return Int32(static_cast<int32_t>(v.size())) + v; };
    const std::string first = str("a.txt") + Int32(0) + Int32(4);  // the archive's first 4 bytes
    struct Case {
        const char* what;
        std::string rest;  // what follows the first entry in an index that claims three
        const char* logged;
    } cases[] = {
        {"name length past the end", Int32(1000) + "b.txt", "archive index is truncated: 1 of 3 entries read"},
        {"negative name length", Int32(-5) + "b.txt" + Int32(0) + Int32(4), "archive index is truncated: 1 of 3"},
        {"size missing", str("b.txt") + Int32(0), "archive index is truncated: 1 of 3 entries read"},
        {"name length cut", std::string("\x05\x00"), "archive index is truncated: 1 of 3 entries read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CPackFile::ClearArchives();
        const std::string image = Int32(0) + Int32(3) + first + c.rest;
        const std::string archive = "pf1" + Int32(static_cast<int32_t>(image.size())) + image;
        m_dir.Write("cut.pfs", archive);
        std::vector<std::string> log;
        CLogWindow::SetLineSink([&](const std::string& line) { log.push_back(line); });
        CPackFile f;
        std::vector<std::string> names;
        EXPECT_FALSE(f.GetFileList("cut.pfs", names));
        EXPECT_EQ(names, std::vector<std::string>{"a.txt"});
        ASSERT_FALSE(f.Open("cut\\a.txt"));
        EXPECT_EQ(ReadAll(f), archive.substr(0, 4));
        CLogWindow::SetLineSink(nullptr);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_NE(log[0].find(std::string("cut.pfs: ") + c.logged), std::string::npos) << log[0];
    }
    // An index that holds no entries loads as an empty archive, with a note.
    CPackFile::ClearArchives();
    const std::string empty = Int32(0) + Int32(0);
    m_dir.Write("empty.pfs", "pf1" + Int32(static_cast<int32_t>(empty.size())) + empty);
    std::vector<std::string> log;
    CLogWindow::SetLineSink([&](const std::string& line) { log.push_back(line); });
    CPackFile f;
    std::vector<std::string> names;
    EXPECT_FALSE(f.GetFileList("empty.pfs", names));
    EXPECT_TRUE(names.empty());
    CLogWindow::SetLineSink(nullptr);
    EXPECT_EQ(log, std::vector<std::string>{"empty.pfs: archive index holds no entries"});
}

TEST_F(PackFileTest, VolumesAreFoundFromOneFolderListing) {
    struct CountingFileSystem : HeadlessFileSystem {
        int stats = 0, opens = 0;
        bool Stat(const std::string& path, SFileStatus& out) override {
            ++stats;
            return HeadlessFileSystem::Stat(path, out);
        }
        std::FILE* OpenRead(const std::string& path) override {
            ++opens;
            return HeadlessFileSystem::OpenRead(path);
        }
    } fs;
    fs.AddFile("data.pfs", Pf0({{"a.txt", "a from main"}, {"b.txt", "b from main"}}));
    fs.AddFile("data.pfs.000", Pf0({{"b.txt", "b from 000"}}));
    fs.AddFile("DATA.PFS.002", Pf0({{"b.txt", "b from 002"}, {"c.txt", "c from 002"}}));
    fs.AddFile("other.pfs.001", Pf0({{"d.txt", "not a volume of data.pfs"}}));
    SPlatformServices services = PlatformServicesInEffect();
    services.fileSystem = Unowned(fs);
    std::optional<PlatformServicesScope> scope(std::in_place, services);
    ClearGamePathCache();
    CPackFile f;
    EXPECT_FALSE(f.LoadArchive("data.pfs"));
    const int stats = fs.stats, opens = fs.opens, lists = fs.listCalls;
    for (const auto& expected : {std::pair<const char*, const char*>{"data\\a.txt", "a from main"},
                                 {"data\\b.txt", "b from 002"},
                                 {"data\\c.txt", "c from 002"}}) {
        ASSERT_FALSE(f.Open(expected.first)) << expected.first;
        EXPECT_EQ(ReadAll(f), expected.second);
    }
    EXPECT_TRUE(f.Open("data\\d.txt"));
    scope.reset();
    ClearGamePathCache();
    // The main archive and its two volumes opened once each; no name was probed one by one.
    EXPECT_EQ(opens, 3);
    EXPECT_LE(lists, 1);
    EXPECT_LT(stats, 40);
}

// A game's names are read in the encoding it declares, loose and packed alike.
TEST_F(PackFileTest, NamesFollowTheDeclaredEncoding) {
    struct Case {
        const char* charset;
        const char* stored;  // the file's path below the game folder, '/' between folders
        const char* asked;   // the name the script gives
        bool found;
        // clang-format off
    } cases[] = {
        // UTF-8 games: "あ" is E3 81 82, whose 0x82 must not swallow the '/' after it.
        {"utf-8", "\xe3\x81\x82/sub.iet", "\xe3\x81\x82/sub.iet", true},
        {"utf-8", "\xe3\x81\x82/sub.iet", "\xe3\x81\x82\\SUB.IET", true},
        {"UTF-8", "\xe3\x82\xbd/\xe8\xa1\xa8.txt", "\xe3\x82\xbd\\\xe8\xa1\xa8.TXT", true},  // ソ\表
        // Shift_JIS games: "ﾃ能" is C3 94 5C (valid UTF-8 up to the '\' trail byte).
        {"Shift_JIS", "\xc3\x94\x5c/x.txt", "\xc3\x94\x5c\\x.txt", true},
        {"", "\xc3\x94\x5c/x.txt", "\xc3\x94\x5c/X.TXT", true},
        {"", "\xef\xbe\x83\xe8\x83\xbd/y.txt", "\xc3\x94\x5c\\y.txt", true},  // unpacked here in UTF-8
        {"", "\xe3\x81\x82" "A.txt", "\x82\xa0" "a.txt", true},  // "あA" in UTF-8, asked as "あa" in Shift_JIS
        {"", "\x83\x41.txt", "\x83\x61.txt", false},  // ア's trail byte 'A' is no letter
    };
    // clang-format on
    const std::string content = "the file";
    int row = 0;
    for (const Case& c : cases) {
        const std::string loose = m_dir.Path() + "/loose" + std::to_string(row);
        const std::string packed = m_dir.Path() + "/packed" + std::to_string(row);
        ++row;
        m_dir.Write("loose" + std::to_string(row - 1) + "/" + c.stored, content);
        std::filesystem::create_directories(packed);
        Pack("-k " + std::to_string(row % 4) + " " + loose + " " + packed + "/root.pfs");
        for (const std::string& game : {loose, packed}) {
            SCOPED_TRACE(std::string(c.charset) + " " + c.asked + " in " + game);
            ChangeDirectory(game);
            CPackFile::ClearArchives();
            ScopedCharset charset(c.charset);
            CPackFile f;
            ASSERT_EQ(f.Open(c.asked), !c.found);
            if (c.found) {
                EXPECT_EQ(ReadAll(f), content);
            }
        }
    }

    // The root archive is read before "system.ini" declares UTF-8.
    ChangeDirectory(m_dir.Path() + "/packed0");
    CPackFile::ClearArchives();
    CPackFile f;
    {
        ScopedCharset undeclared("");
        EXPECT_TRUE(f.Open("system.ini"));
    }
    ScopedCharset utf8("utf-8");
    ASSERT_FALSE(f.Open("\xe3\x81\x82/sub.iet"));
    EXPECT_EQ(ReadAll(f), content);
}

TEST_F(PackFileTest, PackerRefusesBadRequests) {
    m_dir.Write("notexe.bin", "ELF and not MZ, long enough for a header .........");
    std::filesystem::create_directories(m_dir.Path() + "/empty/sub");
    for (const char* args : {"-k 4 src/img x.pfs", "-k 1x src/img x.pfs", "-v abc src/img x.pfs", "-v 3x src/img x.pfs",
                             "-v -1 src/img x.pfs", "-v 1001 src/img x.pfs", "-v", "empty x.pfs", "src/missing x.pfs",
                             "src/img", "-e notexe.bin src/img x.exe", "--bogus src/img x.pfs"}) {
        std::string command = Kpack() + " " + args + " 2>err.txt";
        EXPECT_NE(std::system(command.c_str()), 0) << args;
        EXPECT_NE(kestrin_test::ReadFileBytes(m_dir.Path() + "/err.txt"), "") << args;  // says why
        EXPECT_FALSE(std::filesystem::exists(m_dir.Path() + "/x.pfs")) << args;
    }
}
