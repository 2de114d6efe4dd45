#pragma once
// The pieces of start-up that the entry point (Application/KestrinMain.cpp) strings
// together: the command line, locating the game, "system.ini", the save folder.
#include <map>
#include <string>

namespace kestrin {

class CIni;

using ArgumentMap = std::map<std::string, std::string>;

// Adds the switches ("/name value", "-name value") and numbered bare tokens ("0", "1",
// ...) of a command line to arguments. Blanks are spaces only; values may be quoted
// with '"' or '\''.
void ParseCommandLine(const char* commandLine, ArgumentMap& arguments);

// Index of the GAME argument in argv (the first argument, unless it is a switch), or 0.
// An argument starting with "/" is a game when that path exists or holds another "/".
int FindGameArgument(int argc, char** argv);

// Adds argv[1..] to arguments by the rules of ParseCommandLine, each element being one
// token as the shell split it: GAME and elements not starting with "/" or "-" are bare
// tokens, any other element is a switch whose value is the next element unless that one
// is a switch too. Nothing is re-split or unquoted, so every argument comes back whole
// (the command-line grammar has no escapes: it could not carry a value holding a blank
// and both kinds of quote).
void ParseArgumentVector(int argc, char** argv, int gameIndex, ArgumentMap& arguments);

struct GameLocation {
    std::string applicationPath;  // the named ".exe", else the engine executable
    std::string gameDataPath;     // the game folder (absolute, no trailing "/")
    std::string rootArchivePath;
};

// Resolves GAME (a folder, a game's ".exe", a ".pfs", or "" for the executable's own
// folder) and picks the root archive, through the file-system service; names are matched
// without regard to letter case where their exact spelling is absent. Returns true on
// failure with error set.
bool LocateGame(const std::string& game, const std::string& executablePath, GameLocation& out, std::string& error);

// LocateGame, then "ApplicationPath", the game folder as the current directory and
// "GameDataPath", and the root archive; a note on stderr says where the game is. The
// program and the test harness both start a game through this. True on failure.
bool EnterGame(const std::string& game, const std::string& executablePath, GameLocation& out, std::string& error);

// Reads the loose "system.ini" of the current folder into the "ini." dynamic variables
// (all defaults when it is missing).
void LoadSystemIni();
// The same from a parsed file.
void ApplySystemIni(const CIni& ini);

// Why the boot script ("ini.Boot") could not start, for the start-up error line: what is
// missing and where it was looked for (the game folder and the root archive).
std::string DescribeBootScriptFailure();

// The save folder for ini.SavePath: created when missing; when it cannot be written,
// $XDG_DATA_HOME/kestrin/<game folder name> is used instead (and logged).
std::string PrepareSaveFolder(const std::string& gameDataPath, const std::string& savePath);

}  // namespace kestrin
