#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFile.h"
#include "CORE/CFileFactory.h"
#include "CORE/CFileName.h"
#include "CORE/CGameFileNames.h"
#include "CORE/FileFunctions.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "CORE/Platform/IFileSystem.h"
#include "support/TestSupport.h"

using namespace kestrin;
using kestrin_test::ScopedCharset;
using kestrin_test::TempDir;

TEST(CFileName, SplitsAtTheLastSeparator) {
    struct Case {
        const char* path;
        const char* dir;
        const char* dirSep;
        const char* base;
        const char* ext;
        const char* noExt;
    } cases[] = {
        {"a\\b\\c.txt", "a\\b", "a\\b\\", "c", "txt", "a\\b\\c"},
        {"file.tar.gz", "", "", "file.tar", "gz", "file.tar"},
        {"dir.d\\name", "dir.d", "dir.d\\", "name", "", "dir.d\\name"},
        {"name", "", "", "name", "", "name"},
        {"a\\", "a", "a\\", "", "", "a\\"},
        {"DATA\\IMG.PNG", "DATA", "DATA\\", "IMG", "PNG", "DATA\\IMG"},
    };
    for (const Case& c : cases) {
        CFileName f(c.path);
        EXPECT_EQ(f.GetPath(), c.path);
        EXPECT_EQ(f.GetDirectory(), c.dir) << c.path;
        EXPECT_EQ(f.GetDirectoryWithSeparator(), c.dirSep) << c.path;
        EXPECT_EQ(f.GetBaseName(), c.base) << c.path;
        EXPECT_EQ(f.GetExtension(), c.ext) << c.path;
        EXPECT_EQ(f.GetPathWithoutExtension(), c.noExt) << c.path;
    }
    CFileName slash("x\\w/y.z", '/');
    EXPECT_EQ(slash.GetDirectory(), "x\\w");
    EXPECT_EQ(slash.GetBaseName(), "y");
}

TEST(CFile, OpenReadSeekTell) {
    TempDir dir;
    std::string path = dir.Write("data.bin", "0123456789abcdefghij");
    std::unique_ptr<CFile> f(CFileFactory().Create());
    EXPECT_FALSE(f->IsOpen());
    EXPECT_EQ(f->Read(nullptr, 0), 0);
    EXPECT_EQ(f->Seek(0, 0), -1);
    EXPECT_EQ(f->Tell(), -1);
    EXPECT_EQ(f->GetSize(), -1);
    EXPECT_EQ(f->Close(), -1);

    ASSERT_FALSE(f->Open(path.c_str()));
    EXPECT_EQ(f->GetName(), path);
    EXPECT_EQ(f->Seek(10, 0), 0);
    EXPECT_EQ(f->GetSize(), 20);
    EXPECT_EQ(f->Tell(), 10);  // GetSize keeps the position
    char buf[8] = {};
    EXPECT_EQ(f->Read(buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
    EXPECT_EQ(f->Seek(-2, 2), 0);
    EXPECT_EQ(f->Read(buf, 8), 2);
    EXPECT_EQ(std::string(buf, 2), "ij");
    EXPECT_EQ(f->Seek(-100, 1), -1);
    EXPECT_EQ(f->Seek(0, 7), -1);

    // Clones share the handle and keep their own positions.
    EXPECT_EQ(f->Seek(2, 0), 0);
    std::unique_ptr<CFile> c(f->Clone(true));
    EXPECT_EQ(c->Tell(), 2);
    EXPECT_EQ(c->Read(buf, 2), 2);
    EXPECT_EQ(std::string(buf, 2), "23");
    EXPECT_EQ(f->Read(buf, 2), 2);
    EXPECT_EQ(std::string(buf, 2), "23");
    f.reset();  // the clone's handle stays open
    EXPECT_EQ(c->Read(buf, 2), 2);
    EXPECT_EQ(std::string(buf, 2), "45");
    std::unique_ptr<CFile> fresh(c->Clone(false));
    EXPECT_FALSE(fresh->IsOpen());

    // A failed reopen leaves the object closed.
    EXPECT_TRUE(c->Open((dir.Path() + "/missing").c_str()));
    EXPECT_FALSE(c->IsOpen());
    EXPECT_EQ(c->GetName(), "");
    // Folders are not files.
    EXPECT_TRUE(c->Open(dir.Path().c_str()));
}

TEST(GamePath, BackslashesCaseAndCache) {
    TempDir dir;
    dir.Write("Data/Img/BG.png", "png");
    dir.Write("Data/\x83\x5c.txt", "sjis");  // "ソ": its second byte is '\'
    std::string native;
    ASSERT_FALSE(ResolveGamePath(dir.Path() + "\\data\\img\\bg.PNG", native));
    EXPECT_EQ(native, dir.Path() + "/Data/Img/BG.png");
    ASSERT_FALSE(ResolveGamePath(dir.Path() + "/DATA\\\x83\x5c.TXT", native));
    EXPECT_EQ(native, dir.Path() + "/Data/\x83\x5c.txt");
    EXPECT_TRUE(ResolveGamePath(dir.Path() + "\\data\\nothing", native));
    // Unpacked here under the UTF-8 form of the Shift_JIS name the script uses.
    dir.Write("Data/\xe3\x82\xbd/Y.txt", "utf8");
    ASSERT_FALSE(ResolveGamePath(dir.Path() + "\\data\\\x83\x5c\\y.TXT", native));
    EXPECT_EQ(native, dir.Path() + "/Data/\xe3\x82\xbd/Y.txt");

    // A file added after the folder was listed is found: the listing follows the folder.
    dir.Write("Data/Img/New.PNG", "x");
    ASSERT_FALSE(ResolveGamePath(dir.Path() + "\\data\\img\\new.png", native));
    EXPECT_EQ(native, dir.Path() + "/Data/Img/New.PNG");
}

// Where a name's separators and letters are depends on the encoding the game declares,
// never on what the bytes look like: "ﾃ能" in Shift_JIS (C3 94 5C) also reads as UTF-8.
TEST(CGameFileNames, BytesAreReadInTheDeclaredEncoding) {
    struct Case {
        const char* charset;
        const char* name;
        const char* native;  // ToNative
        const char* key;     // Key: '\' separated, folded
        std::vector<std::string> parts;
    } cases[] = {
        {"", "a\\\x95\x5c\\b", "a/\x95\x5c/b", "a\\\x95\x5c\\b", {"a", "\x95\x5c", "b"}},  // 表
        {"Shift_JIS", "\xc3\x94\x5c\\X.txt", "\xc3\x94\x5c/X.txt", "\xc3\x94\x5c\\x.txt", {"\xc3\x94\x5c", "X.txt"}},
        {"shift_jis", "\x83\x41/B", "\x83\x41/B", "\x83\x41\\b", {"\x83\x41", "B"}},  // ア: its trail byte is 'A'
        {"utf-8", "\xe3\x81\x82/sub.IET", "\xe3\x81\x82/sub.IET", "\xe3\x81\x82\\sub.iet", {"\xe3\x81\x82", "sub.IET"}},
        {"UTF-8", "\xc3\x94\x5c\\X", "\xc3\x94//X", "\xc3\x94\\\\x", {"\xc3\x94", "", "X"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.charset) + " " + c.name);
        ScopedCharset charset(c.charset);
        EXPECT_EQ(CGameFileNames::ToNative(c.name), c.native);
        EXPECT_EQ(CGameFileNames::Key(c.name), c.key);
        EXPECT_EQ(CGameFileNames::Split(CGameFileNames::ToGame(c.name), '\\'), c.parts);
    }
    ScopedCharset sjis("");
    EXPECT_EQ(CGameFileNames::ToUtf8("\x83\x5c"), "\xe3\x82\xbd");  // ソ
    ScopedCharset utf8("utf-8");
    EXPECT_EQ(CGameFileNames::ToUtf8("\x83\x5c"), "\x83\x5c");
}

TEST(GamePath, FakeFileSystemCachesListings) {
    HeadlessFileSystem fake;
    fake.AddFile("Game/Scenario/Main.iet", "text");
    SPlatformServices services = PlatformServicesInEffect();
    services.fileSystem = Unowned(fake);
    std::optional<PlatformServicesScope> scope(std::in_place, services);
    ClearGamePathCache();
    std::string native;
    EXPECT_FALSE(ResolveGamePath("game\\scenario\\main.iet", native));
    EXPECT_EQ(native, "Game/Scenario/Main.iet");
    int lists = fake.listCalls;
    EXPECT_FALSE(ResolveGamePath("GAME\\SCENARIO\\MAIN.IET", native));
    EXPECT_EQ(fake.listCalls, lists);  // served from the cache
    fake.AddFile("Game/Scenario/Other.iet", "x");
    EXPECT_FALSE(ResolveGamePath("game\\scenario\\other.iet", native));
    EXPECT_GT(fake.listCalls, lists);

    CFile f;
    ASSERT_FALSE(f.Open("game/SCENARIO/main.iet"));
    char buf[8];
    EXPECT_EQ(f.Read(buf, 8), 4);
    EXPECT_TRUE(f.Open("game\\scenario"));

    std::FILE* out = nullptr;
    EXPECT_FALSE(CreateFileWithDirectories("save\\sub\\f.dat", &out));
    std::fputs("abc", out);
    std::fclose(out);
    EXPECT_EQ(fake.Contents("save/sub/f.dat"), "abc");
    // An existing spelling is reused rather than doubled.
    EXPECT_FALSE(CreateFileWithDirectories("SAVE\\SUB\\F.DAT", nullptr));
    EXPECT_EQ(fake.Contents("save/sub/f.dat"), "");
    EXPECT_FALSE(fake.Exists("SAVE"));
    scope.reset();
    ClearGamePathCache();
}

TEST(GamePath, WholeSecondFolderTimesStillSeeNewFiles) {
    // A file system whose folder stamps do not change within a second.
    struct CoarseFileSystem : HeadlessFileSystem {
        bool Stat(const std::string& path, SFileStatus& out) override {
            bool missing = HeadlessFileSystem::Stat(path, out);
            if (!missing && out.kind == EFileKind::Directory) {
                out.changeStamp = 1;
                out.modifiedNanoseconds = 0;
                out.modifiedSeconds = static_cast<int64_t>(std::time(nullptr));
            }
            return missing;
        }
    } coarse;
    coarse.AddFile("d/A.txt", "a");
    SPlatformServices services = PlatformServicesInEffect();
    services.fileSystem = Unowned(coarse);
    std::optional<PlatformServicesScope> scope(std::in_place, services);
    ClearGamePathCache();
    std::string native;
    EXPECT_FALSE(ResolveGamePath("D\\a.txt", native));
    coarse.AddFile("d/B.txt", "b");
    EXPECT_FALSE(ResolveGamePath("D\\b.txt", native));
    EXPECT_EQ(native, "d/B.txt");
    scope.reset();
    ClearGamePathCache();
}

TEST(FileFunctions, CreateWithDirectoriesAndTimes) {
    TempDir dir;
    std::string path = dir.Path() + "\\save\\sub\\f.dat";
    EXPECT_FALSE(CreateFileWithDirectories(path, nullptr));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.Path() + "/save/sub/f.dat"));
    EXPECT_EQ(std::filesystem::file_size(dir.Path() + "/save/sub/f.dat"), 0u);
    // A Shift_JIS folder name whose second byte is '\' stays one folder.
    EXPECT_FALSE(CreateFileWithDirectories(dir.Path() + "\\\x95\x5c\\g.dat", nullptr));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.Path() + "/\x95\x5c/g.dat"));
    // The parent is a file: no folder, no file.
    EXPECT_TRUE(CreateFileWithDirectories(dir.Path() + "\\save\\sub\\f.dat\\x", nullptr));

    std::tm untouched;
    std::memset(&untouched, 0x11, sizeof untouched);
    EXPECT_EQ(GetFileUpdateTime(dir.Path() + "/none", &untouched), 0);
    EXPECT_EQ(untouched.tm_year, 0x11111111);
}

namespace {
// Sets TZ for the life of the object and puts the old value back.
struct ScopedTimeZone {
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved = old, hadOld = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadOld) {
            setenv("TZ", saved.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    std::string saved;
    bool hadOld = false;
};
}  // namespace

TEST(FileFunctions, UpdateTimeIsTheLocalCalendarOfTheLastWrite) {
    struct Case {
        const char* zone;
        int64_t written;
        int year, month, day, weekday, hour, minute, second;
        int32_t result;
    } cases[] = {
        {"UTC0", 0, 70, 0, 1, 4, 0, 0, 0, 0},
        {"UTC0", 1700000000, 123, 10, 14, 2, 22, 13, 20, 1700000000},
        {"JST-9", 1700000000, 123, 10, 15, 3, 7, 13, 20, 1700000000},               // the next day in Tokyo
        {"EST5EDT,M3.2.0,M11.1.0", 951782400, 100, 1, 28, 1, 19, 0, 0, 951782400},  // leap day in UTC
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1700000000, 123, 10, 14, 2, 23, 13, 20, 1700000000},
        // The record says "no daylight saving", so its summer time reads back an hour later.
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1690000000, 123, 6, 22, 6, 6, 26, 40, 1690003600},
    };
    HeadlessFileSystem files;
    SPlatformServices services = PlatformServicesInEffect();
    services.fileSystem = Unowned(files);
    std::optional<PlatformServicesScope> scope(std::in_place, services);
    ClearGamePathCache();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + std::to_string(c.written));
        ScopedTimeZone zone(c.zone);
        files.AddFile("/saves/f.dat", "x", c.written);
        std::tm when;
        std::memset(&when, 0x7f, sizeof when);
        EXPECT_EQ(GetFileUpdateTime("\\saves\\F.DAT", &when), c.result);
        EXPECT_EQ(when.tm_year, c.year);
        EXPECT_EQ(when.tm_mon, c.month);
        EXPECT_EQ(when.tm_mday, c.day);
        EXPECT_EQ(when.tm_wday, c.weekday);
        EXPECT_EQ(when.tm_hour, c.hour);
        EXPECT_EQ(when.tm_min, c.minute);
        EXPECT_EQ(when.tm_sec, c.second);
        EXPECT_EQ(when.tm_yday, 0);
        EXPECT_EQ(when.tm_isdst, 0);
    }
    scope.reset();
    ClearGamePathCache();
}
