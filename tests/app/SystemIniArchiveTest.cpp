#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "CORE/CDynamicVariables.h"
#include "CORE/CPackFile.h"
#include "CORE/FileFunctions.h"
#include "CORE/StartUp.h"
#include "support/TestSupport.h"

using namespace kestrin;

TEST(LoadSystemIni, ReadsSystemIniFromTheRootArchive) {
    kestrin_test::TempDir dir;
    dir.Write("src/System.INI", "[SYSTEM]\r\nBOOT=start.iet\r\n[WINDOW]\r\nWIDTH=1280\r\n");
    dir.Write("game/readme.txt", "");
    const std::string command =
        std::string(KESTRIN_BINARY_DIR) + "/tools/kpack -k 3 " + dir.Path() + "/src " + dir.Path() + "/game/root.pfs";
    ASSERT_EQ(std::system(command.c_str()), 0);

    const std::string oldRoot = CPackFile::RootPackName;
    const std::string oldDir = std::filesystem::current_path().string();
    CPackFile::ClearArchives();
    CPackFile::RootPackName = dir.Path() + "/game/root.pfs";
    ChangeDirectory(dir.Path() + "/game");
    LoadSystemIni();
    ChangeDirectory(oldDir);
    CPackFile::RootPackName = oldRoot;
    CPackFile::ClearArchives();

    CDynamicVariables* dv = CDynamicVariables::GetInstance();
    EXPECT_EQ(dv->GetString("ini.Boot"), "start.iet");
    EXPECT_EQ(dv->GetInt("ini.Width"), 1280);
    EXPECT_EQ(dv->GetInt("ini.Height"), 600);
    CDynamicVariables::ReleaseInstance();
}
