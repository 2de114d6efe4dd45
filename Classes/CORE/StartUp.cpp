#include "CORE/StartUp.h"

#include "CORE/CDynamicVariables.h"
#include "CORE/CGameFileNames.h"
#include "CORE/CIni.h"
#include "CORE/CLogWindow.h"
#include "CORE/COruPackFile.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/IFileSystem.h"
#include "CORE/Platform/ProcessPaths.h"
#include "CORE/RootArchive.h"
#include "CORE/StringHelpers.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace kestrin {

void ParseCommandLine(const char* commandLine, ArgumentMap& arguments) {
    if (!commandLine) return;
    int bareCount = 0;
    const char* p = commandLine;
    while (*p) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        std::string key;
        if (*p == '/' || *p == '-') {
            ++p;
            const char* start = p;
            while (*p && *p != ' ') ++p;
            key.assign(start, p);
            while (*p == ' ') ++p;
            if (*p == '/' || *p == '-') {
                // The next token is another switch: this one has no value.
                arguments[key] = "";
                continue;
            }
        } else {
            key = IntToString(bareCount++);
        }
        char terminator = ' ';
        if (*p == '"' || *p == '\'') terminator = *p++;
        const char* start = p;
        while (*p && *p != terminator) ++p;
        arguments[key] = std::string(start, p);
        if (*p == terminator) {
            ++p;
            while (*p == ' ') ++p;
        }
    }
}

namespace {

bool IsSwitch(const char* arg) { return arg && (arg[0] == '/' || arg[0] == '-'); }

// Absolute, without "." and ".." elements or doubled and trailing "/".
std::string AbsolutePath(const std::string& path) {
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        std::string cwd;
        if (GetFileSystem()->GetCurrentDirectory(cwd)) cwd = "/";
        full = cwd + "/" + full;
    }
    std::string out;
    for (const std::string& part : CollapsePathElements(full)) out += "/" + part;
    return out.empty() ? "/" : out;
}

// The folder of an absolute path ("/" for the root's entries) and its last element.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}
std::string FileNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The file name cut before its last dot, and what follows that dot in lower case.
std::string BaseNameOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}
std::string LowerExtensionOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : ToLowerString(name.substr(dot + 1));
}

// The spelling of an existing native path: as given, else with each level matched without
// regard to letter case. True when nothing is there.
bool FindExisting(const std::string& path, std::string& found, SFileStatus& status) {
    IFileSystem* files = GetFileSystem();
    if (!files->Stat(path, status)) {
        found = path;
        return false;
    }
    std::string resolved;
    if (ResolveGamePath(path, resolved) || files->Stat(resolved, status)) return true;
    found = resolved;
    return false;
}

// The spelling of a file that opens for reading ("rb", as the archive probe does; a
// folder never counts); "" when there is none.
std::string FindReadableFile(const std::string& path) {
    std::string found;
    SFileStatus status;
    if (FindExisting(path, found, status) || status.kind != EFileKind::Regular) return std::string();
    std::FILE* file = GetFileSystem()->OpenRead(found);
    if (!file) return std::string();
    std::fclose(file);
    return found;
}

// "<folder>/<base>.pfs" beside an executable, else "<folder>/root.pfs"; fallback when
// neither opens.
std::string PickRootArchive(const std::string& executable, const std::string& folder, const std::string& fallback) {
    std::string found = FindReadableFile(Join(folder, BaseNameOf(executable) + ".pfs"));
    if (found.empty()) found = FindReadableFile(Join(folder, "root.pfs"));
    return found.empty() ? fallback : found;
}

bool IsWritableFolder(const std::string& folder) {
    IFileSystem* files = GetFileSystem();
    SFileStatus status;
    if (files->Stat(folder, status) || status.kind != EFileKind::Directory) return false;
    // Made new inside the folder held open: a link or FIFO planted at the name is never
    // written through; one left there (by a killed run, or planted) goes itself.
    std::unique_ptr<IFolder> opened = files->OpenFolder(folder);
    if (!opened) return false;
    const char probe[] = ".kestrin-write-probe";
    std::FILE* file = opened->CreateNewFile(probe, -1);
    if (!file && errno == EEXIST && !opened->Remove(probe)) file = opened->CreateNewFile(probe, -1);
    if (!file) return false;
    std::fclose(file);
    opened->Remove(probe);
    return true;
}

// Creates every missing level of an absolute folder path.
void MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        GetFileSystem()->MakeDirectory(slash == std::string::npos ? folder : folder.substr(0, slash));
        if (slash == std::string::npos) break;
    }
}

}  // namespace

int FindGameArgument(int argc, char** argv) {
    if (argc < 2 || !argv[1] || !argv[1][0]) return 0;
    const char c = argv[1][0];
    if (c == '-') return 0;
    if (c == '/') {
        // Absolute paths and "/switch" look alike: a path that exists, or one with a
        // further "/", is a game (switch names hold no "/").
        const std::string arg = argv[1];
        SFileStatus status;
        return (!GetFileSystem()->Stat(arg, status) || arg.find('/', 1) != std::string::npos) ? 1 : 0;
    }
    return 1;
}

void ParseArgumentVector(int argc, char** argv, int gameIndex, ArgumentMap& arguments) {
    int bareCount = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i] ? argv[i] : "";
        if (i == gameIndex || !IsSwitch(arg)) {
            arguments[IntToString(bareCount++)] = arg;
            continue;
        }
        const bool hasValue = i + 1 < argc && i + 1 != gameIndex && !IsSwitch(argv[i + 1]);
        arguments[arg + 1] = hasValue ? (argv[i + 1] ? argv[i + 1] : "") : "";
        if (hasValue) ++i;
    }
}

bool LocateGame(const std::string& game, const std::string& executablePath, GameLocation& out, std::string& error) {
    if (game.empty()) {
        out.applicationPath = executablePath;
        out.gameDataPath = FolderOf(AbsolutePath(executablePath));
        out.rootArchivePath = PickRootArchive(executablePath, out.gameDataPath, executablePath);
        return false;
    }
    std::string target;
    SFileStatus status;
    if (FindExisting(AbsolutePath(game), target, status)) {
        error = "no game at \"" + game + "\"";
        return true;
    }
    if (status.kind == EFileKind::Directory) {
        out.applicationPath = executablePath;
        out.gameDataPath = target;
        // Without an archive the game runs from loose files; the path names where one would be.
        out.rootArchivePath = FindReadableFile(Join(target, "root.pfs"));
        if (out.rootArchivePath.empty()) out.rootArchivePath = Join(target, "root.pfs");
        return false;
    }
    const std::string extension = LowerExtensionOf(target);
    if (extension == "exe") {
        out.applicationPath = target;
        out.gameDataPath = FolderOf(target);
        out.rootArchivePath = PickRootArchive(target, out.gameDataPath, target);
        return false;
    }
    if (extension == "pfs") {
        if (FindReadableFile(target).empty()) {
            error = "cannot read \"" + game + "\"";
            return true;
        }
        out.applicationPath = executablePath;
        out.gameDataPath = FolderOf(target);
        out.rootArchivePath = target;
        return false;
    }
    error = "\"" + game + "\" is not a game folder, a game's .exe or a .pfs archive";
    return true;
}

bool EnterGame(const std::string& game, const std::string& executablePath, GameLocation& out, std::string& error) {
    if (LocateGame(game, executablePath, out, error)) return true;
    CDynamicVariables* dv = CDynamicVariables::GetInstance();
    dv->SetString("ApplicationPath", out.applicationPath);
    if (GetFileSystem()->ChangeDirectory(out.gameDataPath)) {
        Log(ELogLevel::Error, "start-up", "cannot enter the game folder %s", out.gameDataPath.c_str());
    }
    // Cached folder listings are kept by relative name.
    ClearGamePathCache();
    dv->SetString("GameDataPath", out.gameDataPath);
    g_rootArchivePath = out.rootArchivePath;
    // Without an archive the path only says where one would be looked for.
    if (FindReadableFile(out.rootArchivePath).empty())
        LogConsole("Kestrin: game folder %s, no root archive", out.gameDataPath.c_str());
    else
        LogConsole("Kestrin: game folder %s, root archive %s", out.gameDataPath.c_str(), out.rootArchivePath.c_str());
    return false;
}

void LoadSystemIni() {
    CIni ini;
    // Through the pack-aware file layer: a loose "system.ini" first, then the archives.
    COruPackFile file;
    if (!file.Open("system.ini")) {
        const int size = file.GetSize();
        if (size > 0) {
            std::string text(static_cast<size_t>(size), '\0');
            const int n = file.Read(&text[0], static_cast<unsigned>(size));
            text.resize(n > 0 ? static_cast<size_t>(n) : 0);
            ini.Parse(text.c_str(), text.size());
        }
    }
    ApplySystemIni(ini);
}

namespace {
// A window size of 0 or less cannot be made: the earlier value stays.
int ReadWindowSize(const CIni& ini, const char* section, const char* key, int fallback) {
    const int v = ini.GetIntDefault(section, key, fallback);
    if (v > 0) return v;
    Log(ELogLevel::Warning, "system.ini", "[%s] %s=%d is not a size; using %d", section, key, v, fallback);
    return fallback;
}
}  // namespace

namespace {
// A "[" whose "]" is not on its line makes the following lines, up to the next "]", the
// section's name: their keys are lost without a word from the INI reader (which the tag
// and font files share), so start-up says so.
void NoteUnclosedSections(const CIni& ini) {
    for (const std::string& name : ini.GetUnclosedSections()) {
        Log(ELogLevel::Warning, "system.ini",
            "the section \"[%s\" has no \"]\" on its line; the lines after it up to the next "
            "\"]\" (or the end of the file) are read as its name, not as keys",
            name.c_str());
    }
}
}  // namespace

void ApplySystemIni(const CIni& ini) {
    NoteUnclosedSections(ini);
    CDynamicVariables* dv = CDynamicVariables::GetInstance();
    dv->SetString("ini.Boot", ini.GetStringDefault("SYSTEM", "BOOT", "main.iet"));
    dv->SetString("ini.Charset", ini.GetStringDefault("SYSTEM", "CHARSET", "Shift_JIS"));
    dv->SetString("ini.SavePath", ini.GetStringDefault("SYSTEM", "SAVEPATH", ""));
    dv->SetInt("ini.Width", ReadWindowSize(ini, "WINDOW", "WIDTH", 800));
    dv->SetInt("ini.Height", ReadWindowSize(ini, "WINDOW", "HEIGHT", 600));
    dv->SetBool("ini.Frameless", ini.GetBoolDefault("WINDOW", "FRAMELESS", false));
    dv->SetBool("ini.Resizable", ini.GetBoolDefault("WINDOW", "RESIZABLE", false));
    dv->SetBool("ini.FixedAspectRatio", ini.GetBoolDefault("WINDOW", "FIXED_ASPECT_RATIO", false));
    dv->SetBool("ini.SideCut", ini.GetBoolDefault("WINDOW", "SIDECUT", false));
    dv->SetBool("ini.ScreenSaver", ini.GetBoolDefault("WINDOW", "SCREEN_SAVER", false));
    dv->SetString("ini.ScreenSaverTitle", ini.GetStringDefault("WINDOW", "SCREEN_SAVER_TITLE", ""));
    dv->SetBool("ini.ForceSoftwareRender", ini.GetBoolDefault("SYSTEM", "FORCE_SOFTWARE_RENDER", false));

    // [WINDOWS] overrides, each defaulting to the value read so far.
    const char* w = "WINDOWS";
    dv->SetInt("ini.Width", ReadWindowSize(ini, w, "WIDTH", dv->GetInt("ini.Width")));
    dv->SetInt("ini.Height", ReadWindowSize(ini, w, "HEIGHT", dv->GetInt("ini.Height")));
    dv->SetBool("ini.SideCut", ini.GetBoolDefault(w, "SIDECUT", dv->GetBool("ini.SideCut")));
    dv->SetString("ini.Boot", ini.GetStringDefault(w, "BOOT", dv->GetString("ini.Boot")));
    dv->SetString("ini.Charset", ini.GetStringDefault(w, "CHARSET", dv->GetString("ini.Charset")));
    dv->SetString("ini.SavePath", ini.GetStringDefault(w, "SAVEPATH", dv->GetString("ini.SavePath")));
    dv->SetBool("ini.Frameless", ini.GetBoolDefault(w, "FRAMELESS", dv->GetBool("ini.Frameless")));
    dv->SetBool("ini.Resizable", ini.GetBoolDefault(w, "RESIZABLE", dv->GetBool("ini.Resizable")));
    dv->SetBool("ini.FixedAspectRatio",
                ini.GetBoolDefault(w, "FIXED_ASPECT_RATIO", dv->GetBool("ini.FixedAspectRatio")));
    dv->SetBool("ini.ForceSoftwareRender",
                ini.GetBoolDefault(w, "FORCE_SOFTWARE_RENDER", dv->GetBool("ini.ForceSoftwareRender")));
    dv->SetInt("ini.SurfaceCacheSize", ini.GetIntDefault(w, "SURFACE_CACHE_SIZE", 0));
    dv->SetBool(
        "ini.ForceHardwareRender",
        ini.GetBoolDefault(w, "FORCE_HARDWARE_RENDER", ini.GetBoolDefault("SYSTEM", "FORCE_HARDWARE_RENDER", false)));
}

std::string DescribeBootScriptFailure() {
    CDynamicVariables* dv = CDynamicVariables::GetInstance();
    const std::string boot = dv->GetString("ini.Boot");
    const std::string folder = dv->GetString("GameDataPath");
    std::string where = "the game folder " + folder;
    if (!FindReadableFile(g_rootArchivePath).empty()) where += " or the archive " + g_rootArchivePath;

    // The loose file first: something that is there but is no file is named as such.
    for (const std::string& name : {boot, boot + ".iet"}) {
        std::string found;
        SFileStatus status;
        if (!FindExisting(Join(folder, CGameFileNames::ToNative(name)), found, status) &&
            status.kind != EFileKind::Regular)
            return "the boot script \"" + name + "\" in " + folder + " is not a file";
    }
    COruPackFile script;
    if (script.Open(boot.c_str()) && script.Open((boot + ".iet").c_str())) {
        COruPackFile ini;
        if (ini.Open("system.ini")) return "no system.ini and no boot script \"" + boot + "\" in " + where;
        return "no boot script \"" + boot + "\" (BOOT of system.ini) in " + where;
    }
    return "the boot script \"" + boot + "\" in " + where + " cannot be read as a script";
}

std::string PrepareSaveFolder(const std::string& gameDataPath, const std::string& savePath) {
    std::string folder = gameDataPath;
    if (!savePath.empty()) {
        // Games write Windows separators and any letter case; one level is created as on
        // the original platform (a folder that exists under another case is reused).
        folder = ResolveGamePathForWrite(gameDataPath + "/" + CGameFileNames::ToNative(savePath));
        GetFileSystem()->MakeDirectory(folder);
    }
    if (IsWritableFolder(folder)) return folder;

    const std::string dataHome = GetUserDataHome();
    if (dataHome.empty()) {
        Log(ELogLevel::Error, "save folder", "%s cannot be written and there is no home folder to save in instead",
            folder.c_str());
        return folder;
    }
    const std::string name = FileNameOf(AbsolutePath(gameDataPath));
    const std::string fallback = dataHome + "/kestrin/" + (name.empty() ? std::string("game") : name);
    MakeFolders(fallback);
    if (!IsWritableFolder(fallback)) {
        Log(ELogLevel::Error, "save folder", "neither %s nor %s can be written; saves will fail", folder.c_str(),
            fallback.c_str());
        return folder;
    }
    Log(ELogLevel::Warning, "save folder", "%s cannot be written; saving to %s instead", folder.c_str(),
        fallback.c_str());
    return fallback;
}

}  // namespace kestrin
