#include "CORE/StartUp.h"

#include "CORE/CDynamicVariables.h"
#include "CORE/CGameFileNames.h"
#include "CORE/CIni.h"
#include "CORE/CLogWindow.h"
#include "CORE/COruPackFile.h"
#include "CORE/Platform/ProcessPaths.h"
#include "CORE/StringHelpers.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

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

int FindGameArgument(int argc, char** argv) {
    if (argc < 2 || !argv[1] || !argv[1][0]) return 0;
    const char c = argv[1][0];
    if (c == '-') return 0;
    if (c == '/') {
        // Absolute paths and "/switch" look alike: a path that exists, or one with a
        // further "/", is a game (switch names hold no "/").
        std::error_code ec;
        const std::string arg = argv[1];
        return (fs::exists(arg, ec) || arg.find('/', 1) != std::string::npos) ? 1 : 0;
    }
    return 1;
}

std::string BuildCommandLine(int argc, char** argv, int gameIndex) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (!line.empty()) line += ' ';
        const bool quote = i == gameIndex || arg.empty() || arg.find(' ') != std::string::npos;
        if (!quote) {
            line += arg;
            continue;
        }
        // A value cannot hold its own quote character: use the other one when needed.
        const char q = arg.find('"') == std::string::npos ? '"' : '\'';
        line += q;
        line += arg;
        line += q;
    }
    return line;
}

namespace {

// fopen "rb" as the archive probe does, but a folder never counts as a file.
bool OpensForReading(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

std::string FolderPath(const fs::path& p) {
    fs::path n = p.lexically_normal();
    if (!n.has_filename() && n.has_parent_path() && n != n.root_path()) n = n.parent_path();
    std::string s = n.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

std::string LowerExtension(const fs::path& p) { return ToLowerString(p.extension().string()); }

// "<folder>/<base>.pfs" beside an executable, else "<folder>/root.pfs"; fallback when
// neither opens.
std::string PickRootArchive(const fs::path& executable, const std::string& folder, const std::string& fallback) {
    const std::string own = folder + "/" + executable.stem().string() + ".pfs";
    if (OpensForReading(own)) return own;
    const std::string root = folder + "/root.pfs";
    if (OpensForReading(root)) return root;
    return fallback;
}

bool IsWritableFolder(const std::string& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return false;
    const std::string probe = folder + "/.kestrin-write-probe";
    std::FILE* f = std::fopen(probe.c_str(), "wb");
    if (!f) return false;
    std::fclose(f);
    fs::remove(probe, ec);
    return true;
}

}  // namespace

bool LocateGame(const std::string& game, const std::string& executablePath, GameLocation& out, std::string& error) {
    std::error_code ec;
    if (game.empty()) {
        const fs::path exe = fs::path(executablePath);
        out.applicationPath = executablePath;
        out.gameDataPath = FolderPath(exe.parent_path());
        out.rootArchivePath = PickRootArchive(exe, out.gameDataPath, executablePath);
        return false;
    }
    const fs::path target = fs::absolute(game, ec).lexically_normal();
    if (ec || !fs::exists(target, ec)) {
        error = "no game at \"" + game + "\"";
        return true;
    }
    if (fs::is_directory(target, ec)) {
        out.applicationPath = executablePath;
        out.gameDataPath = FolderPath(target);
        const std::string root = out.gameDataPath + "/root.pfs";
        // Without an archive the game runs from loose files; the path names where one would be.
        out.rootArchivePath = root;
        return false;
    }
    const std::string ext = LowerExtension(target);
    if (ext == ".exe") {
        out.applicationPath = target.string();
        out.gameDataPath = FolderPath(target.parent_path());
        out.rootArchivePath = PickRootArchive(target, out.gameDataPath, target.string());
        return false;
    }
    if (ext == ".pfs") {
        if (!OpensForReading(target.string())) {
            error = "cannot read \"" + game + "\"";
            return true;
        }
        out.applicationPath = executablePath;
        out.gameDataPath = FolderPath(target.parent_path());
        out.rootArchivePath = target.string();
        return false;
    }
    error = "\"" + game + "\" is not a game folder, a game's .exe or a .pfs archive";
    return true;
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
    LogPrintf("system.ini: [%s] %s=%d is not a size; using %d", section, key, v, fallback);
    return fallback;
}
}  // namespace

void ApplySystemIni(const CIni& ini) {
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
}

std::string PrepareSaveFolder(const std::string& gameDataPath, const std::string& savePath) {
    std::string folder = gameDataPath;
    if (!savePath.empty()) {
        // Games write Windows separators; one level is created as on the original platform.
        folder = gameDataPath + "/" + CGameFileNames::ToNative(savePath);
        std::error_code ec;
        fs::create_directory(folder, ec);
    }
    if (IsWritableFolder(folder)) return folder;

    const std::string dataHome = GetUserDataHome();
    if (dataHome.empty()) {
        LogPrintf("Kestrin: save folder %s cannot be written and there is no home folder to save in instead",
                  folder.c_str());
        return folder;
    }
    const std::string name = fs::path(gameDataPath).filename().string();
    const std::string fallback = dataHome + "/kestrin/" + (name.empty() ? std::string("game") : name);
    std::error_code ec;
    fs::create_directories(fallback, ec);
    if (!IsWritableFolder(fallback)) {
        LogPrintf("Kestrin: neither save folder %s nor %s can be written; saves will fail", folder.c_str(),
                  fallback.c_str());
        return folder;
    }
    LogPrintf("Kestrin: save folder %s cannot be written; saving to %s instead", folder.c_str(), fallback.c_str());
    return fallback;
}

}  // namespace kestrin
