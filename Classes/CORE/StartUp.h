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

// Joins argv[1..] into one command line for ParseCommandLine: arguments holding
// spaces are quoted, and the GAME argument always is, so that it stays bare token "0".
std::string BuildCommandLine(int argc, char** argv, int gameIndex);

struct GameLocation {
    std::string applicationPath;  // the named ".exe", else the engine executable
    std::string gameDataPath;     // the game folder (absolute, no trailing "/")
    std::string rootArchivePath;
};

// Resolves GAME (a folder, a game's ".exe", a ".pfs", or "" for the executable's own
// folder) and picks the root archive. Returns true on failure with error set.
bool LocateGame(const std::string& game, const std::string& executablePath, GameLocation& out, std::string& error);

// Reads the loose "system.ini" of the current folder into the "ini." dynamic variables
// (all defaults when it is missing).
void LoadSystemIni();
// The same from a parsed file.
void ApplySystemIni(const CIni& ini);

// The save folder for ini.SavePath: created when missing; when it cannot be written,
// $XDG_DATA_HOME/kestrin/<game folder name> is used instead (and logged).
std::string PrepareSaveFolder(const std::string& gameDataPath, const std::string& savePath);

}  // namespace kestrin
