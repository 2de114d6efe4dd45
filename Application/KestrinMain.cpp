// The start-up and shutdown sequence of the kestrin executable.
#include "Application/ApplicationMessages.h"
#include "Application/RunApplication.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CInput.h"
#include "CORE/CLogWindow.h"
#include "CORE/CTimer.h"
#include "CORE/Platform/IMessageBox.h"
#include "CORE/Platform/ProcessPaths.h"
#include "CORE/RuntimeConfiguration.h"
#include "CORE/StartUp.h"
#include "GRAPHICS/TweenRegistry.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace kestrin;

namespace {

const int kShowNormal = 1;

const char kUsage[] =
    "usage: kestrin [GAME] [/switch [value] ...]\n"
    "  GAME       a game folder, a game's .exe or its .pfs archive; without it, the folder of\n"
    "             this program\n"
    "  /fsr       draw with the software renderer\n"
    "  /s, /p     run or preview the game as a screen saver (SCREEN_SAVER=1 in system.ini)\n"
    "  Other switches and their values are passed to the game's scripts.\n"
    "Exit status: 0 when the game ends, 1 when it cannot start.\n"
    "Environment: KESTRIN_LOG_WINDOW=0 keeps the log window closed; SDL_VIDEODRIVER=dummy runs\n"
    "without a display.\n";

// "--help" anywhere; "-h" only alone, since games take "-h 480" as a switch of their own.
bool AsksForHelp(int argc, char** argv) {
    if (argc == 2 && argv[1] && std::strcmp(argv[1], "-h") == 0) return true;
    for (int i = 1; i < argc; ++i)
        if (argv[i] && std::strcmp(argv[i], "--help") == 0) return true;
    return false;
}

// Process-wide singletons, released in this order once the application object is gone.
void ReleaseSingletons() {
    CDynamicVariables::ReleaseInstance();
    CInput::ReleaseInstance();
    CLogWindow::ReleaseInstance();
    CTimer::ReleaseInstance();
    ClearTweenRegistry();
}

}  // namespace

int KestrinMain(int argc, char** argv) {
    if (AsksForHelp(argc, argv)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // The environment is read here, once; the engine asks the configuration.
    SetRuntimeConfiguration(ReadRuntimeConfiguration());
    // The program (not the tests or tools built from the same library) shows a log window.
    CLogWindow::SetWindowEnabled(true);
    CDynamicVariables* dv = CDynamicVariables::GetInstance();

    // Command line: GAME, then switches; GAME stays bare token "0".
    const int gameIndex = FindGameArgument(argc, argv);
    ArgumentMap arguments;
    ParseArgumentVector(argc, argv, gameIndex, arguments);
    dv->SetMap("ApplicationArguments", arguments);

    // Folders and the root archive.
    const std::string executable = GetExecutablePath(argc > 0 ? argv[0] : nullptr);
    GameLocation location;
    std::string error;
    if (EnterGame(gameIndex ? argv[gameIndex] : "", executable, location, error)) {
        LogConsole("Kestrin: %s", error.c_str());
        LogConsole(
            "usage: kestrin [GAME] [/switch [value] ...]  (GAME: a game folder, a game's .exe or a .pfs; "
            "--help tells more)");
        ReleaseSingletons();
        return 1;
    }

    LoadSystemIni();

    // Screen-saver mode: "p" (preview) ends at once; without "s" (run) the settings box shows.
    if (dv->GetBool("ini.ScreenSaver")) {
        if (arguments.count("p") || arguments.count("P")) {
            ReleaseSingletons();
            return 0;
        }
        if (!arguments.count("s") && !arguments.count("S")) {
            ShowMessageBox(dv->GetString("ini.ScreenSaverTitle"), "", kMessageBoxOk);
            ReleaseSingletons();
            return 0;
        }
    }

    const std::string saveFolder = PrepareSaveFolder(location.gameDataPath, dv->GetString("ini.SavePath"));
    dv->SetString("SaveDataPath", saveFolder);
    LogConsole("Kestrin: save folder %s", saveFolder.c_str());

    // A start that fails says why on stderr, beside the box, and is not reported as success.
    std::string failure;
    int status = 0;
    if (RunApplication(kShowNormal, &failure) == RunResult::Failed) {
        LogConsole("Kestrin: cannot start: %s", failure.c_str());
        ShowMessageBox(appmsg::kStartError, appmsg::kStartErrorCaption, kMessageBoxIconError);
        status = 1;
    }

    ReleaseSingletons();
    return status;
}
